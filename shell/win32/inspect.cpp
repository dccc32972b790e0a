// zelmo-inspect: drives and reads back a running Zelmo window through Win32, for the tests.
//
//   zelmo-inspect layout    the window's client size and every control's bounds and text, one a
//                           line, then "placed centred" when the window is in the middle of
//                           the work area; exit status 1 when a bound differs from the layout
//                           scaled to the window's DPI
//   zelmo-inspect contrast  the locked settings' text against its background as on screen, one
//                           "contrast NAME RATIO" a line; exit status 1 below 4.5 to 1
//   zelmo-inspect show      a double click on the tray icon, repeated until the window stays
//                           shown; exit status 1 when it does not within 15 seconds
//   zelmo-inspect menu      the right button released over the tray icon (opens PopupMenu)
//   zelmo-inspect escape    closes an open menu
//   zelmo-inspect invalid   "Modyfikuj", "abc" into OffsetXEdit, "Zapisz": prints the message box
//   zelmo-inspect ok        presses OK in the open message box
//   zelmo-inspect close     closes the window
//   zelmo-inspect answer yes|no  answers the open question box; prints its question (lines
//                           joined by spaces) and its buttons' texts
//   zelmo-inspect queue     opens the queue window from the tray menu; prints its title, its
//                           columns and its rows, cells separated by " | "
//   zelmo-inspect delete    in the open queue window, selects the first row, clicks "Usuń" and
//                           answers Yes; prints the question, then the rows left
//   zelmo-inspect openpdf   in the open queue window, selects the first row; prints the row and
//                           whether "Otwórz PDF" is enabled for it: "openpdf enabled|disabled"
//   zelmo-inspect pause     the tray menu's "Wstrzymaj"
//   zelmo-inspect icon      the tray icon's variant: monitoring, paused or error
//   zelmo-inspect boxes     the failure boxes on screen: their number, then each one's text
//   zelmo-inspect hide      minimises the window (to the tray)
//   zelmo-inspect front     "front yes" when the window is shown and in front, else "front no"
//   zelmo-inspect command N chooses the menu item numbered N (see controls.h)
//   zelmo-inspect printer   the default printer's geometry as zelmo-render --printer takes it:
//                           W,H,DPI,LEFT,TOP,RIGHT,BOTTOM in device pixels (no window needed)
#include <windows.h>
#include <winspool.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "shell/win32/controls.h"
#include "shell/win32/dpi.h"

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

// "centred" when the window is in the middle of its monitor's work area (to a pixel), else
// where it is.
std::string placement(HWND window) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const long dx = (frame.left - area.left) - (area.right - frame.right);
    const long dy = (frame.top - area.top) - (area.bottom - frame.bottom);
    if (dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1) return "centred";
    char text[80];
    std::snprintf(text, sizeof text, "at %ld,%ld in %ld,%ld-%ld,%ld", frame.left, frame.top,
                  area.left, area.top, area.right, area.bottom);
    return text;
}

// Prints the layout as read back; counts the bounds that differ from the table at the window's
// DPI.
int printLayout(HWND window) {
    const int dpi = windowDpi(window);
    const auto at = [dpi](int length) { return scaled(length, dpi); };
    RECT client;
    ::GetClientRect(window, &client);
    std::printf("dpi %d\nwindow %ld %ld %s\n", dpi, client.right, client.bottom,
                textOf(window).c_str());
    // A window widened for its title keeps the panel in its middle.
    const int shift = std::max(0, static_cast<int>(client.right) - at(kClientWidth)) / 2;
    int differences = client.right < at(kClientWidth) || client.bottom != at(kClientHeight);
    for (const ControlLayout& layout : kLayout) {
        HWND control = controlOf(window, layout.id);
        HWND parent = layout.id == MainPanel ? window : controlOf(window, layout.parent);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const int width = r.right - r.left, height = r.bottom - r.top;
        // A zero in the table is a size taken from the text or the system.
        const int left = at(layout.left) + (layout.id == MainPanel ? shift : 0);
        const bool same = control && r.left == left && r.top == at(layout.top) &&
                          (layout.width == 0 || width == at(layout.width)) &&
                          (layout.height == 0 || height == at(layout.height));
        differences += !same;
        std::printf("%s %ld %ld %d %d %s%s\n", layout.name, r.left, r.top, width, height,
                    textOf(control).c_str(), same ? "" : " MISMATCH");
    }
    std::printf("placed %s\n", placement(window).c_str());
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
    HWND button = controlOf(window, ModifyButton);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    ::SendMessageW(controlOf(window, OffsetXEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
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

// Memory in the window's process: the list view's messages take pointers, which Win32 does
// not carry across processes as it does for WM_GETTEXT.
class RemoteMemory {
  public:
    RemoteMemory(HWND window, size_t size) : size_(size) {
        DWORD id = 0;
        ::GetWindowThreadProcessId(window, &id);
        process_ =
            ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (process_)
            at_ =
                ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteMemory() {
        if (at_) ::VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) ::CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool valid() const { return at_ != nullptr; }
    char* at(size_t offset = 0) const { return static_cast<char*>(at_) + offset; }
    bool write(const void* data, size_t size, size_t offset = 0) const {
        return ::WriteProcessMemory(process_, at(offset), data, size, nullptr);
    }
    bool read(void* data, size_t size, size_t offset = 0) const {
        return ::ReadProcessMemory(process_, at(offset), data, size, nullptr);
    }

  private:
    HANDLE process_ = nullptr;
    void* at_ = nullptr;
    size_t size_;
};

// A cell of a list view (column 0: the item's own text) or, with row -1, a column's header.
std::string listText(HWND list, const RemoteMemory& memory, int row, int column) {
    constexpr size_t kTextOffset = 512, kTextChars = 512;
    wchar_t text[kTextChars] = {};
    if (row < 0) {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = reinterpret_cast<wchar_t*>(memory.at(kTextOffset));
        info.cchTextMax = kTextChars;
        memory.write(&info, sizeof info);
        ::SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(memory.at()));
    } else {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(memory.at(kTextOffset));
        item.cchTextMax = kTextChars;
        memory.write(&item, sizeof item);
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory.at()));
    }
    memory.read(text, sizeof text - sizeof(wchar_t), kTextOffset);
    return narrow(text);
}

// Opens the queue window as a user would and prints what it shows.
int printQueue(HWND window) {
    ::PostMessageW(window, WM_COMMAND, QueueItem, 0);
    HWND queue = nullptr;
    for (int i = 0; i < 100 && !(queue && ::IsWindowVisible(queue)); ++i) {
        ::Sleep(100);
        queue = ::FindWindowW(kQueueWindowClass, nullptr);
    }
    if (!queue || !::IsWindowVisible(queue)) return 1;
    HWND list = ::GetDlgItem(queue, QueueList);
    RemoteMemory memory(queue, 4096);
    if (!list || !memory.valid()) return 1;
    std::printf("title %s\n", textOf(queue).c_str());
    const int columns = static_cast<int>(::SendMessageW(
        reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    std::string line = "columns";
    for (int column = 0; column < columns; ++column)
        line += (column ? " | " : " ") + listText(list, memory, -1, column);
    std::printf("%s\n", line.c_str());
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        line = "row";
        for (int column = 0; column < columns; ++column)
            line += (column ? " | " : " ") + listText(list, memory, row, column);
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

// The longest text of the box's children, its lines joined by spaces, once the box has made them.
std::string questionOf(HWND box) {
    std::string question;
    for (int i = 0; i < 50 && question.empty(); ++i) {
        ::Sleep(100);
        for (HWND child = ::GetWindow(box, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (std::string own = textOf(child); own.size() > question.size()) question = own;
    }
    std::string joined;
    for (char c : question)
        if (c != '\r' && !(c == '\n' && !joined.empty() && joined.back() == ' '))
            joined += c == '\n' ? ' ' : c;
    return joined;
}

// Answers the open question box as a user would, after printing what it asks and offers.
int answerQuestion(bool yes) {
    HWND box = findMessageBox();
    if (!box) return 1;
    std::printf("question %s\n", questionOf(box).c_str());
    std::string buttons;
    for (int id : {IDYES, IDNO})
        if (HWND button = ::GetDlgItem(box, id)) buttons += " " + textOf(button);
    std::printf("buttons%s\n", buttons.c_str());
    return !::PostMessageW(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
}

// Deletes the queue window's first file as a user would: select, "Usuń", confirm.
int deleteFirst() {
    HWND queue = ::FindWindowW(kQueueWindowClass, nullptr);
    HWND list = queue ? ::GetDlgItem(queue, QueueList) : nullptr;
    RemoteMemory memory(queue, sizeof(LVITEMW));
    if (!list || !memory.valid()) return 1;
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.write(&item, sizeof item);
    ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(memory.at()));
    // A click on a disabled button does nothing: the selection must have enabled it.
    ::PostMessageW(::GetDlgItem(queue, QueueDelete), BM_CLICK, 0, 0);
    HWND box = findMessageBox();
    if (!box) return 1;
    std::printf("question %s\n", questionOf(box).c_str());
    ::PostMessageW(box, WM_COMMAND, IDYES, 0);
    ::Sleep(1000);
    std::printf("rows %d\n", static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    return 0;
}

// Selects the queue window's first row as a user would and tells whether it may open a PDF.
int openPdfState() {
    HWND queue = ::FindWindowW(kQueueWindowClass, nullptr);
    HWND list = queue ? ::GetDlgItem(queue, QueueList) : nullptr;
    RemoteMemory memory(queue, 4096);
    if (!list || !memory.valid()) return 1;
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.write(&item, sizeof item);
    ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(memory.at()));
    ::Sleep(200);
    std::string line = "row";
    for (int column = 0; column < 5; ++column)
        line += (column ? " | " : " ") + listText(list, memory, 0, column);
    std::printf("%s\n", line.c_str());
    HWND button = ::GetDlgItem(queue, QueueOpenPdf);
    std::printf("openpdf %s %s\n", button && ::IsWindowEnabled(button) ? "enabled" : "disabled",
                button ? textOf(button).c_str() : "");
    return 0;
}

// The failure boxes of the window's process, with the text each shows.
int printFailureBoxes(HWND window) {
    struct Search {
        DWORD process;
        std::vector<std::string> texts;
    } search{};
    ::GetWindowThreadProcessId(window, &search.process);
    ::EnumWindows(
        [](HWND top, LPARAM found) -> BOOL {
            auto* search = reinterpret_cast<Search*>(found);
            wchar_t name[64] = {};
            DWORD process = 0;
            ::GetWindowThreadProcessId(top, &process);
            ::GetClassNameW(top, name, 64);
            if (process != search->process || ::lstrcmpW(name, kFailureBoxClass) != 0 ||
                !::IsWindowVisible(top))
                return TRUE;
            std::string text;
            for (HWND child = ::GetWindow(top, GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT))
                if (std::string own = textOf(child); own.size() > text.size()) text = own;
            search->texts.push_back(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::printf("boxes %zu\n", search.texts.size());
    for (std::string& text : search.texts) {
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        std::printf("box %s\n", text.c_str());
    }
    return 0;
}

// The relative luminance of a screen colour, as the web's accessibility guidelines define it.
double luminance(COLORREF colour) {
    const auto linear = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
           0.0722 * linear(GetBValue(colour));
}

// The contrast of a control's text to its background as the screen shows it: the darkest pixel
// of the text's area against its commonest. inset trims the frame; skip leaves out a check
// box's box or a list's button.
double textContrast(HWND control, int inset, int skipLeft, int skipRight) {
    // Read from the screen: another process's window can only be read as shown.
    RECT r{};
    ::GetClientRect(control, &r);
    ::MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
    HDC dc = ::GetDC(nullptr);
    std::map<COLORREF, int> counts;
    COLORREF darkest = RGB(255, 255, 255);
    for (int y = r.top + inset; y < r.bottom - inset; ++y)
        for (int x = r.left + inset + skipLeft; x < r.right - inset - skipRight; ++x) {
            const COLORREF pixel = ::GetPixel(dc, x, y);
            if (pixel == CLR_INVALID) continue;
            ++counts[pixel];
            if (luminance(pixel) < luminance(darkest)) darkest = pixel;
        }
    ::ReleaseDC(nullptr, dc);
    COLORREF common = darkest;
    int most = 0;
    for (const auto& [pixel, count] : counts)
        if (count > most) common = pixel, most = count;
    const double a = luminance(darkest), b = luminance(common);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The locked settings' contrast, one line each; exit status 1 when one is below 4.5 to 1.
int printContrast(HWND window) {
    const int dpi = windowDpi(window);
    const struct {
        ControlId id;
        int skipLeft, skipRight;
    } controls[] = {{OffsetXEdit, 0, 0},
                    {SingleMode, scaled(16, dpi), 0},
                    {PrintEngine, 0, scaled(20, dpi)},
                    {CodePageList, 0, scaled(20, dpi)}};
    int low = 0;
    for (const auto& c : controls) {
        const double ratio =
            textContrast(controlOf(window, c.id), scaled(3, dpi), c.skipLeft, c.skipRight);
        low += ratio < 4.5;
        std::printf("contrast %s %.1f\n", layoutOf(c.id).name, ratio);
    }
    return low == 0 ? 0 : 1;
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
    // The window's true pixels: an unaware reader would be given them scaled to 96 DPI.
    ::SetProcessDPIAware();
    if (command == "printer") return printGeometry();
    HWND window = findWindow();
    if (!window) {
        std::fprintf(stderr, "zelmo-inspect: no Zelmo window\n");
        return 1;
    }
    if (command == "layout") return printLayout(window);
    if (command == "contrast") return printContrast(window);
    if (command == "show") return showWindow(window);
    if (command == "menu") return !::PostMessageW(window, kTrayMessage, 1, WM_RBUTTONUP);
    if (command == "escape") return !::PostMessageW(window, WM_CANCELMODE, 0, 0);
    if (command == "invalid") return enterInvalidValue(window);
    if (command == "ok") {
        HWND box = findMessageBox();
        return box ? !::PostMessageW(box, WM_COMMAND, IDOK, 0) : 1;
    }
    if (command == "close") return !::PostMessageW(window, WM_CLOSE, 0, 0);
    if (command == "answer" && argc > 2) return answerQuestion(std::string(argv[2]) == "yes");
    if (command == "queue") return printQueue(window);
    if (command == "pause") return !::PostMessageW(window, WM_COMMAND, PauseItem, 0);
    if (command == "boxes") return printFailureBoxes(window);
    if (command == "delete") return deleteFirst();
    if (command == "openpdf") return openPdfState();
    if (command == "icon") {
        static const char* const kinds[] = {"monitoring", "paused", "error"};
        const LRESULT kind = ::SendMessageW(window, kTrayIconQuery, 0, 0);
        std::printf("icon %s\n", kind >= 0 && kind < 3 ? kinds[kind] : "?");
        return 0;
    }
    if (command == "hide") return !::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (command == "front") {
        const bool front = ::IsWindowVisible(window) && ::GetForegroundWindow() == window;
        std::printf("front %s\n", front ? "yes" : "no");
        return 0;
    }
    if (command == "command" && argc > 2)
        return !::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
    return 2;
}
