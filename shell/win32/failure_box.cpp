// The failure box: an error icon, the text and an OK button, sized to the text.
#include "shell/win32/failure_box.h"

#include <algorithm>

#include "platform/win32/wide.h"
#include "shell/win32/controls.h"
#include "shell/win32/dpi.h"

namespace zelmo::win32 {
namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 420;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr DWORD kBoxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// A window of its own with a taskbar button: a box owned by MainForm would go with it into
// the tray, out of the user's reach.
constexpr DWORD kBoxExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// Registers the box's class once.
void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW boxClass{};
        boxClass.cbSize = sizeof boxClass;
        boxClass.lpfnWndProc = DefWindowProcW;  // replaced per window at creation
        boxClass.hInstance = ::GetModuleHandleW(nullptr);
        boxClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        boxClass.hIcon = ::LoadIconW(nullptr, IDI_ERROR);
        boxClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        boxClass.lpszClassName = kFailureBoxClass;
        return ::RegisterClassExW(&boxClass) != 0;
    }();
    (void)registered;
}

}  // namespace

// A box still open at exit goes with the program.
FailureBox::~FailureBox() {
    if (box_) ::DestroyWindow(box_);
    if (font_) ::DeleteObject(font_);
}

// Makes the box, lays it out around the text and brings it forward.
bool FailureBox::show(const std::string& caption, const std::string& text, const std::string& job) {
    if (box_ && !job.empty() && job == job_) follow(job, text);
    if (box_) return false;
    job_ = job;
    registerClass();
    box_ = ::CreateWindowExW(kBoxExStyle, kFailureBoxClass, widen(caption).c_str(), kBoxStyle,
                             CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
    if (!box_) {
        ::MessageBeep(MB_ICONERROR);
        return false;
    }
    ::SetWindowLongPtrW(box_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(boxProc));
    if (!font_) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
    }
    placeControls(widen(text));
    ::ShowWindow(box_, SW_SHOWNORMAL);
    ::SetForegroundWindow(box_);
    ::MessageBeep(MB_ICONERROR);
    return true;
}

// A box about the job follows it, laid out afresh around its new text; a box about anything
// else stays as it is.
void FailureBox::follow(const std::string& job, const std::string& text) {
    if (!box_ || job.empty() || job != job_) return;
    if (text.empty()) {
        ::DestroyWindow(box_);
        return;
    }
    while (HWND child = ::GetWindow(box_, GW_CHILD))
        ::DestroyWindow(child);
    placeControls(widen(text));
    ::InvalidateRect(box_, nullptr, TRUE);
}

// The icon, the text measured at most kMaxTextWidth wide, OK below them; the box centred. The
// lengths are the 96-DPI layout's, scaled to the box's monitor.
void FailureBox::placeControls(const std::wstring& text) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HFONT font = font_ ? font_ : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    const int dpi = windowDpi(box_);
    const int margin = scaled(kMargin, dpi);
    const int iconSize = scaled(kIconSize, dpi);
    const int buttonWidth = scaled(kButtonWidth, dpi);
    const int buttonHeight = scaled(kButtonHeight, dpi);
    RECT textBounds{0, 0, scaled(kMaxTextWidth, dpi), 0};
    HDC dc = ::GetDC(box_);
    HGDIOBJ previous = ::SelectObject(dc, font);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textBounds,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    ::SelectObject(dc, previous);
    ::ReleaseDC(box_, dc);
    const int textLeft = margin * 2 + iconSize;
    const int textHeight = std::max<int>(textBounds.bottom, iconSize);
    const int clientWidth = std::max<int>(textLeft + textBounds.right + margin, scaled(240, dpi));
    const int clientHeight = margin * 3 + textHeight + buttonHeight;

    HWND icon = ::CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, margin,
                                  margin, iconSize, iconSize, box_, nullptr, instance, nullptr);
    ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
    HWND label =
        ::CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, textLeft,
                          margin, textBounds.right, textHeight, box_, nullptr, instance, nullptr);
    HWND ok = ::CreateWindowExW(
        0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
        (clientWidth - buttonWidth) / 2, margin * 2 + textHeight, buttonWidth, buttonHeight, box_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    for (HWND child : {label, ok})
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    RECT bounds{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&bounds, kBoxStyle, FALSE, kBoxExStyle);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    ::SetWindowPos(box_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER);
    ::SetFocus(ok);
}

// OK, Enter, Escape and the close button all close the box, and nothing else does.
LRESULT CALLBACK FailureBox::boxProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<FailureBox*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) ::DestroyWindow(window);
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (self && self->box_ == window) self->box_ = nullptr;
            return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

}  // namespace zelmo::win32
