// Building a page's text layer from the glyphs the interpreter drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/code_pages.h"
#include "platform/glyph_page.h"
#include "platform/text_layer.h"

namespace zelmo {

// Builds the layer of the noted glyphs; canvasWidth x canvasHeight is the printable area.
// layer is cleared first; its vectors keep their capacity from page to page.
void buildTextLayer(const std::vector<GlyphNote>& notes, CodePage codePage,
                    const PageTransform& transform, int32_t canvasWidth, int32_t canvasHeight,
                    TextLayer& layer);

}  // namespace zelmo
