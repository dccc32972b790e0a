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

// The named job as a file of the run, written once (warm in the page cache).
const std::string& jobFile(const std::string& name);
// Runs args as a child with its output to /dev/null; adds its CPU seconds (every thread) to cpu
// and raises peak to its largest resident size in bytes. False when it failed.
bool runChild(const std::vector<std::string>& args, double& cpu, double& peak);
// User and system CPU seconds of every thread of this process so far.
double processCpuSeconds();
// The Qt application the PDF printer draws under, on no screen; made once per process.
void ensureGuiApplication();

// The figures a user feels, each the median of five runs, against their targets, as a table.
void printSpeedTable();

}  // namespace zelmo::bench
