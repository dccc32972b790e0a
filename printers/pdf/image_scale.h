// Where a PDF page image lands on device pixels. Renderers agree with the printed sheet only
// for an image drawn at a whole-number scale whose edges lie on device pixel edges: poppler
// resamples any other scale its own way and takes in one more pixel at an edge that falls
// exactly on a pixel boundary. So an image is either drawn at a whole scale with its far edges
// pulled in by a fraction of a pixel, or resampled here to the device pixels it covers.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/gdi.h"

namespace zelmo::pdf {

// How far an image's far edges are pulled in, in device pixels: too little to move a pixel
// centre across, enough to keep poppler from taking in the pixel beyond.
constexpr double kFarEdgeInset = 1.0 / 64;

// Whether a stretch of sw x sh source pixels onto |dw| x |dh| device pixels is a whole-number
// enlargement (1:1 included) on both axes.
bool wholeScale(int dw, int dh, int sw, int sh);

// The source rectangle resampled to |dw| x |dh| as the printed sheet has it: nearest pixel when
// enlarging, ink where any covered pixel has ink when shrinking. Rows of (|dw| + 7) / 8 bytes,
// top row first, 1 = black (the bitmap's colours and invert applied); the axes are not mirrored.
// False, out unfinished, when stop (null: none) is set before the last row.
bool resampleRect(const gdi::BitmapView& view, int sx, int sy, int sw, int sh, int dw, int dh,
                  bool invert, std::vector<uint8_t>& out, const std::atomic<bool>* stop = nullptr);

}  // namespace zelmo::pdf
