// The text of a page: what each drawn glyph stands for and where it lies, so that a printer
// that can carry text (a PDF) lays searchable, selectable text over the glyph images. The
// printer interface owns the type; output builds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelmo {

// A box in device pixels of the printer's canvas (origin at the printable area's top-left
// corner, as the page's stretch uses), right and bottom exclusive.
struct TextBox {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct TextGlyph {
    char32_t code = 0;  // Unicode; U+0020 stands for a gap between words (its box is the gap)
    TextBox box;
};

// One line of text in reading order: glyphs[first, first + count) left to right.
struct TextLine {
    TextBox box;           // union of its glyph boxes
    int32_t baseline = 0;  // device row of the line's baseline
    uint32_t first = 0;
    uint32_t count = 0;
};

// A page's text, placed where the page's stretch put its glyph pixels on the printer. Lines
// run top to bottom, each line left to right; glyphs wholly outside the printable area, glyphs
// of codes the code page does not map and repeated strikes over the same cell are left out.
struct TextLayer {
    std::vector<TextGlyph> glyphs;
    std::vector<TextLine> lines;
    std::vector<uint32_t> order;  // working space of buildTextLayer, kept for its capacity

    bool empty() const { return lines.empty(); }
    void clear() {
        glyphs.clear();
        lines.clear();
    }
};

// The line's text in UTF-8 (word gaps as single spaces).
std::string lineText(const TextLayer& layer, const TextLine& line);

}  // namespace zelmo
