// Soft fonts of PCL 5 jobs: font headers and characters in the LaserJet's bitmap formats.
#include "pcl/pcl5_soft_fonts.h"

#include <algorithm>
#include <cstring>

namespace zelmo {
namespace {

// No real font comes near these; a damaged job must not exhaust memory.
constexpr int32_t kMaxGlyphSide = 4096;
constexpr int64_t kMaxJobGlyphBytes = int64_t{64} << 20;
constexpr std::size_t kMaxFonts = 1024;

// A big-endian 16-bit field; bytes past size read as 0.
int32_t be16(const uint8_t* data, std::size_t size, std::size_t at, bool isSigned) {
    const uint32_t hi = at < size ? data[at] : 0, lo = at + 1 < size ? data[at + 1] : 0;
    const uint32_t v = hi << 8 | lo;
    return isSigned ? int32_t(int16_t(uint16_t(v))) : int32_t(v);
}

// Class 2 rows: a repeat count, then alternating white and black run lengths to the row's end.
void decodeCompressed(const uint8_t* in, std::size_t size, SoftGlyph& g) {
    std::size_t pos = 0;
    int32_t y = 0;
    while (y < g.height && pos < size) {
        const int32_t repeat = in[pos++];
        uint8_t* row = g.bits.data() + std::size_t(y) * g.stride;
        int32_t x = 0;
        bool ink = false;
        while (x < g.width && pos < size) {
            const int32_t run = std::min<int32_t>(in[pos++], g.width - x);
            for (int32_t i = 0; ink && i < run; ++i)
                row[(x + i) >> 3] |= uint8_t(0x80 >> ((x + i) & 7));
            x += run;
            ink = !ink;
        }
        for (int32_t r = 0; r < repeat && y + 1 < g.height; ++r, ++y)
            std::memcpy(row + g.stride, row, std::size_t(g.stride)), row += g.stride;
        ++y;
    }
}

}  // namespace

void Pcl5SoftFonts::setFontId(double id) {
    fontId_ = static_cast<int32_t>(std::clamp(id, 0.0, 32767.0));
}

void Pcl5SoftFonts::setCharCode(double code) {
    charCode_ = static_cast<int32_t>(std::clamp(code, 0.0, 65535.0));
}

void Pcl5SoftFonts::header(const uint8_t* data, std::size_t size) {
    // Only bitmap headers (format 0, or 20 with its resolution) describe fonts drawn here.
    const int32_t format = size > 2 ? data[2] : -1;
    if (size < 64 || (format != 0 && format != 20)) return;
    if (fonts_.size() >= kMaxFonts && !fonts_.count(fontId_)) return;
    SoftFont& f = fonts_[fontId_];
    for (const SoftGlyph& g : f.glyphs)
        bytes_ -= int64_t(g.bits.size());
    f = SoftFont{};
    f.proportional = data[13] == 1;
    f.symbolSet = be16(data, size, 14, false);
    f.pitch = be16(data, size, 16, false);
    const int32_t dpi = format == 20 ? be16(data, size, 64, false) : 300;
    f.dpi = dpi >= 72 && dpi <= 1200 ? dpi : 300;
    f.glyphs.resize(256);
}

void Pcl5SoftFonts::character(const uint8_t* data, std::size_t size) {
    SoftFont* f = current();
    // Continuation blocks and the classes of outline fonts are not drawn.
    if (!f || charCode_ > 255 || size < 16 || data[0] != 4 || data[1] != 0) return;
    const int32_t descriptor = data[2], kind = data[3];
    if ((kind != 1 && kind != 2) || descriptor < 14 || std::size_t(descriptor) + 2 > size) return;
    SoftGlyph g;
    g.left = be16(data, size, 6, true);
    g.top = be16(data, size, 8, true);
    g.width = be16(data, size, 10, false);
    g.height = be16(data, size, 12, false);
    g.deltaX = be16(data, size, 14, true);
    g.defined = true;
    if (g.width > kMaxGlyphSide || g.height > kMaxGlyphSide) g.width = g.height = 0;
    g.stride = (g.width + 7) / 8;
    const int64_t bytes = int64_t{g.stride} * g.height;
    SoftGlyph& slot = f->glyphs[std::size_t(charCode_)];
    if (bytes_ - int64_t(slot.bits.size()) + bytes > kMaxJobGlyphBytes) return;
    g.bits.assign(std::size_t(bytes), 0);
    const uint8_t* rows = data + descriptor + 2;
    const std::size_t left = size - std::size_t(descriptor) - 2;
    if (kind == 1 && !g.bits.empty())
        std::memcpy(g.bits.data(), rows, std::min(left, g.bits.size()));
    else if (kind == 2)
        decodeCompressed(rows, left, g);
    bytes_ += bytes - int64_t(slot.bits.size());
    slot = std::move(g);
}

void Pcl5SoftFonts::control(int32_t action) {
    SoftFont* f = current();
    if (action == 0) {
        fonts_.clear();
        bytes_ = 0;
    } else if (action == 1) {
        dropTemporary();
    } else if (action == 2 && f) {
        for (const SoftGlyph& g : f->glyphs)
            bytes_ -= int64_t(g.bits.size());
        fonts_.erase(fontId_);
    } else if (action == 3 && f && charCode_ < 256) {
        SoftGlyph& g = f->glyphs[std::size_t(charCode_)];
        bytes_ -= int64_t(g.bits.size());
        g = SoftGlyph{};
    } else if ((action == 4 || action == 5) && f) {
        f->permanent = action == 5;
    }
}

void Pcl5SoftFonts::dropTemporary() {
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        if (it->second.permanent) {
            ++it;
            continue;
        }
        for (const SoftGlyph& g : it->second.glyphs)
            bytes_ -= int64_t(g.bits.size());
        it = fonts_.erase(it);
    }
}

const SoftFont* Pcl5SoftFonts::find(int32_t id) const {
    auto found = fonts_.find(id);
    return found == fonts_.end() ? nullptr : &found->second;
}

SoftFont* Pcl5SoftFonts::current() {
    auto found = fonts_.find(fontId_);
    return found == fonts_.end() ? nullptr : &found->second;
}

}  // namespace zelmo
