// One job printed on the simulated printer, with everything the worker would lend it.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "output/device_metrics.h"
#include "pcl/interpreter.h"
#include "printers/simulated/simulated_printer.h"
#include "tools/job_builder.h"

namespace zelmo::test {

// A small sheet keeps pixel checks fast: 1 x 1.5 inches at 300 dpi.
inline SimulatedPrinterConfig smallSheet() {
    SimulatedPrinterConfig c;
    c.width = 300;
    c.height = 450;
    c.dpi = 300;
    return c;
}

struct JobRun {
    SimulatedPrinter printer;
    DeviceMetrics metrics;
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    PclState state;
    std::vector<uint8_t> job;

    explicit JobRun(SimulatedPrinterConfig config = smallSheet()) : printer(std::move(config)) {
        printer.setTitle("Kalvister II - wydruk.prn");
        queryDeviceMetrics(metrics, printer);
    }
    JobEnv env() {
        return JobEnv{printer, metrics, request, testMode, terminated, job.data(), job.size()};
    }
    bool run(const std::vector<uint8_t>& bytes) {
        job = bytes;
        return runJob(state, env());
    }
    bool run(const JobBuilder& b) { return run(b.data()); }
    const std::vector<std::string>& calls() const { return printer.calls(); }
    std::vector<const Sheet*> sheets() const { return printer.memory().printedSheets(); }
    int stretches() const {
        int n = 0;
        for (const std::string& c : calls())
            n += c.rfind("stretch", 0) == 0;
        return n;
    }
};

// The black pixels of a sheet inside [x0, x1) x [y0, y1).
inline long blackIn(const Sheet& s, int x0, int y0, int x1, int y1) {
    long n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += s.black(x, y);
    return n;
}

}  // namespace zelmo::test
