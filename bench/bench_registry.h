// What the benchmark files share: the named jobs of a run and the counters every run reports.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace zelmo::bench {

struct JobKind {
    std::function<std::vector<uint8_t>()> make;
    int64_t pages;
    int64_t glyphs;
};

// The jobs by name; each is generated at its first use and kept for the rest of the run.
const std::map<std::string, JobKind>& jobKinds();
// The named job, generated once.
const std::vector<uint8_t>& job(const std::string& name);
// Bytes, pages and glyphs per second of the job run in every iteration.
void setCounters(benchmark::State& state, const std::string& name);

// Runs a whole job per iteration on printer, as the worker would; afterEach runs between
// iterations, outside the measured time.
void runOn(benchmark::State& state, Printer& printer, const std::string& name,
           const std::function<void()>& afterEach = {});

// The whole path a user waits for: zelmo-render as a process, the PDF printer, and their floors.
void registerWholePath();

}  // namespace zelmo::bench
