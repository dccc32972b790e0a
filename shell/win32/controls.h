// The Win32 window's messages, menu items and window classes, shared by the window and by the
// tool that reads the window back in the tests; the controls and their bounds are the window's
// facts, shared with the Qt window.
#pragma once

#include "shell/window_design.h"

namespace zelmo::win32 {

using namespace zelmo::window;

// WM_APP messages of the main window.
enum : unsigned {
    kTrayMessage = 0x8001,       // the tray icon's callback (WM_APP + 1)
    kExceptionMessage = 0x8002,  // lParam: a heap std::string* from the worker thread
    kTrayIconQuery = 0x8003,     // returns the TrayIconKind the tray shows, for the tests
    kWorkerFinished = 0x8004,    // the print worker has finished a hand-over
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

}  // namespace zelmo::win32
