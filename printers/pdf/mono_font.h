// The monospaced TrueType font embedded in the PDFs for text printed in the printer's font: a
// font compiled into the program (DejaVu Sans Mono, whose licence allows embedding), read in
// place, and written into each document as a subset of the glyphs the document used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelmo::pdf {

// A TrueType font read in place from bytes that outlive it; only what the PDF needs is parsed.
class TrueTypeFont {
  public:
    // The font compiled into the program; null when its bytes do not read as a font.
    static const TrueTypeFont* builtIn();
    // Parses data; false (the font unusable) when a table it needs is missing or out of bounds.
    bool load(const uint8_t* data, std::size_t size);

    // The glyph of a code point; 0 (the missing-glyph box) when the font has none.
    uint16_t glyphOf(char32_t code) const;
    uint16_t glyphCount() const { return glyphCount_; }
    // In the font's units.
    int unitsPerEm() const { return unitsPerEm_; }
    int advance() const { return advance_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }  // below the baseline: negative
    const int16_t* box() const { return box_; }

    // A font file with every glyph of used (by glyph id, glyph 0 and composite glyphs' parts
    // added) and all other glyphs emptied, so glyph ids stay as they are.
    std::string subset(std::vector<bool> used) const;

  private:
    struct Table {
        std::size_t offset = 0, length = 0;
    };
    bool findTable(const char* tag, Table& table) const;
    bool readCmap();
    std::size_t glyphOffset(uint16_t glyph) const;
    void addComponents(uint16_t glyph, std::vector<bool>& used, int depth) const;

    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    Table head_, loca_, glyf_, cmap4_;
    bool longLoca_ = false;
    uint16_t glyphCount_ = 0;
    int unitsPerEm_ = 0, advance_ = 0, ascent_ = 0, descent_ = 0;
    int16_t box_[4] = {};
};

}  // namespace zelmo::pdf
