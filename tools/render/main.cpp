// zelmo-render: prints job files (or a test page) on the simulated printer as the worker
// would, for previews, offset calibration and tests.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "output/code_pages.h"
#include "output/device_metrics.h"
#include "pcl/interpreter.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "printers/simulated/simulated_printer.h"
#include "sheet_files.h"
#include "zelmo_version.h"

namespace {

constexpr const char* kUsage =
    "usage: zelmo-render [--printer W,H,DPI[,L,T,R,B]] [--copies-capable] [--engine N] [--single] "
    "[--offset X,Y] [--code-page NAME] [--test N] [--out DIR] [--png] [--trace] [--text] JOB...";

struct Options {
    zelmo::SimulatedPrinterConfig printer;
    zelmo::PrintRequest request;
    zelmo::TestPage test = zelmo::TestPage::None;
    std::string out;
    bool png = false;
    bool trace = false;
    bool text = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> jobs;
};

struct UsageError {
    std::string message;
};

// Whole numbers separated by commas; throws on anything else.
std::vector<long> numbers(const std::string& text, const std::string& option) {
    std::vector<long> values;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        long v = 0;
        auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), v);
        if (ec != std::errc() || end != part.data() + part.size() || part.empty())
            throw UsageError{option + ": not a whole number: '" + part + "'"};
        values.push_back(v);
    }
    return values;
}

// Millimetres as typed in the settings window, to tenths as the window converts them.
int32_t tenths(const std::string& text, const std::string& option) {
    double mm = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mm);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError{option + ": not a number: '" + text + "'"};
    mm = std::clamp(mm, -999.9, 999.9);
    return static_cast<int32_t>(std::nearbyint(mm * 10.0));
}

Options parse(int argc, char** argv) {
    Options o;
    bool options = true;  // until "--": a job file may begin with a dash
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!options || a == "--") {
            if (!options) o.jobs.push_back(a);
            options = false;
            continue;
        }
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError{a + " needs a value"};
            return argv[++i];
        };
        if (a == "--printer") {
            std::vector<long> v = numbers(value(), a);
            if (v.size() != 3 && v.size() != 7)
                throw UsageError{"--printer takes W,H,DPI[,L,T,R,B]"};
            if (v.size() == 3) v.insert(v.end(), {0, 0, 0, 0});
            bool ok = v[0] > 0 && v[1] > 0 && v[2] > 0 && v[0] <= 100000 && v[1] <= 100000;
            for (int k = 3; k < 7; ++k)
                ok = ok && v[k] >= 0 && v[k] < 100000;
            ok = ok && v[3] + v[5] < v[0] && v[4] + v[6] < v[1];
            if (!ok) throw UsageError{"--printer: sheet, resolution or margins out of range"};
            auto& p = o.printer;
            p.width = int(v[0]), p.height = int(v[1]), p.dpi = int(v[2]);
            p.left = int(v[3]), p.top = int(v[4]), p.right = int(v[5]), p.bottom = int(v[6]);
        } else if (a == "--copies-capable") {
            o.printer.copiesCapable = true;
        } else if (a == "--engine") {
            std::vector<long> v = numbers(value(), a);
            if (v.size() != 1 || v[0] < INT32_MIN || v[0] > INT32_MAX)
                throw UsageError{"--engine takes N"};
            o.request.engine = int32_t(v[0]);
        } else if (a == "--single") {
            o.request.singleMode = 1;
        } else if (a == "--offset") {
            std::string v = value();
            size_t comma = v.find(',');
            if (comma == std::string::npos) throw UsageError{"--offset takes X,Y in millimetres"};
            o.request.offsetX = tenths(v.substr(0, comma), a);
            o.request.offsetY = tenths(v.substr(comma + 1), a);
        } else if (a == "--code-page") {
            // The character set a job of bare text is read in, named as in Zelmo.ini.
            zelmo::CodePage page = zelmo::kDefaultCodePage;
            if (!zelmo::parseCodePage(value(), page))
                throw UsageError{"--code-page: unknown code page"};
            o.request.codePage = static_cast<int32_t>(page);
        } else if (a == "--test") {
            std::vector<long> v = numbers(value(), a);
            if (v.size() != 1 || v[0] < 1 || v[0] > 3) throw UsageError{"--test takes 1, 2 or 3"};
            o.test = zelmo::testPageFromNumber(int(v[0]));
        } else if (a == "--out") {
            o.out = value();
        } else if (a == "--png") {
            o.png = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--text") {
            o.text = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else {
            o.jobs.push_back(a);
        }
    }
    if (o.help || o.version) return o;
    if (o.jobs.empty() && o.test == zelmo::TestPage::None) throw UsageError{"no job file"};
#ifndef ZELMO_HAVE_PNG
    if (o.png) throw UsageError{"--png: built without libpng"};
#endif
    return o;
}

// The whole file, loaded as the worker loads a queue file; false when it cannot be read.
bool readJob(const std::string& path, zelmo::files::JobBytes& out) {
    zelmo::files::File file = zelmo::files::openShared(path);
    return file.isOpen() && zelmo::files::readWhole(file, out);
}

// Counts documents and sheets on their way to another sink.
struct Counter : zelmo::SheetSink {
    zelmo::SheetSink* next = nullptr;
    int documents = 0, sheets = 0, pending = 0;
    void beginDocument(const std::string& t) override {
        pending = 0;
        if (next) next->beginDocument(t);
    }
    void sheet(const zelmo::Sheet& s) override {
        ++pending;
        if (next) next->sheet(s);
    }
    void endDocument() override {
        ++documents;
        sheets += pending;
        if (next) next->endDocument();
    }
    void abortDocument() override {
        pending = 0;
        if (next) next->abortDocument();
    }
};

// Writes each printed sheet's text lines once its document has ended: "sheet N", then one
// "left top right bottom text" line per text line, in sheet pixels.
struct TextListing : zelmo::SheetSink {
    zelmo::SheetSink* next = nullptr;
    std::ostream& out;
    int printed = 0;
    std::vector<std::vector<zelmo::SheetText>> pending;
    explicit TextListing(std::ostream& o) : out(o) {}
    void beginDocument(const std::string& t) override {
        pending.clear();
        if (next) next->beginDocument(t);
    }
    void sheet(const zelmo::Sheet& s) override {
        pending.push_back(s.text);
        if (next) next->sheet(s);
    }
    void endDocument() override {
        for (const auto& lines : pending) {
            out << "sheet " << ++printed << '\n';
            for (const zelmo::SheetText& l : lines)
                out << l.box.left << ' ' << l.box.top << ' ' << l.box.right << ' ' << l.box.bottom
                    << ' ' << l.text << '\n';
        }
        pending.clear();
        if (next) next->endDocument();
    }
    void abortDocument() override {
        pending.clear();
        if (next) next->abortDocument();
    }
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = parse(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "zelmo-render: " << e.message << "\n" << kUsage << "\n";
        return 2;
    }
    if (o.help) {
        std::cout << kUsage << "\n       zelmo-render --help | --version\n";
        return 0;
    }
    if (o.version) {
        std::cout << "zelmo-render " ZELMO_VERSION "\n";
        return 0;
    }
    for (const std::string& job : o.jobs) {
        std::ifstream probe(job, std::ios::binary);
        std::error_code error;
        if (!probe || !std::filesystem::is_regular_file(job, error)) {
            std::cerr << "zelmo-render: cannot read job file " << job << "\n";
            return 2;
        }
    }
    if (!o.out.empty()) {
        std::error_code error;
        std::filesystem::create_directory(o.out, error);
        if (!std::filesystem::is_directory(o.out, error)) {
            std::cerr << "zelmo-render: cannot create " << o.out << "\n";
            return 2;
        }
    }

    zelmo::SimulatedPrinter printer(o.printer);
    printer.setRecordCalls(false);
    if (o.trace) printer.setTraceStream(&std::cout);
    zelmo::SheetFiles files(o.out, o.png);
    Counter counter;
    counter.next = o.out.empty() ? nullptr : &files;
    TextListing listing(std::cout);
    listing.next = &counter;
    printer.setSheetSink(o.text ? static_cast<zelmo::SheetSink*>(&listing) : &counter);
    printer.setRecordText(o.text);
    printer.setTitle("Kalvister II - wydruk.prn");

    zelmo::DeviceMetrics metrics;
    zelmo::queryDeviceMetrics(metrics, printer);
    zelmo::PclState state;
    std::atomic<zelmo::TestPage> testMode{o.test};
    std::atomic<bool> terminated{false};
    zelmo::files::JobBytes buffer;
    int status = 0;

    // Runs one job (or the test page) as the worker does, showing a failure as it would.
    auto print = [&](const zelmo::files::JobBytes& job) {
        zelmo::JobEnv env{printer,    metrics,    o.request, testMode,
                          terminated, job.data(), job.size()};
        try {
            zelmo::runJob(state, env);
            // Refused unprinted, as the monitor sets it aside.
            if (!state.content.isText())
                std::cerr << "zelmo-render: " << state.content.english << "\n";
        } catch (const zelmo::ZelmoError& e) {
            std::cerr << "zelmo-render: " << e.what() << "\n";
        }
    };
    if (o.test != zelmo::TestPage::None) {
        print(buffer);
    } else {
        for (const std::string& job : o.jobs) {
            if (!readJob(job, buffer)) {
                std::cerr << "zelmo-render: cannot read job file " << job << "\n";
                status = 2;
                break;
            }
            print(buffer);
            if (!buffer.intact()) {
                std::cerr << "zelmo-render: job file " << job << " lost bytes while read\n";
                status = 2;
                break;
            }
        }
    }
    std::cout.flush();
    std::cerr << "documents " << counter.documents << ", sheets " << counter.sheets << "\n";
    if (files.failed()) {
        std::cerr << "zelmo-render: cannot write sheets into " << o.out << "\n";
        return 2;
    }
    return status;
}
