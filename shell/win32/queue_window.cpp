// The queue window on plain Win32: a list view in report mode and five buttons below it.
#include "shell/win32/queue_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "shell/main_form.h"
#include "shell/texts.h"
#include "shell/win32/controls.h"
#include "shell/win32/dpi.h"

namespace zelmo::win32 {
namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;
constexpr int kWidth = 760;
constexpr int kHeight = 280;
constexpr int kMargin = 8;
constexpr int kButtonHeight = 25;
constexpr int kButtonWidth = 120;
constexpr int kCellPadding = 16;  // the list's margins around a cell's text, and a sort mark's

// The width of a text in the list's font.
int textWidth(HWND list, const char* text) {
    return static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0,
                                           reinterpret_cast<LPARAM>(widen(text).c_str())));
}

// A text of the list at row and column.
void setCell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
}

}  // namespace

// The window is made when it is first opened.
QueueWindow::QueueWindow(MainForm& form, char separator, HFONT font)
    : form_(form), view_(form, separator), font_(font) {}

// The window goes with its owner.
QueueWindow::~QueueWindow() {
    if (window_) ::DestroyWindow(window_);
}

// Makes the window if needed, refreshes it and brings it in front; the list refreshes itself
// while the window is shown, for files that change on their own.
void QueueWindow::open() {
    if (!window_ && !create()) return;
    refresh();
    ::ShowWindow(window_, ::IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(window_);
    ::SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
}

// Registers the class and makes the window and its controls, hidden.
bool QueueWindow::create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        ::LoadImageW(instance, L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kQueueWindowClass;
    ::RegisterClassExW(&windowClass);
    // Centred on the screen, as MainForm is: where the user looks after choosing it in the tray.
    // Scaled up on a small screen it would run off the left edge, title bar and all: it is cut
    // to the screen instead.
    const int dpi = windowDpi(nullptr);
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    const int width = std::min(scaled(kWidth, dpi), screenWidth);
    const int height = std::min(scaled(kHeight, dpi), screenHeight);
    window_ = ::CreateWindowExW(WS_EX_APPWINDOW, kQueueWindowClass,
                                widen(texts::kQueueTitle).c_str(), WS_OVERLAPPEDWINDOW,
                                (screenWidth - width) / 2, (screenHeight - height) / 2, width,
                                height, nullptr, nullptr, instance, this);
    if (!window_) return false;
    createControls();
    placeControls();
    return true;
}

// The list with its columns, and the buttons.
void QueueWindow::createControls() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    list_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
        0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(QueueList)), instance, nullptr);
    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (int column = ColNumber; column < ColCount; ++column) {
        std::wstring header = widen(texts::kQueueColumns[column]);
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        info.fmt = rightAligned(column) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        info.cx = 60;
        info.pszText = header.data();
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                       reinterpret_cast<LPARAM>(&info));
    }
    const std::pair<QueueControlId, const char*> buttons[] = {
        {QueuePrintAgain, texts::kPrintAgain}, {QueueDelete, texts::kDelete},
        {QueueOpenPdf, texts::kOpenPdf},       {QueueOpenFolder, texts::kOpenFolder},
        {QueueClose, texts::kClose},
    };
    for (const auto& [id, text] : buttons) {
        HWND button = ::CreateWindowExW(
            0, L"BUTTON", widen(text).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
            0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
            nullptr);
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
}

// The list fills the window above a row of buttons: four on the left, Close on the right; the
// lengths scaled to the window's monitor.
void QueueWindow::placeControls() {
    RECT client;
    ::GetClientRect(window_, &client);
    const int dpi = windowDpi(window_);
    const int margin = scaled(kMargin, dpi);
    const int buttonHeight = scaled(kButtonHeight, dpi);
    const int buttonWidth = scaled(kButtonWidth, dpi);
    const int buttonTop = client.bottom - margin - buttonHeight;
    ::MoveWindow(list_, margin, margin, client.right - 2 * margin, buttonTop - 2 * margin, TRUE);
    int left = margin;
    for (int id : {QueuePrintAgain, QueueDelete, QueueOpenPdf, QueueOpenFolder}) {
        ::MoveWindow(::GetDlgItem(window_, id), left, buttonTop, buttonWidth, buttonHeight, TRUE);
        left += buttonWidth + margin / 2;
    }
    ::MoveWindow(::GetDlgItem(window_, QueueClose), client.right - margin - buttonWidth, buttonTop,
                 buttonWidth, buttonHeight, TRUE);
    fitColumns();
}

// The queue view's rows; the selection stays on its file or finished job.
void QueueWindow::refresh() {
    if (!window_) return;
    const QueueRow* previous = selected();
    const std::string selectedKey = previous ? previous->key : std::string();
    // Unchanged rows are left alone, so the list keeps its scroll position between refreshes.
    if (!view_.refresh()) {
        updateButtons();
        return;
    }
    const std::vector<QueueRow>& rows = view_.rows();
    ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (size_t row = 0; row < rows.size(); ++row) {
        std::wstring number = widen(rows[row].cells[ColNumber]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_STATE;
        item.iItem = static_cast<int>(row);
        item.pszText = number.data();
        if (!selectedKey.empty() && rows[row].key == selectedKey)
            item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        const int at = static_cast<int>(
            ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = ColName; column < ColCount; ++column)
            setCell(list_, at, column, rows[row].cells[column]);
    }
    fitColumns();
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list_, nullptr, TRUE);
    updateButtons();
}

// Each column as wide as its header or widest text, measured here: list views that size
// columns themselves cut the headers short under some systems. The last one takes the rest.
void QueueWindow::fitColumns() {
    int used = 0;
    for (int column = ColNumber; column < ColCount; ++column) {
        int width = textWidth(list_, texts::kQueueColumns[column]);
        for (const QueueRow& row : view_.rows())
            width = std::max(width, textWidth(list_, row.cells[column].c_str()));
        width += kCellPadding;
        if (column == ColState) {
            RECT client;
            ::GetClientRect(list_, &client);
            width = std::max<int>(width, client.right - used);
        }
        used += width;
        ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
    }
}

// Refreshes while shown; a hidden window reads the folder when it is opened.
void QueueWindow::jobEvent(const JobEvent&) {
    if (window_ && ::IsWindowVisible(window_)) refresh();
}

void QueueWindow::printAgainSelected() {
    view_.printAgain(selectedRow(), this);
    refresh();
}

void QueueWindow::deleteSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    view_.remove(row, *this);
    refresh();
}

// The selected finished job's PDF; one gone meanwhile is told.
void QueueWindow::openPdfSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    view_.openPdf(row, *this);
    refresh();
}

// The folder of the queue files in the system's file manager.
void QueueWindow::openFolder() {
    const std::wstring folder = widen(form_.programDir());
    ::ShellExecuteW(window_, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The delete question, No the default.
bool QueueWindow::confirm(const std::string& text, const std::string& caption) {
    return ::MessageBoxW(window_, widen(text).c_str(), widen(caption).c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void QueueWindow::warn(const std::string& text, const std::string& caption) {
    ::MessageBoxW(window_, widen(text).c_str(), widen(caption).c_str(), MB_ICONWARNING | MB_OK);
}

// The viewer the system has for PDFs; ShellExecute reports success above 32.
bool QueueWindow::openDocument(const std::string& path) {
    const std::wstring file = widen(path);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(window_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

// The selected row, or -1 when none is selected.
int QueueWindow::selectedRow() const {
    const LRESULT row =
        ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    return row >= 0 && static_cast<size_t>(row) < view_.rows().size() ? static_cast<int>(row) : -1;
}

const QueueRow* QueueWindow::selected() const {
    const int row = selectedRow();
    return row < 0 ? nullptr : &view_.rows()[row];
}

// The buttons as the selected row allows.
void QueueWindow::updateButtons() {
    const QueueRow* row = selected();
    ::EnableWindow(::GetDlgItem(window_, QueuePrintAgain), row && row->canPrintAgain);
    ::EnableWindow(::GetDlgItem(window_, QueueDelete), row && row->canDelete);
    ::EnableWindow(::GetDlgItem(window_, QueueOpenPdf), row && row->canOpenPdf);
}

// Closing only hides the window, as the tray menu opens it again.
void QueueWindow::hide() {
    ::KillTimer(window_, kRefreshTimer);
    ::ShowWindow(window_, SW_HIDE);
}

// The buttons.
void QueueWindow::command(int id) {
    switch (id) {
        case QueuePrintAgain:
            printAgainSelected();
            break;
        case QueueDelete:
            deleteSelected();
            break;
        case QueueOpenPdf:
            openPdfSelected();
            break;
        case QueueOpenFolder:
            openFolder();
            break;
        case QueueClose:
        case IDCANCEL:
            hide();
            break;
    }
}

// The window object behind the handle, stored at creation.
LRESULT CALLBACK QueueWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<QueueWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<QueueWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(window, message, w, l) : ::DefWindowProcW(window, message, w, l);
}

// The window's messages: buttons, the list's selection and Delete key, size, timer, close.
LRESULT QueueWindow::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(l);
            if (header->hwndFrom == list_ && header->code == LVN_ITEMCHANGED) updateButtons();
            if (header->hwndFrom == list_ && header->code == LVN_KEYDOWN &&
                reinterpret_cast<const NMLVKEYDOWN*>(l)->wVKey == VK_DELETE)
                deleteSelected();
            return 0;
        }
        case WM_SIZE:
            if (list_) placeControls();
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{5 * kButtonWidth + 48, 160};
            return 0;
        case WM_TIMER:
            if (w == kRefreshTimer) refresh();
            return 0;
        case WM_CLOSE:
            hide();
            return 0;
        case WM_DESTROY:
            window_ = list_ = nullptr;
            return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

}  // namespace zelmo::win32
