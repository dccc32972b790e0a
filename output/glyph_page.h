// A text page as the glyphs drawn on it, for a printer that can place the job's glyphs itself
// (a PDF keeps each glyph once and a page as a few hundred bytes of text) instead of receiving
// the page's pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/code_pages.h"
#include "output/text_layer.h"

namespace zelmo {

// One downloaded glyph's image: height rows of (width + 7) / 8 bytes, 1 = ink, the leftmost
// pixel in the high bit. Only available bytes lie in the job: the rest read as blank.
struct GlyphShape {
    int32_t width = 0;
    int32_t height = 0;
    int32_t leftOffset = 0;  // from the pen to the image's left edge
    int32_t topOffset = 0;   // from the baseline up to the image's top edge
    const uint8_t* rows = nullptr;
    std::size_t available = 0;

    // Byte i of the rows, blank past what the job holds.
    uint8_t byteAt(std::size_t i) const { return i < available ? rows[i] : 0; }
};

// A text page whose pixels are exactly its noted glyphs on white. notes[i].glyph indexes
// shapes; the page is stretched onto the canvas by transform, as its image would be.
struct GlyphPage {
    const std::vector<GlyphNote>* notes = nullptr;
    const std::vector<GlyphShape>* shapes = nullptr;
    PageTransform transform;
    CodePage codePage = kDefaultCodePage;
};

}  // namespace zelmo
