// The figures a user feels, each the median of five runs, against the targets set for this
// two-core machine: an invoice through the headless monitor, from Wydruk.prn renamed into place
// to the PDF complete and the queue file gone; the text and raster jobs through the PDF folder
// printer; the raster job interpreted by zelmo-render. CPU is every thread's.
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "output/device_metrics.h"
#include "pcl/interpreter.h"

#ifdef ZELMO_BENCH_PDF
#include "printers/pdf/pdf_printers.h"
#endif

namespace zelmo::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
// Jobs per run of the monitor: its CPU is read in clock ticks (10 ms), so a run prints enough
// jobs to make them count.
constexpr int kMonitorJobs = 20;
// The pause after each job, as between a user's printouts: the monitor is idle again.
constexpr auto kSettle = std::chrono::milliseconds(30);

// The middle of the values (of five).
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One row of the table.
struct Figure {
    const char* job;
    std::string value;
    const char* target;
};

// A number with its unit, three decimals.
std::string amount(double value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f %s", value, unit);
    return text;
}

#ifdef ZELMO_MONITOR_PATH
// The headless monitor on a folder of its own, printing into its PDF folder; stopped and its
// folder removed at the end.
class Monitor {
  public:
    Monitor() {
        char name[] = "/tmp/zelmo-table-XXXXXX";
        if (!::mkdtemp(name)) throw std::runtime_error("cannot create a folder for the monitor");
        folder_ = name;
        start();
        watch_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (watch_ < 0) throw std::runtime_error("no inotify");
        ::inotify_add_watch(watch_, folder_.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
        fs::create_directory(folder_ / "Wydruki");
        ::inotify_add_watch(watch_, (folder_ / "Wydruki").c_str(), IN_CREATE | IN_MOVED_TO);
    }
    ~Monitor() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        ::close(watch_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Prints the job once; returns the seconds from the rename to the PDF and the queue empty.
    double print(const std::vector<uint8_t>& bytes) {
        const fs::path staged = folder_ / ".bench-job";
        {
            std::ofstream out(staged, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
        const size_t pdfs = pdfCount();
        const Clock::time_point begin = Clock::now();
        fs::rename(staged, folder_ / "Wydruk.prn");
        while (!(pdfCount() > pdfs && queueEmpty()))
            awaitChange();
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        std::this_thread::sleep_for(kSettle);
        return seconds;
    }
    // The monitor's CPU seconds so far, every thread, in clock ticks.
    double cpuSeconds() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        // utime and stime are the 14th and 15th fields, the 12th and 13th after the name.
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14) ticks += std::stod(field);
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

  private:
    // Starts the monitor and waits for its control socket: it is watching then.
    void start() {
        const std::string dir = folder_.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl(ZELMO_MONITOR_PATH, ZELMO_MONITOR_PATH, "--headless", "--dir", dir.c_str(),
                    "--printer", "Wydruki", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(30);
        while (!fs::exists(folder_ / "Zelmo.sock")) {
            if (Clock::now() > limit) throw std::runtime_error("the monitor did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // The finished PDFs (a document being written is a hidden part file).
    size_t pdfCount() const {
        size_t count = 0;
        for (const fs::directory_entry& e : fs::directory_iterator(folder_ / "Wydruki"))
            count += e.path().extension() == ".pdf" && e.path().filename().string()[0] != '.';
        return count;
    }
    // Neither the monitored file nor a queue file left.
    bool queueEmpty() const {
        for (const fs::directory_entry& e : fs::directory_iterator(folder_)) {
            const std::string name = e.path().filename().string();
            if (name == "Wydruk.prn" ||
                (name.rfind("Zelmo", 0) == 0 && e.path().extension() == ".Prn"))
                return false;
        }
        return true;
    }
    // Waits for a change in either folder (5 s at most) and drains its events.
    void awaitChange() {
        pollfd p{watch_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) throw std::runtime_error("the monitor printed nothing");
        char events[4096];
        while (::read(watch_, events, sizeof events) > 0) {
        }
    }

    fs::path folder_;
    pid_t pid_ = -1;
    int watch_ = -1;
};

// The invoice through the monitor: the median run's wall seconds per job and CPU per job.
void monitorFigures(double& wall, double& cpu) {
    const std::vector<uint8_t>& bytes = job("invoice");
    Monitor monitor;
    monitor.print(bytes);  // the first document creates what later ones reuse
    std::vector<double> walls, cpus;
    for (int run = 0; run < kRuns; ++run) {
        std::vector<double> times;
        const double before = monitor.cpuSeconds();
        for (int i = 0; i < kMonitorJobs; ++i)
            times.push_back(monitor.print(bytes));
        cpus.push_back((monitor.cpuSeconds() - before) / kMonitorJobs);
        walls.push_back(median(times));
    }
    wall = median(walls);
    cpu = median(cpus);
}
#endif

#ifdef ZELMO_BENCH_PDF
// The named job through the PDF folder printer in this process: CPU seconds of every thread,
// and the PDF's bytes.
void pdfFigures(const std::string& name, double& cpu, double& bytes) {
    ensureGuiApplication();
    const std::vector<uint8_t>& data = job(name);
    std::vector<double> cpus;
    for (int run = 0; run < kRuns; ++run) {
        char folder[] = "/tmp/zelmo-table-XXXXXX";
        if (!::mkdtemp(folder)) throw std::runtime_error("cannot create a folder");
        {
            PdfFolderPrinter printer(std::string(folder) + "/Wydruki");
            DeviceMetrics metrics;
            queryDeviceMetrics(metrics, printer);
            PrintRequest request;
            std::atomic<TestPage> testMode{TestPage::None};
            std::atomic<bool> terminated{false};
            PclState pcl;
            JobEnv env{printer, metrics, request, testMode, terminated, data.data(), data.size()};
            const double before = processCpuSeconds();
            if (!runJob(pcl, env)) throw std::runtime_error(name + " did not print");
            cpus.push_back(processCpuSeconds() - before);
        }
        bytes = 0;
        for (const fs::directory_entry& e : fs::directory_iterator(fs::path(folder) / "Wydruki"))
            bytes += static_cast<double>(e.file_size());
        fs::remove_all(folder);
    }
    cpu = median(cpus);
}
#endif

// zelmo-render interpreting the named job, composing every sheet and writing none.
double renderCpu(const std::string& name) {
    std::vector<double> cpus;
    for (int run = 0; run < kRuns; ++run) {
        double cpu = 0, peak = 0;
        if (!runChild({ZELMO_RENDER_PATH, "--printer", "5100,6600,600", jobFile(name)}, cpu, peak))
            throw std::runtime_error("zelmo-render failed");
        cpus.push_back(cpu);
    }
    return median(cpus);
}

}  // namespace

void printSpeedTable() {
    std::vector<Figure> rows;
    const double renderSeconds = renderCpu("raster_m0_aligned");
#ifdef ZELMO_MONITOR_PATH
    double wall = 0, cpu = 0;
    monitorFigures(wall, cpu);
    rows.push_back(
        {"one-page invoice-like job, `Wydruk.prn` renamed → PDF complete and queue file "
         "gone (wall, headless monitor)",
         amount(wall, "s"), "≤ 0.04 s"});
    rows.push_back({"the same, CPU", amount(cpu, "s"), "≤ 0.008 s"});
#endif
#ifdef ZELMO_BENCH_PDF
    double textCpu = 0, textBytes = 0, rasterCpu = 0, rasterBytes = 0;
    pdfFigures("text", textCpu, textBytes);
    pdfFigures("raster_m0_aligned", rasterCpu, rasterBytes);
    rows.push_back({"500 text pages to the PDF folder, CPU", amount(textCpu, "s"), "≤ 0.4 s"});
    rows.push_back({"500 text pages, PDF size", amount(textBytes / 1e6, "MB"), "≤ 1 MB"});
    rows.push_back(
        {"50 raster pages at 600 dpi to the PDF folder, CPU", amount(rasterCpu, "s"), "≤ 0.45 s"});
#endif
    rows.push_back({"50 raster pages, interpret only (zelmo-render, no sheet written), CPU",
                    amount(renderSeconds, "s"), "≤ 0.04 s"});
    std::printf("\n| job | median of %d | target |\n|---|---|---|\n", kRuns);
    for (const Figure& row : rows)
        std::printf("| %s | %s | %s |\n", row.job, row.value.c_str(), row.target);
}

}  // namespace zelmo::bench
