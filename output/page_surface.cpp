// The text page and the raster page of a job: created when first needed, cleared after every
// page sent, released at the end of the job.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "output/page_output.h"
#include "platform/errors.h"

namespace zelmo {
namespace {

// A page image larger than this is refused: a resolution from a damaged job must not exhaust
// memory. The job then fails, its file kept, rather than print without the page.
constexpr int64_t kMaxRasterBytes = int64_t{256} << 20;
constexpr double kMaxPageSide = 1 << 24;
// A side past kMaxPageSide: the page is far past every limit.
constexpr int32_t kHugeSide = INT32_MAX;

// Glyph notes a page holds without growing: a dense page of small print.
constexpr size_t kNotesReserved = 8192;

// (page resolution / device resolution) x device size, truncated toward zero; -1 when it
// cannot be a page, kHugeSide when it is past any page.
int32_t pageSide(int32_t pageDpi, int32_t deviceDpi, int32_t deviceSize) {
    if (deviceDpi <= 0) return -1;
    double side = std::trunc(static_cast<double>(pageDpi) / deviceDpi * deviceSize);
    if (!(side >= 1.0)) return -1;
    return side > kMaxPageSide ? kHugeSide : static_cast<int32_t>(side);
}

// Bytes of a 1-bit image of width x height with rows padded to padBits; INT64_MAX for a side
// past any page.
int64_t imageBytes(int32_t width, int32_t height, int padBits) {
    if (width == kHugeSide || height == kHugeSide) return INT64_MAX;
    int64_t rowBytes = (int64_t{width} + padBits - 1) / padBits * (padBits / 8);
    return rowBytes * height;
}

// A page of pageBytes could not be made: past the limit, or its memory was refused.
[[noreturn]] void refusePage(int64_t pageBytes) {
    throw JobError(pageBytes > kMaxRasterBytes ? JobError::Reason::PageTooLarge
                                               : JobError::Reason::OutOfMemory);
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

// The text page's bitmap, white, selected into its pageDC; the page's size was checked when
// it was created.
void makeTextPixels(PclState& s) {
    TextPage& page = s.surface.text;
    int64_t pageBytes = imageBytes(page.pageWidth, page.pageHeight, s.useDib ? 32 : 16);
    if (s.useDib) {
        PrintRequest textRequest;  // a text page is always bottom-up
        page.pageBitmap.reset(
            createPageDib(s, textRequest, page.pageWidth, page.pageHeight, &page.pageBits));
    } else {
        page.pageBitmap.reset(gdi::createBitmap(page.pageWidth, page.pageHeight, 1, 1, nullptr));
    }
    if (!page.pageBitmap) refusePage(pageBytes);
    page.savedBitmap = gdi::selectObject(page.pageDC.get(), page.pageBitmap.get());
    gdi::fillRectWhite(page.pageDC.get(), {0, 0, page.pageWidth + 1, page.pageHeight + 1});
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
    // Refused now, whether or not its pixels are ever made: a page never fails late.
    if (page.pageWidth > 0 && page.pageHeight > 0) {
        int64_t pageBytes = imageBytes(page.pageWidth, page.pageHeight, s.useDib ? 32 : 16);
        if (pageBytes > kMaxRasterBytes) refusePage(pageBytes);
    }
    gdi::UniqueDc ic(gdi::createDisplayIc());
    page.pageDC.reset(gdi::createCompatibleDc(ic.get()));
    page.glyphDC.reset(gdi::createCompatibleDc(page.pageDC.get()));
    page.notes.reserve(kNotesReserved);
    clearTextPage(s);
}

gdi::Bitmap composeTextPage(PclState& s) {
    TextPage& page = s.surface.text;
    if (!page.pageDC || page.pageWidth <= 0 || page.pageHeight <= 0) return nullptr;
    if (!page.pageBitmap) makeTextPixels(s);
    const GlyphTable& table = s.glyphTable;
    for (; page.composed < page.notes.size(); ++page.composed) {
        // A page may note 131072 glyphs of 4 MiB each: a closing program waits one at most.
        if (s.stopRequest && s.stopRequest->load(std::memory_order_relaxed)) return nullptr;
        const GlyphNote& note = page.notes[page.composed];
        // Every noted glyph had its bitmap when drawn, and keeps it to the job's end.
        gdi::selectObject(page.glyphDC.get(), table.entries[note.glyph].bitmap);
        gdi::bitBltSrcAnd(page.pageDC.get(), note.left, note.top, note.width, note.height,
                          page.glyphDC.get(), 0, 0);
        page.inked = true;
    }
    return page.pageBitmap.get();
}

void createRasterPage(PclState& s, const DeviceMetrics& metrics, const PrintRequest& request) {
    RasterPage& page = s.surface.raster;
    if (page.pageBits || s.rasterDpi <= 0) return;
    int32_t width = pageSide(s.rasterDpi, metrics.dpiX, metrics.physWidth);
    int32_t height = pageSide(s.rasterDpi, metrics.dpiY, metrics.physHeight);
    if (width <= 0 || height <= 0) return;
    int64_t pageBytes = imageBytes(width, height, s.useDib ? 32 : 16);
    if (pageBytes > kMaxRasterBytes) refusePage(pageBytes);

    if (s.useDib) {
        page.pageBitmap.reset(createPageDib(s, request, width, height, &page.pageBits));
        if (!page.pageBits) refusePage(pageBytes);
        bool topDown = s.rasterMode && request.engine == EngineHP845c;
        page.form = topDown ? RasterForm::DibTopDown : RasterForm::DibBottomUp;
    } else {
        page.ownedBits.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pageBytes)]);
        page.pageBits = page.ownedBits.get();
        if (!page.pageBits) refusePage(pageBytes);
        page.form = RasterForm::Raw;
    }
    page.pageWidth = width;
    page.pageHeight = height;
    page.rowBytes = static_cast<int32_t>(pageBytes / height);
    page.pageBytes = pageBytes;
    s.surface.pageHeight = height;
    page.inkTop = 0;  // fresh memory is not white
    page.inkBottom = height;
    clearRasterPage(s);
}

void clearRasterPage(PclState& s) {
    RasterPage& page = s.surface.raster;
    if (page.pageBits && page.inkBottom > page.inkTop) {
        std::memset(page.pageBits + int64_t{page.inkTop} * page.rowBytes, 0xFF,
                    static_cast<size_t>(int64_t{page.inkBottom - page.inkTop} * page.rowBytes));
    }
    page.inkTop = page.pageHeight;
    page.inkBottom = 0;
}

void clearTextPage(PclState& s) {
    TextPage& page = s.surface.text;
    page.notes.clear();
    page.notesComplete = true;
    page.composed = 0;
    page.layer.clear();
    // A page sent from its glyphs alone never touched its pixels.
    if (page.pageBitmap && page.inked)
        gdi::fillRectWhite(page.pageDC.get(), {0, 0, page.pageWidth + 1, page.pageHeight + 1});
    page.inked = false;
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
