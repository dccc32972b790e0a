// libFuzzer target: the spool monitor and its queue over a folder of random events.
#include <cstdio>

#include "fuzz/fuzz_spool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string fault = zelmo::fuzz::runSpoolInput(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "spool: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
