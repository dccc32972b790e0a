// The interpreter entry and the operations it is built from.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "output/device_metrics.h"
#include "pcl/pcl_state.h"
#include "pcl/print_request.h"

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
    std::atomic<int>& testMode;           // 0 job, 1 vector, 2 bitmap, 3 bitmap DI test
    const std::atomic<bool>& terminated;  // the worker's terminated flag
    const uint8_t* job = nullptr;         // JobBuffer
    std::size_t jobLength = 0;
    int32_t maxSheets = kMaxSheetsPerJob;  // the fuzz harness lowers it, to keep runs short
};

// Interprets the job in env (or prints the requested test page). True when the job was
// interpreted to its end and its document, if any, ended rather than aborted (a termination
// request stops it: false). Exceptions pass on after the job's surfaces are released and an
// open document is aborted; a page that cannot be made (past the raster page limit, or memory
// refused) and a job past maxSheets throw JobError.
bool runJob(PclState& s, const JobEnv& env);

// Scans one numeric parameter from pos; returns the position past the last byte consumed.
std::size_t scanParameter(PclState& s, std::size_t pos);
void resetPagePosition(PclState& s);

// Raster rows: false (readPos unchanged) when there is no raster page or too few bytes remain.
bool transferRasterRow(PclState& s, std::size_t& readPos);

// Soft fonts.
void readFontHeader(PclState& s, std::size_t& readPos);
void downloadGlyph(PclState& s, std::size_t& readPos);
const GlyphEntry* findGlyph(PclState& s, uint8_t code);
void buildGlyphBitmap(PclState& s, GlyphEntry& glyph);
void drawGlyph(PclState& s, const GlyphEntry& glyph);

// Page surfaces.
void resetPageSurface(PclState& s, const PrintRequest& request);
void createTextPage(PclState& s, const DeviceMetrics& metrics);
void createRasterPage(PclState& s, const DeviceMetrics& metrics, const PrintRequest& request);
void clearTextPage(PclState& s);
void clearRasterPage(PclState& s);
void releasePageSurfaces(PclState& s);

// Page emission.
void emitPage(PclState& s, const JobEnv& env);
// Tenths of a millimetre to device pixels, an exact half to the even neighbour.
int offsetPixels(int32_t dpi, int32_t tenths);
// One copy of a page: begins the job's document (or, in single mode, a document of its own) or
// a new page of it; endCopy closes a single-mode document and counts the page.
void beginCopy(PclState& s, const JobEnv& env);
void endCopy(PclState& s, const JobEnv& env);
// Ends or aborts the job's document and releases its surfaces; false when it had to abort.
bool endJob(PclState& s, const JobEnv& env);
// The copies command, ESC&l#X.
void setCopiesCommand(PclState& s, const JobEnv& env, int32_t value);

// Test pages.
void printVectorTest(PclState& s, const JobEnv& env);
void printBitmapTest(PclState& s, const JobEnv& env);
void printBitmapDiTest(PclState& s, const JobEnv& env);
void drawRowLine(uint8_t* bits, int32_t rowBytes, int32_t row);
void drawColumnLine(uint8_t* bits, int32_t rowBytes, int64_t pageBytes, int32_t column);

}  // namespace zelmo
