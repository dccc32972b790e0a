// Every text the user sees in the window, the tray and the message boxes, verbatim, in UTF-8.
#pragma once

namespace zelmo::texts {

inline constexpr const char* kCaption = "Kalvister II - Monitor Wydruków (wersja 3.1.0)";
inline constexpr const char* kMessageCaption = "Kalvister II - Monitor Wydruków";
inline constexpr const char* kInvalidValue = "Nieprawidłowa wartość.";

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

// Starting at login.
inline constexpr const char* kAutostart = "Uruchamiaj przy logowaniu";
inline constexpr const char* kAutostartFailed =
    "Nie udało się zmienić uruchamiania przy logowaniu.";
inline constexpr const char* kAutostartUnfitPath =
    "Tej ścieżki nie można zapisać we wpisie autostartu (znaki sterujące lub kodowanie inne niż "
    "UTF-8): ";
inline constexpr const char* kAutostartNoHome = "Nie ustawiono katalogu domowego (HOME).";

inline constexpr const char* kTrayCreateError = "Cannot Create System Shell Notification Icon";
inline constexpr const char* kTrayRemoveError = "Cannot Remove System Shell Notification Icon";

inline constexpr const char* kVersion = "3.1.0";

// The command line.
inline constexpr const char* kUsage =
    "Użycie: zelmo [--dir FOLDER] [--printer NAZWA] [--headless] [--help] [--version]\n"
    "Monitor wydruków: drukuje pliki Wydruk.prn zapisywane do folderu.\n"
    "\n"
    "  --dir FOLDER      monitoruje FOLDER; tam są Wydruk.prn, kolejka, Zelmo.ini, Zelmo.log\n"
    "                    i Wydruki (domyślnie: folder programu)\n"
    "  --printer NAZWA   drukuje na drukarce NAZWA (kolejka CUPS albo \"Wydruki\": pliki PDF)\n"
    "  --headless        praca w konsoli, bez okna i ikony w zasobniku\n"
    "  --help            wyświetla ten opis i kończy\n"
    "  --version         wyświetla wersję i kończy\n";
inline constexpr const char* kUnknownOption = "nieznana opcja: ";
inline constexpr const char* kOptionNeedsValue = "brak wartości opcji ";
inline constexpr const char* kNoFolder = "nie można użyć folderu: ";
inline constexpr const char* kNoDisplay = "nie można otworzyć ekranu, Zelmo pracuje w konsoli.";
inline constexpr const char* kAlreadyRunning =
    "ten folder jest już monitorowany przez inny Zelmo: ";

// Files beside the program.
inline constexpr const char* kSettingsFileName = "Zelmo.ini";
inline constexpr const char* kMonitoredFileName = "Wydruk.prn";
inline constexpr const char* kPdfFolderName = "Wydruki";
// The folder of an installed Zelmo started without --dir, in the user's home.
inline constexpr const char* kHomeFolderName = "Zelmo";
inline constexpr const char* kSettingsSection = "User";

}  // namespace zelmo::texts
