// The text page and the raster page of a job: created when first needed, cleared after every
// page sent, released at the end of the job.
#include <cmath>
#include <cstring>
#include <new>

#include "pcl/interpreter.h"

namespace zelmo {
namespace {

// A raster page larger than this is taken as a failed allocation: a resolution from a damaged
// job must not exhaust memory.
constexpr int64_t kMaxRasterBytes = int64_t{256} << 20;
constexpr double kMaxPageSide = 1 << 24;
// Glyph notes a page holds without growing: a dense page of small print.
constexpr size_t kNotesReserved = 8192;

// (page resolution / device resolution) x device size, truncated toward zero; -1 when it
// cannot be a page.
int32_t pageSide(int32_t pageDpi, int32_t deviceDpi, int32_t deviceSize) {
    if (deviceDpi <= 0) return -1;
    double side = std::trunc(static_cast<double>(pageDpi) / deviceDpi * deviceSize);
    if (!(side >= 1.0) || side > kMaxPageSide) return -1;
    return static_cast<int32_t>(side);
}

// A 1-bit DIB section, black at index 0 and white at index 1; top-down only for a raster page
// of the HP845c engine.
gdi::Bitmap createPageDib(const PclState& s, const PrintRequest& request, int32_t width,
                          int32_t height, uint8_t** bits) {
    gdi::BitmapInfo info;
    info.biWidth = width;
    info.biHeight = s.rasterMode && request.engine == EngineHP845c ? -height : height;
    info.colors[0] = {0, 0, 0, 0};
    info.colors[1] = {255, 255, 255, 0};
    void* memory = nullptr;
    gdi::Bitmap section = gdi::createDibSection(nullptr, info, &memory);
    *bits = static_cast<uint8_t*>(memory);
    return section;
}

}  // namespace

void resetPageSurface(PclState& s, const PrintRequest& request) {
    if (request.engine == EngineDefault) s.useDib = false;
    if (request.engine == EngineAlternative || request.engine == EngineHP845c) s.useDib = true;
    releasePageSurfaces(s);
    s.surface.text = TextPage{};
    s.surface.raster = RasterPage{};
    s.surface.pageHeight = 0;
}

void createTextPage(PclState& s, const DeviceMetrics& metrics) {
    TextPage& page = s.surface.text;
    if (page.pageDC) return;
    page.pageWidth = pageSide(s.textDpiX, metrics.dpiX, metrics.horzRes);
    page.pageHeight = pageSide(s.textDpiY, metrics.dpiY, metrics.vertRes);
    s.surface.pageHeight = std::max(page.pageHeight, 0);
    s.hmi = s.fontMetrics.fontCellWidth;
    s.vmi = s.textDpiY * (1.0 / 6.0);

    gdi::UniqueDc ic(gdi::createDisplayIc());
    page.pageDC.reset(gdi::createCompatibleDc(ic.get()));
    if (page.pageWidth > 0 && page.pageHeight > 0) {
        if (s.useDib) {
            PrintRequest textRequest;  // a text page is always bottom-up
            page.pageBitmap.reset(
                createPageDib(s, textRequest, page.pageWidth, page.pageHeight, &page.pageBits));
        } else {
            page.pageBitmap.reset(
                gdi::createBitmap(page.pageWidth, page.pageHeight, 1, 1, nullptr));
        }
    }
    page.savedBitmap = gdi::selectObject(page.pageDC.get(), page.pageBitmap.get());
    page.glyphDC.reset(gdi::createCompatibleDc(page.pageDC.get()));
    page.notes.reserve(kNotesReserved);
    clearTextPage(s);
}

void createRasterPage(PclState& s, const DeviceMetrics& metrics, const PrintRequest& request) {
    RasterPage& page = s.surface.raster;
    if (page.pageBits || s.rasterDpi <= 0) return;
    int32_t width = pageSide(s.rasterDpi, metrics.dpiX, metrics.physWidth);
    int32_t height = pageSide(s.rasterDpi, metrics.dpiY, metrics.physHeight);
    if (width <= 0 || height <= 0) return;
    int32_t rowBytes = s.useDib ? ((width + 31) / 32) * 4 : ((width + 15) / 16) * 2;
    int64_t pageBytes = int64_t{rowBytes} * height;
    if (pageBytes > kMaxRasterBytes) return;

    if (s.useDib) {
        page.pageBitmap.reset(createPageDib(s, request, width, height, &page.pageBits));
        if (!page.pageBits) return;
        bool topDown = s.rasterMode && request.engine == EngineHP845c;
        page.form = topDown ? RasterForm::DibTopDown : RasterForm::DibBottomUp;
    } else {
        page.ownedBits.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pageBytes)]);
        page.pageBits = page.ownedBits.get();
        if (!page.pageBits) return;
        page.form = RasterForm::Raw;
    }
    page.pageWidth = width;
    page.pageHeight = height;
    page.rowBytes = rowBytes;
    page.pageBytes = pageBytes;
    s.surface.pageHeight = height;
    clearRasterPage(s);
}

void clearRasterPage(PclState& s) {
    RasterPage& page = s.surface.raster;
    if (page.pageBits) std::memset(page.pageBits, 0xFF, static_cast<size_t>(page.pageBytes));
}

void clearTextPage(PclState& s) {
    TextPage& page = s.surface.text;
    page.notes.clear();
    page.layer.clear();
    if (page.pageDC)
        gdi::fillRectWhite(page.pageDC.get(), {0, 0, page.pageWidth + 1, page.pageHeight + 1});
}

void releasePageSurfaces(PclState& s) {
    RasterPage& raster = s.surface.raster;
    TextPage& text = s.surface.text;
    raster.ownedBits.reset();
    raster.pageBits = nullptr;
    // Each device context goes before the bitmaps that may be selected into it.
    text.pageDC.reset();
    text.pageBitmap.reset();
    text.pageBits = nullptr;
    raster.pageBitmap.reset();
    text.glyphDC.reset();
    GlyphTable& table = s.glyphTable;
    for (int i = 0; i < table.glyphCount; ++i) {
        if (table.entries[i].bitmap) gdi::deleteObject(table.entries[i].bitmap);
        table.entries[i].bitmap = nullptr;
    }
}

}  // namespace zelmo
