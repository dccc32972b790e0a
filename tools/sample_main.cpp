// Writes the generated sample job: zelmo-sample [--copies N] FILE
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/job_builder.h"

int main(int argc, char** argv) {
    int copies = 0;
    if (argc == 4 && std::string(argv[1]) == "--copies") copies = std::atoi(argv[2]);
    if (argc != 2 && !(argc == 4 && copies > 0)) {
        std::fprintf(stderr, "usage: zelmo-sample [--copies N] FILE\n");
        return 2;
    }
    std::vector<uint8_t> job = zelmo::sampleJob(copies);
    std::ofstream out(argv[argc - 1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
    if (!out) {
        std::fprintf(stderr, "zelmo-sample: cannot write %s\n", argv[argc - 1]);
        return 2;
    }
    return 0;
}
