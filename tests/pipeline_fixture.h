// Shared rig of the pipeline tests: a temporary program folder, a simulated printer, the
// hand-over state, a real print worker and the spool monitor, driven by the test as the window.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/handover.h"
#include "pipeline/job_queue.h"
#include "pipeline/print_worker.h"
#include "printers/simulated/simulated_printer.h"
#include "support/job_run.h"
#include "tests/support/eventually.h"

namespace zelmo::pipeline_test {

// A new folder in the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        namespace fs = std::filesystem;
        std::random_device random;
        for (int attempt = 0; path_.empty(); ++attempt) {
            const fs::path dir =
                fs::temp_directory_path() /
                ("zelmo-pipeline-" + std::to_string(random()) + "-" + std::to_string(attempt));
            // create_directory is false when the name is taken; another name is tried then.
            if (fs::create_directory(dir)) path_ = dir.generic_string() + "/";
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Writes bytes to path as the accounting program does: create or truncate, write, close.
inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string readText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A journal's lines without the next number and each job's number, time and message: where
// each queue file stands.
inline std::string journalStates(const std::string& text) {
    std::istringstream lines(text);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("next ", 0) == 0) continue;
        std::istringstream words(line);
        std::string state, name, reason;
        words >> state >> name >> reason;
        out += state + " " + name + (state == "aside" ? " " + reason : "") + "\n";
    }
    return out;
}

// The names in a folder, sorted. The monitor's own records are left out where they say nothing
// of the queue: the history, the submission record, and a journal that holds only the next
// job number (as good as none).
inline std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        // The store of printed jobs has tests of its own.
        if (name == "Zelmo.history" || name == "Zelmo.sent" || name == "Zelmo.queue.failed" ||
            name == kPrintedStoreName)
            continue;
        if (name == "Zelmo.queue" && journalStates(readText(dir + name)).empty()) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Where job n puts its one dot, in raster dots at 300 dpi (the printer's resolution, so 1:1).
inline int dotX(int n) {
    return 8 + (n % 128) * 2;
}
inline int dotY(int n) {
    return 8 + (n / 128) * 2;
}

// A one-page raster job with a single dot whose place tells its number.
inline std::vector<uint8_t> numberedJob(int n, int pages = 1) {
    std::string job = "\x1b*t300R";
    for (int p = 0; p < pages; ++p) {
        job += "\x1b*p" + std::to_string(dotX(n)) + "x" + std::to_string(dotY(n)) + "Y";
        job += "\x1b*b1W";
        job += '\x80';
        job += '\x0c';
    }
    return std::vector<uint8_t>(job.begin(), job.end());
}

// The number written into a job file by numberedJob, or -1.
inline int jobNumberOfFile(const std::vector<uint8_t>& bytes) {
    static const std::regex place("\\*p(\\d+)x(\\d+)Y");
    std::smatch m;
    const std::string text(bytes.begin(), bytes.end());
    if (!std::regex_search(text, m, place)) return -1;
    return (std::stoi(m[2]) - 8) / 2 * 128 + (std::stoi(m[1]) - 8) / 2;
}

// The number of the job that printed a sheet, from its first black pixel; -1 when blank.
inline int jobNumberOfSheet(const Sheet& sheet) {
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x)
            if (sheet.black(x, y)) return (y - 8) / 2 * 128 + (x - 8) / 2;
    return -1;
}

// The job numbers of the documents that ended, one per document, in print order.
inline std::vector<int> printedJobs(const SimulatedPrinter& printer) {
    std::vector<int> numbers;
    for (const auto& doc : printer.memory().documents)
        if (doc.ended && !doc.aborted && !doc.sheets.empty())
            numbers.push_back(jobNumberOfSheet(doc.sheets.front()));
    return numbers;
}

// The kind of each printer document in call order: T for a vector test page, J for a job.
inline std::string documentKinds(const SimulatedPrinter& printer) {
    std::string kinds;
    for (const std::string& call : printer.calls()) {
        if (call.rfind("begin", 0) == 0) kinds += '?';
        if (kinds.empty() || kinds.back() != '?') continue;
        if (call.rfind("line", 0) == 0) kinds.back() = 'T';
        if (call.rfind("stretch", 0) == 0) kinds.back() = 'J';
    }
    return kinds;
}

// The window's displays: remembers what it was asked to show. The worker may be held by a gate
// right after it has reported a hand-over, where the window's notice runs on its thread.
class RecordingDisplay : public ExceptionDisplay, public PrinterNameDisplay {
  public:
    void showException(const ZelmoError& error) override {
        std::lock_guard<std::mutex> guard(mutex_);
        messages_.push_back(error.what());
    }
    void workerIdle() {
        std::function<void()> gate;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            gate = gate_;
        }
        if (gate) gate();
    }
    void showPrinterName(const std::string& name) override { names.push_back(name); }

    void setGate(std::function<void()> gate) {
        std::lock_guard<std::mutex> guard(mutex_);
        gate_ = std::move(gate);
    }
    std::vector<std::string> messages() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return messages_;
    }

    std::vector<std::string> names;  // window thread only

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::function<void()> gate_;
};

// Remembers every job event, on the window thread.
class RecordingSink : public JobEventSink {
  public:
    void jobEvent(const JobEvent& event) override { events.push_back(event); }
    // The kinds and queue names, one "Kind name" string per event, for whole-sequence checks.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const JobEvent& e : events)
            out.push_back(std::string(toString(e.kind)) +
                          (e.queueName.empty() ? "" : " " + e.queueName));
        return out;
    }
    // The events a failure box tells of: a job given up with an error.
    std::vector<JobEvent> boxes() const {
        std::vector<JobEvent> out;
        for (const JobEvent& e : events)
            if (e.failure != JobFailure::None) out.push_back(e);
        return out;
    }
    std::vector<JobEvent> events;
};

// The whole pipeline in a temporary program folder; the test plays the window thread.
struct Rig {
    TempDir dir;
    SimulatedPrinter printer{test::smallSheet()};
    DeviceMetrics metrics;
    HandOver state;
    RecordingDisplay display;
    RecordingSink events;
    PrintRequest settings;
    SpoolMonitor monitor{dir.path(), state, printer, metrics};
    std::unique_ptr<PrintWorker> worker;  // destroyed first: the others outlive it
    // The monitor's clock, moved only by the test: retry pauses pass without sleeping.
    WallTime clockNow = WallTime{} + std::chrono::hours(24 * 365 * 57);

    explicit Rig(bool printerAvailable = true) {
        monitor.setClock([this] { return clockNow; });
        monitor.setEventSink(events);
        printer.setAvailable(printerAvailable);
        state.WorkerIdleNotice = [this] { display.workerIdle(); };
        worker = std::make_unique<PrintWorker>(state, printer, metrics, display);
    }

    std::string path(const std::string& name) const { return dir.path() + name; }
    void writeJob(const std::vector<uint8_t>& bytes) { writeFile(monitor.monitoredFile(), bytes); }
    void tick() { monitor.tick(settings, display); }
    // Ticks, as the window's timer would, until pred holds; false at the deadline.
    bool tickUntil(const std::function<bool()>& pred) {
        return eventually([&] {
            tick();
            return pred();
        });
    }
    // Everything captured has been retired and the worker is idle.
    bool drained() {
        return monitor.queue().pendingCount == 0 && state.TestMode.load() == TestPage::None &&
               state.workerIdle();
    }
    void shutdown() { monitor.shutdown(*worker); }
    // The window's look at its worker, with a new one ready should it have died.
    void supervise() {
        monitor.superviseWorker(worker, [this] {
            return std::make_unique<PrintWorker>(state, printer, metrics, display);
        });
    }
};

}  // namespace zelmo::pipeline_test

namespace zelmo::pipeline_test {

// A one-way gate a worker-side hook can wait at until the test thread opens it.
class Gate {
  public:
    void open() { open_.store(true); }
    bool isOpen() const { return open_.load(); }
    // Waits for the gate, noting that someone arrived; gives up after the deadline.
    void pass() {
        arrived_.store(true);
        eventually([this] { return open_.load(); });
    }
    // Notes an arrival without waiting.
    void arrive() { arrived_.store(true); }
    bool arrived() const { return arrived_.load(); }

  private:
    std::atomic<bool> open_{false};
    std::atomic<bool> arrived_{false};
};

}  // namespace zelmo::pipeline_test
