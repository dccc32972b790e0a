// Type 3 fonts of the job's glyphs, and text pages as runs of their codes.
#include "printers/pdf/glyph_fonts.h"

#include <algorithm>

#include "printers/pdf/pdf_writer.h"

namespace zelmo::pdf {
namespace {

// Glyph space is text-page pixels; the font size makes one em of them, so that readers judge
// word gaps against a size like the print's own.
constexpr int kEm = 50;
constexpr char kHex[] = "0123456789ABCDEF";

// Two hex digits of a byte.
void appendHex(std::string& out, unsigned byte) {
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

// A glyph's place on the text page and whether any of it lies on the page.
bool onPage(const GlyphNote& note, const PageTransform& t) {
    return note.width > 0 && note.height > 0 && note.left < t.pageWidth &&
           note.top < t.pageHeight && int64_t{note.left} + note.width > 0 &&
           int64_t{note.top} + note.height > 0;
}

// The glyph procedure: its advance and box, then its pixels as an image mask, 1 = ink.
std::string glyphProcedure(const GlyphShape& shape, int32_t advance) {
    const int32_t llx = shape.leftOffset, ury = shape.topOffset;
    const int32_t lly = ury - shape.height, urx = llx + shape.width;
    std::string out = std::to_string(advance) + " 0 " + std::to_string(llx) + " " +
                      std::to_string(lly) + " " + std::to_string(urx) + " " + std::to_string(ury) +
                      " d1\n";
    if (shape.width <= 0 || shape.height <= 0) return out;
    out += "q " + std::to_string(shape.width) + " 0 0 " + std::to_string(shape.height) + " " +
           std::to_string(llx) + " " + std::to_string(lly) + " cm\nBI /IM true /W " +
           std::to_string(shape.width) + " /H " + std::to_string(shape.height) +
           " /BPC 1 /D [1 0] /F /AHx ID\n";
    // Hex keeps the data from ever reading as the operator that ends it.
    const size_t bytes =
        static_cast<size_t>(shape.width + 7) / 8 * static_cast<size_t>(shape.height);
    out.reserve(out.size() + 2 * bytes + 16);
    for (size_t i = 0; i < bytes; ++i)
        appendHex(out, shape.byteAt(i));
    return out + ">\nEI Q\n";
}

// The font's ToUnicode map: each code used, as its code page has it.
std::string toUnicodeMap(const std::array<int32_t, 256>& entry,
                         const std::array<char32_t, 256>& unicodeOf) {
    std::vector<std::string> pairs;
    for (int code = 0; code < 256; ++code) {
        const char32_t unicode = unicodeOf[static_cast<size_t>(code)];
        if (entry[static_cast<size_t>(code)] < 0 || unicode == 0 || unicode > 0xFFFF) continue;
        std::string pair = "<";
        appendHex(pair, static_cast<unsigned>(code));
        pair += "> <";
        appendHex(pair, static_cast<unsigned>(unicode >> 8));
        appendHex(pair, static_cast<unsigned>(unicode & 0xFF));
        pairs.push_back(pair + ">\n");
    }
    CMapBlocks entries("bfchar");
    for (const std::string& pair : pairs)
        entries.add(pair);
    return entries.cmap("<00>", "<FF>");
}

}  // namespace

// Both axes enlarged by a whole number (or not at all).
bool GlyphFonts::exact(const PageTransform& t) {
    return t.pageWidth > 0 && t.pageHeight > 0 && t.width >= t.pageWidth &&
           t.height >= t.pageHeight && t.width % t.pageWidth == 0 && t.height % t.pageHeight == 0;
}

// The font whose code of the note stands for the note's glyph, made or extended as needed.
int GlyphFonts::fontFor(PdfWriter& writer, const GlyphPage& page, const GlyphNote& note) {
    const size_t code = note.code;
    for (size_t i = 0; i < fonts_.size(); ++i) {
        Font& font = fonts_[i];
        if (font.codePage != page.codePage) continue;
        if (font.entry[code] == note.glyph) return static_cast<int>(i);
        if (font.entry[code] >= 0) continue;
        addGlyph(writer, font, (*page.shapes)[note.glyph], note);
        return static_cast<int>(i);
    }
    Font font;
    font.object = writer.reserveObject();
    font.codePage = page.codePage;
    font.unicode = page.unicode;
    font.entry.fill(-1);
    fonts_.push_back(font);
    addGlyph(writer, fonts_.back(), (*page.shapes)[note.glyph], note);
    return static_cast<int>(fonts_.size() - 1);
}

// Writes the glyph's procedure at once and gives the note's code to it.
void GlyphFonts::addGlyph(PdfWriter& writer, Font& font, const GlyphShape& shape,
                          const GlyphNote& note) {
    const size_t code = note.code;
    const int32_t advance = std::max(note.advance, 0);
    font.entry[code] = note.glyph;
    font.width[code] = advance;
    font.charProc[code] = writer.reserveObject();
    writer.writeStreamObject(font.charProc[code], glyphProcedure(shape, advance));
    const bool first = !font.hasBox;
    font.hasBox = true;
    const int32_t box[4] = {shape.leftOffset, shape.topOffset - shape.height,
                            shape.leftOffset + shape.width, shape.topOffset};
    for (int k = 0; k < 4; ++k)
        font.box[k] = first   ? box[k]
                      : k < 2 ? std::min(font.box[k], box[k])
                              : std::max(font.box[k], box[k]);
}

namespace {

// Closes the string of glyph codes being gathered, if any: a literal string of the codes
// themselves, the few that would end it or read as another line end escaped.
void flushCodes(ContentStream& out, std::string& codes) {
    if (codes.empty()) return;
    std::string literal = "(";
    for (const char c : codes) {
        if (c == '(' || c == ')' || c == '\\') literal += '\\';
        if (c == '\r') {
            literal += "\\r";
            continue;
        }
        literal += c;
    }
    out << literal << ") ";
    codes.clear();
}

}  // namespace

// White paper over the page's place, then its glyphs in drawing order: a run per line, each
// glyph moved to its own pen position where the advance alone would not put it.
void GlyphFonts::drawPage(PdfWriter& writer, const GlyphPage& page) {
    const PageTransform& t = page.transform;
    const int sx = t.width / t.pageWidth, sy = t.height / t.pageHeight;
    ContentStream& out = writer.content();
    out << "q 1 g " << t.x << t.y << t.width << t.height << "re f " << t.x << t.y << t.width
        << t.height << "re W n 0 g BT\n";
    int current = -1;
    bool inRun = false;
    int64_t nextPen = 0, baseline = 0;
    scratch_.clear();
    for (const GlyphNote& note : *page.notes) {
        if (!onPage(note, t) || note.glyph >= page.shapes->size()) continue;
        const int font = fontFor(writer, page, note);
        const bool sameLine =
            inRun && font == current && note.baseline == baseline && note.penX >= nextPen;
        if (!sameLine) {
            flushCodes(out, scratch_);
            if (inRun) out << "] TJ\n";
            if (font != current) {
                const std::string name = "T" + std::to_string(font);
                writer.usePageFont(name, fonts_[static_cast<size_t>(font)].object);
                out << "/" << name << " " << kEm << "Tf ";
            }
            out << sx << "0 0 " << -sy << static_cast<double>(t.x + int64_t{note.penX} * sx)
                << static_cast<double>(t.y + int64_t{note.baseline} * sy) << "Tm [";
            current = font;
            baseline = note.baseline;
            inRun = true;
        } else if (note.penX != nextPen) {
            flushCodes(out, scratch_);
            // Thousandths of the font size, against the direction of writing.
            out << static_cast<double>(nextPen - note.penX) * 1000.0 / kEm;
        }
        scratch_ += static_cast<char>(note.code);
        nextPen = int64_t{note.penX} + fonts_[static_cast<size_t>(font)].width[note.code];
    }
    flushCodes(out, scratch_);
    if (inRun) out << "] TJ\n";
    out << "ET Q\n";
}

// Every font's dictionary, glyph list and ToUnicode map.
void GlyphFonts::finish(PdfWriter& writer) {
    for (const Font& font : fonts_)
        writeFont(writer, font);
    fonts_.clear();
}

// One font's dictionary and its ToUnicode map.
void GlyphFonts::writeFont(PdfWriter& writer, const Font& font) {
    int first = 255, last = 0;
    std::string procs, differences;
    for (int code = 0; code < 256; ++code) {
        if (font.entry[static_cast<size_t>(code)] < 0) continue;
        first = std::min(first, code);
        last = code;
        std::string name = "g";
        appendHex(name, static_cast<unsigned>(code));
        procs +=
            " /" + name + " " + std::to_string(font.charProc[static_cast<size_t>(code)]) + " 0 R";
        differences += " " + std::to_string(code) + " /" + name;
    }
    if (first > last) first = last = 0;
    std::string widths;
    for (int code = first; code <= last; ++code)
        widths += std::to_string(font.width[static_cast<size_t>(code)]) + " ";
    const int toUnicode = writer.reserveObject();
    writer.writeStreamObject(toUnicode, toUnicodeMap(font.entry, font.unicode));
    ContentStream matrix;
    matrix << "[" << 1.0 / kEm << "0 0 " << 1.0 / kEm << "0 0]";
    writer.writeObject(
        font.object, "<< /Type /Font /Subtype /Type3 /FontBBox [" + std::to_string(font.box[0]) +
                         " " + std::to_string(font.box[1]) + " " + std::to_string(font.box[2]) +
                         " " + std::to_string(font.box[3]) + "] /FontMatrix " + matrix.data() +
                         " /CharProcs <<" + procs +
                         " >> /Encoding << /Type /Encoding /Differences [" + differences +
                         "] >> /FirstChar " + std::to_string(first) + " /LastChar " +
                         std::to_string(last) + " /Widths [" + widths +
                         "] /Resources << >> /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
}

}  // namespace zelmo::pdf
