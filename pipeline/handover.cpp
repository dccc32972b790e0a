// Names of the worker's outcomes and of the job events, for traces and test messages.
#include "pipeline/handover.h"

#include <iterator>

#include "pipeline/job_events.h"

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
        case JobOutcome::Refused:
            return "Refused";
        case JobOutcome::NotText:
            return "NotText";
        case JobOutcome::PrinterUnavailable:
            return "PrinterUnavailable";
    }
    return "?";
}

// The event kind's name as written in the code.
const char* toString(JobEventKind kind) {
    static constexpr const char* kNames[] = {"Started",
                                             "Stopped",
                                             "Captured",
                                             "Printed",
                                             "Failed",
                                             "RetryScheduled",
                                             "SetAside",
                                             "NothingPrinted",
                                             "Resumed",
                                             "PrintAgain",
                                             "Deleted",
                                             "CaptureImpossible",
                                             "CaptureRestored",
                                             "PrinterChanged",
                                             "PrinterMissing",
                                             "ArchiveFailed",
                                             "LogTrouble",
                                             "SettingIgnored",
                                             "PrinterWaiting",
                                             "PrinterBack",
                                             "Submitted",
                                             "Sent",
                                             "JournalFailed",
                                             "JournalRestored",
                                             "TestPageRequested",
                                             "MonitoringPaused",
                                             "MonitoringResumed",
                                             "SettingsSaved",
                                             "PrinterChosen",
                                             "ArchiveFolderChanged",
                                             "WorkerDied",
                                             "WorkerSilent"};
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(kNames) ? kNames[index] : "?";
}

// The reason's name as written in the code.
const char* toString(SetAsideReason reason) {
    static constexpr const char* kNames[] = {"None",       "TooManyFailures", "NothingPrinted",
                                             "Unreadable", "Interrupted",     "PastLimits",
                                             "NotText",    "BrokeWorker"};
    const auto index = static_cast<std::size_t>(reason);
    return index < std::size(kNames) ? kNames[index] : "?";
}

}  // namespace zelmo
