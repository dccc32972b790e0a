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

inline constexpr const char* kArchiveFolder = "Folder archiwum...";
inline constexpr const char* kArchiveChoose = "Wybierz folder archiwum wydruków";
inline constexpr const char* kArchiveCaption = "Archiwum wydruków";
inline constexpr const char* kArchiveFailed = "Nie zapisano kopii w archiwum: ";

inline constexpr const char* kTrayCreateError = "Cannot Create System Shell Notification Icon";
inline constexpr const char* kTrayRemoveError = "Cannot Remove System Shell Notification Icon";

// Files beside the program.
inline constexpr const char* kSettingsFileName = "Zelmo.ini";
inline constexpr const char* kMonitoredFileName = "Wydruk.prn";
inline constexpr const char* kPdfFolderName = "Wydruki";
inline constexpr const char* kSettingsSection = "User";

}  // namespace zelmo::texts
