// Text in the embedded monospaced font: glyph strings, the subset and its ToUnicode map, and
// the font's objects written when the document ends.
#include "printers/pdf/mono_text.h"

#include "printers/pdf/pdf_writer.h"

namespace zelmo::pdf {
namespace {

constexpr const char kHex[] = "0123456789ABCDEF";
constexpr const char* kFontName = "DejaVuSansMono";

void hex16(std::string& out, unsigned value) {
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
}

std::string ref(int object) {
    return std::to_string(object) + " 0 R";
}

// A length of the font's units in the thousandths of an em PDF's font dictionaries use.
int thousandths(const TrueTypeFont& font, int units) {
    return static_cast<int>(static_cast<long>(units) * 1000 / font.unitsPerEm());
}

}  // namespace

MonoFontUse::MonoFontUse(const TrueTypeFont& font)
    : font_(font), used_(font.glyphCount(), false), unicode_(font.glyphCount(), 0) {}

std::string MonoFontUse::encode(const std::string& utf8) {
    std::string out = "<";
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t code = nextCodePoint(utf8, i);
        uint16_t glyph = font_.glyphOf(code);
        if (glyph == 0) glyph = font_.glyphOf(U'?');
        if (glyph >= used_.size()) glyph = 0;
        if (!used_[glyph]) {
            used_[glyph] = true;
            unicode_[glyph] = glyph == font_.glyphOf(code) ? code : U'?';
        }
        hex16(out, glyph);
    }
    return out + ">";
}

// bfchar entries, a hundred to a block as the CMap format allows.
std::string MonoFontUse::toUnicode() const {
    CMapBlocks entries("bfchar");
    for (std::size_t glyph = 0; glyph < unicode_.size(); ++glyph) {
        const char32_t c = unicode_[glyph];
        if (c == 0 || c > 0xFFFF || (c >= 0xD800 && c < 0xE000)) continue;
        std::string entry = "<";
        hex16(entry, static_cast<unsigned>(glyph));
        entry += "> <";
        hex16(entry, static_cast<unsigned>(c));
        entries.add(entry + ">\n");
    }
    return entries.cmap("<0000>", "<FFFF>");
}

// Six capital letters from a hash of the used glyphs, then "+" and the font's name.
std::string MonoFontUse::subsetName() const {
    uint32_t hash = 2166136261u;
    for (std::size_t glyph = 0; glyph < used_.size(); ++glyph)
        if (used_[glyph]) hash = (hash ^ static_cast<uint32_t>(glyph)) * 16777619u;
    std::string tag;
    for (int i = 0; i < 6; ++i, hash /= 26)
        tag += static_cast<char>('A' + hash % 26);
    return tag + "+" + kFontName;
}

// The embedded font's name for the page's content; its objects are written at the end, once the
// document's glyphs are known. Empty when the program's font cannot be read.
std::string PdfWriter::monoFont() {
    if (!mono_) {
        const TrueTypeFont* font = TrueTypeFont::builtIn();
        if (!font) return {};
        mono_ = std::make_unique<MonoFontUse>(*font);
        monoObject_ = newObject();
    }
    pageUsesEmbedded_ = true;
    return "Fm";
}

std::string PdfWriter::encodeMono(const std::string& utf8) {
    return mono_ ? mono_->encode(utf8) : std::string("<>");
}

// A Type 0 font over a CIDFontType2 whose character ids are the glyph ids of the subset.
void PdfWriter::writeMonoFont() {
    const TrueTypeFont& font = mono_->font();
    const int descendant = newObject(), descriptor = newObject(), file = newObject(),
              toUnicode = newObject();
    const std::string name = mono_->subsetName();
    beginObject(monoObject_);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
          " /Encoding /Identity-H /DescendantFonts [" + ref(descendant) + "] /ToUnicode " +
          ref(toUnicode) + " >>\nendobj\n");
    beginObject(descendant);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
          " /FontDescriptor " +
          ref(descriptor) + " /DW " + std::to_string(thousandths(font, font.advance())) +
          " /CIDToGIDMap /Identity >>\nendobj\n");
    const int16_t* box = font.box();
    beginObject(descriptor);
    // Flags: fixed pitch, symbolic (its glyphs are reached by id, not by a standard encoding).
    write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 5 /FontBBox [" +
          std::to_string(thousandths(font, box[0])) + " " +
          std::to_string(thousandths(font, box[1])) + " " +
          std::to_string(thousandths(font, box[2])) + " " +
          std::to_string(thousandths(font, box[3])) + "] /ItalicAngle 0 /Ascent " +
          std::to_string(thousandths(font, font.ascent())) + " /Descent " +
          std::to_string(thousandths(font, font.descent())) + " /CapHeight " +
          std::to_string(thousandths(font, font.ascent())) + " /StemV 80 /FontFile2 " + ref(file) +
          " >>\nendobj\n");
    const std::string program = mono_->subset();
    writeStream(file, " /Length1 " + std::to_string(program.size()),
                reinterpret_cast<const uint8_t*>(program.data()), program.size(), true);
    const std::string cmap = mono_->toUnicode();
    writeStream(toUnicode, "", reinterpret_cast<const uint8_t*>(cmap.data()), cmap.size(), true);
}

}  // namespace zelmo::pdf
