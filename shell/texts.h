// Every text the user sees in the window, the tray and the message boxes, verbatim, in UTF-8.
#pragma once

#include "platform/shown_texts.h"
#include "zelmo_version.h"

namespace zelmo::texts {

inline constexpr const char* kCaption =
    "Kalvister II - Monitor Wydruków (wersja " ZELMO_VERSION ")";
inline constexpr const char* kMessageCaption = "Kalvister II - Monitor Wydruków";
inline constexpr const char* kInvalidValue = "Nieprawidłowa wartość.";
// After kInvalidValue: which field, and an example with the system's decimal separator.
inline constexpr const char* kOffsetFields[] = {"Przesunięcie w poziomie", "Przesunięcie w pionie"};
inline constexpr const char* kOffsetExample = ": podaj liczbę milimetrów, np. 1";
inline constexpr const char* kOffsetExampleEnd = "5.";
// After kOffsetFields: an offset that would put the whole page off the sheet, then its range.
inline constexpr const char* kOffsetOffSheet = " wyprowadza stronę poza arkusz: podaj od ";
inline constexpr const char* kOffsetOffSheetTo = " do ";
inline constexpr const char* kOffsetOffSheetEnd = " mm.";
inline constexpr const char* kSettingsNotSaved =
    "Nie udało się zapisać ustawień. Plik Zelmo.ini pozostał bez zmian.";

inline constexpr const char* kStatus = "Status";
inline constexpr const char* kMonitoredFile = "Monitorowany plik:";
inline constexpr const char* kMonitoring = "Monitorowanie pliku:";
// Paused, the file is still taken: only printing waits.
inline constexpr const char* kMonitoringPaused = "Drukowanie wstrzymane, monitorowany plik:";
inline constexpr const char* kNoData = "Brak danych";
inline constexpr const char* kPrintsTo = "Wydruki na:";

inline constexpr const char* kSettings = "Ustawienia";
inline constexpr const char* kOffsets = "Przesunięcia [mm]:";
inline constexpr const char* kX = "X:";
inline constexpr const char* kY = "Y:";
inline constexpr const char* kModify = "&Modyfikuj";
inline constexpr const char* kSave = "&Zapisz";
inline constexpr const char* kSingleMode = "Tryb pojedyńczy";
// The code page of bare-text jobs, chosen in the settings beside the button.
inline constexpr const char* kCodePageLabel = "Kodowanie:";
inline constexpr const char* kEngines[] = {
    "Domyślny Mechanizm Wydruku",
    "Alternatywny Mechanizm Wydruku",
    "Specjalny Mechanizm HP845c",
};

inline constexpr const char* kOpen = "Otwórz";
inline constexpr const char* kPause = "&Wstrzymaj";
inline constexpr const char* kTest = "Test";
inline constexpr const char* kVectorTest = "Wektorowy";
inline constexpr const char* kBitmapTest = "Bitmapowy";
inline constexpr const char* kBitmapDiTest = "Bitmapowy DI";
inline constexpr const char* kExit = "Zakończ";
// The question before the capture ends; with jobs waiting, the second sentence counts them:
// "W kolejce czeka 1 wydruk", "czekają 2 wydruki", "czeka 5 wydruków".
inline constexpr const char* kCloseQuestion =
    "Zakończyć monitorowanie wydruków? Wydruki programu nie będą przyjmowane.";
inline constexpr const char* kCloseWaitingFew = "\n\nW kolejce czekają ";
inline constexpr const char* kCloseWaitingMany = "\n\nW kolejce czeka ";
inline constexpr const char* kCloseJobOne = " wydruk";
inline constexpr const char* kCloseJobsFew = " wydruki";
inline constexpr const char* kCloseJobsMany = " wydruków";
inline constexpr const char* kCloseJobsKept =
    ". Kolejka zostanie wznowiona po ponownym uruchomieniu.";
inline constexpr const char* kYes = "&Tak";
inline constexpr const char* kNo = "&Nie";
inline constexpr const char* kQueueItem = "Kolejka wydruków";
inline constexpr const char* kPrinterMenu = "Drukarka";
inline constexpr const char* kSystemDefaultPrinter = "Domyślna drukarka systemu";
inline constexpr const char* kPdfFolderPrinter = "Pliki PDF (folder Wydruki)";
// The PDF folder printer where a printer's name is shown.
inline constexpr const char* kPdfPrinterWords = "Drukarka PDF (folder Wydruki)";

// Why a job was given up, then what became of it.
inline constexpr const char* kJobOutOfMemory = "Zabrakło pamięci do wydrukowania zadania.";
inline constexpr const char* kJobPageTooLarge = "Strona zadania jest zbyt duża, by ją wydrukować.";
inline constexpr const char* kJobTooManySheets = "Zadanie przekroczyło limit stron wydruku: ";
inline constexpr const char* kJobUnexpected = "Nieoczekiwany błąd podczas drukowania zadania";
inline constexpr const char* kJobKept = "Zadanie przerwano, a jego plik zachowano w kolejce.";
inline constexpr const char* kArchiveFolder = "Folder archiwum...";
inline constexpr const char* kArchiveChoose = "Wybierz folder archiwum wydruków";
inline constexpr const char* kArchiveCaption = "Archiwum wydruków";
// The archive's trouble: what happened and what Zelmo does, then the system's message.
inline constexpr const char* kArchiveCopyLost =
    "Nie udało się zapisać kopii wydruku w archiwum. Sam wydruk nie ucierpiał; kolejne kopie "
    "Zelmo zapisze jak zwykle.";
inline constexpr const char* kArchiveMoveFailed =
    "Nie można przenieść kopii wydruków do archiwum. Wydruki drukują się dalej, a kopie "
    "czekają w folderze Archiwum-do-wyslania obok Zelmo.ini; Zelmo przeniesie je, gdy archiwum "
    "będzie dostępne.";
// An archive folder that is the very folder where its copies wait.
inline constexpr const char* kArchiveIsStaging =
    "to folder, w którym kopie czekają na przeniesienie";
// A staging folder that is a link: its target's files are never moved.
inline constexpr const char* kStagingIsLink =
    "to dowiązanie, a nie zwykły folder, więc Zelmo nie przenosi z niego kopii";
// An archive folder that is not there; the system's reason and ")" follow.
inline constexpr const char* kArchiveMissing =
    "folder archiwum nie istnieje (czy udział sieciowy jest podłączony?) (";

// Starting at login.
inline constexpr const char* kAutostart = "Uruchamiaj przy logowaniu";
inline constexpr const char* kAutostartFailed =
    "Nie udało się zmienić uruchamiania przy logowaniu.";
inline constexpr const char* kAutostartUnfitPath =
    "Tej ścieżki nie można zapisać we wpisie autostartu (znaki sterujące lub kodowanie inne niż "
    "UTF-8): ";
inline constexpr const char* kAutostartNoHome = "Nie ustawiono katalogu domowego (HOME).";
// Windows: the setup program's start for every user, which only an administrator may switch off.
inline constexpr const char* kAutostartEveryUser =
    "Zelmo z tego folderu uruchamia się przy logowaniu każdego użytkownika tego komputera (tak "
    "wybrano w instalatorze). Wyłączyć to może tylko administrator: instalując Zelmo ponownie "
    "z wyborem „tylko ręcznie, z menu Start”.";

inline constexpr const char* kWindowCreateError = "Nie można utworzyć okna programu.";
inline constexpr const char* kTrayCreateError = "Cannot Create System Shell Notification Icon";
inline constexpr const char* kTrayRemoveError = "Cannot Remove System Shell Notification Icon";

inline constexpr const char* kVersion = ZELMO_VERSION;

// The command line.
inline constexpr const char* kUsage =
    "Użycie: zelmo [--dir FOLDER] [--printer NAZWA] [--headless] [--help] [--version]\n"
    "   albo: zelmo [--dir FOLDER] --status | --pause | --resume | --print-again N | --delete N\n"
    "Monitor wydruków: drukuje pliki Wydruk.prn zapisywane do folderu.\n"
    "\n"
    "  --dir FOLDER      monitoruje FOLDER; tam są Wydruk.prn, kolejka, Zelmo.ini, Zelmo.log\n"
    "                    i Wydruki (domyślnie: folder programu; program zainstalowany\n"
    "                    z pakietu: ~/Zelmo)\n"
    "  --printer NAZWA   drukuje na drukarce NAZWA (kolejka CUPS albo \"Wydruki\": pliki PDF)\n"
    "  --headless        praca w konsoli, bez okna i ikony w zasobniku\n"
    "  --help            wyświetla ten opis i kończy\n"
    "  --version         wyświetla wersję i kończy\n"
    "\n"
    "Polecenia dla Zelmo, który już monitoruje FOLDER:\n"
    "  --status          kolejka i historia zadań, jedno zadanie w wierszu\n"
    "  --pause           wstrzymuje (jak „Wstrzymaj” w menu)\n"
    "  --resume          wznawia\n"
    "  --print-again N   drukuje ponownie zadanie numer N\n"
    "  --delete N        usuwa zadanie numer N\n"
    "Kod wyjścia: 0 wykonano, 1 żaden Zelmo nie monitoruje folderu, 2 błędne użycie,\n"
    "3 Zelmo nie mógł wykonać polecenia.\n";
// Zelmo.exe's command line: no console mode, Windows printers; read in a message box, so one
// option a line, wrapped by the box.
inline constexpr const char* kUsageWindows =
    "Użycie: Zelmo.exe [--dir FOLDER] [--printer NAZWA]\n"
    "albo: Zelmo.exe [--dir FOLDER] --status | --pause | --resume | --print-again N | --delete N\n"
    "albo: Zelmo.exe --help | --version\n"
    "Monitor wydruków: drukuje pliki Wydruk.prn zapisywane do folderu.\n"
    "\n"
    "--dir FOLDER: monitoruje FOLDER; tam są Wydruk.prn, kolejka, Zelmo.ini, Zelmo.log "
    "i Wydruki (domyślnie: folder programu)\n"
    "--printer NAZWA: drukuje na drukarce NAZWA, tak jak nazywa ją system, albo do plików PDF "
    "w folderze Wydruki (NAZWA \"Wydruki\")\n"
    "--help: wyświetla ten opis i kończy\n"
    "--version: wyświetla wersję i kończy\n"
    "/dir, /printer, /?: to samo co --dir, --printer, --help\n"
    "\n"
    "Polecenia dla Zelmo, który już monitoruje FOLDER: --status (kolejka i historia zadań), "
    "--pause (wstrzymuje), --resume (wznawia), --print-again N (drukuje ponownie zadanie N), "
    "--delete N (usuwa zadanie N). Kod wyjścia: 0 wykonano, 1 żaden Zelmo nie monitoruje "
    "folderu, 2 błędne użycie, 3 Zelmo nie mógł wykonać polecenia.\n";
inline constexpr const char* kHeadlessOnWindows =
    "opcja --headless nie działa w systemie Windows: Zelmo pracuje w oknie i w zasobniku";
inline constexpr const char* kUnknownOption = "nieznana opcja: ";
inline constexpr const char* kOptionNeedsValue = "brak wartości opcji ";
inline constexpr const char* kNoFolder = "nie można użyć folderu: ";
inline constexpr const char* kNoDisplay = "nie można otworzyć ekranu, Zelmo pracuje w konsoli.";
inline constexpr const char* kAlreadyRunning =
    "ten folder jest już monitorowany przez inny Zelmo: ";
inline constexpr const char* kTwoCommands =
    "jedno polecenie naraz (--status, --pause, --resume, "
    "--print-again, --delete)";
inline constexpr const char* kBadJobNumber = "numer zadania musi być liczbą dodatnią: ";

// The control command and the monitor's answers to it.
inline constexpr const char* kNoMonitor = "żaden Zelmo nie monitoruje folderu ";
inline constexpr const char* kControlFailed = "nie można porozumieć się z Zelmo w folderze ";
inline constexpr const char* kControlUnavailable =
    "polecenia --status, --pause i inne nie będą działać dla tego folderu: ";
inline constexpr const char* kNoSuchJob = "nie ma zadania numer ";
inline constexpr const char* kCannotPrintAgain =
    "tego zadania nie można wydrukować ponownie (czeka w kolejce albo jest drukowane): ";
inline constexpr const char* kCannotDelete =
    "tego zadania nie można usunąć (jest drukowane albo pliku nie można usunąć): ";
inline constexpr const char* kUnknownRequest = "nieznane polecenie: ";
// A finished job whose file the store no longer keeps (%1 the job, %2 and %3 the store's limits).
inline constexpr const char* kNotKept =
    "Zadania nr %1 nie można już wydrukować ponownie: jego plik nie jest już przechowywany. "
    "Zelmo przechowuje pliki %2 ostatnich wydruków, razem najwyżej %3 MB.";
inline constexpr const char* kAgainFailed =
    "Nie udało się wydrukować ponownie zadania nr %1: nie można skopiować jego pliku do kolejki.";

// The tray hint: the caption, then one line each.
inline constexpr const char* kHintMonitoring = "Monitorowanie: włączone";
inline constexpr const char* kHintPaused = "Drukowanie: wstrzymane (wydruki są przyjmowane)";
inline constexpr const char* kHintPrinter = "Drukarka: ";
inline constexpr const char* kHintPrinterAway = " (niedostępna, wydruki czekają)";
inline constexpr const char* kHintFolder = "Folder: ";
inline constexpr const char* kHintWaiting = "Oczekujące wydruki: ";
inline constexpr const char* kHintLast = "Ostatni wydruk: ";
inline constexpr const char* kLastPrinted = "wydrukowany";
inline constexpr const char* kLastSavedPdf = "zapisany jako PDF";
inline constexpr const char* kLastInPrinterQueue = "w kolejce drukarki";
inline constexpr const char* kLastSent = "wysłany do drukarki";
// A job whose pages drew but whose marks all fell beside the sheet: not told as printed.
inline constexpr const char* kLastBlank = "puste strony";
inline constexpr const char* kNoticeBlank = "Puste strony";
inline constexpr const char* kLogBlank = "Puste strony";
inline constexpr const char* kBlankCause =
    "nic nie trafiło na arkusz, treść wypadła poza stronę. Sprawdź przesunięcia X i Y w "
    "ustawieniach i rozmiar papieru drukarki.";
inline constexpr const char* kLastFailed = "błąd";
inline constexpr const char* kLastRetry = "ponowna próba o ";
inline constexpr const char* kLastSetAside = "odłożony";
inline constexpr const char* kLastEmpty = "bez stron";
inline constexpr const char* kPagesOn = " str. na ";

// Notifications: a title and a text.
inline constexpr const char* kNoticePrinted = "Wydrukowano";
inline constexpr const char* kNoticeSavedPdf = "Zapisano jako PDF";
inline constexpr const char* kPagesInFile = " str. w pliku ";
inline constexpr const char* kNoticeFailed = "Błąd wydruku";
inline constexpr const char* kPrintFailed = "Nie udało się wydrukować zadania nr ";
inline constexpr const char* kCapturedAt = "pobranego o ";
inline constexpr const char* kAttempt = "próba ";
inline constexpr const char* kNextAttempt = "Następna próba o ";
inline constexpr const char* kFailureSetAside =
    "Zadanie odłożono: plik zachowano i można go wydrukować ponownie z okna „Kolejka wydruków”.";
// A job the print system failed goes behind the jobs queued meanwhile.
inline constexpr const char* kRetryQueued =
    "Zelmo spróbuje ponownie po wydrukach, które czekają w kolejce.";
// What went wrong, in plain words, before the system's own message for the technician.
inline constexpr const char* kTroubleGeneral = "Wystąpił błąd drukowania.";
inline constexpr const char* kTroubleUnreachable =
    "Drukarka nie odpowiada: może jest wyłączona albo odłączona.";
inline constexpr const char* kTroubleRefused = "Drukarka odrzuciła zadanie.";
inline constexpr const char* kTroubleStopped =
    "Drukarka jest zatrzymana, nie ma papieru albo nie przyjmuje zadań.";
inline constexpr const char* kTroubleNoService = "System drukowania nie działa.";
inline constexpr const char* kTroubleDiskFull = "Dysk jest pełny.";
inline constexpr const char* kTroubleNoPermission =
    "Brak uprawnień do drukowania albo do zapisu pliku.";
inline constexpr const char* kSystemMessage = "Komunikat systemu: ";
// The printer waited for when the print system has not yet said which is its default.
inline constexpr const char* kDefaultPrinter = "domyślna";
// Told as the system's message when the print system did not answer in time.
inline constexpr const char* kPrintSystemSilent = "system drukowania nie odpowiada";
inline constexpr const char* kNoticeSetAside = "Wydruk odłożony";
inline constexpr const char* kKeptOnDisk =
    " Plik zachowano; można go wydrukować ponownie z okna "
    "„Kolejka wydruków”.";
inline constexpr const char* kAsideTooManyFailures = "nie udało się go wydrukować mimo wielu prób.";
inline constexpr const char* kAsideNothingPrinted = "nie zawiera żadnej strony do wydruku.";
inline constexpr const char* kAsideUnreadable = "nie można odczytać pliku.";
inline constexpr const char* kAsideInterrupted =
    "drukowanie przerwano, gdy część wydruku mogła już trafić do drukarki.";
inline constexpr const char* kAsidePastLimits = "zadanie przekracza limity wydruku.";
inline constexpr const char* kAsideNotText = "to nie jest wydruk PCL ani tekst.";
inline constexpr const char* kAsideBrokeWorker =
    "zadanie dwukrotnie przerwało wątek drukowania; następne wydruki są drukowane.";
inline constexpr const char* kNoticeEmpty = "Pusty wydruk";
inline constexpr const char* kEmptyDeleted = "plik był pusty i został usunięty.";
inline constexpr const char* kNoticePrinter = "Zmiana drukarki";
inline constexpr const char* kNoticeNoPrinter = "Brak drukarki";
inline constexpr const char* kPdfInstead = "Wydruki trafiają jako pliki PDF do folderu ";
inline constexpr const char* kNoticePrinterWaiting = "Drukarka niedostępna";
inline constexpr const char* kPrinterWaits = "Wydruki czekają, aż drukarka ";
inline constexpr const char* kPrinterWaitsEnd = " znów będzie dostępna.";
inline constexpr const char* kNoticePrinterBack = "Drukarka dostępna";
inline constexpr const char* kPrinterBack = "Drukarka ";
inline constexpr const char* kPrinterBackEnd = " znów przyjmuje wydruki.";
inline constexpr const char* kNoticeSent = "Wysłano do drukarki";
inline constexpr const char* kNoticeCapture = "Nie można pobrać pliku Wydruk.prn";
inline constexpr const char* kCaptureImpossible =
    "Zelmo nie może przejąć wydruku: w miejscu pliku Wydruk.prn jest dowiązanie albo folder, "
    "albo folderu nie można zapisać. Zelmo ponawia próby i przejmie wydruk, gdy będzie to "
    "możliwe.";
inline constexpr const char* kNoticeWorker = "Wątek drukowania";
inline constexpr const char* kWorkerDied =
    "Wątek drukowania nieoczekiwanie przerwał pracę i został uruchomiony ponownie.";
inline constexpr const char* kWorkerDiedJob = " Przerwane zadanie ";
inline constexpr const char* kWorkerDiedRetry = " zostanie wydrukowane jeszcze raz.";
inline constexpr const char* kWorkerSilent =
    "Wątek drukowania nie odpowiada od 5 minut, więc następne wydruki czekają.";
inline constexpr const char* kWorkerSilentJob = " Drukowane zadanie: ";
inline constexpr const char* kWorkerSilentAdvice =
    " Jeśli drukowanie nie ruszy, uruchom Zelmo ponownie: zadanie, które dwukrotnie przerwie "
    "drukowanie, zostanie odłożone.";
inline constexpr const char* kNoticeJournal = "Nie można zapisać dziennika kolejki";
inline constexpr const char* kJournalFailed =
    "Wydruki są drukowane, ale po awarii programu oczekujące mogłyby nie zostać wznowione. "
    "Zapis jest ponawiany. Przyczyna: ";
// The message box of a failed test page: our sentence, then the system's message.
inline constexpr const char* kPrintFailedBox = "Nie udało się wydrukować strony testowej.";

// The queue window.
inline constexpr const char* kQueueTitle = "Kolejka wydruków";
inline constexpr const char* kQueueColumns[] = {"Nr", "Plik", "Czas", "Rozmiar", "Stan"};
inline constexpr const char* kPrintAgain = "Drukuj &ponownie";
inline constexpr const char* kDelete = "&Usuń";
inline constexpr const char* kOpenFolder = "Otwórz &folder";
inline constexpr const char* kOpenPdf = "Otwórz P&DF";
inline constexpr const char* kPdfGone = "Pliku %1 już nie ma: został usunięty lub przeniesiony.";
inline constexpr const char* kPdfOpenFailed =
    "Nie można otworzyć pliku %1. Czy jest zainstalowany program do przeglądania plików PDF?";
inline constexpr const char* kClose = "&Zamknij";
inline constexpr const char* kConfirmDelete =
    "Usunąć plik %1? Tego wydruku nie będzie można "
    "już wydrukować.";
inline constexpr const char* kDeleteFailed = "Nie można usunąć pliku %1.";
inline constexpr const char* kStateWaiting = "oczekuje (";
inline constexpr const char* kStateWaitingEnd = ". w kolejce)";
inline constexpr const char* kStatePrinting = "drukowanie";
inline constexpr const char* kStateHeld = "wstrzymany (";
inline constexpr const char* kStateNoPrinter = "czeka na drukarkę";
inline constexpr const char* kStateInPrinterQueue = "w kolejce drukarki";
inline constexpr const char* kStateRetrying = "ponowna próba o ";
inline constexpr const char* kStateFailures = ", nieudane próby: ";
inline constexpr const char* kStateSetAside = "odłożony";
inline constexpr const char* kStateReasonSeparator = ": ";
inline constexpr const char* kStateLeftover = "z poprzedniego uruchomienia (niedrukowany)";
// The history's rows: a finished job, where it went, and its pages in the size column.
inline constexpr const char* kHistoryPrinted = "wydrukowany na:";
inline constexpr const char* kHistorySent = "wysłany do drukarki:";
inline constexpr const char* kHistorySavedPdf = "zapisany jako PDF:";
inline constexpr const char* kHistoryPdf = ", PDF: ";
inline constexpr const char* kHistoryEmpty = "pusty, usunięty";
inline constexpr const char* kHistoryDeleted = "usunięty przez użytkownika";
inline constexpr const char* kHistoryPages = " str.";

// Files beside the program.
inline constexpr const char* kSettingsFileName = "Zelmo.ini";
inline constexpr const char* kMonitoredFileName = "Wydruk.prn";
inline constexpr const char* kPdfFolderName = "Wydruki";
// Where the archive's copies wait for the archive folder; ASCII, safe for every path API.
inline constexpr const char* kArchiveStagingName = "Archiwum-do-wyslania";
// The folder of an installed Zelmo started without --dir, in the user's home.
inline constexpr const char* kHomeFolderName = "Zelmo";
inline constexpr const char* kSettingsSection = "User";
// Our own settings, apart from the window's.
inline constexpr const char* kOwnSection = "Zelmo";
inline constexpr const char* kPrinterKey = "Printer";
inline constexpr const char* kNotificationsKey = "Notifications";

// The log beside the settings file, one line per event after the local time.
inline constexpr const char* kLogFileName = "Zelmo.log";
inline constexpr const char* kLogStarted = "Start monitorowania folderu";
inline constexpr const char* kLogStopped = "Koniec monitorowania";
inline constexpr const char* kStoppedWithoutWorker =
    "system druku nie odpowiadał, więc drukowanie nie zostało dokończone; wydruki zostały w "
    "kolejce";
inline constexpr const char* kLogCaptured = "Przyjęto zadanie";
inline constexpr const char* kLogPrinted = "Wydrukowano";
// A job of the PDF folder printer: saved, not printed.
inline constexpr const char* kLogSavedPdf = "Zapisano jako PDF";
inline constexpr const char* kLogPdfFile = "plik:";
inline constexpr const char* kLogPages = "stron:";
inline constexpr const char* kLogOnPrinter = "drukarka:";
inline constexpr const char* kLogFailed = "Błąd drukowania";
inline constexpr const char* kLogAttempt = "próba";
inline constexpr const char* kLogRetry = "Ponowna próba";
inline constexpr const char* kLogAt = "o";
inline constexpr const char* kLogSetAside = "Odłożono";
inline constexpr const char* kLogNothingPrinted = "Zadanie bez stron";
inline constexpr const char* kLogEmptyDeleted = "Pusty plik usunięty:";
inline constexpr const char* kLogResumed = "Wznowiono zadanie";
inline constexpr const char* kLogFromLastRun = "(z poprzedniego uruchomienia)";
inline constexpr const char* kLogPrintAgain = "Ponownie do druku";
inline constexpr const char* kLogDeleted = "Usunięto";
inline constexpr const char* kLogCaptureImpossible = "Nie można przejąć pliku Wydruk.prn";
inline constexpr const char* kLogCaptureRestored = "Przejmowanie pliku Wydruk.prn znów działa";
inline constexpr const char* kLogPrinterChanged = "Drukarka";
// No printer in the system is no error: the PDF folder prints, and the log says so plainly.
inline constexpr const char* kLogPrinterMissing =
    "W systemie nie ma drukarki: wydruki są zapisywane jako pliki PDF w folderze";
inline constexpr const char* kLogPrinterWaiting = "Kolejka czeka na drukarkę";
inline constexpr const char* kLogPrinterBack = "Drukarka znów przyjmuje wydruki";
inline constexpr const char* kLogSubmitted = "W kolejce drukarki";
inline constexpr const char* kLogSent = "Wysłano do drukarki";
inline constexpr const char* kLogWorkerDied =
    "Wątek drukowania przerwał pracę i został uruchomiony ponownie";
inline constexpr const char* kLogWorkerSilent = "Wątek drukowania nie odpowiada od 5 minut";
inline constexpr const char* kLogDuring = "podczas zadania";
inline constexpr const char* kLogArchiveFailed = "Nie zapisano kopii w archiwum";
inline constexpr const char* kLogTestPage = "Zlecono stronę testową";
inline constexpr const char* kLogPaused = "Wstrzymano drukowanie (wydruki są nadal przyjmowane)";
inline constexpr const char* kLogResumedMonitoring = "Wznowiono drukowanie";
inline constexpr const char* kLogSettingsSaved = "Zapisano ustawienia";
inline constexpr const char* kLogPrinterChosen = "Wybrano drukarkę";
inline constexpr const char* kLogArchiveChanged = "Zmieniono folder archiwum";
inline constexpr const char* kLogNoArchive = "brak (kopie nie są zapisywane)";
// The saved settings as the log lists them.
inline constexpr const char* kLogOffsetX = "przesunięcie X ";
inline constexpr const char* kLogOffsetY = " mm, Y ";
inline constexpr const char* kLogMm = " mm, ";
inline constexpr const char* kLogSingleMode = ", tryb pojedyńczy: ";
inline constexpr const char* kLogCodePage = ", kodowanie tekstu: ";
inline constexpr const char* kLogYes = "tak";
inline constexpr const char* kLogNo = "nie";
// Standard buttons of our own dialogs.
inline constexpr const char* kButtonYes = "&Tak";
inline constexpr const char* kButtonNo = "&Nie";
// The log's own trouble, told in a notification since the log cannot hold it.
inline constexpr const char* kLogTroubleCaption = "Dziennik Zelmo.log";
inline constexpr const char* kLogUnwritable =
    "Nie można zapisać dziennika zdarzeń. Zelmo drukuje dalej, a zaległe wpisy zapisze przy "
    "następnym zdarzeniu.";
inline constexpr const char* kLogNotRotated =
    "Nie można zachować starego dziennika zdarzeń, więc zaczęto go od nowa, by nie rósł bez "
    "końca. Zelmo drukuje dalej.";
// A value of Zelmo.ini that is not understood; the key and value follow, then what is used.
inline constexpr const char* kSettingCaption = "Ustawienia Zelmo.ini";
inline constexpr const char* kSettingIgnored = "Nie rozpoznano ustawienia ";
inline constexpr const char* kSettingDefaultUsed = "; użyto wartości domyślnej.";
inline constexpr const char* kSettingsIgnored = "Nie rozpoznano ustawień: ";
inline constexpr const char* kSettingDefaultsUsed = "; użyto wartości domyślnych.";
inline constexpr const char* kLogJournalFailed = "Nie można zapisać dziennika kolejki Zelmo.queue";
inline constexpr const char* kLogJournalRestored = "Dziennik kolejki Zelmo.queue znów zapisywany";
// A job's number, before the number itself: "nr 17".
inline constexpr const char* kJobNumber = "nr ";
// In the file name of a document printed again on the user's request.
inline constexpr const char* kPrintedAgain = "ponownie";

// Why a job was set aside, indexed by SetAsideReason.
inline constexpr const char* kSetAsideReasons[] = {
    "",
    "drukowanie nie powiodło się mimo ponawiania",
    "zadanie nie zawiera żadnej strony",
    "nie można odczytać pliku",
    "drukowanie przerwane, część mogła już trafić do drukarki",
    "zadanie przekracza limity wydruku",
    "to nie jest wydruk PCL ani tekst",
    "zadanie dwukrotnie przerwało wątek drukowania",
};
// Before what a job that is neither a print nor text looks like: "..., lecz plik PDF".
inline constexpr const char* kLooksLike = ", lecz ";

// Hands the platform the texts it puts into file names and messages; first thing at start.
inline void installPlatformTexts() {
    installShownTexts({kTest,
                       {kVectorTest, kBitmapTest, kBitmapDiTest},
                       kArchiveIsStaging,
                       kStagingIsLink,
                       kArchiveMissing,
                       kJobNumber,
                       kPrintedAgain});
}

}  // namespace zelmo::texts
