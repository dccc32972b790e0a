// Sends finished pages to the printer, once per copy, placed by the user's offsets and in the
// way the page's image is held; owns the job's printer document.
#include <algorithm>
#include <cmath>

#include "output/page_output.h"
#include "output/text_layer.h"
#include "platform/errors.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

// The bitmap that holds the current page for one copy, or null when there is nothing to send.
gdi::Bitmap pageImage(PclState& s) {
    if (!s.rasterMode) return s.surface.text.pageBitmap.get();
    RasterPage& page = s.surface.raster;
    if (page.form == RasterForm::Raw) {
        // A device-dependent bitmap lives only for the copy it sends.
        page.pageBitmap.reset(
            gdi::createBitmap(page.pageWidth, page.pageHeight, 1, 1, page.pageBits));
        if (!page.pageBitmap) throw JobError(JobError::Reason::OutOfMemory);
    }
    return page.pageBitmap.get();
}

// One StretchBlt of the whole page onto the printer, per the page kind and how it is held.
void transferPage(PclState& s, const JobEnv& env, gdi::Dc source) {
    PrinterCanvas* dc = env.printer.deviceContext();
    if (!dc) return;
    const DeviceMetrics& m = env.metrics;
    int x = offsetPixels(m.dpiX, env.request.offsetX);
    int y = offsetPixels(m.dpiY, env.request.offsetY);
    if (!s.rasterMode) {
        TextPage& page = s.surface.text;
        dc->stretchBlt(x, y, m.horzRes, m.vertRes, source, 0, 0, page.pageWidth, page.pageHeight,
                       Rop::SrcCopy);
        if (page.notes.empty() || !dc->wantsTextLayer()) return;
        // Built at the first copy and sent with every copy, placed by this very stretch.
        if (page.layer.empty()) {
            PageTransform t{x, y, m.horzRes, m.vertRes, page.pageWidth, page.pageHeight};
            buildTextLayer(page.notes, codePageFromValue(env.request.codePage), t, m.horzRes,
                           m.vertRes, page.layer);
        }
        if (!page.layer.empty()) dc->textLayer(page.layer);
        return;
    }
    const RasterPage& page = s.surface.raster;
    // The sheet image starts at the sheet's top edge, above the printable area.
    int top = y - m.physOffsetY;
    if (page.form == RasterForm::DibBottomUp) {
        // The section holds the page upside down; a negative height turns it over.
        dc->stretchBlt(x, top + m.physHeight, m.physWidth, -m.physHeight, source, 0, 0,
                       page.pageWidth, page.pageHeight, Rop::SrcCopy);
    } else {
        dc->stretchBlt(x, top, m.physWidth, m.physHeight, source, 0, 0, page.pageWidth,
                       page.pageHeight, Rop::SrcCopy);
    }
}

// Sends the current page once: a printer page of the job's document, or a document of its own.
void sendCopy(PclState& s, const JobEnv& env, gdi::Bitmap image) {
    beginCopy(s, env);

    TextPage& text = s.surface.text;
    // A bitmap can be selected into one DC at a time: take the text page out of pageDC.
    if (!s.rasterMode) gdi::selectObject(text.pageDC.get(), text.savedBitmap);
    {
        // Declared first so it runs last: the memory DC must let go of the bitmap before
        // pageDC can take it back, also when the transfer throws.
        struct Reselect {
            PclState& s;
            ~Reselect() {
                if (!s.rasterMode) {
                    gdi::selectObject(s.surface.text.pageDC.get(), s.surface.text.pageBitmap.get());
                }
            }
        } reselect{s};
        gdi::UniqueDc memory(gdi::createCompatibleDc(nullptr));
        gdi::selectObject(memory.get(), image);
        transferPage(s, env, memory.get());
    }
    if (s.rasterMode && s.surface.raster.form == RasterForm::Raw)
        s.surface.raster.pageBitmap.reset();
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
    for (int32_t i = 0; i < s.copies; ++i) {
        // Thousands of copies must not keep a closing program waiting.
        if (env.terminated.load(std::memory_order_relaxed)) break;
        gdi::Bitmap image = pageImage(s);
        if (!image) break;
        sendCopy(s, env, image);
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
