// PCL 5 fonts and symbol sets: selection by characteristics, bytes to characters, glyphs from
// the platform's outline fonts cached per size, and the page's text layer.
#include "pcl/pcl5_text.h"

#include <algorithm>
#include <cmath>

#include "output/code_pages.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

constexpr int64_t kInch = 7200;
// A glyph's em is clamped to this many pixels: a job's absurd height must not exhaust memory.
constexpr int32_t kMaxEm = 2400;
// Courier's characters are 0.6 em wide: a fixed-pitch font's em follows from its pitch.
constexpr double kMonoAdvance = 0.6;

// HP's symbol set numbers: the value times 32 plus the letter's offset from '@'.
constexpr int32_t symbolId(int value, char letter) {
    return value * 32 + (letter - 64);
}

// Roman-8 from 0xA0, the LaserJet's default set.
constexpr char16_t kRoman8[96] = {
    0x00A0, 0x00C0, 0x00C2, 0x00C8, 0x00CA, 0x00CB, 0x00CE, 0x00CF, 0x00B4, 0x02CB, 0x02C6, 0x00A8,
    0x02DC, 0x00D9, 0x00DB, 0x20A4, 0x00AF, 0x00DD, 0x00FD, 0x00B0, 0x00C7, 0x00E7, 0x00D1, 0x00F1,
    0x00A1, 0x00BF, 0x00A4, 0x00A3, 0x00A5, 0x00A7, 0x0192, 0x00A2, 0x00E2, 0x00EA, 0x00F4, 0x00FB,
    0x00E1, 0x00E9, 0x00F3, 0x00FA, 0x00E0, 0x00E8, 0x00F2, 0x00F9, 0x00E4, 0x00EB, 0x00F6, 0x00FC,
    0x00C5, 0x00EE, 0x00D8, 0x00C6, 0x00E5, 0x00ED, 0x00F8, 0x00E6, 0x00C4, 0x00EC, 0x00D6, 0x00DC,
    0x00C9, 0x00EF, 0x00DF, 0x00D4, 0x00C1, 0x00C3, 0x00E3, 0x00D0, 0x00F0, 0x00CD, 0x00CC, 0x00D3,
    0x00D2, 0x00D5, 0x00F5, 0x0160, 0x0161, 0x00DA, 0x0178, 0x00FF, 0x00DE, 0x00FE, 0x00B7, 0x00B5,
    0x00B6, 0x00BE, 0x2014, 0x00BC, 0x00BD, 0x00AA, 0x00BA, 0x00AB, 0x25A0, 0x00BB, 0x00B1, 0x0000,
};

// The typeface number's family: Courier, Letter Gothic and Line Printer are monospaced;
// CG Times, Times and Times New Roman serif; Univers, Helvetica, Arial and the rest sans.
OutlineFamily familyOf(int32_t typeface, bool proportional) {
    const int32_t base = typeface & 0xFFF;
    if (base == 0 || base == 3 || base == 6 || base == 4099 - 4096) return OutlineFamily::Mono;
    if (base == 5 || base == 101 || base == 517 || base == 4101 - 4096) return OutlineFamily::Serif;
    return proportional ? OutlineFamily::Sans : OutlineFamily::Mono;
}

}  // namespace

Pcl5Text::Pcl5Text(int32_t codePage) : codePage_(codePage), fonts_(platformOutlineFonts()) {}

void Pcl5Text::reset() {
    primary_ = Pcl5Font{};
    secondary_font_ = Pcl5Font{};
    secondary_ = false;
    softFonts_.dropTemporary();
}

void Pcl5Text::selectById(bool primary, double id) {
    const int32_t n = static_cast<int32_t>(std::clamp(id, -1.0, 32767.0));
    const SoftFont* soft = softFonts_.find(n);
    if (!soft) return;
    Pcl5Font& f = fontFor(primary);
    f.softFont = n;
    f.proportional = soft->proportional;
    if (soft->pitch > 0) f.pitch = 4.0 * soft->dpi / soft->pitch;
    if (soft->symbolSet >= 0) f.symbolSet = soft->symbolSet;
}

// The selected downloaded font; null for an internal font or one deleted since.
const SoftFont* Pcl5Text::softFont() const {
    return font().softFont >= 0 ? softFonts_.find(font().softFont) : nullptr;
}

void Pcl5Text::characteristic(bool primary, uint8_t letter, double value) {
    Pcl5Font& f = fontFor(primary);
    // A selection by characteristics chooses among the internal fonts again.
    f.softFont = -1;
    switch (letter) {
        case 'P':
            f.proportional = value >= 1;
            break;
        case 'H':
            if (value > 0) f.pitch = std::clamp(value, 0.1, 1000.0);
            break;
        case 'V':
            if (value > 0) f.height = std::clamp(value, 0.25, 999.75);
            break;
        case 'S':
            f.italic = value >= 1;
            break;
        case 'B':
            f.bold = value >= 2;
            break;
        case 'T':
            f.typeface = static_cast<int32_t>(std::clamp(value, 0.0, 65535.0));
            break;
        default:
            break;
    }
}

void Pcl5Text::symbolSet(bool primary, double value, uint8_t letter) {
    if (letter < 'A' || letter > 'Z' || letter == 'X' || value < 0 || value > 2047) return;
    fontFor(primary).symbolSet = symbolId(static_cast<int>(value), static_cast<char>(letter));
}

void Pcl5Text::applyPitch(int64_t& hmi) const {
    if (!primary_.proportional) hmi = static_cast<int64_t>(std::nearbyint(kInch / primary_.pitch));
}

void Pcl5Text::pitchMode(int mode, int64_t& hmi) {
    const double pitch = mode == 2 ? 16.67 : mode == 4 ? 12.0 : mode == 0 ? 10.0 : 0.0;
    if (pitch == 0.0) return;
    primary_.pitch = pitch;
    applyPitch(hmi);
}

// The character a byte stands for in the font's symbol set.
char32_t Pcl5Text::unicode(uint8_t code) const {
    if (code < 0x80) return code >= 0x20 && code < 0x7F ? code : 0;
    switch (font().symbolSet) {
        case symbolId(8, 'U'):
            return code >= 0xA0 ? kRoman8[code - 0xA0] : 0;
        case symbolId(0, 'U'):
            return 0;
        case symbolId(0, 'N'):
        case symbolId(19, 'U'):
            return code >= 0xA0 ? code : 0;
        case symbolId(2, 'N'):
            return toUnicode(CodePage::Iso8859_2, code);
        case symbolId(9, 'E'):
            return toUnicode(CodePage::Windows1250, code);
        case symbolId(10, 'U'):
            return toUnicode(CodePage::Cp437, code);
        case symbolId(17, 'U'):
            return toUnicode(CodePage::Cp852, code);
        default:
            return toUnicode(codePageFromValue(codePage_), code);
    }
}

OutlineFace Pcl5Text::face() const {
    const Pcl5Font& f = font();
    return {familyOf(f.typeface, f.proportional), f.bold, f.italic};
}

// The em in pixels: from the pitch for fixed-pitch fonts, from the height otherwise; Line
// Printer keeps its height and is condensed to its pitch.
void Pcl5Text::emSize(int32_t dpi, int32_t& emX, int32_t& emY) const {
    const Pcl5Font& f = font();
    const double byHeight = f.height * dpi / 72.0, byPitch = dpi / (kMonoAdvance * f.pitch);
    const bool linePrinter = !f.proportional && (f.typeface & 0xFFF) == 0;
    const double x = f.proportional ? byHeight : byPitch;
    const double y = f.proportional || linePrinter ? byHeight : byPitch;
    emX = static_cast<int32_t>(std::clamp(std::nearbyint(x), 1.0, double(kMaxEm)));
    emY = static_cast<int32_t>(std::clamp(std::nearbyint(y), 1.0, double(kMaxEm)));
}

// The glyph of code in the current font, rendered once per job and size.
const OutlineGlyph* Pcl5Text::glyph(char32_t code, int32_t dpi) {
    if (!fonts_ || code == 0) return nullptr;
    int32_t emX, emY;
    emSize(dpi, emX, emY);
    const OutlineFace f = face();
    const uint64_t key = uint64_t(code) | uint64_t(emX) << 21 | uint64_t(emY) << 33 |
                         uint64_t(f.family) << 45 | uint64_t(f.bold) << 47 |
                         uint64_t(f.italic) << 48;
    auto found = cache_.find(key);
    if (found == cache_.end()) {
        OutlineGlyph g;
        fonts_->render(f, emX, emY, code, g);
        found = cache_.emplace(key, std::move(g)).first;
    }
    return found->second.found ? &found->second : nullptr;
}

int64_t Pcl5Text::advance(uint8_t code, int64_t hmi, int32_t dpi) {
    if (!font().proportional) return hmi;
    if (const SoftFont* soft = softFont()) {
        const SoftGlyph& g = soft->glyphs[code];
        // A character the font lacks moves nothing, as a LaserJet prints it.
        return g.defined ? int64_t{g.deltaX} * kInch / (4 * soft->dpi) : 0;
    }
    const OutlineGlyph* g = glyph(unicode(code == ' ' ? 'n' : code), dpi);
    // A space is three fifths of an n, as the LaserJet's CG Times and Univers space (the URW
    // fonts' own spaces are narrower); a character the font lacks is a fixed cell.
    if (!g) return hmi;
    const int64_t width = int64_t{g->advance} * kInch / (int64_t{dpi} * 64);
    return code == ' ' ? width * 3 / 5 : width;
}

void Pcl5Text::draw(uint8_t code, Pcl5Sheet& sheet, int32_t x, int32_t y, int orientation,
                    const Paint& paint) {
    if (const SoftFont* soft = softFont()) {
        const SoftGlyph& g = soft->glyphs[code];
        const int32_t scale = std::max(sheet.dpi() / soft->dpi, 1);
        if (g.defined) drawSoft(g, scale, sheet, x, y, orientation, paint);
        return;
    }
    const char32_t c = unicode(code);
    const OutlineGlyph* g = code == ' ' ? nullptr : glyph(c, sheet.dpi());
    if (!g) return;
    for (int32_t gy = 0; gy < g->height; ++gy) {
        const uint8_t* row = g->bits.data() + std::size_t(gy) * g->stride;
        // The glyph's lowest row on the baseline lies on the pen's row.
        const int32_t dy = gy - g->top + 1;
        if (orientation == 0) {
            sheet.drawRow(x + g->left, y + dy, row, g->width, paint);
            continue;
        }
        for (int32_t gx = 0; gx < g->width; ++gx) {
            if (!((row[gx >> 3] >> (7 - (gx & 7))) & 1)) continue;
            const int32_t dx = gx + g->left;
            const int32_t px = orientation == 1 ? x + dy : orientation == 2 ? x - dx : x - dy;
            const int32_t py = orientation == 1 ? y - dx : orientation == 2 ? y - dy : y + dx;
            sheet.paintPixel(px, py, true, paint);
        }
    }
    if (orientation == 0) note(c, x, y, *g);
}

// A downloaded character's image, each dot scale sheet pixels, its reference point on the pen.
void Pcl5Text::drawSoft(const SoftGlyph& g, int32_t scale, Pcl5Sheet& sheet, int32_t x, int32_t y,
                        int orientation, const Paint& paint) {
    for (int32_t gy = 0; gy < g.height * scale; ++gy) {
        const uint8_t* row = g.bits.data() + std::size_t(gy / scale) * g.stride;
        const int32_t dy = gy - g.top * scale;
        if (orientation == 0 && scale == 1) {
            sheet.drawRow(x + g.left, y + dy, row, g.width, paint);
            continue;
        }
        for (int32_t gx = 0; gx < g.width * scale; ++gx) {
            const int32_t bit = gx / scale;
            if (!((row[bit >> 3] >> (7 - (bit & 7))) & 1)) continue;
            const int32_t dx = gx + g.left * scale;
            const int32_t px = orientation == 1 ? x + dy : orientation == 2 ? x - dx : x - dy;
            const int32_t py = orientation == 1 ? y - dx : orientation == 2 ? y - dy : y + dx;
            sheet.paintPixel(orientation == 0 ? x + dx : px, orientation == 0 ? y + dy : py, true,
                             paint);
        }
    }
}

// Keeps a drawn character for the page's text layer: a new line where the baseline changes or
// the pen goes back.
void Pcl5Text::note(char32_t code, int32_t x, int32_t y, const OutlineGlyph& g) {
    TextGlyph t;
    t.code = code;
    t.box = {x + g.left, y - g.top, x + g.left + std::max(g.width, 1), y - g.top + g.height};
    const bool newLine = layer_.lines.empty() || layer_.lines.back().baseline != y ||
                         layer_.glyphs.back().box.right > t.box.left + g.width;
    if (newLine) {
        TextLine line;
        line.baseline = y;
        line.first = static_cast<uint32_t>(layer_.glyphs.size());
        line.box = t.box;
        layer_.lines.push_back(line);
    } else if (t.box.left - layer_.glyphs.back().box.right > g.width / 2) {
        TextGlyph gap;
        gap.code = U' ';
        gap.box = {layer_.glyphs.back().box.right, t.box.top, t.box.left, t.box.bottom};
        layer_.glyphs.push_back(gap);
        ++layer_.lines.back().count;
    }
    TextLine& line = layer_.lines.back();
    line.box = {std::min(line.box.left, t.box.left), std::min(line.box.top, t.box.top),
                std::max(line.box.right, t.box.right), std::max(line.box.bottom, t.box.bottom)};
    layer_.glyphs.push_back(t);
    ++line.count;
}

void Pcl5Text::sendLayer(PrinterCanvas& dc, int x, int y, double scale) {
    if (!layer_.empty() && dc.wantsTextLayer()) {
        auto at = [&](int32_t v, int origin) {
            return origin + static_cast<int32_t>(std::floor(v * scale));
        };
        TextLayer placed = layer_;
        for (TextGlyph& g : placed.glyphs)
            g.box = {at(g.box.left, x), at(g.box.top, y), at(g.box.right, x), at(g.box.bottom, y)};
        for (TextLine& l : placed.lines) {
            l.box = {at(l.box.left, x), at(l.box.top, y), at(l.box.right, x), at(l.box.bottom, y)};
            l.baseline = at(l.baseline, y);
        }
        dc.textLayer(placed);
    }
}

}  // namespace zelmo
