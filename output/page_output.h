// Output's operations on the job's state: its page surfaces, the pages and copies sent to the
// printer, and the test pages.
#pragma once

#include <cstdint>

#include "output/job_state.h"

namespace zelmo {

// Page surfaces.
void resetPageSurface(PclState& s, const PrintRequest& request);
void createTextPage(PclState& s, const DeviceMetrics& metrics);
void createRasterPage(PclState& s, const DeviceMetrics& metrics, const PrintRequest& request);
void clearTextPage(PclState& s);
// The text page's pixels, made when first needed, with every glyph noted so far drawn in; null
// for a page of no size (or none at all), and when the job's stop request came before it was
// whole (what was drawn stays, the rest is drawn at the next call).
gdi::Bitmap composeTextPage(PclState& s);
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
