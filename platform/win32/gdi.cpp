// The GDI subset over the real gdi32: every call is the Windows call of the same name, so the
// pages the core composes here are composed by the system's own GDI.
#include "platform/gdi.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace zelmo::gdi {
namespace {

// Larger images are refused like a failed allocation, as the portable layer does: no page of a
// real sheet comes near it, and the system would otherwise commit a hostile job's gigabytes.
constexpr int64_t kMaxBitmapBytes = int64_t{256} << 20;

std::atomic<int> liveObjects{0};
// The 1 x 1 bitmap a new memory DC holds, learnt from the first one made.
std::atomic<HGDIOBJ> stockBitmap{nullptr};

// What the system does not tell: which DC holds a bitmap (DeleteObject on a selected bitmap
// succeeds and defers the deletion) and whether a DIB section is top-down (GetObject reports
// a positive height for both orientations).
struct Bookkeeping {
    std::mutex lock;
    std::map<HBITMAP, HDC> selectedIn;
    std::set<HBITMAP> topDown;
};
Bookkeeping& books() {
    static Bookkeeping instance;
    return instance;
}

HDC hdc(Dc dc) {
    return reinterpret_cast<HDC>(dc);
}
HBITMAP hbitmap(Bitmap bitmap) {
    return reinterpret_cast<HBITMAP>(bitmap);
}
Bitmap wrap(HBITMAP bitmap) {
    return reinterpret_cast<Bitmap>(bitmap);
}
Dc wrap(HDC dc) {
    return reinterpret_cast<Dc>(dc);
}

// Counts a new object, passing it through.
template <typename Handle>
Handle counted(Handle handle) {
    if (handle) ++liveObjects;
    return handle;
}

// A device-dependent bitmap's bits are not addressable: views read a copy, kept per thread and
// per bitmap until the bitmap is deleted or viewed again.
thread_local std::map<HBITMAP, std::vector<uint8_t>> ddbCopies;

// Forgets the copy of a deleted bitmap; another bitmap may get its handle value.
void forgetCopy(HBITMAP bitmap) {
    ddbCopies.erase(bitmap);
}

// The view of a DIB section: its own memory, its orientation and its colour table.
BitmapView dibView(HDC dc, const DIBSECTION& section) {
    BitmapView view;
    view.width = section.dsBmih.biWidth;
    view.height = section.dsBm.bmHeight;
    view.stride = ((view.width * section.dsBmih.biBitCount + 31) / 32) * 4;
    view.bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    {
        std::lock_guard<std::mutex> guard(books().lock);
        view.bottomUp =
            books().topDown.count(static_cast<HBITMAP>(::GetCurrentObject(dc, OBJ_BITMAP))) == 0;
    }
    RGBQUAD colours[2] = {};
    if (::GetDIBColorTable(dc, 0, 2, colours) == 2) {
        for (int i = 0; i < 2; ++i)
            view.inkFor[i] = colours[i].rgbRed + colours[i].rgbGreen + colours[i].rgbBlue < 384;
    }
    return view;
}

// The view of a monochrome DDB, over a copy of its bits in rows padded to 16 bits.
BitmapView ddbView(HBITMAP bitmap, const BITMAP& info) {
    BitmapView view;
    std::vector<uint8_t>& copy = ddbCopies[bitmap];
    copy.assign(static_cast<size_t>(info.bmWidthBytes) * static_cast<size_t>(info.bmHeight), 0);
    ::GetBitmapBits(bitmap, static_cast<LONG>(copy.size()), copy.data());
    view.width = info.bmWidth;
    view.height = info.bmHeight;
    view.stride = info.bmWidthBytes;
    view.bits = copy.data();
    return view;
}

}  // namespace

Bitmap createBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                    const void* bits) {
    // Range check input: only monochrome bitmaps of a sane size, as the portable layer makes.
    if (planes != 1 || bitsPerPixel != 1 || width <= 0 || height <= 0 ||
        int64_t{(width + 15) / 16} * 2 * height > kMaxBitmapBytes)
        return nullptr;
    return wrap(counted(::CreateBitmap(width, height, planes, bitsPerPixel, bits)));
}

Bitmap createDibSection(Dc dc, const BitmapInfo& info, void** bits) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } bmi{};
    bmi.header.biSize = sizeof(BITMAPINFOHEADER);
    bmi.header.biWidth = info.biWidth;
    bmi.header.biHeight = info.biHeight;
    bmi.header.biPlanes = info.biPlanes;
    bmi.header.biBitCount = info.biBitCount;
    bmi.header.biCompression = info.biCompression;
    bmi.header.biSizeImage = info.biSizeImage;
    bmi.header.biXPelsPerMeter = info.biXPelsPerMeter;
    bmi.header.biYPelsPerMeter = info.biYPelsPerMeter;
    bmi.header.biClrUsed = info.biClrUsed;
    bmi.header.biClrImportant = info.biClrImportant;
    for (int i = 0; i < 2; ++i)
        bmi.colours[i] = RGBQUAD{info.colors[i].blue, info.colors[i].green, info.colors[i].red, 0};
    if (bits) *bits = nullptr;
    const int64_t rows = info.biHeight < 0 ? -int64_t{info.biHeight} : info.biHeight;
    if (info.biWidth <= 0 || rows == 0 ||
        int64_t{(info.biWidth + 31) / 32} * 4 * rows > kMaxBitmapBytes)
        return nullptr;
    void* memory = nullptr;
    HBITMAP section = ::CreateDIBSection(hdc(dc), reinterpret_cast<BITMAPINFO*>(&bmi),
                                         DIB_RGB_COLORS, &memory, nullptr, 0);
    if (bits) *bits = section ? memory : nullptr;
    if (section && info.biHeight < 0) {
        std::lock_guard<std::mutex> guard(books().lock);
        books().topDown.insert(section);
    }
    return wrap(counted(section));
}

Dc createDisplayIc() {
    return wrap(counted(::CreateICW(L"DISPLAY", nullptr, nullptr, nullptr)));
}

Dc createCompatibleDc(Dc dc) {
    HDC memory = counted(::CreateCompatibleDC(hdc(dc)));
    if (memory && !stockBitmap.load()) stockBitmap.store(::GetCurrentObject(memory, OBJ_BITMAP));
    return wrap(memory);
}

Bitmap selectObject(Dc dc, Bitmap bitmap) {
    auto* previous = static_cast<HBITMAP>(::SelectObject(hdc(dc), hbitmap(bitmap)));
    if (previous) {
        std::lock_guard<std::mutex> guard(books().lock);
        books().selectedIn.erase(previous);
        if (hbitmap(bitmap) != stockBitmap.load()) books().selectedIn[hbitmap(bitmap)] = hdc(dc);
    }
    return wrap(previous);
}

bool deleteDc(Dc dc) {
    if (!dc || !::DeleteDC(hdc(dc))) return false;
    {
        std::lock_guard<std::mutex> guard(books().lock);
        auto& selected = books().selectedIn;
        for (auto it = selected.begin(); it != selected.end();)
            it = it->second == hdc(dc) ? selected.erase(it) : std::next(it);
    }
    --liveObjects;
    return true;
}

// The stock bitmap and a bitmap still selected are refused: the system would accept both and
// delete nothing, or delete the selected one later behind its owner's back.
bool deleteObject(Bitmap bitmap) {
    if (!bitmap || hbitmap(bitmap) == stockBitmap.load()) return false;
    {
        std::lock_guard<std::mutex> guard(books().lock);
        if (books().selectedIn.count(hbitmap(bitmap))) return false;
        books().topDown.erase(hbitmap(bitmap));
    }
    if (!::DeleteObject(hbitmap(bitmap))) return false;
    forgetCopy(hbitmap(bitmap));
    --liveObjects;
    return true;
}

void fillRectWhite(Dc dc, const Rect& rect) {
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    ::FillRect(hdc(dc), &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

void bitBltSrcAnd(Dc dst, int x, int y, int width, int height, Dc src, int srcX, int srcY) {
    ::BitBlt(hdc(dst), x, y, width, height, hdc(src), srcX, srcY, SRCAND);
}

BitmapView viewSelectedBitmap(Dc dc) {
    if (!dc) return BitmapView{};
    auto* bitmap = static_cast<HBITMAP>(::GetCurrentObject(hdc(dc), OBJ_BITMAP));
    if (!bitmap || bitmap == stockBitmap.load()) return BitmapView{};
    DIBSECTION section{};
    const int size = ::GetObjectW(bitmap, sizeof section, &section);
    if (size == static_cast<int>(sizeof section)) return dibView(hdc(dc), section);
    if (size < static_cast<int>(sizeof(BITMAP)) || section.dsBm.bmBitsPixel != 1)
        return BitmapView{};
    return ddbView(bitmap, section.dsBm);
}

int liveObjectCount() {
    return liveObjects.load();
}

}  // namespace zelmo::gdi
