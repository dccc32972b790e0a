// The embedded monospaced font as one document uses it: which glyphs its pages drew and the
// characters they stand for, so that the document ends with a subset of the font and a map
// back to Unicode that keeps the text searchable.
#pragma once

#include <string>
#include <vector>

#include "printers/pdf/mono_font.h"

namespace zelmo::pdf {

class MonoFontUse {
  public:
    explicit MonoFontUse(const TrueTypeFont& font);

    const TrueTypeFont& font() const { return font_; }
    // UTF-8 text as a PDF hex string of glyph ids (two bytes each), the glyphs marked used; a
    // character the font lacks is drawn as '?'.
    std::string encode(const std::string& utf8);
    // The font file holding only the used glyphs.
    std::string subset() const { return font_.subset(used_); }
    // The ToUnicode CMap of the used glyphs.
    std::string toUnicode() const;
    // The subset's PostScript name, tagged by the glyphs it holds as PDF asks of subsets.
    std::string subsetName() const;

  private:
    const TrueTypeFont& font_;
    std::vector<bool> used_;
    std::vector<char32_t> unicode_;  // by glyph id: the first character drawn with it
};

}  // namespace zelmo::pdf
