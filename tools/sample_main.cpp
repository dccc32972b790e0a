// Writes the generated sample job:
// zelmo-sample [--copies N] [--opening copies|font-id|raster|page-setup] FILE
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/job_builder.h"

namespace {

struct Options {
    int copies = 0;
    bool openingGiven = false;
    zelmo::Opening opening = zelmo::Opening::Raster;
    const char* file = nullptr;
};

// Reads the options in any order; false on anything it does not know.
bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--copies" && i + 1 < argc) {
            options.copies = std::atoi(argv[++i]);
            if (options.copies <= 0) return false;
        } else if (arg == "--opening" && i + 1 < argc) {
            if (!zelmo::parseOpening(argv[++i], options.opening)) return false;
            options.openingGiven = true;
        } else if (arg.rfind("--", 0) != 0 && !options.file) {
            options.file = argv[i];
        } else {
            return false;
        }
    }
    return options.file != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: zelmo-sample [--copies N] "
                     "[--opening copies|font-id|raster|page-setup] FILE\n");
        return 2;
    }
    std::vector<uint8_t> job = options.openingGiven
                                   ? zelmo::sampleJob(options.copies, options.opening)
                                   : zelmo::sampleJob(options.copies);
    std::ofstream out(options.file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
    if (!out) {
        std::fprintf(stderr, "zelmo-sample: cannot write %s\n", options.file);
        return 2;
    }
    return 0;
}
