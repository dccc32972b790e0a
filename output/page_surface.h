// The page images of the current job: the text page and the raster page.
//
// Each page has its own geometry and its own buffer, so a job that makes both keeps both, sends
// each with its own size and releases both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "output/text_layer.h"
#include "platform/gdi.h"
#include "platform/glyph_page.h"

namespace zelmo {

// The 300-dpi monochrome image of the printable area, drawn through pageDC. Its pixels are
// made only when a page is sent as an image: a printer that draws the page from its glyph notes
// never needs them, so glyphs are noted as they are drawn and composed when the pixels are asked
// for (composeTextPage).
struct TextPage {
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    uint8_t* pageBits = nullptr;        // DIB form only: the section's memory
    gdi::UniqueBitmap pageBitmap;       // null until the pixels are first needed
    gdi::Bitmap savedBitmap = nullptr;  // what pageDC held before pageBitmap
    gdi::UniqueDc pageDC;               // non-null: the text page exists
    gdi::UniqueDc glyphDC;
    // Every glyph drawn since the page was last cleared, and the layer built from them when the
    // page is sent; both keep their capacity from page to page.
    std::vector<GlyphNote> notes;
    bool notesComplete = true;  // every glyph drawn is in notes
    size_t composed = 0;        // notes[0, composed) are in the pixels
    bool inked = false;         // the pixels hold ink since they were last cleared
    TextLayer layer;
    std::vector<GlyphShape> shapes;  // the job's glyphs, for a printer that draws them itself
};

// How the raster page's pixels are held, which decides how the page is sent.
enum class RasterForm { None, Raw, DibBottomUp, DibTopDown };

// The one-bit image of the whole sheet at the raster resolution; rows are written straight in.
struct RasterPage {
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    int32_t rowBytes = 0;
    int64_t pageBytes = 0;
    uint8_t* pageBits = nullptr;  // first byte of row 0 (the top of the sheet)
    // Rows [inkTop, inkBottom) may have been written since the page was last cleared: only
    // they are cleared for the next page.
    int32_t inkTop = 0;
    int32_t inkBottom = 0;
    RasterForm form = RasterForm::None;
    std::unique_ptr<uint8_t[]> ownedBits;  // device-dependent form
    gdi::UniqueBitmap pageBitmap;          // the DIB section, or the short-lived bitmap of one copy
};

struct PageSurface {
    TextPage text;
    RasterPage raster;
    // Height of the page created last (0 before any): the line-feed overflow test uses it.
    int32_t pageHeight = 0;
};

}  // namespace zelmo
