// The state of the job being printed, and what the worker lends for it: the interpreter reads
// the job into it, output makes and sends its pages from it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "output/device_metrics.h"
#include "output/job_content.h"
#include "output/page_surface.h"
#include "output/print_request.h"
#include "platform/gdi.h"
#include "platform/test_page.h"

namespace zelmo {

class Printer;

// The copies command's range: a larger count prints this many, zero or less prints one.
constexpr int32_t kMaxCopies = 999;
// Printer pages one job may send, every copy counted: a runaway job (a million form feeds, or
// many pages times many copies) is stopped there, its document aborted.
constexpr int32_t kMaxSheetsPerJob = 10000;
// Job bytes interpreted between two looks at the terminated flag, beside the look before every
// glyph drawn: no stretch of the job keeps a closing program waiting.
constexpr std::size_t kBytesBetweenChecks = std::size_t{1} << 20;

// What the worker lends the interpreter for one job.
struct JobEnv {
    Printer& printer;
    const DeviceMetrics& metrics;
    const PrintRequest& request;
    std::atomic<TestPage>& testMode;      // None for a job
    const std::atomic<bool>& terminated;  // the worker's terminated flag
    const uint8_t* job = nullptr;         // JobBuffer
    std::size_t jobLength = 0;
    int32_t maxSheets = kMaxSheetsPerJob;  // the fuzz harness lowers it, to keep runs short
};

// Values of the job's most recent font header.
struct FontMetrics {
    int16_t fontBaseline = 0;
    int16_t fontCellWidth = 0;
};

// One downloaded glyph. Its rows stay in the job buffer; only positions are kept.
struct GlyphEntry {
    uint8_t code = 0;
    int16_t leftOffset = 0;
    int16_t topOffset = 0;
    int16_t width = 0;
    int16_t height = 0;
    std::size_t data = 0;          // job position of the first row byte
    std::size_t dataEnd = 0;       // end of the download block, clamped to the job
    gdi::Bitmap bitmap = nullptr;  // owned; built at first lookup, released at the job's end
    bool bitmapRefused = false;    // too large to build: drawn as nothing, not retried
};

constexpr int kMaxGlyphs = 256;
constexpr int kNoGlyph = -1;

struct GlyphTable {
    std::array<GlyphEntry, kMaxGlyphs> entries{};
    int glyphCount = 0;
    // Index of the first entry stored under each code, so lookups keep the first-match rule
    // at constant cost.
    std::array<int16_t, 256> firstIndex{};
    int64_t bitmapBytes = 0;  // glyph bitmap memory of this job
};

struct PclState {
    std::size_t readPos = 0;
    std::size_t jobEnd = 0;
    const uint8_t* job = nullptr;  // JobBuffer of the job being interpreted

    // Kept from one job to the next.
    int32_t paramValue = 0;
    float paramReal = 0.0f;
    int paramTerminator = -1;  // -1: no terminator (the scan took no byte)
    bool rasterMode = false;
    int16_t compression = 0;

    double cursorX = 0.0;
    double cursorY = 0.0;
    double hmi = 0.0;
    double vmi = 0.0;
    int32_t textDpiX = 300;
    int32_t textDpiY = 300;
    int32_t rasterDpi = 0;
    int32_t rasterX = 0;
    int32_t rasterRow = 0;
    uint8_t pendingCharCode = 0;
    bool useDib = false;
    int32_t copies = 1;
    int32_t pagesPrinted = 0;
    bool stoppedByTermination = false;  // a checkpoint ended the job early
    bool drawsPages = false;            // a font header or a raster resolution came
    bool holdsText = false;             // a printable byte came
    int32_t markedPages = 0;            // pages sent with ink that reaches the printable area
    int32_t blankPages = 0;             // pages sent whose ink all falls beside it
    ContentVerdict content;             // a job of bare text that is not text is not printed

    // The worker's terminated flag for the job being run: composing a page looks at it between
    // glyphs, where no JobEnv reaches. Null before the first job.
    const std::atomic<bool>* stopRequest = nullptr;

    FontMetrics fontMetrics;
    GlyphTable glyphTable;
    PageSurface surface;

    PclState() = default;
    PclState(const PclState&) = delete;
    PclState& operator=(const PclState&) = delete;
    ~PclState();
};

}  // namespace zelmo
