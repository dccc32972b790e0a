// A page's text layer: the noted glyphs mapped to Unicode, placed by the page's stretch,
// gathered into lines in reading order with the gaps between words marked.
#include "output/text_layer.h"

#include <algorithm>

namespace zelmo {
namespace {

// floor(a / b) for b > 0.
int64_t floorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The first device pixel at or past text-page pixel edge p: the stretch paints device pixel d
// with source pixel floor((d + 0.5) * source / extent), so edge p lands at ceil(p * extent /
// source - 0.5).
int32_t deviceEdge(int32_t origin, int32_t extent, int32_t source, int64_t p) {
    int64_t numerator = 2 * p * extent - source;
    int64_t d = -floorDiv(-numerator, 2 * int64_t{source});
    return static_cast<int32_t>(std::clamp<int64_t>(origin + d, -2000000000, 2000000000));
}

// Device pixels of one noted glyph within the canvas, or false when it shows nowhere on it.
bool placeGlyph(const GlyphNote& n, const PageTransform& t, int32_t canvasWidth,
                int32_t canvasHeight, TextBox& box) {
    box.left = deviceEdge(t.x, t.width, t.pageWidth, n.left);
    box.right = deviceEdge(t.x, t.width, t.pageWidth, int64_t{n.left} + n.width);
    box.top = deviceEdge(t.y, t.height, t.pageHeight, n.top);
    box.bottom = deviceEdge(t.y, t.height, t.pageHeight, int64_t{n.top} + n.height);
    // What falls outside the printable area is lost on paper, and so is its part of a box.
    box.left = std::max(box.left, 0);
    box.top = std::max(box.top, 0);
    box.right = std::min(box.right, canvasWidth);
    box.bottom = std::min(box.bottom, canvasHeight);
    return box.right > box.left && box.bottom > box.top;
}

// A space between two glyphs of a line: the pen skipped at least a cell, or, without a
// motion index to go by, the boxes stand apart by more than half a glyph's height.
bool wordGap(const GlyphNote& before, const GlyphNote& after) {
    if (before.advance > 0) return int64_t{after.penX} - before.penX > before.advance * 3 / 2;
    return int64_t{after.left} - (int64_t{before.left} + before.width) > before.height / 2;
}

// The same cell struck again (bold by overprinting, an underline over a word).
bool sameCell(const GlyphNote& before, const GlyphNote& after) {
    int32_t half = std::max(1, before.advance > 0 ? before.advance / 2 : before.width / 2);
    return int64_t{after.penX} - before.penX < half;
}

// Appends the line made of notes order[from, to), sorted left to right.
void addLine(const std::vector<GlyphNote>& notes, CodePage codePage, const PageTransform& t,
             int32_t canvasWidth, int32_t canvasHeight, std::vector<uint32_t>& order, size_t from,
             size_t to, TextLayer& layer) {
    const auto leftFirst = [&](uint32_t a, uint32_t b) {
        return notes[a].penX != notes[b].penX ? notes[a].penX < notes[b].penX : a < b;
    };
    // A line drawn left to right, as nearly every line is, is in order already.
    if (!std::is_sorted(order.begin() + from, order.begin() + to, leftFirst))
        std::sort(order.begin() + from, order.begin() + to, leftFirst);
    TextLine line;
    line.first = static_cast<uint32_t>(layer.glyphs.size());
    const GlyphNote* last = nullptr;
    for (size_t i = from; i < to; ++i) {
        const GlyphNote& n = notes[order[i]];
        char32_t code = toUnicode(codePage, n.code);
        TextBox box;
        if (code == 0 || code == 0xA0 || !placeGlyph(n, t, canvasWidth, canvasHeight, box))
            continue;
        if (last && sameCell(*last, n)) continue;
        if (last && wordGap(*last, n)) {
            TextBox gap{layer.glyphs.back().box.right, box.top,
                        std::max(box.left, layer.glyphs.back().box.right), box.bottom};
            layer.glyphs.push_back({U' ', gap});
        }
        layer.glyphs.push_back({code, box});
        last = &n;
    }
    line.count = static_cast<uint32_t>(layer.glyphs.size()) - line.first;
    if (line.count == 0) return;
    line.box = layer.glyphs[line.first].box;
    for (uint32_t g = line.first; g < line.first + line.count; ++g) {
        const TextBox& b = layer.glyphs[g].box;
        line.box.left = std::min(line.box.left, b.left);
        line.box.top = std::min(line.box.top, b.top);
        line.box.right = std::max(line.box.right, b.right);
        line.box.bottom = std::max(line.box.bottom, b.bottom);
    }
    line.baseline = deviceEdge(t.y, t.height, t.pageHeight, notes[order[from]].baseline);
    layer.lines.push_back(line);
}

}  // namespace

void buildTextLayer(const std::vector<GlyphNote>& notes, CodePage codePage,
                    const PageTransform& transform, int32_t canvasWidth, int32_t canvasHeight,
                    TextLayer& layer) {
    layer.clear();
    // Range check input: a page of no size places nothing.
    if (transform.pageWidth <= 0 || transform.pageHeight <= 0 || transform.width <= 0 ||
        transform.height <= 0)
        return;
    std::vector<uint32_t>& order = layer.order;
    order.resize(notes.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto topFirst = [&](uint32_t a, uint32_t b) {
        return notes[a].baseline != notes[b].baseline ? notes[a].baseline < notes[b].baseline
                                                      : a < b;
    };
    // Lines printed from the top down are in order already.
    if (!std::is_sorted(order.begin(), order.end(), topFirst))
        std::sort(order.begin(), order.end(), topFirst);
    // A line holds the glyphs whose baselines lie within a third of its first glyph's height.
    for (size_t from = 0; from < order.size();) {
        const GlyphNote& first = notes[order[from]];
        int64_t reach = int64_t{first.baseline} + std::max<int32_t>(first.height, 3) / 3;
        size_t to = from + 1;
        while (to < order.size() && notes[order[to]].baseline <= reach)
            ++to;
        addLine(notes, codePage, transform, canvasWidth, canvasHeight, order, from, to, layer);
        from = to;
    }
}

}  // namespace zelmo
