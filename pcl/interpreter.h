// The interpreter entry and the operations it is built from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/job_state.h"
#include "output/page_output.h"

namespace zelmo {

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

}  // namespace zelmo
