// Outline fonts rasterised into one-bit glyph images: what the PCL 5 interpreter draws its
// internal fonts with. The platform supplies the fonts and the rasteriser; the core only asks.
#pragma once

#include <cstdint>
#include <vector>

namespace zelmo {

// The printer's internal typefaces by kind: each platform picks its closest font files. Cells
// is the monospaced font bare-text pages are printed in (the one the PDF printer embeds).
enum class OutlineFamily { Mono, Serif, Sans, Cells };

struct OutlineFace {
    OutlineFamily family = OutlineFamily::Mono;
    bool bold = false;
    bool italic = false;
};

// A glyph's image: 1 = ink, the leftmost pixel in the high bit, rows of stride bytes.
struct OutlineGlyph {
    int32_t width = 0;
    int32_t height = 0;
    int32_t left = 0;     // from the pen to the image's left edge, pixels
    int32_t top = 0;      // from the baseline up to the image's top edge, pixels
    int32_t advance = 0;  // the pen's move, 1/64 pixel
    int32_t stride = 0;
    bool found = false;  // the font has the character
    std::vector<uint8_t> bits;
};

class OutlineFonts {
  public:
    virtual ~OutlineFonts() = default;
    // Renders code at an em of emX x emY pixels (a narrower emX condenses it); false when the
    // face cannot be loaded at all.
    virtual bool render(const OutlineFace& face, int32_t emX, int32_t emY, char32_t code,
                        OutlineGlyph& out) = 0;
    // The face's advance of its space and its line's ascent and descent (below the baseline,
    // negative), as fractions of the em; false when the face cannot be loaded.
    virtual bool metrics(const OutlineFace& face, double& advance, double& ascent,
                         double& descent) = 0;
};

// The platform's fonts, shared by the process and safe to use from the worker only; null where
// the platform has none (then text is placed but not drawn).
OutlineFonts* platformOutlineFonts();

}  // namespace zelmo
