// Names of the worker's outcomes, for traces and test messages.
#include "pipeline/handover.h"

namespace zelmo {

// The outcome's name as written in the code.
const char* toString(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::NotStarted:
            return "NotStarted";
        case JobOutcome::Printed:
            return "Printed";
        case JobOutcome::Failed:
            return "Failed";
        case JobOutcome::NoPrinter:
            return "NoPrinter";
        case JobOutcome::Unreadable:
            return "Unreadable";
        case JobOutcome::NotRun:
            return "NotRun";
        case JobOutcome::TestPage:
            return "TestPage";
    }
    return "?";
}

}  // namespace zelmo
