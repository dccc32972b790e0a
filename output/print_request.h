// The settings in force for one job, handed from the window to the worker.
#pragma once

#include <cstdint>

namespace zelmo {

enum Engine : int32_t {
    EngineDefault = 0,
    EngineAlternative = 1,
    EngineHP845c = 2,
};

struct PrintRequest {
    int32_t offsetX = 0;  // tenths of a millimetre, -9999..9999
    int32_t offsetY = 0;
    int32_t engine = EngineDefault;  // stored as read: may lie outside 0..2
    int32_t singleMode = 0;          // nonzero: one printer document per copy of a page
    int32_t codePage = 0;            // the job's character set, a CodePage value
    bool plainText = true;           // a job of bare text is printed in the printer's font
    // A job that is no printout (binary data) is refused before anything prints; off only where
    // the interpreter itself is under test.
    bool judgeFirst = true;
};

}  // namespace zelmo
