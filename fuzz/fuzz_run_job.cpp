// libFuzzer target: a whole job through runJob on the simulated printer.
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    zelmo::fuzz::Outcome o = zelmo::fuzz::runJobInput(data, size);
    // A leaked drawing object or a document left open is a finding like a crash.
    if (o.liveObjectsLeft != 0 || o.printing) std::abort();
    return 0;
}
