// The interpreter for PCL 5 jobs of other programs (DOS programs, LaserJet drivers): how such a
// job is told apart from the accounting program's, and its entry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/job_content.h"
#include "output/job_state.h"

namespace zelmo {

// What a look over the whole job found, without interpreting it.
struct Pcl5Survey {
    bool pcl5 = false;        // a command the accounting program never sends came
    bool pcl5Hint = false;    // page layout a PCL 5 printer's job sends (cursor moves in rows,
                              // columns or decipoints, orientation, top margin, symbol sets,
                              // transparent data), which the accounting program's may carry too
    bool softFonts = false;   // a font header was downloaded
    bool fontById = false;    // a font was selected by its ID (ESC(#X, ESC)#X)
    bool rasterRows = false;  // raster as the accounting program sends it (ESC*t#R, ESC*b#W)
    int32_t pageDpi = 300;    // 600 when a raster of 600 dpi or more is sent
    ContentVerdict content;   // whether the job is a printout at all

    // Whether the job is another program's. The accounting program's jobs print in downloaded
    // fonts or raster (else they would print nothing): a job with neither that lays out its
    // page is another program's. Fonts downloaded and printed in without a selection mark the
    // accounting program's job whatever else it holds; a selection by ID only other programs
    // make.
    bool otherProgram() const {
        return (pcl5 || (pcl5Hint && !rasterRows)) && (!softFonts || fontById);
    }
};

// Walks the job's escape sequences by PCL's grammar once, allocation-free, judging it on the way.
Pcl5Survey surveyJob(const uint8_t* data, std::size_t size);

// Interprets a PCL 5 job onto whole sheets and sends them, once per copy.
void runPcl5Job(PclState& s, const JobEnv& env, const Pcl5Survey& survey);

}  // namespace zelmo
