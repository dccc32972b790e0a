// The whole path a user waits for, against the floors of the same machine in the same run:
// zelmo-render as a process from the job file to composed sheets, the PDF printer from the
// loaded job to the closed PDF, `cat` of the job file and a memset of every sheet.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_registry.h"

#ifdef ZELMO_BENCH_PDF
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "printers/cups/cups_printers.h"
#endif

namespace zelmo::bench {
namespace {

// The sheet zelmo-render composes in these runs: 600-dpi letter, all printable.
constexpr const char* kRenderPrinter = "5100,6600,600";
constexpr size_t kSheetBytes = size_t{5100 / 8 + 1} * 6600;

// The jobs of the whole-path figures.
const char* const kJobs[] = {"raster_m0_aligned", "text"};

// The run's job files in a temporary folder, removed when the run ends. A file is written once,
// so the page cache holds it warm, as it holds a queue file just captured.
class JobFiles {
  public:
    // Makes the folder.
    JobFiles() {
        if (!::mkdtemp(folder_.data())) throw std::runtime_error("cannot create " + folder_);
    }
    // Removes the files and the folder.
    ~JobFiles() {
        for (const auto& file : files_)
            ::unlink(file.second.c_str());
        ::rmdir(folder_.c_str());
    }
    // The named job as a file. A child process builds and writes it, so this process stays
    // small for the children it measures: a child's peak counts the memory of its parent at fork.
    const std::string& path(const std::string& name) {
        auto it = files_.find(name);
        if (it != files_.end()) return it->second;
        const std::string path = folder_ + "/" + name + ".prn";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::vector<uint8_t>& bytes = job(name);
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            ::_exit(out ? 0 : 1);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            throw std::runtime_error("cannot write " + path);
        return files_.emplace(name, path).first->second;
    }

  private:
    std::string folder_ = "/tmp/zelmo-bench-XXXXXX";
    std::map<std::string, std::string> files_;
};

}  // namespace

const std::string& jobFile(const std::string& name) {
    static JobFiles files;
    return files.path(name);
}

bool runChild(const std::vector<std::string>& args, double& cpu, double& peak) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    cpu += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    peak = std::max(peak, usage.ru_maxrss * 1024.0);
    return true;
}

double processCpuSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

#ifdef ZELMO_BENCH_PDF
void ensureGuiApplication() {
    if (QCoreApplication::instance()) return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "zelmo_bench";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}
#endif

namespace {

// Runs argv as a child for the benchmark; false, with the benchmark stopped, when it failed.
bool runChildFor(benchmark::State& state, const std::vector<std::string>& args, double& cpu,
                 double& peak) {
    if (runChild(args, cpu, peak)) return true;
    state.SkipWithError((args[0] + " failed").c_str());
    return false;
}

// The counters of a run over a job's file: its bytes and pages per second, and for a process,
// CPU seconds per job and peak resident MiB. The job itself stays out of this process.
void fileCounters(benchmark::State& state, const std::string& name, double cpu, double peak) {
    struct stat info {};
    ::stat(jobFile(name).c_str(), &info);
    const auto n = static_cast<double>(state.iterations());
    using benchmark::Counter;
    state.counters["bytes/s"] = Counter(n * static_cast<double>(info.st_size), Counter::kIsRate);
    state.counters["pages/s"] =
        Counter(n * static_cast<double>(jobKinds().at(name).pages), Counter::kIsRate);
    if (peak <= 0) return;
    state.counters["cpu_s"] = cpu / n;
    state.counters["peak_MiB"] = peak / (1 << 20);
}

// zelmo-render composing every sheet and writing none, as a whole process.
void BM_RenderProcess(benchmark::State& state, const std::string& name) {
    const std::vector<std::string> args = {ZELMO_RENDER_PATH, "--printer", kRenderPrinter,
                                           jobFile(name)};
    double cpu = 0, peak = 0;
    for (auto _ : state)
        if (!runChildFor(state, args, cpu, peak)) break;
    fileCounters(state, name, cpu, peak);
}

// The floor of reading the job: cat of the file to /dev/null.
void BM_CatFloor(benchmark::State& state, const std::string& name) {
    const std::vector<std::string> args = {"/bin/cat", jobFile(name)};
    double cpu = 0, peak = 0;
    for (auto _ : state)
        if (!runChildFor(state, args, cpu, peak)) break;
    fileCounters(state, name, cpu, peak);
}

// The floor of composing: clearing one sheet's memory per page of the job.
void BM_MemsetFloor(benchmark::State& state, const std::string& name) {
    std::unique_ptr<uint8_t[]> sheet(new uint8_t[kSheetBytes]);
    const int64_t pages = jobKinds().at(name).pages;
    for (auto _ : state) {
        for (int64_t p = 0; p < pages; ++p) {
            std::memset(sheet.get(), static_cast<int>(p & 1), kSheetBytes);
            benchmark::ClobberMemory();
        }
    }
    fileCounters(state, name, 0, 0);
}

#ifdef ZELMO_BENCH_PDF
// The built-in PDF printer: from the loaded job to the closed PDF file in its folder.
void BM_PdfPrinter(benchmark::State& state, const std::string& name) {
    ensureGuiApplication();
    QTemporaryDir folder;
    PdfFolderPrinter printer(folder.path().toStdString() + "/Wydruki");
    double pdfBytes = 0;
    // The whole process's CPU: the images are compressed on other threads.
    const double cpuBefore = processCpuSeconds();
    // Each document is counted and removed, so the folder never fills.
    runOn(state, printer, name, [&] {
        QDir out(folder.path() + "/Wydruki");
        for (const QFileInfo& file : out.entryInfoList(QDir::Files)) {
            pdfBytes += static_cast<double>(file.size());
            QFile::remove(file.filePath());
        }
    });
    state.counters["pdf_MiB"] = pdfBytes / static_cast<double>(state.iterations()) / (1 << 20);
    state.counters["cpu_s"] =
        (processCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}
#endif

}  // namespace

// Each whole-path figure once per job; wall-clock time, as the user waits it. Registered before
// the in-process runs, whose jobs would swell this process and so the children's peaks.
void registerWholePath() {
    for (const char* name : kJobs) {
        const int iterations = std::strcmp(name, "text") == 0 ? 3 : 10;
        const std::string suffix = std::string("/") + name;
        benchmark::RegisterBenchmark(("WholePath/cat" + suffix).c_str(), BM_CatFloor, name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(10);
        benchmark::RegisterBenchmark(("WholePath/memset_sheets" + suffix).c_str(), BM_MemsetFloor,
                                     name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(iterations);
        benchmark::RegisterBenchmark(("WholePath/zelmo-render" + suffix).c_str(), BM_RenderProcess,
                                     name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(iterations);
    }
#ifdef ZELMO_BENCH_PDF
    // In this process, so after every child: the jobs it loads would count in their peaks.
    // And the text in solid glyphs, whose pages Group 4 codes: the other two are noise, where
    // the PDF keeps Deflate.
    for (const char* name : {"raster_m0_aligned", "text", "text_strokes"}) {
        benchmark::RegisterBenchmark((std::string("WholePath/pdf_printer/") + name).c_str(),
                                     BM_PdfPrinter, name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(std::strncmp(name, "text", 4) == 0 ? 1 : 2);
    }
#endif
}

}  // namespace zelmo::bench
