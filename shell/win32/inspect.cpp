// zelmo-inspect: drives and reads back a running Zelmo window through Win32, for the tests.
//
//   zelmo-inspect layout    the window's client size and every control's bounds and text, one a
//                           line; exit status 1 when a bound differs from the layout
//   zelmo-inspect show      a double click on the tray icon, repeated until the window stays
//                           shown; exit status 1 when it does not within 15 seconds
//   zelmo-inspect menu      the right button released over the tray icon (opens PopupMenu1)
//   zelmo-inspect escape    closes an open menu
//   zelmo-inspect invalid   "Modyfikuj", "abc" into Edit_X, "Zapisz": prints the message box
//   zelmo-inspect ok        presses OK in the open message box
//   zelmo-inspect close     closes the window
//   zelmo-inspect command N chooses the menu item numbered N (see controls.h)
//   zelmo-inspect printer   the default printer's geometry as zelmo-render --printer takes it:
//                           W,H,DPI,LEFT,TOP,RIGHT,BOTTOM in device pixels (no window needed)
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/wide.h"
#include "shell/win32/controls.h"

namespace {

using namespace zelmo::win32;

// The running main window, waited for up to 30 seconds.
HWND findWindow() {
    for (int i = 0; i < 300; ++i) {
        if (HWND window = ::FindWindowW(L"TMainForm", nullptr)) return window;
        ::Sleep(100);
    }
    return nullptr;
}

// A window's text as UTF-8, read across the process boundary.
std::string textOf(HWND window) {
    wchar_t text[1024] = {};
    ::SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return narrow(text);
}

// A control of the window by its number, found through its parents.
HWND controlOf(HWND window, ControlId id) {
    if (id == MainPanel) return ::GetDlgItem(window, MainPanel);
    for (const ControlLayout& layout : kLayout)
        if (layout.id == id) return ::GetDlgItem(controlOf(window, layout.parent), id);
    return nullptr;
}

// Prints the layout as read back; counts the bounds that differ from the table.
int printLayout(HWND window) {
    RECT client;
    ::GetClientRect(window, &client);
    std::printf("window %ld %ld %s\n", client.right, client.bottom, textOf(window).c_str());
    int differences = client.right != kClientWidth || client.bottom != kClientHeight;
    for (const ControlLayout& layout : kLayout) {
        HWND control = controlOf(window, layout.id);
        HWND parent = layout.id == MainPanel ? window : controlOf(window, layout.parent);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const int width = r.right - r.left, height = r.bottom - r.top;
        // A zero in the table is a size taken from the text or the system.
        const bool same = control && r.left == layout.left && r.top == layout.top &&
                          (layout.width == 0 || width == layout.width) &&
                          (layout.height == 0 || height == layout.height);
        differences += !same;
        std::printf("%s %ld %ld %d %d %s%s\n", layout.name, r.left, r.top, width, height,
                    textOf(control).c_str(), same ? "" : " MISMATCH");
    }
    return differences == 0 ? 0 : 1;
}

// The message box Zelmo shows, waited for up to 10 seconds.
HWND findMessageBox() {
    for (int i = 0; i < 100; ++i) {
        if (HWND box = ::FindWindowW(L"#32770", nullptr)) return box;
        ::Sleep(100);
    }
    return nullptr;
}

// Double-clicks the tray icon until the window has stayed visible for a second. A click that
// comes before the window's own minimise at start-up is undone by it, so one is not enough.
int showWindow(HWND window) {
    int visibleFor = 0;
    for (int i = 0; i < 150 && visibleFor < 10; ++i) {
        if (!::IsWindowVisible(window)) {
            visibleFor = 0;
            if (i % 10 == 0) ::PostMessageW(window, kTrayMessage, 1, WM_LBUTTONDBLCLK);
        } else {
            ++visibleFor;
        }
        ::Sleep(100);
    }
    return visibleFor < 10;
}

// Enters an invalid offset and saves, as a user would; prints the box's caption and text.
int enterInvalidValue(HWND window) {
    HWND button = controlOf(window, Btn);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    ::SendMessageW(controlOf(window, Edit_X), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
    ::PostMessageW(button, BM_CLICK, 0, 0);
    HWND box = findMessageBox();
    if (!box) return 1;
    // The box's children may still be in the making when the box itself is found.
    std::string text;
    for (int i = 0; i < 50 && text.empty(); ++i) {
        if (i) ::Sleep(100);
        ::EnumChildWindows(
            box,
            [](HWND child, LPARAM found) -> BOOL {
                wchar_t name[32] = {};
                ::GetClassNameW(child, name, 32);
                if (::lstrcmpiW(name, L"Static") == 0 && ::GetWindowTextLengthW(child) > 0)
                    *reinterpret_cast<std::string*>(found) = textOf(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
    }
    std::printf("caption %s\ntext %s\n", textOf(box).c_str(), text.c_str());
    return 0;
}

// The default printer's device capabilities, as the printer object reads them.
int printGeometry() {
    wchar_t name[512] = {};
    DWORD size = 512;
    if (!::GetDefaultPrinterW(name, &size)) return 1;
    HDC dc = ::CreateDCW(nullptr, name, nullptr, nullptr);
    if (!dc) return 1;
    const auto cap = [dc](int index) { return ::GetDeviceCaps(dc, index); };
    const int width = cap(PHYSICALWIDTH), height = cap(PHYSICALHEIGHT);
    const int left = cap(PHYSICALOFFSETX), top = cap(PHYSICALOFFSETY);
    std::printf("%d,%d,%d,%d,%d,%d,%d\n", width, height, cap(LOGPIXELSX), left, top,
                width - left - cap(HORZRES), height - top - cap(VERTRES));
    ::DeleteDC(dc);
    return 0;
}

}  // namespace

// Runs one command against the running window.
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string command = argv[1];
    if (command == "printer") return printGeometry();
    HWND window = findWindow();
    if (!window) {
        std::fprintf(stderr, "zelmo-inspect: no Zelmo window\n");
        return 1;
    }
    if (command == "layout") return printLayout(window);
    if (command == "show") return showWindow(window);
    if (command == "menu") return !::PostMessageW(window, kTrayMessage, 1, WM_RBUTTONUP);
    if (command == "escape") return !::PostMessageW(window, WM_CANCELMODE, 0, 0);
    if (command == "invalid") return enterInvalidValue(window);
    if (command == "ok") {
        HWND box = findMessageBox();
        return box ? !::PostMessageW(box, WM_COMMAND, IDOK, 0) : 1;
    }
    if (command == "close") return !::PostMessageW(window, WM_CLOSE, 0, 0);
    if (command == "command" && argc > 2)
        return !::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
    return 2;
}
