// Jobs of bare text: how far each escape sequence reaches by PCL's grammar, and whether a job
// that draws no page looks like text at all. Self-contained (no interpreter state), so a filter
// outside the monitor can judge a job the same way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/job_content.h"

namespace zelmo {

// The bytes an escape sequence takes, its ESC and any data block included (clamped to the
// bytes available). wellFormed is false when the sequence breaks off: then only the ESC is
// taken, and the byte after it is read as an ordinary byte; or, when the job ends within the
// sequence, the rest of the job.
struct EscapeSpan {
    std::size_t length = 1;
    bool wellFormed = false;
};

// The escape sequence starting at at[0] (an ESC), within available bytes.
EscapeSpan escapeSpan(const uint8_t* at, std::size_t available);

// Called with each well-formed escape sequence a walk meets, its data block included.
using SequenceVisit = void (*)(const uint8_t* at, std::size_t length, void* context);

// Walks a job's escape sequences once without allocating, handing each well-formed one to visit
// (when given), and judges the job on the way: a known binary signature at its start, a run of
// NUL bytes, or more than a few bytes in a hundred that are neither printable, nor a control
// code a text printer obeys, nor part of a well-formed escape sequence, make it not text.
ContentVerdict walkJob(const uint8_t* data, std::size_t size, SequenceVisit visit, void* context);

// The walk's judgement alone.
ContentVerdict judgeContent(const uint8_t* data, std::size_t size);

}  // namespace zelmo
