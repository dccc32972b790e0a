// A text page as the glyphs drawn on it, for a printer that can place the job's glyphs itself
// (a PDF keeps each glyph once and a page as a few hundred bytes of text) instead of receiving
// the page's pixels. The printer interface owns the types; output fills them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelmo {

// One glyph as the interpreter drew it on the text page, in text-page pixels. Only numbers are
// kept, so noting a glyph costs a store into a reused vector.
struct GlyphNote {
    int32_t left = 0;  // the glyph image's box
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t penX = 0;      // the cursor (rounded) it was drawn at
    int32_t baseline = 0;  // the cursor row plus the font's baseline
    int32_t advance = 0;   // the horizontal motion index then, rounded
    uint16_t glyph = 0;    // the glyph table entry drawn
    uint8_t code = 0;      // the character code of the job
};

// How text-page pixels land on the canvas: the page's stretch from (0, 0, pageWidth,
// pageHeight) onto (x, y, width, height) in device pixels.
struct PageTransform {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
};

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
// shapes; the page is stretched onto the canvas by transform, as its image would be. unicode
// holds what each job code stands for in the job's code page (0: nothing), codePage names it.
struct GlyphPage {
    const std::vector<GlyphNote>* notes = nullptr;
    const std::vector<GlyphShape>* shapes = nullptr;
    PageTransform transform;
    int32_t codePage = 0;
    std::array<char32_t, 256> unicode{};
};

}  // namespace zelmo
