// MainForm on plain Win32: every text crosses into the system as UTF-16 through the W calls.
#include "shell/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "platform/errors.h"
#include "platform/folder_watch.h"
#include "platform/win32/wide.h"
#include "shell/feedback.h"
#include "shell/printer_choice.h"
#include "shell/text_settings.h"
#include "shell/texts.h"
#include "shell/win32/dpi.h"
#include "shell/win32/run_at_login.h"
#include "shell/win32/tray_icons.h"

namespace zelmo::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTrayIconId = 1;

// A colour of the window's design.
constexpr COLORREF colourOf(Colour c) {
    return RGB(c.red, c.green, c.blue);
}
constexpr COLORREF kPanel = colourOf(kPanelColour);
constexpr COLORREF kValue = colourOf(kValueColour);
constexpr COLORREF kLocked = colourOf(kLockedColour);
// The class keeps its first name: installers and scripts find a running monitor by it.
constexpr const wchar_t* kWindowClass = L"TMainForm";
constexpr const wchar_t* kPanelClass = L"TPanel";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// A message box of the application's exception display.
void showExceptionBox(HWND owner, const std::string& message) {
    ::MessageBoxW(owner, widen(message).c_str(), L"Zelmo", MB_ICONERROR | MB_OK);
}

// Whether a control is one of the drop-down lists.
bool isList(int id) {
    return id == PrintEngine || id == CodePageList;
}

// Copies text into a fixed wide buffer, cut to fit on a character boundary: half of a
// surrogate pair would show as a stray box at the end of the hint.
template <size_t N>
void copyText(wchar_t (&target)[N], const std::string& text) {
    const std::wstring wide = widen(text);
    size_t n = std::min(wide.size(), N - 1);
    if (n < wide.size() && n > 0 && wide[n - 1] >= 0xD800 && wide[n - 1] < 0xDC00) --n;
    wide.copy(target, n);
    target[n] = L'\0';
}

}  // namespace

// Fonts, brushes and the icon, released with the window's other resources.
struct MainWindow::Resources {
    HFONT font = nullptr;
    HFONT bold = nullptr;
    HBRUSH panelBrush = nullptr;
    HICON icon = nullptr;
    HICON trayIcons[3] = {};     // by TrayIconKind; null where the icon could not be drawn
    std::vector<HFONT> retired;  // fonts of an earlier DPI, which the queue window may still use

    ~Resources() {
        for (HFONT old : retired)
            ::DeleteObject(old);
        for (HICON trayIcon : trayIcons)
            if (trayIcon) ::DestroyIcon(trayIcon);
        for (HGDIOBJ object : {static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(bold),
                               static_cast<HGDIOBJ>(panelBrush)})
            if (object) ::DeleteObject(object);
        if (icon) ::DestroyIcon(icon);
    }
};

// Hands the message over to the window's thread; dropped when the window is gone by then.
void WindowExceptionDisplay::showException(const ZelmoError& error) {
    auto* message = new std::string(exceptionMessage(error));
    if (!window_ ||
        !::PostMessageW(window_, kExceptionMessage, 0, reinterpret_cast<LPARAM>(message)))
        delete message;
}

// Binds the form; the window is made by start().
MainWindow::MainWindow(Printer& printer, const std::string& executablePath,
                       const std::string& folder)
    : executablePath_(executablePath),
      resources_(std::make_unique<Resources>()),
      form_(std::make_unique<MainForm>(*this, printer, display_, executablePath, folder)),
      loginStart_(std::make_unique<RegistryLoginStart>(executablePath, form_->monitoredFolder())),
      trayMenu_(std::make_unique<TrayMenu>(*form_, *this, *loginStart_)) {}

// Shuts the pipeline down if the window did not, then the menu goes.
MainWindow::~MainWindow() {
    form_.reset();
    removeTrayIcon();
    if (window_) ::DestroyWindow(window_);
    if (popupMenu_) ::DestroyMenu(popupMenu_);
}

// Registers the classes, makes the window centred on the desktop, then startUp.
bool MainWindow::start() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    dpi_ = windowDpi(nullptr);
    createFonts();
    resources_->panelBrush = ::CreateSolidBrush(kPanel);
    resources_->icon = static_cast<HICON>(
        ::LoadImageW(instance, L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    createTrayIcons();
    queue_ = std::make_unique<QueueWindow>(*form_, decimalSeparator(), resources_->font);
    form_->jobEvents().add(*queue_);
    registerClasses(instance);
    if (!createWindow(instance)) return false;
    display_.attach(window_);
    createControls();
    createPopupMenu();
    createTrayIcon();
    guarded([this] { form_->startUp(); });
    ::ShowWindow(window_, SW_SHOWNORMAL);
    return true;
}

// The window's class and the panel's.
void MainWindow::registerClasses(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = resources_->icon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    windowClass.lpfnWndProc = panelProc;
    windowClass.hIcon = nullptr;
    windowClass.hbrBackground = resources_->panelBrush;
    windowClass.lpszClassName = kPanelClass;
    ::RegisterClassExW(&windowClass);
}

// The window at its client size, wide enough for its whole title, centred on the work area of
// its monitor; false when it cannot be made.
bool MainWindow::createWindow(HINSTANCE instance) {
    RECT bounds{0, 0, scaled(kClientWidth, dpi_), scaled(kClientHeight, dpi_)};
    ::AdjustWindowRectEx(&bounds, kWindowStyle, FALSE, 0);
    window_ = ::CreateWindowExW(0, kWindowClass, widen(texts::kCaption).c_str(), kWindowStyle, 0, 0,
                                bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr,
                                nullptr, instance, this);
    if (!window_) return false;
    const int wider = std::max(0, titleWidth() - static_cast<int>(bounds.right - bounds.left));
    panelShift_ = wider / 2;
    const int width = static_cast<int>(bounds.right - bounds.left) + wider;
    const int height = static_cast<int>(bounds.bottom - bounds.top);
    // The work area, not the screen: a window centred on the screen sits partly under a
    // taskbar at the top or the side.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor))
        area = monitor.rcWork;
    const int x = area.left + std::max(0, static_cast<int>(area.right - area.left) - width) / 2;
    const int y = area.top + std::max(0, static_cast<int>(area.bottom - area.top) - height) / 2;
    ::SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// The window width its whole title needs: the icon's place, the text in the caption font and
// the caption buttons, as wide as the title bar draws them (Windows 10 draws them wider than
// the metrics say), with the system's spacing.
int MainWindow::titleWidth() const {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return 0;
    HFONT font = ::CreateFontIndirectW(&metrics.lfCaptionFont);
    const std::wstring caption = widen(texts::kCaption);
    HDC dc = ::GetDC(window_);
    HGDIOBJ previous = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE text{};
    ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    ::SelectObject(dc, previous);
    ::ReleaseDC(window_, dc);
    if (font) ::DeleteObject(font);
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    TITLEBARINFOEX bar{};
    bar.cbSize = sizeof bar;
    ::SendMessageW(window_, WM_GETTITLEBARINFOEX, 0, reinterpret_cast<LPARAM>(&bar));
    LONG buttons = 0;
    for (int i : {2, 3, 5})  // minimise, maximise, close
        if (!(bar.rgstate[i] & STATE_SYSTEM_INVISIBLE) && bar.rgrect[i].right > bar.rgrect[i].left)
            buttons = std::max(buttons, frame.right - bar.rgrect[i].left);
    if (buttons == 0) buttons = 3 * metrics.iCaptionWidth;
    const int border = ::GetSystemMetrics(SM_CXFIXEDFRAME) + ::GetSystemMetrics(SM_CXPADDEDBORDER);
    return border + metrics.iCaptionWidth + text.cx + metrics.iCaptionWidth / 2 + buttons;
}

// The message loop, waking also for the folder watch; dialog keys (Tab, Alt+letter) move
// between the controls.
int MainWindow::run() {
    for (;;) {
        const DWORD handles = watched_ ? 1 : 0;
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(handles, &watched_, INFINITE, QS_ALLINPUT,
                                                         MWMO_INPUTAVAILABLE);
        if (handles && woke == WAIT_OBJECT_0) guarded([this] { form_->FolderChanged(); });
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            // Tab, Enter and Escape in whichever of our windows has the message.
            HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
            const bool ours = root && (root == window_ || root == failureBox_.window() ||
                                       root == queue_->window());
            if (ours && ::IsDialogMessageW(root, &message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

// "MS Sans Serif" 11 pixels high at 96 DPI, Central European character set, and its bold face.
void MainWindow::createFonts() {
    const int height = -scaled(11, dpi_);
    const auto make = [height](int weight) {
        return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, EASTEUROPE_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
    };
    resources_->font = make(FW_NORMAL);
    resources_->bold = make(FW_BOLD);
}

// A control's bounds at the window's DPI; a zero width is the text's in the control's font, a
// zero height a label's (a list's drop-down for the engine box).
RECT MainWindow::boundsOf(const ControlLayout& layout, const std::wstring& text, HFONT font) const {
    int width = scaled(layout.width, dpi_);
    if (layout.width == 0) {
        HDC dc = ::GetDC(window_);
        HGDIOBJ previous = ::SelectObject(dc, font);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        ::SelectObject(dc, previous);
        ::ReleaseDC(window_, dc);
        width = extent.cx;
    }
    const int height = layout.height       ? layout.height
                       : isList(layout.id) ? kDropDownHeight
                                           : kLabelHeight;
    // In a window widened for its title the panel keeps to the middle.
    const int left = scaled(layout.left, dpi_) + (layout.id == MainPanel ? panelShift_ : 0);
    const int top = scaled(layout.top, dpi_);
    return RECT{left, top, left + width, top + scaled(height, dpi_)};
}

// One child control at its layout bounds.
HWND MainWindow::createControl(const ControlLayout& layout, const wchar_t* className, DWORD style,
                               const char* text, HFONT font) {
    HWND parent = layout.id == MainPanel ? window_ : control(layout.parent);
    const std::wstring wide = widen(text ? text : "");
    const RECT bounds = boundsOf(layout, wide, font);
    HWND child = ::CreateWindowExW(
        layout.id == OffsetXEdit || layout.id == OffsetYEdit ? WS_EX_CLIENTEDGE : 0, className,
        wide.c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
        bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), ::GetModuleHandleW(nullptr),
        nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// On a monitor of another DPI: new fonts, every control at its bounds there, the window where
// Windows suggests. The old fonts live on with the window: the queue window still uses them.
void MainWindow::changeDpi(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    ::GetClientRect(window_, &client);
    panelShift_ = std::max(0, static_cast<int>(client.right) - scaled(kClientWidth, dpi_)) / 2;
    resources_->retired.push_back(resources_->font);
    resources_->retired.push_back(resources_->bold);
    createFonts();
    for (const ControlLayout& layout : kLayout) {
        HWND child = control(layout.id);
        const bool bold = layout.id == Label_Search || layout.id == Label_Printer ||
                          layout.id == OffsetXEdit || layout.id == OffsetYEdit;
        HFONT font = bold ? resources_->bold : resources_->font;
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(child)) + 1, L'\0');
        text.resize(static_cast<size_t>(
            ::GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
        const RECT r = boundsOf(layout, text, font);
        ::SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (isList(layout.id))
            for (WPARAM part : {static_cast<WPARAM>(-1), WPARAM{0}})
                ::SendMessageW(child, CB_SETITEMHEIGHT, part, scaled(kLabelHeight + 2, dpi_));
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

// The panel, both group boxes and their controls. The group boxes parent their controls, as
// the layout says, and pass the controls' notifications on to the window.
void MainWindow::createControls() {
    HFONT font = resources_->font, bold = resources_->bold;
    // One line each, as wide as its text: a label never breaks its text, not even inside a word.
    const DWORD label = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    createControl(layoutOf(MainPanel), kPanelClass, WS_CLIPCHILDREN, nullptr, font);
    for (ControlId group : {StatusGroup, SettingsGroup}) {
        HWND box = createControl(layoutOf(group), L"BUTTON", BS_GROUPBOX,
                                 group == StatusGroup ? texts::kStatus : texts::kSettings, font);
        ::SetWindowLongPtrW(
            box, GWLP_USERDATA,
            ::SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(groupProc)));
    }
    createControl(layoutOf(Label_MonSta), L"STATIC", label, texts::kMonitoredFile, font);
    for (ControlId value : {Label_Search, Label_Printer})
        addHint(createControl(layoutOf(value), L"STATIC", label | SS_NOTIFY | SS_LEFTNOWORDWRAP,
                              texts::kNoData, bold));
    createControl(layoutOf(PrintsToLabel), L"STATIC", label, texts::kPrintsTo, font);
    createControl(layoutOf(OffsetsLabel), L"STATIC", label, texts::kOffsets, font);
    createControl(layoutOf(XLabel), L"STATIC", SS_RIGHT | SS_NOPREFIX, texts::kX, font);
    createControl(layoutOf(YLabel), L"STATIC", SS_RIGHT | SS_NOPREFIX, texts::kY, font);
    for (ControlId id : {OffsetXEdit, OffsetYEdit}) {
        HWND edit =
            createControl(layoutOf(id), L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, nullptr, bold);
        ::SendMessageW(edit, EM_SETLIMITTEXT, kMaxEditLength, 0);
    }
    createControl(layoutOf(ModifyButton), L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, texts::kModify,
                  font);
    // Checked by the window, not by itself: a locked box stays enabled (its text readable) and
    // ignores the click.
    createControl(layoutOf(SingleMode), L"BUTTON", WS_TABSTOP | BS_CHECKBOX, texts::kSingleMode,
                  font);
    // Never broken: a label that breaks after its colon loses the colon below its one line.
    createControl(layoutOf(CodePageLabel), L"STATIC", label, texts::kCodePageLabel, font);
    // Drawn by the window, so that a locked list's value is in a colour that can be read.
    const DWORD list =
        WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
    HWND engines = createControl(layoutOf(PrintEngine), L"COMBOBOX", list, nullptr, font);
    for (const char* engine : texts::kEngines)
        ::SendMessageW(engines, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(engine).c_str()));
    HWND pages = createControl(layoutOf(CodePageList), L"COMBOBOX", list, nullptr, font);
    for (CodePage page : kCodePages)
        ::SendMessageW(pages, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(widen(codePageName(page)).c_str()));
}

// The height of a list's items and of its selection field: a line of the window's font.
void MainWindow::measureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType == ODT_COMBOBOX) item.itemHeight = scaled(kLabelHeight + 2, dpi_);
}

// A list's item or its selection field; a locked list shows its value in the locked colour.
void MainWindow::drawListItem(const DRAWITEMSTRUCT& item) const {
    if (item.CtlType != ODT_COMBOBOX) return;
    const bool locked = item.itemState & ODS_DISABLED;
    const bool selected = (item.itemState & ODS_SELECTED) && !locked;
    ::FillRect(item.hDC, &item.rcItem,
               ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1)) return;
    std::wstring text(
        static_cast<size_t>(::SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0)) + 1,
        L'\0');
    text.resize(static_cast<size_t>(::SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID,
                                                   reinterpret_cast<LPARAM>(text.data()))));
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, locked     ? kLocked
                             : selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT)
                                        : ::GetSysColor(COLOR_WINDOWTEXT));
    RECT bounds = item.rcItem;
    bounds.left += scaled(2, dpi_);
    ::DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &bounds,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) ::DrawFocusRect(item.hDC, &item.rcItem);
}

// A tooltip over a value label, so a path longer than the label can be read in full.
void MainWindow::addHint(HWND label) {
    if (!tooltip_)
        tooltip_ =
            ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                              nullptr, ::GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    std::wstring text = widen(texts::kNoData);
    tool.lpszText = text.data();
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// The command number of each tray entry: the window's own items keep the numbers the tests
// post, any other takes TrayItemBase plus its id; the printers listed take PrinterFirstItem
// onwards, in the submenu's order.
int MainWindow::commandOf(TrayItem id) {
    switch (id) {
        case TrayItem::Open:
            return SettingsItem;
        case TrayItem::Pause:
            return PauseItem;
        case TrayItem::VectorTest:
            return VectorTestItem;
        case TrayItem::BitmapTest:
            return BitmapTestItem;
        case TrayItem::BitmapDiTest:
            return BitmapDiTestItem;
        case TrayItem::Queue:
            return QueueItem;
        case TrayItem::SystemDefaultPrinter:
            return PrinterDefaultItem;
        case TrayItem::NamedPrinter:
            return PrinterFirstItem;
        case TrayItem::PdfFolderPrinter:
            return PrinterPdfItem;
        case TrayItem::Archive:
            return ArchiveItem;
        case TrayItem::LoginStart:
            return AutostartItem;
        case TrayItem::Exit:
            return ExitItem;
        default:
            return TrayItemBase + static_cast<int>(id);
    }
}

// PopupMenu: the window's and the tray icon's menu, drawn from the tray menu's entries.
void MainWindow::createPopupMenu() {
    popupMenu_ = ::CreatePopupMenu();
    renderMenu(popupMenu_, trayMenu_->entries());
}

// Appends entries to menu, each under its command number.
void MainWindow::renderMenu(HMENU menu, const std::vector<TrayEntry>& entries) {
    UINT printer = PrinterFirstItem;
    for (const TrayEntry& entry : entries) {
        if (entry.id == TrayItem::Separator) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!entry.submenu.empty() || entry.refreshedOnOpen) {
            HMENU submenu = ::CreatePopupMenu();
            renderMenu(submenu, entry.submenu);
            if (entry.id == TrayItem::Printer) printerMenu_ = submenu;
            ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu),
                          widen(entry.text).c_str());
        } else {
            UINT id = static_cast<UINT>(commandOf(entry.id));
            if (entry.id == TrayItem::NamedPrinter) {
                if (printer > PrinterLastItem) continue;
                id = printer++;
            }
            const UINT state = (entry.checked ? MF_CHECKED : MF_UNCHECKED) |
                               (entry.enabled ? MF_ENABLED : MF_GRAYED);
            ::AppendMenuW(menu, MF_STRING | state, id, widen(entry.text).c_str());
            if (entry.isDefault) ::SetMenuDefaultItem(menu, id, FALSE);
        }
    }
}

// "Drukarka": filled each time it opens, as printers come and go while Zelmo runs.
void MainWindow::fillPrinterMenu() {
    while (::GetMenuItemCount(printerMenu_) > 0)
        ::DeleteMenu(printerMenu_, 0, MF_BYPOSITION);
    menuPrinters_.clear();
    const std::vector<TrayEntry> entries = trayMenu_->printerEntries();
    for (const TrayEntry& entry : entries)
        if (entry.id == TrayItem::NamedPrinter) menuPrinters_.push_back(entry.choice);
    renderMenu(printerMenu_, entries);
}

// Every top-level item's check mark and enablement as the menu opens: the login value, the
// archive and the pause may have changed since.
void MainWindow::refreshMenu() {
    for (const TrayEntry& entry : trayMenu_->entries()) {
        const UINT id = static_cast<UINT>(commandOf(entry.id));
        if (id == 0 || !entry.checkable) continue;
        ::CheckMenuItem(popupMenu_, id, MF_BYCOMMAND | (entry.checked ? MF_CHECKED : MF_UNCHECKED));
        ::EnableMenuItem(popupMenu_, id, MF_BYCOMMAND | (entry.enabled ? MF_ENABLED : MF_GRAYED));
    }
}

// The system's folder dialog; false when the user cancels.
bool MainWindow::chooseFolder(const std::string& caption, std::string& folder) {
    const std::wstring title = widen(caption);
    BROWSEINFOW browse{};
    browse.hwndOwner = window_;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen) return false;
    std::wstring path(MAX_PATH, L'\0');
    const bool named = ::SHGetPathFromIDListW(chosen, path.data()) != FALSE;
    ::CoTaskMemFree(chosen);
    if (!named) return false;
    path.resize(wcsnlen(path.c_str(), path.size()));
    folder = narrow(path);
    return !folder.empty();
}

// A menu item's command handed to the tray menu; false for a number that is none of them.
bool MainWindow::trayCommand(int id) {
    if (id >= PrinterFirstItem && id <= PrinterLastItem) {
        const size_t index = static_cast<size_t>(id - PrinterFirstItem);
        if (index < menuPrinters_.size())
            trayMenu_->choose(TrayItem::NamedPrinter, menuPrinters_[index], *this);
        return true;
    }
    for (int i = 0; i < static_cast<int>(TrayItem::Count); ++i) {
        const auto item = static_cast<TrayItem>(i);
        if (item == TrayItem::NamedPrinter || commandOf(item) != id) continue;
        const bool pdf = item == TrayItem::PdfFolderPrinter;
        trayMenu_->choose(item, pdf ? std::string(kPdfFolderChoice) : std::string(), *this);
        return true;
    }
    return false;
}

// The tray icon; without one the window stays on the taskbar when minimised.
void MainWindow::createTrayIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = resources_->trayIcons[0] ? resources_->trayIcons[0] : resources_->icon;
    copyText(data.szTip, texts::kCaption);
    hasTray_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (!hasTray_) showExceptionBox(window_, exceptionMessage(texts::kTrayCreateError));
}

// The tray's variants, drawn once from the program's icon.
void MainWindow::createTrayIcons() {
    for (TrayIconKind kind : {TrayIconKind::Monitoring, TrayIconKind::Paused, TrayIconKind::Error})
        resources_->trayIcons[static_cast<int>(kind)] = makeTrayIcon(resources_->icon, kind);
}

// Takes the tray icon away at exit.
void MainWindow::removeTrayIcon() {
    if (!hasTray_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    hasTray_ = false;
}

// The window object behind a window handle, stored at creation.
LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(window, message, w, l) : ::DefWindowProcW(window, message, w, l);
}

// The panel: its colour, a raised inner bevel, and its children's messages passed up.
LRESULT CALLBACK MainWindow::panelProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT bounds;
            ::GetClientRect(window, &bounds);
            ::DrawEdge(dc, &bounds, BDR_RAISEDINNER, BF_RECT);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ::SendMessageW(::GetParent(window), message, w, l);
    }
    return ::DefWindowProcW(window, message, w, l);
}

// A group box passes its controls' notifications and colour requests up to the window.
LRESULT CALLBACK MainWindow::groupProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    HWND root = ::GetAncestor(window, GA_ROOT);
    if (message == WM_COMMAND || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN ||
        message == WM_MEASUREITEM || message == WM_DRAWITEM)
        return ::SendMessageW(root, message, w, l);
    if (message == WM_ERASEBKGND) {
        // The inside of the box shows the panel's colour, not the button face.
        auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(root, GWLP_USERDATA));
        RECT bounds;
        ::GetClientRect(window, &bounds);
        ::FillRect(reinterpret_cast<HDC>(w), &bounds, self->resources_->panelBrush);
        return 1;
    }
    auto original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return ::CallWindowProcW(original, window, message, w, l);
}

// The window's messages.
LRESULT MainWindow::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_TIMER:
            if (w == kTimerId) guarded([this] { form_->timerTick(); });
            return 0;
        case WM_COMMAND:
            if (HIWORD(w) == BN_CLICKED || HIWORD(w) == 0) command(LOWORD(w));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return colourControl(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l));
        case WM_MEASUREITEM:
            measureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(l));
            return TRUE;
        case WM_DRAWITEM:
            drawListItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
            return TRUE;
        case WM_INITMENUPOPUP:
            menuOpening(reinterpret_cast<HMENU>(w));
            return 0;
        case WM_CONTEXTMENU:
            showPopupMenu();
            return 0;
        case WM_SYSCOMMAND:
            if ((w & 0xFFF0) == SC_MINIMIZE && hasTray_) {
                minimizeToTray();
                return 0;
            }
            break;
        case kTrayMessage:
            trayMessage(l);
            return 0;
        case kExceptionMessage:
            failureArrived(l);
            return 0;
        case kWorkerFinished:
            guarded([this] { form_->WorkerFinished(); });
            return 0;
        case kTrayIconQuery:
            return static_cast<LRESULT>(trayIcon_);
        case WM_CLOSE:
            closeBox();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Log-off, shutdown, or the uninstaller: end now, without a question; the journal
            // keeps the waiting jobs for the next start.
            if (w && form_->mayClose(CloseReason::SessionEnd)) closeWindow();
            return 0;
        case WM_DPICHANGED:
            changeDpi(HIWORD(w), *reinterpret_cast<const RECT*>(l));
            return 0;
        case WM_DESTROY:
            destroyed();
            return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

// The close box (or Alt+F4): the program ends only once the user agrees.
void MainWindow::closeBox() {
    bool end = true;
    guarded([this, &end] { end = form_->mayClose(CloseReason::CloseBox); });
    if (end) closeWindow();
}

// A menu about to open: the printer submenu is filled afresh, the menu's marks read again.
void MainWindow::menuOpening(HMENU menu) {
    if (menu == printerMenu_) guarded([this] { fillPrinterMenu(); });
    if (menu == popupMenu_) guarded([this] { refreshMenu(); });
}

// The tray icon's mouse: the click that opens the window, the right button's menu.
void MainWindow::trayMessage(LPARAM mouse) {
    if ((mouse == WM_LBUTTONUP && trayClickOpensWindow(TrayClick::Single, true)) ||
        (mouse == WM_LBUTTONDBLCLK && trayClickOpensWindow(TrayClick::Double, true)))
        restoreWindow();
    if (mouse == WM_RBUTTONUP) showPopupMenu();
}

// A failure posted by the exception display: its text is ours to free.
void MainWindow::failureArrived(LPARAM text) {
    std::unique_ptr<std::string> message(reinterpret_cast<std::string*>(text));
    showFailure(std::string(texts::kPrintFailedBox) + "\n\n" + *message);
}

// The window is going: the timer stops, the pipeline shuts down, the message loop ends.
void MainWindow::destroyed() {
    ::KillTimer(window_, kTimerId);
    watched_ = nullptr;
    if (form_) guarded([this] { form_->shutDown(); });
    removeTrayIcon();
    display_.attach(nullptr);
    window_ = nullptr;
    ::PostQuitMessage(0);
}

// Labels and check box on the panel's colour; the value labels in their own colour, the locked
// settings in theirs.
LRESULT MainWindow::colourControl(HDC dc, HWND control) {
    const int id = ::GetDlgCtrlID(control);
    const bool edit = id == OffsetXEdit || id == OffsetYEdit;
    // A read-only edit is drawn opaque, or its old text would show through a new one.
    ::SetBkMode(dc, edit ? OPAQUE : TRANSPARENT);
    ::SetBkColor(dc, kPanel);
    if (id == Label_Search || id == Label_Printer) ::SetTextColor(dc, kValue);
    if (!settingsUnlocked_ && (edit || id == SingleMode)) ::SetTextColor(dc, kLocked);
    return reinterpret_cast<LRESULT>(resources_->panelBrush);
}

// Menu items, the button and the check box.
void MainWindow::command(int id) {
    guarded([this, id] {
        if (id == ModifyButton)
            form_->modifyClick();
        else if (id == SingleMode)
            toggleSingleMode();
        else
            trayCommand(id);
    });
}

// The check box follows a click only while the settings are being edited.
void MainWindow::toggleSingleMode() {
    if (settingsUnlocked_) setSingleModeChecked(!singleModeChecked());
}

// PopupMenu at the mouse; the window comes forward first, so the menu closes on a click away.
void MainWindow::showPopupMenu() {
    POINT at;
    ::GetCursorPos(&at);
    ::SetForegroundWindow(window_);
    ::TrackPopupMenu(popupMenu_, TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
    ::PostMessageW(window_, WM_NULL, 0, 0);
}

// Hides the window and its taskbar button, leaving only the tray icon.
void MainWindow::minimizeToTray() {
    ::ShowWindow(window_, SW_HIDE);
    guarded([this] { form_->minimizeToTray(); });
}

void MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showFailure(exceptionMessage(error.what()));
    }
}

// Our sentence first, the system's message after it.
void MainWindow::showFailure(const std::string& message) {
    failureBox_.show(texts::kMessageCaption, message);
}

void MainWindow::showJobFailure(const std::string& job, const std::string& message) {
    failureBox_.show(texts::kMessageCaption, message, job);
}

void MainWindow::followFailure(const std::string& job, const std::string& message) {
    failureBox_.follow(job, message);
}

HWND MainWindow::control(ControlId id) const {
    if (id == MainPanel) return ::GetDlgItem(window_, MainPanel);
    HWND parent = control(layoutOf(id).parent);
    return ::GetDlgItem(parent, id);
}

HWND MainWindow::edit(FocusTarget target) const {
    return control(target == FocusTarget::OffsetYEdit ? OffsetYEdit : OffsetXEdit);
}

void MainWindow::postMinimize() {
    ::PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void MainWindow::restoreWindow() {
    ::ShowWindow(window_, SW_RESTORE);
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
}

void MainWindow::closeWindow() {
    if (window_) ::DestroyWindow(window_);
}

// The standard question box, No the default; the system words Yes and No in its own language.
bool MainWindow::askYesNo(const std::string& text, const std::string& caption) {
    return ::MessageBoxW(window_, widen(text).c_str(), widen(caption).c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::setTimerEnabled(bool enabled) {
    if (enabled)
        ::SetTimer(window_, kTimerId, static_cast<UINT>(kTimerInterval), nullptr);
    else
        ::KillTimer(window_, kTimerId);
}

void MainWindow::setPauseChecked(bool checked) {
    ::CheckMenuItem(popupMenu_, PauseItem, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Label_MonSta keeps its place and takes the width of its new text, as an auto-sized label.
void MainWindow::setMonitorStatus(const std::string& text) {
    HWND label = control(Label_MonSta);
    const std::wstring wide = widen(text);
    ::SetWindowTextW(label, wide.c_str());
    HDC dc = ::GetDC(label);
    HGDIOBJ previous = ::SelectObject(dc, resources_->font);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    ::SelectObject(dc, previous);
    ::ReleaseDC(label, dc);
    ::SetWindowPos(label, nullptr, 0, 0, extent.cx, scaled(kLabelHeight, dpi_),
                   SWP_NOMOVE | SWP_NOZORDER);
}

void MainWindow::setLabelWithHint(HintLabel which, const std::string& text) {
    HWND label = control(which == HintLabel::Label_Search ? Label_Search : Label_Printer);
    std::wstring wide = widen(text);
    ::SetWindowTextW(label, wide.c_str());
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    tool.lpszText = wide.data();
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::setTrayHint(const std::string& text) {
    if (!hasTray_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_TIP;
    copyText(data.szTip, fitHint(text, std::size(data.szTip) - 1));
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void MainWindow::setEditText(FocusTarget target, const std::string& text) {
    ::SetWindowTextW(edit(target), widen(text).c_str());
}

std::string MainWindow::editText(FocusTarget target) const {
    HWND box = edit(target);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

void MainWindow::setEngineIndex(int32_t index) {
    ::SendMessageW(control(PrintEngine), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t MainWindow::engineIndex() const {
    const LRESULT index = ::SendMessageW(control(PrintEngine), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
}

void MainWindow::setSingleModeChecked(bool checked) {
    ::SendMessageW(control(SingleMode), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::singleModeChecked() const {
    return ::SendMessageW(control(SingleMode), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Locked settings stay readable: the edits turn read-only on the panel's colour, the lists are
// disabled but draw their value themselves, the check box ignores clicks; a disabled control's
// grey text can hardly be read on the panel.
void MainWindow::setSettingsEnabled(bool enabled) {
    settingsUnlocked_ = enabled;
    for (ControlId id : {OffsetXEdit, OffsetYEdit})
        ::SendMessageW(control(id), EM_SETREADONLY, enabled ? FALSE : TRUE, 0);
    for (ControlId id : {PrintEngine, CodePageList})
        ::EnableWindow(control(id), enabled);
    for (ControlId id : {OffsetXEdit, OffsetYEdit, SingleMode})
        ::InvalidateRect(control(id), nullptr, TRUE);
}

void MainWindow::setCodePageIndex(int32_t index) {
    ::SendMessageW(control(CodePageList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t MainWindow::codePageIndex() const {
    const LRESULT index = ::SendMessageW(control(CodePageList), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
}

void MainWindow::setButtonCaption(const std::string& caption) {
    ::SetWindowTextW(control(ModifyButton), widen(caption).c_str());
}

void MainWindow::setFocus(FocusTarget target) {
    ::SetFocus(target == FocusTarget::MainPanel ? control(MainPanel) : edit(target));
}

void MainWindow::showWarning(const std::string& text, const std::string& caption) {
    ::MessageBoxW(window_, widen(text).c_str(), widen(caption).c_str(), MB_ICONEXCLAMATION | MB_OK);
}

// A balloon from the tray icon (NIF_INFO); without a tray the news goes unsaid.
void MainWindow::notify(const std::string& title, const std::string& text, bool warning) {
    if (!hasTray_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO;
    copyText(data.szInfoTitle, title);
    copyText(data.szInfo, text);
    data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

// The variant in the tray; the hint says the same in words.
void MainWindow::setTrayIcon(TrayIconKind kind) {
    HICON icon = resources_->trayIcons[static_cast<int>(kind)];
    if (!hasTray_ || !icon) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    if (::Shell_NotifyIconW(NIM_MODIFY, &data)) trayIcon_ = kind;
}

// The queue window, in front.
void MainWindow::showQueueWindow() {
    if (queue_) queue_->open();
}

// The loop waits on the handle from now on; the form keeps it open until shutDown.
void MainWindow::watchHandle(intptr_t handle) {
    watched_ = handle == FolderWatch::kNoHandle ? nullptr : reinterpret_cast<HANDLE>(handle);
}

// Called on the worker's thread: the window's own thread retires the job.
void MainWindow::postWorkerFinished() {
    ::PostMessageW(window_, kWorkerFinished, 0, 0);
}

// LOCALE_SDECIMAL of the user's locale, or "." where it is not one ASCII character.
char MainWindow::decimalSeparator() const {
    wchar_t separator[4] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) == 2 &&
        separator[0] < 0x80)
        return static_cast<char>(separator[0]);
    return '.';
}

}  // namespace zelmo::win32
