// Soft fonts of PCL 5 jobs: bitmap fonts a job downloads under an ID (ESC*c#D, ESC)s#W, ESC*c#E,
// ESC(s#W) and selects by that ID (ESC(#X), kept with their glyphs for the job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace zelmo {

// One downloaded character: its image (1 = ink, the leftmost pixel in the high bit, rows of
// stride bytes) placed from the pen in the font's dots, and its advance in quarter dots.
struct SoftGlyph {
    int32_t left = 0, top = 0, width = 0, height = 0, stride = 0;
    int32_t deltaX = 0;
    bool defined = false;
    std::vector<uint8_t> bits;
};

// A downloaded bitmap font: the header's fields the printout needs, and its 256 characters.
struct SoftFont {
    bool proportional = false;
    bool permanent = false;
    int32_t symbolSet = -1;  // HP's number, -1 none given
    int32_t pitch = 0;       // quarter dots a character, fixed-pitch fonts
    int32_t dpi = 300;       // the font's resolution (600 for resolution-specified headers)
    std::vector<SoftGlyph> glyphs;
};

class Pcl5SoftFonts {
  public:
    // ESC*c#D and ESC*c#E: the ID and the character code the next downloads are for.
    void setFontId(double id);
    void setCharCode(double code);
    // ESC)s#W: a font header of size bytes for the current ID (a font with that ID is replaced).
    void header(const uint8_t* data, std::size_t size);
    // ESC(s#W: a character of size bytes for the current ID and character code.
    void character(const uint8_t* data, std::size_t size);
    // ESC*c#F: deletes or keeps fonts (0 all, 1 temporary, 2 the current, 3 its character,
    // 4 and 5 make the current temporary or permanent).
    void control(int32_t action);
    // ESC E: the temporary fonts are gone.
    void dropTemporary();
    // The font of that ID, null when none was downloaded.
    const SoftFont* find(int32_t id) const;

  private:
    SoftFont* current();

    std::map<int32_t, SoftFont> fonts_;
    int32_t fontId_ = 0;
    int32_t charCode_ = 0;
    int64_t bytes_ = 0;  // glyph bytes kept, against the job's budget
};

}  // namespace zelmo
