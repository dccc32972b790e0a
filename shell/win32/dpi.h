// The windows are laid out in pixels at 96 DPI; Zelmo.exe declares itself aware of each
// monitor's DPI, so Windows no longer stretches them (blurred) and they scale themselves.
#pragma once

#include <windows.h>

namespace zelmo::win32 {

inline constexpr int kLayoutDpi = 96;

// A length of the 96-DPI layout at dpi, rounded as Windows rounds its own metrics.
inline int scaled(int length, int dpi) {
    return ::MulDiv(length, dpi, kLayoutDpi);
}

// The DPI of the window's monitor; the screen's on Windows before 10 1607, which has no
// GetDpiForWindow and one DPI for every monitor.
inline int windowDpi(HWND window) {
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : kLayoutDpi;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kLayoutDpi;
}

}  // namespace zelmo::win32
