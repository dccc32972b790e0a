// Sends finished pages to the printer, once per copy, placed by the user's offsets and in the
// way the page's image is held; owns the job's printer document.
#include <algorithm>
#include <climits>
#include <cmath>

#include "output/page_output.h"
#include "output/text_layer.h"
#include "platform/errors.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

// Whether the current page can be sent: a raster page with its bits, or a text page of some
// size (its pixels are made only if the printer needs them).
bool pageExists(const PclState& s) {
    if (s.rasterMode) return s.surface.raster.pageBits != nullptr;
    const TextPage& page = s.surface.text;
    return page.pageDC && page.pageWidth > 0 && page.pageHeight > 0;
}

// The bitmap that holds the raster page for one copy.
gdi::Bitmap rasterImage(PclState& s) {
    RasterPage& page = s.surface.raster;
    if (page.form == RasterForm::Raw) {
        // A device-dependent bitmap lives only for the copy it sends.
        page.pageBitmap.reset(
            gdi::createBitmap(page.pageWidth, page.pageHeight, 1, 1, page.pageBits));
        if (!page.pageBitmap) throw JobError(JobError::Reason::OutOfMemory);
    }
    return page.pageBitmap.get();
}

// The job's glyph table as shapes whose rows are read from the job itself.
void collectShapes(const PclState& s, std::vector<GlyphShape>& shapes) {
    const GlyphTable& table = s.glyphTable;
    shapes.resize(static_cast<size_t>(table.glyphCount));
    for (int i = 0; i < table.glyphCount; ++i) {
        const GlyphEntry& g = table.entries[static_cast<size_t>(i)];
        GlyphShape& shape = shapes[static_cast<size_t>(i)];
        shape.width = g.width;
        shape.height = g.height;
        shape.leftOffset = g.leftOffset;
        shape.topOffset = g.topOffset;
        const bool inJob = g.data < g.dataEnd && g.dataEnd <= s.jobEnd;
        shape.rows = inJob ? s.job + g.data : nullptr;
        shape.available = inJob ? g.dataEnd - g.data : 0;
    }
}

// Hands the text page to a printer that draws it from its glyphs; false when the printer
// wants its pixels instead (or not every glyph drawn was noted).
bool sendGlyphPage(PclState& s, const JobEnv& env, PrinterCanvas& dc, const PageTransform& t) {
    TextPage& page = s.surface.text;
    if (!page.notesComplete) return false;
    collectShapes(s, page.shapes);
    const CodePage codePage = codePageFromValue(env.request.codePage);
    GlyphPage glyphs{&page.notes, &page.shapes, t, static_cast<int32_t>(codePage), {}};
    for (size_t code = 0; code < glyphs.unicode.size(); ++code)
        glyphs.unicode[code] = toUnicode(codePage, static_cast<uint8_t>(code));
    if (!dc.takesGlyphPage(glyphs)) return false;
    dc.glyphPage(glyphs);
    return true;
}

// The text page's pixels stretched over the printable area. A bitmap can be selected into one
// DC at a time: the page leaves pageDC for the stretch and goes back, also when it throws.
void stretchTextPage(PclState& s, PrinterCanvas& dc, int x, int y, const DeviceMetrics& m) {
    TextPage& page = s.surface.text;
    gdi::Bitmap image = composeTextPage(s);
    if (!image) return;
    gdi::selectObject(page.pageDC.get(), page.savedBitmap);
    // Declared first so it runs last: the memory DC must let go of the bitmap before pageDC
    // can take it back.
    struct Reselect {
        TextPage& page;
        ~Reselect() { gdi::selectObject(page.pageDC.get(), page.pageBitmap.get()); }
    } reselect{page};
    gdi::UniqueDc memory(gdi::createCompatibleDc(nullptr));
    gdi::selectObject(memory.get(), image);
    dc.stretchBlt(x, y, m.horzRes, m.vertRes, memory.get(), 0, 0, page.pageWidth, page.pageHeight,
                  Rop::SrcCopy);
}

// The text page onto the printer: as glyphs where the printer draws them, else its pixels and,
// for a printer that carries text, its text layer.
void transferTextPage(PclState& s, const JobEnv& env, PrinterCanvas& dc, int x, int y) {
    const DeviceMetrics& m = env.metrics;
    TextPage& page = s.surface.text;
    const PageTransform t{x, y, m.horzRes, m.vertRes, page.pageWidth, page.pageHeight};
    if (sendGlyphPage(s, env, dc, t)) return;
    stretchTextPage(s, dc, x, y, m);
    if (page.notes.empty() || !dc.wantsTextLayer()) return;
    // Built at the first copy and sent with every copy, placed by this very stretch.
    if (page.layer.empty()) {
        buildTextLayer(page.notes, codePageFromValue(env.request.codePage), t, m.horzRes, m.vertRes,
                       page.layer);
    }
    if (!page.layer.empty()) dc.textLayer(page.layer);
}

// One StretchBlt of the whole raster page onto the printer, per how the page is held.
void transferRasterPage(PclState& s, const JobEnv& env, PrinterCanvas& dc, int x, int y,
                        gdi::Bitmap image) {
    const DeviceMetrics& m = env.metrics;
    const RasterPage& page = s.surface.raster;
    gdi::UniqueDc memory(gdi::createCompatibleDc(nullptr));
    gdi::selectObject(memory.get(), image);
    // The sheet image starts at the sheet's top edge, above the printable area.
    int top = y - m.physOffsetY;
    if (page.form == RasterForm::DibBottomUp) {
        // The section holds the page upside down; a negative height turns it over.
        dc.stretchBlt(x, top + m.physHeight, m.physWidth, -m.physHeight, memory.get(), 0, 0,
                      page.pageWidth, page.pageHeight, Rop::SrcCopy);
    } else {
        dc.stretchBlt(x, top, m.physWidth, m.physHeight, memory.get(), 0, 0, page.pageWidth,
                      page.pageHeight, Rop::SrcCopy);
    }
}

// Whether the box [left, right) x [top, bottom) of an image of imageWidth x imageHeight,
// stretched over width x height device pixels from x, y, reaches the printable area.
bool reachesPrintableArea(const int32_t box[4], int32_t imageWidth, int32_t imageHeight, int x,
                          int y, int width, int height, const DeviceMetrics& m) {
    if (imageWidth <= 0 || imageHeight <= 0) return true;
    const int64_t left = x + int64_t{box[0]} * width / imageWidth;
    const int64_t right = x + (int64_t{box[2]} * width + imageWidth - 1) / imageWidth;
    const int64_t top = y + int64_t{box[1]} * height / imageHeight;
    const int64_t bottom = y + (int64_t{box[3]} * height + imageHeight - 1) / imageHeight;
    return right > 0 && left < m.horzRes && bottom > 0 && top < m.vertRes;
}

// Whether the page's ink, if it has any, lands where the printer prints; true when unknown.
// One look at what the page already keeps: the rows written to a raster page, the boxes of the
// glyphs noted on a text page.
bool pageLands(const PclState& s, const JobEnv& env, bool& inked) {
    const DeviceMetrics& m = env.metrics;
    const int x = offsetPixels(m.dpiX, env.request.offsetX);
    const int y = offsetPixels(m.dpiY, env.request.offsetY);
    if (s.rasterMode) {
        const RasterPage& page = s.surface.raster;
        inked = page.inkBottom > page.inkTop;
        const int32_t rows[4] = {0, page.inkTop, page.pageWidth, page.inkBottom};
        return !inked || reachesPrintableArea(rows, page.pageWidth, page.pageHeight, x,
                                              y - m.physOffsetY, m.physWidth, m.physHeight, m);
    }
    const TextPage& page = s.surface.text;
    inked = !page.notes.empty();
    if (!inked || !page.notesComplete) return true;
    int32_t box[4] = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const GlyphNote& note : page.notes) {
        box[0] = std::min(box[0], note.left);
        box[1] = std::min(box[1], note.top);
        box[2] = std::max(box[2], note.left + note.width);
        box[3] = std::max(box[3], note.top + note.height);
    }
    return reachesPrintableArea(box, page.pageWidth, page.pageHeight, x, y, m.horzRes, m.vertRes,
                                m);
}

// Sends the current page once: a printer page of the job's document, or a document of its
// own. A further copy (again) is the page before it where the printer can repeat that.
void sendCopy(PclState& s, const JobEnv& env, bool again) {
    beginCopy(s, env);
    PrinterCanvas* dc = env.printer.deviceContext();
    if (dc && again && dc->canRepeatPage()) {
        dc->repeatPage();
    } else if (dc) {
        dc->watchStop(&env.terminated);
        const int x = offsetPixels(env.metrics.dpiX, env.request.offsetX);
        const int y = offsetPixels(env.metrics.dpiY, env.request.offsetY);
        if (s.rasterMode)
            transferRasterPage(s, env, *dc, x, y, rasterImage(s));
        else
            transferTextPage(s, env, *dc, x, y);
    }
    if (s.rasterMode && s.surface.raster.form == RasterForm::Raw)
        s.surface.raster.pageBitmap.reset();
    // A copy the stop request cut short is never ended, so never printed: the job's end aborts
    // its document.
    if (env.terminated.load(std::memory_order_relaxed)) return;
    endCopy(s, env);
}

}  // namespace

int offsetPixels(int32_t dpi, int32_t tenths) {
    return static_cast<int>(std::nearbyint(static_cast<double>(dpi) * tenths / 254.0));
}

void beginCopy(PclState& s, const JobEnv& env) {
    // A runaway job ends here, before the first printer page past the limit.
    if (s.pagesPrinted >= env.maxSheets) throw JobError(JobError::Reason::TooManySheets);
    if (s.pagesPrinted == 0 || env.request.singleMode != 0)
        env.printer.beginDoc();
    else
        env.printer.newPage();
}

void endCopy(PclState& s, const JobEnv& env) {
    if (env.request.singleMode != 0) env.printer.endDoc();
    ++s.pagesPrinted;
}

void emitPage(PclState& s, const JobEnv& env) {
    if (pageExists(s) && s.copies > 0) {
        bool inked = false;
        const bool lands = pageLands(s, env, inked);
        if (inked) ++(lands ? s.markedPages : s.blankPages);
    }
    for (int32_t i = 0; i < s.copies; ++i) {
        // Thousands of copies must not keep a closing program waiting.
        if (env.terminated.load(std::memory_order_relaxed)) break;
        if (!pageExists(s)) break;
        sendCopy(s, env, i > 0);
    }
    if (s.rasterMode)
        clearRasterPage(s);
    else
        clearTextPage(s);
}

bool endJob(PclState& s, const JobEnv& env) {
    if (!env.terminated.load() && env.request.singleMode == 0 && s.pagesPrinted > 0)
        env.printer.endDoc();
    releasePageSurfaces(s);
    if (env.printer.printing()) {
        env.printer.abort();
        return false;
    }
    return true;
}

void setCopiesCommand(PclState& s, const JobEnv& env, int32_t value) {
    if (env.printer.printing()) return;
    // PCL's own range. Zero would let the job go as printed with nothing on paper, and a
    // printer's copy count holds 16 bits.
    const int32_t copies = std::clamp<int32_t>(value, 1, kMaxCopies);
    if (env.printer.canCopy())
        env.printer.setCopies(copies);
    else
        s.copies = copies;
}

}  // namespace zelmo
