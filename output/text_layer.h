// Building a page's text layer from the glyphs the interpreter drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/code_pages.h"
#include "platform/text_layer.h"

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

// Builds the layer of the noted glyphs; canvasWidth x canvasHeight is the printable area.
// layer is cleared first; its vectors keep their capacity from page to page.
void buildTextLayer(const std::vector<GlyphNote>& notes, CodePage codePage,
                    const PageTransform& transform, int32_t canvasWidth, int32_t canvasHeight,
                    TextLayer& layer);

}  // namespace zelmo
