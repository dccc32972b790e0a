// CCITT Group 4 (two-dimensional, no end-of-line codes) for the 1-bit page images of the PDF
// documents: text and line art shrink to a fraction of what Deflate makes of them, at a fraction
// of its work, since a row costs only its changes of colour against the row above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelmo::pdf {

// Encodes whole images; one encoder serves one thread and keeps its two lists of changes from
// image to image.
class G4Encoder {
  public:
    // Appends the code of height rows of width pixels, each of (width + 7) / 8 bytes after the
    // one above, to out, and ends it with the end-of-block code. The bits come back unchanged
    // through a decoder told BlackIs1 = oneIsBlack: a 1 bit is coded black when oneIsBlack, white
    // otherwise, so that the paper is white in the code whatever the bits mean. Stops and returns
    // false, out as it was, once the rows so far have used more than their share of limit bytes
    // (and a sixteenth of it to spare): the caller then compresses another way.
    bool encode(const uint8_t* rows, int width, int height, bool oneIsBlack, size_t limit,
                std::vector<uint8_t>& out);

  private:
    // The changing elements of the row being coded and of the row above it.
    std::vector<int> coding_;
    std::vector<int> reference_;
};

}  // namespace zelmo::pdf
