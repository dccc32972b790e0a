// The whole sheet of a PCL 5 job at the page resolution, and how marks are painted onto it:
// through the current pattern (solid, shading, cross-hatch) and the transparency modes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelmo {

enum class PatternKind { Black, White, Shading, CrossHatch };

// How a mark is painted: the source's ink through the pattern; where the pattern is white it
// stays untouched unless the pattern is opaque, and the source's own white only paints white
// when the source is opaque.
struct Paint {
    PatternKind pattern = PatternKind::Black;
    int32_t id = 0;  // shading percent, or cross-hatch 1 to 6
    bool sourceOpaque = false;
    bool patternOpaque = false;
};

class Pcl5Sheet {
  public:
    // A white sheet of width x height pixels at dpi; false when it cannot be made.
    bool create(int32_t width, int32_t height, int32_t dpi);
    void clear();
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t dpi() const { return dpi_; }
    int32_t stride() const { return stride_; }  // bytes a row, rows padded to 16 bits
    bool marked() const { return marked_; }
    void mark() { marked_ = true; }
    // 1 = white, the most significant bit leftmost: the form a device-dependent bitmap takes.
    const uint8_t* bits() const { return bits_.data(); }
    bool black(int32_t x, int32_t y) const;

    // The rectangle [x0, x1) x [y0, y1), clipped to the sheet, painted as a solid source.
    void fillRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Paint& paint);
    // A row of source pixels (1 = ink) at (x, y), each source pixel scaleX wide, clipped.
    void drawRow(int32_t x, int32_t y, const uint8_t* row, int32_t pixels, const Paint& paint);
    // One pixel painted (the slow path of rotated marks); ink or the source's white.
    void paintPixel(int32_t x, int32_t y, bool ink, const Paint& paint);

  private:
    bool patternInk(const Paint& paint, int32_t x, int32_t y) const;
    void setPixel(int32_t x, int32_t y, bool ink);

    int32_t width_ = 0, height_ = 0, dpi_ = 300, stride_ = 0;
    int32_t inkTop_ = 0, inkBottom_ = 0;  // rows that may hold ink
    bool marked_ = false;
    std::vector<uint8_t> bits_;
};

}  // namespace zelmo
