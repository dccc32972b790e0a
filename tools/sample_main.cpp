// Writes the generated sample job:
// zelmo-sample [--copies N] [--opening copies|font-id|raster|page-setup] [--] FILE
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/job_builder.h"
#include "zelmo_version.h"

namespace {

constexpr const char* kUsage =
    "usage: zelmo-sample [--copies N] [--opening copies|font-id|raster|page-setup] [--] FILE\n"
    "       zelmo-sample --help | --version\n";

// What the command line asks for; file stays empty when it asks for nothing to be written.
struct Request {
    int copies = 0;
    bool openingGiven = false;
    zelmo::Opening opening = zelmo::Opening::Raster;
    std::string file;
    std::string error;  // why the command line is wrong
    bool help = false;
    bool version = false;
};

// A copy count: decimal digits only, 1 and up; 0 when text is not one.
int copyCount(const std::string& text) {
    int count = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
    return ec == std::errc() && end == text.data() + text.size() && count > 0 ? count : 0;
}

// Reads the arguments: anything that begins with a dash is an option (known or refused), never
// the name of the file to write, unless it comes after "--".
Request parse(int argc, char** argv) {
    Request r;
    bool options = true;
    for (int i = 1; i < argc && r.error.empty(); ++i) {
        const std::string a = argv[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            r.help = true;
        } else if (options && a == "--version") {
            r.version = true;
        } else if (options && a == "--copies") {
            if (i + 1 >= argc || (r.copies = copyCount(argv[++i])) == 0)
                r.error = "--copies takes a number from 1";
        } else if (options && a == "--opening") {
            if (i + 1 >= argc || !zelmo::parseOpening(argv[++i], r.opening))
                r.error = "--opening takes copies, font-id, raster or page-setup";
            r.openingGiven = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            r.error = "unknown option " + a;
        } else if (r.file.empty()) {
            r.file = a;
        } else {
            r.error = "one file only";
        }
    }
    if (r.error.empty() && r.file.empty() && !r.help && !r.version) r.error = "no file named";
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const Request r = parse(argc, argv);
    if (!r.error.empty()) {
        std::fprintf(stderr, "zelmo-sample: %s\n%s", r.error.c_str(), kUsage);
        return 2;
    }
    if (r.help || r.version) {
        std::fputs(r.help ? kUsage : "zelmo-sample " ZELMO_VERSION "\n", stdout);
        return 0;
    }
    std::vector<uint8_t> job =
        r.openingGiven ? zelmo::sampleJob(r.copies, r.opening) : zelmo::sampleJob(r.copies);
    std::ofstream out(r.file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
    if (!out) {
        std::fprintf(stderr, "zelmo-sample: cannot write %s\n", r.file.c_str());
        return 2;
    }
    return 0;
}
