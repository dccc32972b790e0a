// The marks are painted pixel by pixel into a 32-bit copy of the icon: GDI's own drawing
// leaves the alpha channel at zero, which the tray shows as transparent.
#include "shell/win32/tray_icons.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zelmo::win32 {
namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kAmber = 0xFFE6A000;  // 0xAARRGGBB, as a 32-bit DIB stores BGRA
constexpr uint32_t kRed = 0xFFC80000;

// Releases a GDI bitmap with its owner.
struct Bitmap {
    HBITMAP handle = nullptr;
    explicit Bitmap(HBITMAP h) : handle(h) {}
    ~Bitmap() {
        if (handle) ::DeleteObject(handle);
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
};

// A top-down 32-bit DIB header of the given size.
BITMAPINFO dibHeader(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The mark's colour at a point of the 32-unit icon grid; 0 where the icon shows through.
uint32_t markAt(TrayIconKind kind, double x, double y) {
    if (kind == TrayIconKind::Paused) {
        for (double left : {16.0, 25.0}) {
            if (x < left || x >= left + 6 || y < 14 || y >= 31) continue;
            const bool edge = x < left + 1 || x >= left + 5 || y < 15 || y >= 30;
            return edge ? kBlack : kAmber;
        }
        return 0;
    }
    if (kind == TrayIconKind::Error) {
        const double distance = std::hypot(x - 23, y - 21);
        if (distance > 8.5) return 0;
        if (distance > 7.5) return kBlack;
        const bool bar = x >= 21.5 && x < 24.5 && y >= 15.5 && y < 22.5;
        const bool dot = std::hypot(x - 23, y - 26.5) <= 1.6;
        return bar || dot ? kWhite : kRed;
    }
    return 0;
}

// The icon's pixels as 32-bit BGRA with alpha, from its colour and mask bitmaps.
bool readPixels(const ICONINFO& icon, int width, int height, std::vector<uint32_t>& pixels) {
    BITMAPINFO info = dibHeader(width, height);
    HDC dc = ::GetDC(nullptr);
    pixels.assign(static_cast<size_t>(width) * height, 0);
    std::vector<uint32_t> mask(pixels.size(), 0);
    const bool read =
        ::GetDIBits(dc, icon.hbmColor, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height &&
        ::GetDIBits(dc, icon.hbmMask, 0, height, mask.data(), &info, DIB_RGB_COLORS) == height;
    ::ReleaseDC(nullptr, dc);
    if (!read) return false;
    // An icon without alpha takes its transparency from the mask (white: transparent).
    bool hasAlpha = false;
    for (uint32_t pixel : pixels)
        hasAlpha |= (pixel >> 24) != 0;
    if (!hasAlpha)
        for (size_t i = 0; i < pixels.size(); ++i)
            if ((mask[i] & 0xFFFFFF) == 0) pixels[i] |= 0xFF000000;
    return true;
}

}  // namespace

// Reads the icon, paints the mark scaled to its size, and makes a new icon of the result.
HICON makeTrayIcon(HICON icon, TrayIconKind kind) {
    ICONINFO parts{};
    if (!icon || !::GetIconInfo(icon, &parts)) return nullptr;
    Bitmap colour(parts.hbmColor), mask(parts.hbmMask);
    BITMAP size{};
    if (!colour.handle || !::GetObjectW(colour.handle, sizeof size, &size)) return nullptr;
    const int width = size.bmWidth, height = size.bmHeight;
    std::vector<uint32_t> pixels;
    if (!readPixels(parts, width, height, pixels)) return nullptr;
    const double scale = 32.0 / width;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (uint32_t mark = markAt(kind, (x + 0.5) * scale, (y + 0.5) * scale))
                pixels[static_cast<size_t>(y) * width + x] = mark;

    BITMAPINFO info = dibHeader(width, height);
    void* bits = nullptr;
    Bitmap result(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    // With a 32-bit colour bitmap that has alpha, an all-zero mask leaves the alpha in charge.
    std::vector<uint8_t> zeros(static_cast<size_t>((width + 15) / 16 * 2) * height, 0);
    Bitmap resultMask(::CreateBitmap(width, height, 1, 1, zeros.data()));
    if (!result.handle || !resultMask.handle) return nullptr;
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    ICONINFO made{};
    made.fIcon = TRUE;
    made.hbmColor = result.handle;
    made.hbmMask = resultMask.handle;
    return ::CreateIconIndirect(&made);
}

}  // namespace zelmo::win32
