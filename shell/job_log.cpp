// Writing Zelmo.log.
#include "shell/job_log.h"

#include "platform/files.h"
#include "platform/local_time.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

// " nr N (name)" when the event concerns a job, " name" for a file without a number.
std::string nameOf(const JobEvent& event) {
    if (event.queueName.empty()) return {};
    if (event.job == 0) return " " + event.queueName;
    return std::string(" ") + texts::kJobNumber + std::to_string(event.job) + " (" +
           event.queueName + ")";
}

// ": text" when there is a text to add.
std::string detail(const std::string& text) {
    return text.empty() ? std::string() : ": " + text;
}

}  // namespace

// Binds the log to its file; nothing is written yet.
JobLog::JobLog(std::string path, uint64_t maxBytes) : path_(std::move(path)), maxBytes_(maxBytes) {}

// The Polish line for an event; the system's own message is kept as it came.
std::string JobLog::describe(const JobEvent& e) {
    const std::string name = nameOf(e);
    switch (e.kind) {
        case JobEventKind::Started:
            return texts::kLogStarted + detail(e.message);
        case JobEventKind::Stopped:
            return texts::kLogStopped;
        case JobEventKind::Captured:
            return texts::kLogCaptured + name;
        case JobEventKind::Printed:
            return texts::kLogPrinted + name + ", " + texts::kLogPages + " " +
                   std::to_string(e.pages) + ", " + texts::kLogOnPrinter + " " + e.printer;
        case JobEventKind::Failed:
            return texts::kLogFailed + name + " (" + texts::kLogAttempt + " " +
                   std::to_string(e.attempt) + ")" + detail(e.message);
        case JobEventKind::RetryScheduled:
            return texts::kLogRetry + name + " " + texts::kLogAt + " " +
                   localClockTime(e.nextAttempt);
        case JobEventKind::SetAside:
            return texts::kLogSetAside + name +
                   detail(texts::kSetAsideReasons[static_cast<int>(e.reason)]);
        case JobEventKind::NothingPrinted:
            return (e.reason == SetAsideReason::None ? texts::kLogEmptyDeleted
                                                     : texts::kLogNothingPrinted) +
                   name;
        case JobEventKind::Resumed:
            return texts::kLogResumed + name + " " + texts::kLogFromLastRun;
        case JobEventKind::PrintAgain:
            return texts::kLogPrintAgain + name;
        case JobEventKind::Deleted:
            return texts::kLogDeleted + name;
        case JobEventKind::CaptureImpossible:
            return texts::kLogCaptureImpossible + detail(e.message);
        case JobEventKind::CaptureRestored:
            return texts::kLogCaptureRestored;
        case JobEventKind::PrinterChanged:
            return texts::kLogPrinterChanged + detail(e.printer);
        case JobEventKind::PrinterMissing:
            return texts::kLogPrinterMissing + detail(e.message);
        case JobEventKind::ArchiveFailed:
            return texts::kLogArchiveFailed + detail(e.message);
        case JobEventKind::JournalFailed:
            return texts::kLogJournalFailed + detail(e.message);
        case JobEventKind::JournalRestored:
            return texts::kLogJournalRestored;
    }
    return toString(e.kind);
}

// Appends the event's line, first moving a full log aside. A log that cannot be written does
// not stop printing: the line is lost, the job is not.
void JobLog::jobEvent(const JobEvent& event) {
    std::string line = localDateTime(event.when) + " " + describe(event);
    // One event is one line, whatever a system message holds.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    files::FileInfo info;
    if (files::fileInfo(path_, info) && info.size + line.size() > maxBytes_)
        files::renameReplacing(path_, path_ + ".1");
    files::appendToFile(path_, line);
}

}  // namespace zelmo
