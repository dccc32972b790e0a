// zelmo_bench: the interpreter's throughput on generated jobs, against a memcpy of the same
// bytes. --write-job NAME FILE writes one of the jobs instead (for memory checks); --table
// prints the figures a user feels against their targets.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_jobs.h"
#include "bench/bench_registry.h"
#include "bench/discard_printer.h"
#include "output/device_metrics.h"
#include "pcl/interpreter.h"

namespace zelmo::bench {
namespace {

const TextJobShape kText{};
// The same text in glyphs of solid strokes: what Group 4 is made for.
TextJobShape strokesText() {
    TextJobShape shape;
    shape.strokes = true;
    return shape;
}
const TextJobShape kStrokes = strokesText();
// A one-page invoice: one soft font of 100 glyphs of solid strokes, 60 lines.
TextJobShape invoiceText() {
    TextJobShape shape = strokesText();
    shape.pages = 1;
    return shape;
}
const TextJobShape kInvoice = invoiceText();

// The benchmark's raster job at column x in the given method.
RasterJobShape raster(int x, int method) {
    RasterJobShape shape;
    shape.x = x;
    shape.method = static_cast<RasterCompression>(method);
    return shape;
}

}  // namespace

// The jobs by name; each is generated at its first use and kept for the rest of the run.
const std::map<std::string, JobKind>& jobKinds() {
    static const std::map<std::string, JobKind> kinds = {
        {"raster_m0_aligned", {[] { return rasterJob(raster(0, 0)); }, 50, 0}},
        {"raster_m0_unaligned", {[] { return rasterJob(raster(3, 0)); }, 50, 0}},
        {"raster_m1_aligned", {[] { return rasterJob(raster(0, 1)); }, 50, 0}},
        {"raster_m1_unaligned", {[] { return rasterJob(raster(3, 1)); }, 50, 0}},
        {"text", {[] { return textJob(kText); }, kText.pages, textJobGlyphs(kText)}},
        {"invoice", {[] { return textJob(kInvoice); }, kInvoice.pages, textJobGlyphs(kInvoice)}},
        // Other programs' jobs: the same form rows compressed as drivers send them, and text
        // in the printer's font beside today's bare text.
        {"pcl5_raster_m0", {[] { return pcl5RasterJob(20, 3300, 300, 0); }, 20, 0}},
        {"pcl5_raster_m2", {[] { return pcl5RasterJob(20, 3300, 300, 2); }, 20, 0}},
        {"pcl5_raster_m3", {[] { return pcl5RasterJob(20, 3300, 300, 3); }, 20, 0}},
        {"plain_text", {[] { return lettersJob(50, 60, 80, false); }, 50, 0}},
        {"pcl5_text", {[] { return lettersJob(50, 60, 80, true); }, 50, 0}},
        {"text_strokes",
         {[] { return textJob(kStrokes); }, kStrokes.pages, textJobGlyphs(kStrokes)}},
    };
    return kinds;
}

// The named job, generated once.
const std::vector<uint8_t>& job(const std::string& name) {
    static std::map<std::string, std::vector<uint8_t>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, jobKinds().at(name).make()).first;
    return it->second;
}

namespace {

// Sheets are composed and then dropped, so only the composition is measured.
struct DropSheets : SheetSink {
    int64_t sheets = 0;
    void beginDocument(const std::string&) override {}
    void sheet(const Sheet&) override { ++sheets; }
    void endDocument() override {}
    void abortDocument() override {}
};

}  // namespace

// Bytes, pages and glyphs per second of the job run in every iteration.
void setCounters(benchmark::State& state, const std::string& name) {
    const JobKind& kind = jobKinds().at(name);
    auto n = static_cast<double>(state.iterations());
    using benchmark::Counter;
    state.counters["bytes/s"] = Counter(n * job(name).size(), Counter::kIsRate);
    state.counters["pages/s"] = Counter(n * kind.pages, Counter::kIsRate);
    if (kind.glyphs > 0) state.counters["glyphs/s"] = Counter(n * kind.glyphs, Counter::kIsRate);
}

// Runs a whole job per iteration on printer, as the worker would; afterEach runs between
// iterations, outside the measured time.
void runOn(benchmark::State& state, Printer& printer, const std::string& name,
           const std::function<void()>& afterEach) {
    const std::vector<uint8_t>& bytes = job(name);
    DeviceMetrics metrics;
    queryDeviceMetrics(metrics, printer);
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    PclState pcl;
    printer.setTitle("Kalvister II - wydruk.prn");
    for (auto _ : state) {
        JobEnv env{printer, metrics, request, testMode, terminated, bytes.data(), bytes.size()};
        if (!runJob(pcl, env)) {
            state.SkipWithError("the job did not print");
            break;
        }
        if (!afterEach) continue;
        state.PauseTiming();
        afterEach();
        state.ResumeTiming();
    }
    setCounters(state, name);
}

namespace {

// The interpreter alone: pages go to a printer that discards them.
void BM_Discard(benchmark::State& state, const std::string& name) {
    DiscardPrinter printer(benchPrinter());
    runOn(state, printer, name);
}

// The interpreter and the composition of every 600-dpi sheet.
void BM_Simulated(benchmark::State& state, const std::string& name) {
    SimulatedPrinter printer(benchPrinter());
    printer.setRecordCalls(false);
    DropSheets sink;
    printer.setSheetSink(&sink);
    runOn(state, printer, name);
}

// The baseline: copying the method-0 raster job's bytes once.
void BM_Memcpy(benchmark::State& state) {
    const std::string name = "raster_m0_aligned";
    const std::vector<uint8_t>& bytes = job(name);
    std::unique_ptr<uint8_t[]> target(new uint8_t[bytes.size()]);
    std::memset(target.get(), 0, bytes.size());
    for (auto _ : state) {
        std::memcpy(target.get(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    setCounters(state, name);
}

// The console table, then each run's bytes/s as a share of the memcpy baseline.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Prints the runs and keeps each one's rates for the closing table.
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes/s");
            if (it == run.counters.end() || run.iterations == 0) continue;
            // Rate counters reach the reporter already divided by the run's time.
            rows_.push_back({run.benchmark_name(), it->second.value,
                             run.real_accumulated_time / static_cast<double>(run.iterations),
                             run.counters});
        }
    }
    // The closing tables: each in-process run as a share of the memcpy baseline, and the
    // whole-path figures in seconds per job.
    void Finalize() override {
        ConsoleReporter::Finalize();
        double baseline = 0;
        for (const Row& r : rows_)
            if (r.name.rfind("BM_Memcpy", 0) == 0) baseline = r.bytesPerSecond;
        if (baseline > 0) {
            std::printf("\n%-40s %10s %12s %12s %12s\n", "benchmark", "x memcpy", "MB/s", "pages/s",
                        "glyphs/s");
            for (const Row& r : rows_) {
                if (r.name.rfind("WholePath/", 0) == 0) continue;
                std::printf("%-40s %10.3f %12.1f %12s %12s\n", r.name.c_str(),
                            r.bytesPerSecond / baseline, r.bytesPerSecond / 1e6,
                            rate(r, "pages/s").c_str(), rate(r, "glyphs/s").c_str());
            }
        }
        std::printf("\n%-40s %10s %10s %10s %10s\n", "whole path, per job", "wall s", "cpu s",
                    "peak MiB", "PDF MiB");
        for (const Row& r : rows_) {
            if (r.name.rfind("WholePath/", 0) != 0) continue;
            // WholePath/what/job, without the iteration count and the time kind after it.
            const std::string name = r.name.substr(10, r.name.find("/iterations") - 10);
            std::printf("%-40s %10.3f %10s %10s %10s\n", name.c_str(), r.seconds,
                        rate(r, "cpu_s").c_str(), rate(r, "peak_MiB").c_str(),
                        rate(r, "pdf_MiB").c_str());
        }
    }

  private:
    struct Row {
        std::string name;
        double bytesPerSecond;
        double seconds;  // wall-clock time of one iteration
        benchmark::UserCounters counters;
    };
    // A counter of the row for the table, empty when the run has none.
    std::string rate(const Row& r, const char* counter) const {
        auto it = r.counters.find(counter);
        if (it == r.counters.end()) return "";
        char text[32];
        std::snprintf(text, sizeof text, "%.4g", it->second.value);
        return text;
    }
    std::vector<Row> rows_;
};

// The whole-path figures, then every job through both printers after the memcpy baseline.
void registerAll() {
    registerWholePath();
    benchmark::RegisterBenchmark("BM_Memcpy/raster_m0_aligned", BM_Memcpy)
        ->Unit(benchmark::kMillisecond);
    for (const auto& [name, kind] : jobKinds()) {
        benchmark::RegisterBenchmark(("BM_Discard/" + name).c_str(), BM_Discard, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Simulated/" + name).c_str(), BM_Simulated, name)
            ->Unit(benchmark::kMillisecond);
    }
}

// --write-job NAME FILE: writes the named job; false when the name or the file is wrong.
bool writeJob(const std::string& name, const std::string& path) {
    if (!jobKinds().count(name)) {
        std::cerr << "zelmo_bench: no job named " << name << "; jobs:";
        for (const auto& kv : jobKinds())
            std::cerr << ' ' << kv.first;
        std::cerr << '\n';
        return false;
    }
    const std::vector<uint8_t>& bytes = job(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace
}  // namespace zelmo::bench

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-job") == 0)
        return zelmo::bench::writeJob(argv[2], argv[3]) ? 0 : 1;
    if (argc == 2 && std::strcmp(argv[1], "--table") == 0) {
        zelmo::bench::printSpeedTable();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    zelmo::bench::registerAll();
    zelmo::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
