// Raster rows of PCL 5 jobs: the compression methods drivers send, decoded into a seed row.
// Self-contained (no interpreter state), so the fuzzer drives it alone. No input byte makes a
// decoder read past its data or write past its row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelmo {

enum Pcl5Compression : int32_t {
    kPcl5Unencoded = 0,
    kPcl5RunLength = 1,
    kPcl5PackBits = 2,  // TIFF
    kPcl5DeltaRow = 3,  // changes against the previous row
    kPcl5Adaptive = 5,  // blocks of rows, each in its own method
};

// Receives each decoded row (1 = ink, the row's bytes); method 5 makes several per transfer.
class RasterRowSink {
  public:
    virtual ~RasterRowSink() = default;
    // False once no further row can land anywhere (past the raster's height or the sheet).
    virtual bool row(const uint8_t* bits, std::size_t bytes) = 0;
    // Rows left blank: only the position moves.
    virtual void skipRows(std::size_t count) = 0;
};

class RasterDecoder {
  public:
    // A new raster of rowBytes bytes a row: the seed row is blank.
    void start(std::size_t rowBytes);
    // The seed row blanked (a vertical offset, a new raster).
    void clearSeed();
    // One row transfer of count bytes in method; unknown methods leave no row.
    void transfer(int32_t method, const uint8_t* data, std::size_t count, RasterRowSink& sink);
    std::size_t rowBytes() const { return seed_.size(); }

  private:
    void decodeRow(int32_t method, const uint8_t* data, std::size_t count);
    void adaptive(const uint8_t* data, std::size_t count, RasterRowSink& sink);

    std::vector<uint8_t> seed_;
};

}  // namespace zelmo
