// Writing Zelmo.log.
#include "shell/job_log.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/local_time.h"
#include "shell/feedback.h"
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

// A job that went to the printer with no mark on its sheets: a warning with the likely cause.
std::string blankLine(const JobEvent& e, const std::string& name) {
    return texts::kLogBlank + name + ", " + texts::kLogPages + " " + std::to_string(e.pages) +
           ", " + texts::kLogOnPrinter + " " + e.printer + detail(texts::kBlankCause);
}

// The system's own words come only after ours, marked as its message.
std::string systemDetail(const std::string& sentence, const std::string& message) {
    if (message.empty()) return detail(sentence);
    std::string ours = sentence;
    if (!ours.empty() && ours.back() != '.') ours += '.';
    return ": " + (ours.empty() ? std::string() : ours + " ") + texts::kSystemMessage + message;
}

// The most that waits unwritten while the log cannot be written.
constexpr uint64_t kMaxPendingBytes = 64 << 10;

}  // namespace

// Binds the log to its file; nothing is written yet.
JobLog::JobLog(std::string path, uint64_t maxBytes, JobEventSink* trouble)
    : path_(std::move(path)), maxBytes_(maxBytes), trouble_(trouble) {}

// The Polish line for an event; the system's own message is kept as it came.
std::string JobLog::describe(const JobEvent& e) {
    const std::string name = nameOf(e);
    switch (e.kind) {
        case JobEventKind::Started:
            return texts::kLogStarted + detail(e.message);
        case JobEventKind::Stopped:
            return texts::kLogStopped + detail(e.message);
        case JobEventKind::Captured:
            return texts::kLogCaptured + name;
        case JobEventKind::Printed:
            if (e.blankSheets) return blankLine(e, name);
            if (!e.pdf.empty())
                return texts::kLogSavedPdf + name + ", " + texts::kLogPages + " " +
                       std::to_string(e.pages) + ", " + texts::kLogPdfFile + " " + e.pdf;
            return texts::kLogPrinted + name + ", " + texts::kLogPages + " " +
                   std::to_string(e.pages) + ", " + texts::kLogOnPrinter + " " + e.printer;
        case JobEventKind::Failed:
            return texts::kLogFailed + name + " (" + texts::kLogAttempt + " " +
                   std::to_string(e.attempt) + ")" + systemDetail(failureReason(e), e.message);
        case JobEventKind::RetryScheduled:
            return texts::kLogRetry + name + " " + texts::kLogAt + " " +
                   localClockTime(e.nextAttempt);
        case JobEventKind::SetAside:
            // A job refused for what it holds says what it looks like.
            if (e.reason == SetAsideReason::NotText)
                return texts::kLogSetAside + name + detail(asideWhy(e.reason, e.message));
            return texts::kLogSetAside + name +
                   systemDetail(texts::kSetAsideReasons[static_cast<int>(e.reason)], e.message);
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
            return texts::kLogCaptureImpossible + systemDetail({}, e.message);
        case JobEventKind::CaptureRestored:
            return texts::kLogCaptureRestored;
        case JobEventKind::PrinterChanged:
            return texts::kLogPrinterChanged + detail(e.printer);
        case JobEventKind::PrinterMissing:
            return texts::kLogPrinterMissing + detail(e.printer);
        case JobEventKind::ArchiveFailed:
            return texts::kLogArchiveFailed + systemDetail({}, e.message);
        case JobEventKind::LogTrouble:
            return e.message;
        case JobEventKind::SettingIgnored:
            return e.message;
        case JobEventKind::PrinterWaiting:
            return texts::kLogPrinterWaiting + (" " + e.printer) +
                   systemDetail(troubleText(e.trouble), e.message);
        case JobEventKind::PrinterBack:
            return texts::kLogPrinterBack + detail(e.printer);
        case JobEventKind::TestPageRequested:
            return texts::kLogTestPage + detail(e.message);
        case JobEventKind::MonitoringPaused:
            return texts::kLogPaused;
        case JobEventKind::MonitoringResumed:
            return texts::kLogResumedMonitoring;
        case JobEventKind::SettingsSaved:
            return texts::kLogSettingsSaved + detail(e.message);
        case JobEventKind::PrinterChosen:
            return texts::kLogPrinterChosen +
                   detail(e.printer.empty() ? texts::kSystemDefaultPrinter : e.printer);
        case JobEventKind::ArchiveFolderChanged:
            return texts::kLogArchiveChanged +
                   detail(e.message.empty() ? texts::kLogNoArchive : e.message);
        case JobEventKind::Submitted:
        case JobEventKind::Sent:
            if (e.kind == JobEventKind::Sent && e.blankSheets) return blankLine(e, name);
            return (e.kind == JobEventKind::Sent ? texts::kLogSent : texts::kLogSubmitted) + name +
                   ", " + texts::kLogPages + " " + std::to_string(e.pages) + ", " +
                   texts::kLogOnPrinter + " " + e.printer;
        case JobEventKind::JournalFailed:
            return texts::kLogJournalFailed + systemDetail({}, e.message);
        case JobEventKind::JournalRestored:
            return texts::kLogJournalRestored;
        case JobEventKind::WorkerDied:
        case JobEventKind::WorkerSilent:
            return (e.kind == JobEventKind::WorkerDied ? texts::kLogWorkerDied
                                                       : texts::kLogWorkerSilent) +
                   (name.empty() ? name : std::string(" ") + texts::kLogDuring + name);
    }
    return toString(e.kind);
}

// Appends the event's line with what waited before it. A log that cannot be written does not
// stop printing: the user is told once, and the lines wait for the next event to try again.
void JobLog::jobEvent(const JobEvent& event) {
    // Told by notification: a line about the log could not be written into it anyway.
    if (event.kind == JobEventKind::LogTrouble) return;
    std::string line = localDateTime(event.when) + " " + describe(event);
    // One event is one line, whatever a system message holds.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += files::kLineEnd;
    const uint64_t room = std::min<uint64_t>(kMaxPendingBytes, maxBytes_ / 2);
    if (pending_.size() + line.size() <= room) pending_ += line;
    if (flush(event.when)) {
        troubled_ = false;
        return;
    }
    if (troubled_) return;
    troubled_ = true;
    tell(withSystemMessage(texts::kLogUnwritable, path_ + ": " + files::lastErrorMessage()));
}

// Writes the waiting lines, first moving a full log aside; a new file begins as the system's
// text files do.
bool JobLog::flush(WallTime when) {
    files::FileInfo info;
    bool fresh = !files::fileInfo(path_, info) || (info.regular && info.size == 0);
    // Anything but a regular file is left in place: the append refuses it.
    if (!fresh && info.regular && info.size + pending_.size() > maxBytes_) {
        if (!rotate(when)) return false;
        fresh = !files::exists(path_);
    }
    if (!files::appendToFile(path_, (fresh ? files::kTextFileStart : "") + pending_)) return false;
    pending_.clear();
    return true;
}

// Moves the full log to Zelmo.log.1. When that cannot be replaced (a folder, no permission) the
// log begins again in place with a line saying why, so that it stays bounded all the same.
bool JobLog::rotate(WallTime when) {
    if (files::renameReplacing(path_, path_ + ".1")) return true;
    const std::string why =
        withSystemMessage(texts::kLogNotRotated, path_ + ".1: " + files::lastErrorMessage());
    if (!rotationTold_) tell(why);
    rotationTold_ = true;
    std::string line = why;  // one line in the log, whatever the notification's lines
    std::replace(line.begin(), line.end(), '\n', ' ');
    return files::rewriteFile(
        path_, files::kTextFileStart + localDateTime(when) + " " + line + files::kLineEnd);
}

// A LogTrouble event for whoever listens.
void JobLog::tell(const std::string& message) {
    if (!trouble_) return;
    JobEvent event;
    event.kind = JobEventKind::LogTrouble;
    event.when = std::chrono::system_clock::now();
    event.message = message;
    trouble_->jobEvent(event);
}

}  // namespace zelmo
