// Reading the embedded TrueType font and writing subsets of it.
#include "printers/pdf/mono_font.h"

#include <algorithm>
#include <cstring>

namespace zelmo::pdf {

// The font's bytes, compiled in from the Debian package's file at build time.
extern const unsigned char kMonoFontData[];
extern const std::size_t kMonoFontDataSize;

namespace {

uint16_t u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t u32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void put32(std::string& out, uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}

void store32(std::string& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>(v >> (24 - 8 * i) & 0xFF);
}

// TrueType's table checksum: the sum of its big-endian words, zero-padded.
uint32_t checksum(const std::string& data, std::size_t from, std::size_t length) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = word << 8 | (i + k < length ? static_cast<uint8_t>(data[from + i + k]) : 0u);
        sum += word;
    }
    return sum;
}

// The tables a PDF reader needs of an embedded TrueType font, in the directory's tag order;
// the last three (hinting) only when the font has them.
constexpr const char* kSubsetTables[] = {"cvt ", "fpgm", "glyf", "head", "hhea",
                                         "hmtx", "loca", "maxp", "prep"};
constexpr std::size_t kHeadLocaFormat = 50, kHeadChecksumAdjustment = 8;

struct OutTable {
    const char* tag;
    std::string data;
};

// A font file of the tables: the directory, each table at a four-byte boundary, the head's
// whole-file checksum set last as TrueType asks.
std::string assemble(std::vector<OutTable>& tables) {
    const std::size_t count = tables.size();
    std::size_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    std::string out;
    put32(out, 0x00010000);
    put16(out, static_cast<uint32_t>(count));
    put16(out, static_cast<uint32_t>(power * 16));
    put16(out, static_cast<uint32_t>(log2));
    put16(out, static_cast<uint32_t>((count - power) * 16));
    std::size_t at = 12 + 16 * count, headAt = 0;
    for (OutTable& t : tables) {
        if (std::strcmp(t.tag, "head") == 0) {
            store32(t.data, kHeadChecksumAdjustment, 0);
            t.data[kHeadLocaFormat] = 0;
            t.data[kHeadLocaFormat + 1] = 1;  // long offsets, as subset() writes them
            headAt = at;
        }
        out.append(t.tag, 4);
        put32(out, checksum(t.data, 0, t.data.size()));
        put32(out, static_cast<uint32_t>(at));
        put32(out, static_cast<uint32_t>(t.data.size()));
        at += (t.data.size() + 3) & ~std::size_t{3};
    }
    for (const OutTable& t : tables) {
        out += t.data;
        out.resize((out.size() + 3) & ~std::size_t{3}, '\0');
    }
    if (headAt)
        store32(out, headAt + kHeadChecksumAdjustment, 0xB1B0AFBAu - checksum(out, 0, out.size()));
    return out;
}

}  // namespace

const TrueTypeFont* TrueTypeFont::builtIn() {
    static const TrueTypeFont* const font = [] {
        static TrueTypeFont loaded;
        return loaded.load(kMonoFontData, kMonoFontDataSize) ? &loaded : nullptr;
    }();
    return font;
}

// The table's place, checked to lie within the font.
bool TrueTypeFont::findTable(const char* tag, Table& table) const {
    const std::size_t count = u16(data_ + 4);
    if (size_ < 12 + 16 * count) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data_ + 12 + 16 * i;
        if (std::memcmp(entry, tag, 4) != 0) continue;
        table.offset = u32(entry + 8);
        table.length = u32(entry + 12);
        return table.offset <= size_ && table.length <= size_ - table.offset;
    }
    return false;
}

bool TrueTypeFont::load(const uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
    Table hhea, maxp, hmtx;
    if (!data || size < 12 || !findTable("head", head_) || head_.length < 54 ||
        !findTable("hhea", hhea) || hhea.length < 36 || !findTable("maxp", maxp) ||
        maxp.length < 6 || !findTable("hmtx", hmtx) || hmtx.length < 4 ||
        !findTable("loca", loca_) || !findTable("glyf", glyf_) || !readCmap())
        return false;
    const uint8_t* head = data_ + head_.offset;
    unitsPerEm_ = u16(head + 18);
    for (int i = 0; i < 4; ++i)
        box_[i] = static_cast<int16_t>(u16(head + 36 + 2 * i));
    longLoca_ = u16(head + kHeadLocaFormat) == 1;
    glyphCount_ = u16(data_ + maxp.offset + 4);
    ascent_ = static_cast<int16_t>(u16(data_ + hhea.offset + 4));
    descent_ = static_cast<int16_t>(u16(data_ + hhea.offset + 6));
    // A monospaced font: every letter as wide as the first advance.
    advance_ = u16(data_ + hmtx.offset);
    const std::size_t locaNeeded = (std::size_t{glyphCount_} + 1) * (longLoca_ ? 4 : 2);
    return unitsPerEm_ > 0 && advance_ > 0 && glyphCount_ > 0 && loca_.length >= locaNeeded;
}

// Finds the Unicode subtable of format 4 (the basic plane, where every code page letter is).
bool TrueTypeFont::readCmap() {
    Table cmap;
    if (!findTable("cmap", cmap) || cmap.length < 4) return false;
    const uint8_t* base = data_ + cmap.offset;
    const std::size_t count = u16(base + 2);
    for (std::size_t i = 0; i < count && 4 + 8 * (i + 1) <= cmap.length; ++i) {
        const uint8_t* record = base + 4 + 8 * i;
        const uint16_t platform = u16(record), encoding = u16(record + 2);
        const std::size_t at = u32(record + 4);
        if (!(platform == 3 && encoding == 1) && platform != 0) continue;
        if (at > cmap.length - 14 || u16(base + at) != 4) continue;
        const std::size_t length = u16(base + at + 2);
        const std::size_t segments2 = u16(base + at + 6);
        if (length > cmap.length - at || length < 16 + 4 * segments2) continue;
        cmap4_.offset = cmap.offset + at;
        cmap4_.length = length;
        return true;
    }
    return false;
}

uint16_t TrueTypeFont::glyphOf(char32_t code) const {
    if (code > 0xFFFF) return 0;
    const uint8_t* t = data_ + cmap4_.offset;
    const std::size_t segments2 = u16(t + 6);
    const uint8_t* ends = t + 14;
    const uint8_t* starts = ends + segments2 + 2;
    const uint8_t* deltas = starts + segments2;
    const uint8_t* rangeOffsets = deltas + segments2;
    // The first segment ending at or after the code.
    std::size_t low = 0, high = segments2 / 2;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (u16(ends + 2 * mid) < code)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == segments2 / 2 || u16(starts + 2 * low) > code) return 0;
    const uint16_t delta = u16(deltas + 2 * low);
    const uint16_t rangeOffset = u16(rangeOffsets + 2 * low);
    if (rangeOffset == 0) return static_cast<uint16_t>(code + delta);
    const std::size_t at = static_cast<std::size_t>(rangeOffsets + 2 * low - t) + rangeOffset +
                           2 * (code - u16(starts + 2 * low));
    if (at + 2 > cmap4_.length) return 0;
    const uint16_t glyph = u16(t + at);
    return glyph == 0 ? 0 : static_cast<uint16_t>(glyph + delta);
}

// Where the glyph's outline starts in glyf (the next glyph's start is where it ends).
std::size_t TrueTypeFont::glyphOffset(uint16_t glyph) const {
    const uint8_t* loca = data_ + loca_.offset;
    const std::size_t at =
        longLoca_ ? u32(loca + 4 * glyph) : std::size_t{u16(loca + 2 * glyph)} * 2;
    return std::min(at, glyf_.length);
}

// Marks the parts a composite glyph (an accented letter) is built from.
void TrueTypeFont::addComponents(uint16_t glyph, std::vector<bool>& used, int depth) const {
    const std::size_t start = glyphOffset(glyph), end = glyphOffset(glyph + 1);
    if (depth > 8 || end < start + 10) return;
    const uint8_t* g = data_ + glyf_.offset;
    if (static_cast<int16_t>(u16(g + start)) >= 0) return;  // a simple glyph
    for (std::size_t p = start + 10; p + 4 <= end;) {
        const uint16_t flags = u16(g + p), part = u16(g + p + 2);
        if (part < glyphCount_ && !used[part]) {
            used[part] = true;
            addComponents(part, used, depth + 1);
        }
        p += 4 + ((flags & 0x0001) ? 4 : 2);
        p += (flags & 0x0008) ? 2 : (flags & 0x0040) ? 4 : (flags & 0x0080) ? 8 : 0;
        if (!(flags & 0x0020)) break;
    }
}

// The used glyphs' outlines, each at a four-byte boundary, and their long-format offsets.
std::string TrueTypeFont::subset(std::vector<bool> used) const {
    used.resize(glyphCount_);
    used[0] = true;
    for (uint16_t g = 0; g < glyphCount_; ++g)
        if (used[g]) addComponents(g, used, 0);
    std::string glyf, loca;
    for (uint16_t g = 0; g < glyphCount_; ++g) {
        put32(loca, static_cast<uint32_t>(glyf.size()));
        const std::size_t start = glyphOffset(g), end = glyphOffset(g + 1);
        if (used[g] && end > start)
            glyf.append(reinterpret_cast<const char*>(data_ + glyf_.offset + start), end - start);
        glyf.resize((glyf.size() + 3) & ~std::size_t{3}, '\0');
    }
    put32(loca, static_cast<uint32_t>(glyf.size()));

    std::vector<OutTable> tables;
    for (const char* tag : kSubsetTables) {
        Table t;
        if (std::strcmp(tag, "glyf") == 0)
            tables.push_back({tag, glyf});
        else if (std::strcmp(tag, "loca") == 0)
            tables.push_back({tag, loca});
        else if (findTable(tag, t))
            tables.push_back(
                {tag, std::string(reinterpret_cast<const char*>(data_ + t.offset), t.length)});
    }
    return assemble(tables);
}

}  // namespace zelmo::pdf
