// Every text the user sees in the window, the tray and the message boxes, verbatim, in UTF-8.
#pragma once

namespace zelmo::texts {

inline constexpr const char* kCaption = "Kalvister II - Monitor Wydruków (wersja 3.1.0)";
inline constexpr const char* kMessageCaption = "Kalvister II - Monitor Wydruków";
inline constexpr const char* kInvalidValue = "Nieprawidłowa wartość.";
// Our words before the system's message in the box of a failed print.
inline constexpr const char* kPrintFailed = "Drukowanie nie powiodło się.";

inline constexpr const char* kStatus = "Status";
inline constexpr const char* kMonitoredFile = "Monitorowany plik:";
inline constexpr const char* kMonitoring = "Monitorowanie pliku:";
inline constexpr const char* kMonitoringPaused = "Wstrzymane monitorowanie pliku:";
inline constexpr const char* kNoData = "Brak danych";
inline constexpr const char* kPrintsTo = "Wydruki na:";

inline constexpr const char* kSettings = "Ustawienia";
inline constexpr const char* kOffsets = "Przesunięcia [mm]:";
inline constexpr const char* kX = "X:";
inline constexpr const char* kY = "Y:";
inline constexpr const char* kModify = "&Modyfikuj";
inline constexpr const char* kSave = "&Zapisz";
inline constexpr const char* kSingleMode = "Tryb pojedyńczy";
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

inline constexpr const char* kTrayCreateError = "Cannot Create System Shell Notification Icon";
inline constexpr const char* kTrayRemoveError = "Cannot Remove System Shell Notification Icon";

// Files beside the program.
inline constexpr const char* kSettingsFileName = "Zelmo.ini";
inline constexpr const char* kMonitoredFileName = "Wydruk.prn";
inline constexpr const char* kPdfFolderName = "Wydruki";
inline constexpr const char* kSettingsSection = "User";

// The log beside the settings file, one line per event after the local time.
inline constexpr const char* kLogFileName = "Zelmo.log";
inline constexpr const char* kLogStarted = "Start monitorowania folderu";
inline constexpr const char* kLogStopped = "Koniec monitorowania";
inline constexpr const char* kLogCaptured = "Przyjęto zadanie";
inline constexpr const char* kLogPrinted = "Wydrukowano";
inline constexpr const char* kLogPages = "stron:";
inline constexpr const char* kLogOnPrinter = "drukarka:";
inline constexpr const char* kLogFailed = "Błąd drukowania";
inline constexpr const char* kLogAttempt = "próba";
inline constexpr const char* kLogRetry = "Ponowna próba";
inline constexpr const char* kLogAt = "o";
inline constexpr const char* kLogSetAside = "Odłożono";
inline constexpr const char* kLogNothingPrinted = "Zadanie bez stron";
inline constexpr const char* kLogResumed = "Wznowiono zadanie";
inline constexpr const char* kLogFromLastRun = "(z poprzedniego uruchomienia)";
inline constexpr const char* kLogPrintAgain = "Ponownie do druku";
inline constexpr const char* kLogDeleted = "Usunięto";
inline constexpr const char* kLogCaptureImpossible = "Nie można przejąć pliku Wydruk.prn";
inline constexpr const char* kLogCaptureRestored = "Przejmowanie pliku Wydruk.prn znów działa";
inline constexpr const char* kLogPrinterChanged = "Drukarka";
inline constexpr const char* kLogPrinterMissing = "Brak drukarki";

// Why a job was set aside, indexed by SetAsideReason.
inline constexpr const char* kSetAsideReasons[] = {
    "",
    "drukowanie nie powiodło się mimo ponawiania",
    "zadanie nie zawiera żadnej strony",
    "nie można odczytać pliku",
    "drukowanie przerwane zamknięciem programu",
};

}  // namespace zelmo::texts
