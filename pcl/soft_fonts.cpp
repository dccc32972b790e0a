// Soft fonts: font headers, character downloads, glyph lookup, glyph bitmaps and drawing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "pcl/interpreter.h"

namespace zelmo {
namespace {

// A glyph bitmap larger than this, or one that would take the job past its budget, is not
// built: no real font comes near, and a damaged job must not exhaust memory.
constexpr int64_t kMaxGlyphBitmapBytes = int64_t{4} << 20;
constexpr int64_t kMaxJobGlyphBytes = int64_t{64} << 20;
// Far more glyphs than any printed page holds (a dense page has a few thousand).
constexpr std::size_t kMaxGlyphNotes = std::size_t{1} << 17;

// The block of a data command: [begin, end) clamped to the job, so nothing past it is read.
struct Block {
    const uint8_t* job;
    std::size_t begin;
    std::size_t end;

    uint8_t byteAt(std::size_t offset) const {
        std::size_t pos = begin + offset;
        return pos < end ? job[pos] : 0;  // missing bytes are blank
    }
    int16_t be16(std::size_t offset) const {
        return static_cast<int16_t>((byteAt(offset) << 8) | byteAt(offset + 1));
    }
};

Block blockAt(const PclState& s, std::size_t readPos) {
    std::size_t count = static_cast<std::size_t>(std::max<int32_t>(s.paramValue, 0));
    std::size_t begin = std::min(readPos, s.jobEnd);
    std::size_t end = std::min(s.jobEnd, begin + count);
    return Block{s.job, begin, end};
}

void skipBlock(const PclState& s, std::size_t& readPos) {
    readPos += static_cast<std::size_t>(std::max<int32_t>(s.paramValue, 0));
}

// Rounds to the nearest integer, an exact half to the even neighbour, kept in a safe range.
int64_t roundedPosition(double v) {
    double r = std::nearbyint(v);
    if (!(r > -1e9)) return -1000000000;
    if (r > 1e9) return 1000000000;
    return static_cast<int64_t>(r);
}

int clampToInt(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -2000000000, 2000000000));
}

}  // namespace

void readFontHeader(PclState& s, std::size_t& readPos) {
    Block block = blockAt(s, readPos);
    // A header too short to hold both fields is not taken at all.
    if (block.end - block.begin >= 10) {
        s.fontMetrics.fontBaseline = block.be16(6);
        s.fontMetrics.fontCellWidth = block.be16(8);
    }
    skipBlock(s, readPos);
}

void downloadGlyph(PclState& s, std::size_t& readPos) {
    GlyphTable& table = s.glyphTable;
    if (table.glyphCount < kMaxGlyphs) {
        Block block = blockAt(s, readPos);
        GlyphEntry& g = table.entries[table.glyphCount];
        g.code = s.pendingCharCode;
        g.leftOffset = block.be16(6);
        g.topOffset = block.be16(8);
        g.width = block.be16(10);
        g.height = block.be16(12);
        g.data = block.begin + 16;
        g.dataEnd = block.end;
        g.bitmap = nullptr;
        g.bitmapRefused = false;
        if (table.firstIndex[g.code] == kNoGlyph)
            table.firstIndex[g.code] = static_cast<int16_t>(table.glyphCount);
        ++table.glyphCount;
    }
    skipBlock(s, readPos);
}

const GlyphEntry* findGlyph(PclState& s, uint8_t code) {
    int index = s.glyphTable.firstIndex[code];
    if (index == kNoGlyph) return nullptr;
    GlyphEntry& g = s.glyphTable.entries[index];
    if (!g.bitmap && !g.bitmapRefused) buildGlyphBitmap(s, g);
    return &g;
}

void buildGlyphBitmap(PclState& s, GlyphEntry& g) {
    g.bitmapRefused = true;  // unless it is built below
    if (g.width <= 0 || g.height <= 0) return;
    int sourceRow = (g.width + 7) / 8;
    int bitmapRow = ((g.width + 15) / 16) * 2;
    int64_t size = int64_t{bitmapRow} * g.height;
    if (size > kMaxGlyphBitmapBytes || s.glyphTable.bitmapBytes + size > kMaxJobGlyphBytes) return;

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!buffer) return;
    std::memset(buffer.get(), 0xFF, static_cast<size_t>(size));
    Block rows{s.job, g.data, g.dataEnd};
    for (int r = 0; r < g.height; ++r) {
        uint8_t* out = buffer.get() + static_cast<std::ptrdiff_t>(r) * bitmapRow;
        std::size_t offset = static_cast<std::size_t>(r) * static_cast<std::size_t>(sourceRow);
        if (g.data + offset + sourceRow <= g.dataEnd) {
            const uint8_t* in = s.job + g.data + offset;
            for (int j = 0; j < sourceRow; ++j)
                out[j] = static_cast<uint8_t>(~in[j]);
        } else {
            for (int j = 0; j < sourceRow; ++j)
                out[j] = static_cast<uint8_t>(~rows.byteAt(offset + j));
        }
    }
    g.bitmap = gdi::createBitmap(g.width, g.height, 1, 1, buffer.get());
    if (g.bitmap) {
        g.bitmapRefused = false;
        s.glyphTable.bitmapBytes += size;
    }
}

void drawGlyph(PclState& s, const GlyphEntry& g) {
    TextPage& page = s.surface.text;
    if (!page.glyphDC || !g.bitmap) return;
    int64_t penX = roundedPosition(s.cursorX);
    int64_t x = penX + g.leftOffset;
    int64_t penY = roundedPosition(s.cursorY);
    int64_t y = penY + s.fontMetrics.fontBaseline - g.topOffset;
    // The glyph as numbers only, into a vector reserved per page: its pixels are composed from
    // this note when the page is sent as an image, and never for a printer that draws glyphs.
    GlyphNote note;
    note.left = clampToInt(x);
    note.top = clampToInt(y);
    note.width = g.width;
    note.height = g.height;
    note.penX = clampToInt(penX);
    note.baseline = clampToInt(penY + s.fontMetrics.fontBaseline);
    note.advance = clampToInt(roundedPosition(s.hmi));
    note.glyph = static_cast<uint16_t>(&g - s.glyphTable.entries.data());
    note.code = g.code;
    if (page.notes.size() < kMaxGlyphNotes) {
        page.notes.push_back(note);
        return;
    }
    // A page of a damaged job may strike millions of glyphs: past the first ones they go
    // straight into the pixels, and the page is sent as an image.
    page.notesComplete = false;
    if (!composeTextPage(s)) return;
    gdi::selectObject(page.glyphDC.get(), g.bitmap);
    gdi::bitBltSrcAnd(page.pageDC.get(), note.left, note.top, g.width, g.height, page.glyphDC.get(),
                      0, 0);
    page.inked = true;
}

}  // namespace zelmo
