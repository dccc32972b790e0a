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
    bool pcl5 = false;       // a command the accounting program never sends came
    bool softFonts = false;  // a font header was downloaded
    int32_t pageDpi = 300;   // 600 when a raster of 600 dpi or more is sent
    ContentVerdict content;  // whether the job is a printout at all
};

// Walks the job's escape sequences by PCL's grammar once, allocation-free, judging it on the way.
Pcl5Survey surveyJob(const uint8_t* data, std::size_t size);

// Interprets a PCL 5 job onto whole sheets and sends them, once per copy.
void runPcl5Job(PclState& s, const JobEnv& env, const Pcl5Survey& survey);

}  // namespace zelmo
