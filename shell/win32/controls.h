// The window's controls as the Win32 window numbers them, with the bounds they are placed at;
// shared by the window and by the tool that reads the window back in the tests.
#pragma once

namespace zelmo::win32 {

// WM_APP messages of the main window.
enum : unsigned {
    kTrayMessage = 0x8001,       // the tray icon's callback (WM_APP + 1)
    kExceptionMessage = 0x8002,  // lParam: a heap std::string* from the worker thread
    kTrayIconQuery = 0x8003,     // returns the TrayIconKind the tray shows, for the tests
    kWorkerFinished = 0x8004,    // the print worker has finished a hand-over
};

enum ControlId : int {
    MainPanel = 100,
    StatusGroup,
    Label_MonSta,
    Label_Search,
    PrintsToLabel,
    Label_Printer,
    SettingsGroup,
    OffsetsLabel,
    XLabel,
    OffsetXEdit,
    YLabel,
    OffsetYEdit,
    ModifyButton,
    SingleMode,
    PrintEngine,
};

enum MenuId : int {
    SettingsItem = 200,
    PauseItem,
    VectorTestItem,
    BitmapTestItem,
    BitmapDiTestItem,
    ExitItem,
    QueueItem,
};

// The queue window ("Kolejka wydruków"): its class, list and buttons.
inline constexpr const wchar_t* kQueueWindowClass = L"ZelmoQueue";
enum QueueControlId : int {
    QueueList = 300,
    QueuePrintAgain,
    QueueDelete,
    QueueOpenFolder,
    QueueClose,
    QueueOpenPdf,
};

// The failure box: a window of its own class, so that the tests can count them.
inline constexpr const wchar_t* kFailureBoxClass = L"ZelmoFailureBox";

// Our own items, numbered apart from the window's.
enum OwnMenuId : int {
    AutostartItem = 500,
    ArchiveItem,
    PrinterDefaultItem = 600,
    PrinterPdfItem,
    PrinterFirstItem,  // then one for each printer listed, in the submenu's order
    PrinterLastItem = 1199,
    TrayItemBase = 1200,  // then any other tray entry, by its id (see MainWindow::commandOf)
};

// Bounds relative to the parent; a width or height of 0 is taken from the text.
struct ControlLayout {
    ControlId id;
    ControlId parent;  // MainPanel's parent is the window itself
    const char* name;
    int left, top, width, height;
};

inline constexpr ControlLayout kLayout[] = {
    {MainPanel, MainPanel, "MainPanel", 5, 5, 382, 205},
    {StatusGroup, MainPanel, "StatusGroup", 10, 7, 361, 92},
    {Label_MonSta, StatusGroup, "Label_MonSta", 8, 17, 0, 0},
    {Label_Search, StatusGroup, "Label_Search", 17, 33, 321, 13},
    {PrintsToLabel, StatusGroup, "PrintsToLabel", 8, 55, 0, 0},
    {Label_Printer, StatusGroup, "Label_Printer", 17, 71, 321, 13},
    {SettingsGroup, MainPanel, "SettingsGroup", 10, 105, 361, 89},
    {OffsetsLabel, SettingsGroup, "OffsetsLabel", 8, 20, 0, 0},
    {XLabel, SettingsGroup, "XLabel", 16, 41, 0, 0},
    {OffsetXEdit, SettingsGroup, "OffsetXEdit", 32, 37, 48, 21},
    {YLabel, SettingsGroup, "YLabel", 16, 63, 0, 0},
    {OffsetYEdit, SettingsGroup, "OffsetYEdit", 32, 59, 48, 21},
    {ModifyButton, SettingsGroup, "ModifyButton", 278, 15, 75, 21},
    {SingleMode, SettingsGroup, "SingleMode", 153, 40, 128, 17},
    {PrintEngine, SettingsGroup, "PrintEngine", 153, 59, 200, 0},
};

inline constexpr int kClientWidth = 392;
inline constexpr int kClientHeight = 215;

}  // namespace zelmo::win32
