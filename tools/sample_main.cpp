// Writes the generated sample job to the file named on the command line.
#include <cstdio>
#include <fstream>

#include "tools/job_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelmo-sample FILE\n");
        return 2;
    }
    std::vector<uint8_t> job = zelmo::sampleJob();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
    if (!out) {
        std::fprintf(stderr, "zelmo-sample: cannot write %s\n", argv[1]);
        return 2;
    }
    return 0;
}
