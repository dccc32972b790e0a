// The job's soft-font glyphs as Type 3 fonts of a PDF document: each glyph is written once, as
// an image mask of its own pixels, and a text page becomes runs of glyph codes placed by the
// page's stretch, so that it rasterises to the very pixels of its image. The fonts' ToUnicode
// maps make the glyphs themselves searchable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/glyph_page.h"

namespace zelmo::pdf {

class PdfWriter;

class GlyphFonts {
  public:
    // Whether a page stretched by transform can be drawn from glyphs to the pixel: a
    // whole-number scale, which every renderer maps onto device pixels alike.
    static bool exact(const PageTransform& transform);
    // Adds the page's glyph runs to the writer's open page, over white paper, clipped to the
    // page's place as its image would be.
    void drawPage(PdfWriter& writer, const GlyphPage& page);
    // Writes the font dictionaries and their maps; before the writer finishes the document.
    void finish(PdfWriter& writer);

  private:
    // One Type 3 font: a job code stands for one glyph table entry; a code that must stand for
    // another entry goes to a font of its own.
    struct Font {
        int object = 0;
        int32_t codePage = 0;
        std::array<char32_t, 256> unicode{};  // what each code stands for
        std::array<int32_t, 256> entry{};     // the glyph of each code; -1 while unused
        std::array<int32_t, 256> charProc{};  // its glyph procedure's object
        std::array<int32_t, 256> width{};     // its advance in text-page pixels
        int32_t box[4] = {0, 0, 0, 0};        // union of the glyph boxes
        bool hasBox = false;
    };

    int fontFor(PdfWriter& writer, const GlyphPage& page, const GlyphNote& note);
    void addGlyph(PdfWriter& writer, Font& font, const GlyphShape& shape, const GlyphNote& note);
    void writeFont(PdfWriter& writer, const Font& font);

    std::vector<Font> fonts_;
    std::string scratch_;
};

}  // namespace zelmo::pdf
