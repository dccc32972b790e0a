// Text of PCL 5 jobs: the primary and secondary fonts chosen by their characteristics, the
// symbol sets that map a job's bytes to characters, and the glyphs drawn onto the sheet through
// the platform's outline fonts. A PDF gets the page's text as a searchable layer.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "pcl/pcl5_sheet.h"
#include "pcl/pcl5_soft_fonts.h"
#include "platform/outline_fonts.h"
#include "platform/text_layer.h"

namespace zelmo {

class PrinterCanvas;

// A font as a job selects it.
struct Pcl5Font {
    int32_t symbolSet = -1;  // HP's number (value x 32 + letter - 64); -1 the user's code page
    bool proportional = false;
    double pitch = 10.0;   // characters per inch, fixed-pitch fonts
    double height = 12.0;  // points, proportional fonts
    bool italic = false;
    bool bold = false;
    int32_t typeface = 3;   // Courier
    int32_t softFont = -1;  // the downloaded font's ID when selected by it
};

class Pcl5Text {
  public:
    explicit Pcl5Text(int32_t codePage);

    void reset();
    void shift(bool secondary) { secondary_ = secondary; }
    // ESC(s / ESC)s: one characteristic of the primary or secondary font.
    void characteristic(bool primary, uint8_t letter, double value);
    // ESC(#U etc.: a symbol set, letter as sent.
    void symbolSet(bool primary, double value, uint8_t letter);
    // ESC(#X / ESC)#X: the downloaded font of that ID; an ID with no such font changes nothing.
    void selectById(bool primary, double id);
    Pcl5SoftFonts& softFonts() { return softFonts_; }
    // A fixed-pitch font's selection sets the HMI to its pitch.
    void applyPitch(int64_t& hmi) const;
    // ESC&k#S: 0 ten, 4 twelve, 2 sixteen and two thirds characters per inch.
    void pitchMode(int mode, int64_t& hmi);
    // How far the cursor moves for code, in 1/7200 inch.
    int64_t advance(uint8_t code, int64_t hmi, int32_t dpi);
    // The glyph of code with its pen at sheet pixel (x, y) on the baseline.
    void draw(uint8_t code, Pcl5Sheet& sheet, int32_t x, int32_t y, int orientation,
              const Paint& paint);
    // Sends the page's text to a printer that carries text, placed as the sheet's stretch
    // places its pixels (x, y the sheet's corner, scale device pixels per sheet pixel); then
    // forgets the page's text.
    void sendLayer(PrinterCanvas& dc, int x, int y, double scale);
    // The page was sent: its text is forgotten.
    void clearPage() { layer_.clear(); }

  private:
    const Pcl5Font& font() const { return secondary_ ? secondary_font_ : primary_; }
    Pcl5Font& fontFor(bool primary) { return primary ? primary_ : secondary_font_; }
    char32_t unicode(uint8_t code) const;
    OutlineFace face() const;
    void emSize(int32_t dpi, int32_t& emX, int32_t& emY) const;
    const OutlineGlyph* glyph(char32_t code, int32_t dpi);
    void note(char32_t code, int32_t x, int32_t y, const OutlineGlyph& g);
    const SoftFont* softFont() const;
    void drawSoft(const SoftGlyph& g, int32_t scale, Pcl5Sheet& sheet, int32_t x, int32_t y,
                  int orientation, const Paint& paint);

    int32_t codePage_;
    Pcl5Font primary_, secondary_font_;
    bool secondary_ = false;
    OutlineFonts* fonts_ = nullptr;
    std::unordered_map<uint64_t, OutlineGlyph> cache_;
    TextLayer layer_;
    Pcl5SoftFonts softFonts_;
};

}  // namespace zelmo
