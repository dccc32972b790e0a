// Tray hint, icon and notifications from the job events.
#include "shell/feedback.h"

#include <ctime>

#include "output/job_state.h"
#include "pipeline/job_queue.h"
#include "pipeline/queue_journal.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

// Why a job was set aside, as a sentence ending.
const char* asideReason(SetAsideReason reason) {
    switch (reason) {
        case SetAsideReason::TooManyFailures:
            return texts::kAsideTooManyFailures;
        case SetAsideReason::NothingPrinted:
            return texts::kAsideNothingPrinted;
        case SetAsideReason::Unreadable:
            return texts::kAsideUnreadable;
        case SetAsideReason::Interrupted:
            return texts::kAsideInterrupted;
        case SetAsideReason::PastLimits:
            return texts::kAsidePastLimits;
        case SetAsideReason::NotText:
            return texts::kAsideNotText;
        case SetAsideReason::BrokeWorker:
            return texts::kAsideBrokeWorker;
        case SetAsideReason::None:
            break;
    }
    return "";
}

// A job as the user is told of it: "nr 17 (Zelmo3.Prn)", or the file alone without a number.
std::string jobName(const JobEvent& e) {
    if (e.job == 0) return e.queueName;
    return texts::kJobNumber + std::to_string(e.job) + " (" + e.queueName + ")";
}

// A job refused for what it holds carries what it looks like as its message: that is the
// reason itself, told once (the journal keeps only the reason, so after a restart the general
// sentence stands in).
bool messageIsReason(SetAsideReason reason, const std::string& message) {
    return reason == SetAsideReason::NotText && !message.empty();
}

}  // namespace

// Why a job was set aside, without a full stop; for a job that is neither a print nor text,
// what it looks like after the general reason.
std::string asideWhy(SetAsideReason reason, const std::string& message) {
    std::string why = texts::kSetAsideReasons[static_cast<int>(reason)];
    if (messageIsReason(reason, message)) why += texts::kLooksLike + message;
    return why;
}

namespace {

// Why a job was set aside, as a sentence ending.
std::string asideText(SetAsideReason reason, const std::string& message) {
    return messageIsReason(reason, message) ? asideWhy(reason, message) + "." : asideReason(reason);
}

}  // namespace

// What a job was given up with, as a sentence: our own reasons by name, else the trouble.
std::string failureReason(const JobEvent& e) {
    switch (e.failure) {
        case JobFailure::OutOfMemory:
            return texts::kJobOutOfMemory;
        case JobFailure::PageTooLarge:
            return texts::kJobPageTooLarge;
        case JobFailure::TooManySheets:
            return texts::kJobTooManySheets + std::to_string(kMaxSheetsPerJob) + ".";
        case JobFailure::Unexpected:
            return texts::kJobUnexpected + std::string(".");
        case JobFailure::None:
        case JobFailure::Error:
            break;
    }
    return troubleText(e.trouble);
}

namespace {

// What Zelmo does with the failed job: sets it aside, tries it at a time, or when its turn
// comes again (a job the print system failed goes behind the jobs queued meanwhile).
std::string nextStep(const JobEvent& e) {
    if (e.kind == JobEventKind::SetAside || e.reason == SetAsideReason::TooManyFailures)
        return texts::kFailureSetAside;
    if (e.nextAttempt != WallTime{}) return texts::kNextAttempt + clockTime(e.nextAttempt) + ".";
    return texts::kRetryQueued;
}

// A failed job by number, capture time and attempt, what went wrong and what comes next.
std::string failureText(const JobEvent& e) {
    const int64_t number = e.job > 0 ? e.job : queueFileNumber(e.queueName);
    std::string text = texts::kPrintFailed + (number > 0 ? std::to_string(number) : e.queueName);
    std::string about;
    if (e.captured != WallTime{}) about = texts::kCapturedAt + clockTime(e.captured);
    if (e.attempt > 0)
        about +=
            (about.empty() ? "" : ", ") + std::string(texts::kAttempt) + std::to_string(e.attempt);
    if (!about.empty()) text += " (" + about + ")";
    text += ". " + failureReason(e) + " " + nextStep(e);
    return withSystemMessage(text, e.message);
}

}  // namespace

// The system's message on a line of its own, when there is one, for the technician.
std::string withSystemMessage(std::string text, const std::string& message) {
    if (!message.empty()) text += std::string("\n") + texts::kSystemMessage + message;
    return text;
}

// One sentence a bookkeeper understands for each kind of trouble.
const char* troubleText(PrintTrouble trouble) {
    switch (trouble) {
        case PrintTrouble::Unreachable:
            return texts::kTroubleUnreachable;
        case PrintTrouble::Refused:
            return texts::kTroubleRefused;
        case PrintTrouble::Stopped:
            return texts::kTroubleStopped;
        case PrintTrouble::NoService:
            return texts::kTroubleNoService;
        case PrintTrouble::DiskFull:
            return texts::kTroubleDiskFull;
        case PrintTrouble::NoPermission:
            return texts::kTroubleNoPermission;
        case PrintTrouble::General:
            break;
    }
    return texts::kTroubleGeneral;
}

// The state, and for a failed job what failed, in one line.
std::string queueStateText(const QueueFileInfo& file) {
    std::string text;
    switch (file.state) {
        case QueueFileState::Waiting:
            text =
                texts::kStateWaiting + std::to_string(file.position + 1) + texts::kStateWaitingEnd;
            break;
        case QueueFileState::Printing:
            text = texts::kStatePrinting;
            break;
        case QueueFileState::Retrying:
            text = texts::kStateRetrying + clockTime(file.nextAttempt);
            break;
        case QueueFileState::SetAside:
            text = texts::kStateSetAside;
            if (messageIsReason(file.reason, file.message)) {
                text += texts::kStateReasonSeparator + asideWhy(file.reason, file.message);
                return text;
            }
            if (file.reason != SetAsideReason::None)
                text += std::string(texts::kStateReasonSeparator) +
                        texts::kSetAsideReasons[static_cast<int>(file.reason)];
            break;
        case QueueFileState::Leftover:
            text = texts::kStateLeftover;
            break;
        case QueueFileState::WaitingForPrinter:
            text = texts::kStateNoPrinter;
            break;
        case QueueFileState::InPrinterQueue:
            text = texts::kStateInPrinterQueue;
            break;
        case QueueFileState::Held:
            text = texts::kStateHeld + std::to_string(file.position + 1) + texts::kStateWaitingEnd;
            break;
    }
    if (file.attempt > 0) text += texts::kStateFailures + std::to_string(file.attempt);
    if (!file.message.empty()) text += " — " + std::string(texts::kSystemMessage) + file.message;
    return text;
}

// HH:MM:SS in local time.
std::string clockTime(WallTime when) {
    return localTimeText(when, "%H:%M:%S");
}

// A local time as strftime formats it.
std::string localTimeText(WallTime when, const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    char text[64] = "";
    // Only the window thread formats times, so the shared buffer of localtime is safe here.
    if (const std::tm* local = std::localtime(&t)) std::strftime(text, sizeof text, format, local);
    return text;
}

// A space is where every box breaks a line, so the path's are no-break spaces; on a line of its
// own the path is one word, which a box widens for rather than breaks. (Word joiners would also
// hold a break after ":" where a box breaks by Unicode's rules, but Windows' message box fonts
// draw them as empty squares.)
std::string boxedPath(const std::string& sentence, const std::string& path) {
    std::string text = sentence;
    while (!text.empty() && (text.back() == ' ' || text.back() == ':'))
        text.pop_back();
    // The message boxes open sentences in upper case.
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    text += ":\n";
    for (const char c : path)
        text += c == ' ' ? std::string("\u00a0") : std::string(1, c);
    return text;
}

// The UTF-16 units of a UTF-8 text: two for a four-byte sequence, one for any other.
size_t utf16Length(const std::string& text) {
    size_t units = 0;
    for (unsigned char byte : text)
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    return units;
}

// The start of the character at or after byte at: a cut never splits a character.
std::size_t characterStart(const std::string& text, std::size_t at) {
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        ++at;
    return at;
}

// One word's first third and last two thirds of room around an ellipsis, when it is longer:
// a path's drive and its file name are what a reader needs most.
std::string shortenWord(const std::string& word, std::size_t room) {
    if (utf16Length(word) <= room) return word;
    std::size_t head = 0;
    for (std::size_t kept = 0; kept < room / 3; ++kept)
        head = characterStart(word, head + 1);
    std::size_t tail = word.size();
    for (std::size_t kept = 0; kept + 1 < room - room / 3; ++kept) {
        do
            --tail;
        while (tail > head && (static_cast<unsigned char>(word[tail]) & 0xC0) == 0x80);
    }
    return word.substr(0, head) + "\u2026" + word.substr(tail);
}

// Each run of the text between spaces and line ends, shortened to room.
std::string shortenLongWords(const std::string& text, std::size_t room) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(" \n", start);
        if (end == std::string::npos) end = text.size();
        out += shortenWord(text.substr(start, end - start), room);
        if (end < text.size()) out += text[end];
        start = end + 1;
    }
    return out;
}

// The caption goes first, then the end of the last line, one whole character at a time.
std::string fitHint(const std::string& hint, size_t room) {
    if (utf16Length(hint) <= room) return hint;
    std::string text = hint;
    const size_t captionEnd = text.find('\n');
    if (captionEnd != std::string::npos) text.erase(0, captionEnd + 1);
    if (utf16Length(text) <= room) return text;
    static const std::string ellipsis = "\u2026";
    size_t units = 0, end = 0;
    while (end < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[end]);
        const size_t width = lead >= 0xF0 ? 2 : 1;
        if (units + width + 1 > room) break;  // one unit stays for the ellipsis
        units += width;
        do
            ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
    }
    return text.substr(0, end) + ellipsis;
}

// Monitoring paused or resumed.
void Feedback::setPaused(bool paused) {
    paused_ = paused;
    show();
}

// The printer in use, by name.
void Feedback::setPrinter(const std::string& name) {
    printer_ = name;
    show();
}

// The jobs captured and not yet printed.
void Feedback::setWaiting(int count) {
    if (count == waiting_) return;
    waiting_ = count;
    show();
}

// Follows one event: the last job's outcome, the error mark and a notification.
void Feedback::jobEvent(const JobEvent& e) {
    switch (e.kind) {
        case JobEventKind::Printed:
        case JobEventKind::Failed:
        case JobEventKind::RetryScheduled:
            jobPrintedOrFailed(e);
            break;
        case JobEventKind::SetAside:
        case JobEventKind::NothingPrinted:
            jobSetAside(e);
            break;
        case JobEventKind::PrintAgain:
        case JobEventKind::Deleted:
            view_.followFailure(e.queueName, {});
            break;
        case JobEventKind::PrinterChanged:
        case JobEventKind::PrinterMissing:
        case JobEventKind::PrinterWaiting:
        case JobEventKind::PrinterBack:
            printerEvent(e);
            break;
        case JobEventKind::Submitted:
        case JobEventKind::Sent:
            jobHandedOver(e);
            break;
        case JobEventKind::CaptureImpossible:
        case JobEventKind::CaptureRestored:
        case JobEventKind::ArchiveFailed:
            folderEvent(e);
            break;
        case JobEventKind::JournalFailed:
            error_ = true;
            notify(texts::kNoticeJournal, texts::kJournalFailed + e.message, true);
            break;
        case JobEventKind::JournalRestored:
            error_ = false;
            break;
        case JobEventKind::WorkerDied:
        case JobEventKind::WorkerSilent:
            workerEvent(e);
            break;
        case JobEventKind::LogTrouble:
            notify(texts::kLogTroubleCaption, e.message, true);
            break;
        case JobEventKind::SettingIgnored:
            notify(texts::kSettingCaption, e.message, true);
            break;
        default:
            break;
    }
    show();
}

// A job that went out with no mark on its sheets: a warning, the icon red until a job prints.
void Feedback::blankSheetsTold(const JobEvent& e, const std::string& job) {
    error_ = true;
    last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastBlank;
    notify(texts::kNoticeBlank, job + ": " + texts::kBlankCause, true);
}

// A job printed, failed, or waiting for its next attempt.
void Feedback::jobPrintedOrFailed(const JobEvent& e) {
    const std::string job = jobName(e);
    // A job that prints at last makes its earlier failure moot.
    if (e.kind == JobEventKind::Printed) view_.followFailure(e.queueName, {});
    if (e.kind == JobEventKind::Printed && e.blankSheets) {
        blankSheetsTold(e, job);
    } else if (e.kind == JobEventKind::Printed && !e.pdf.empty()) {
        error_ = false;
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastSavedPdf;
        notify(texts::kNoticeSavedPdf,
               job + ": " + std::to_string(e.pages) + texts::kPagesInFile + e.pdf, false);
    } else if (e.kind == JobEventKind::Printed) {
        error_ = false;
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastPrinted;
        notify(texts::kNoticePrinted,
               job + ": " + std::to_string(e.pages) + texts::kPagesOn + e.printer, false);
    } else if (e.kind == JobEventKind::Failed) {
        error_ = true;
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastFailed;
        const std::string text = failureText(e);
        notify(texts::kNoticeFailed, text, true);
        // The box is the worker's error, told now that its next step is planned.
        if (e.failure != JobFailure::None)
            view_.showJobFailure(e.queueName, shortenLongWords(text, kBoxWordRoom));
    } else {
        last_ = job + ": " + texts::kLastRetry + clockTime(e.nextAttempt);
    }
}

// The print worker died (and was replaced) or stopped answering: a box, as for a failure.
void Feedback::workerEvent(const JobEvent& e) {
    error_ = true;
    std::string text;
    if (e.kind == JobEventKind::WorkerDied) {
        text = texts::kWorkerDied;
        // A job it ended twice is set aside, which its own notice tells.
        if (!e.queueName.empty() && e.attempt < kMaxWorkerBreaks)
            text += texts::kWorkerDiedJob + jobName(e) + texts::kWorkerDiedRetry;
    } else {
        text = texts::kWorkerSilent;
        if (!e.queueName.empty()) text += texts::kWorkerSilentJob + jobName(e) + ".";
        text += texts::kWorkerSilentAdvice;
    }
    last_ = clockTime(e.when) + ": " + texts::kNoticeWorker;
    notify(texts::kNoticeWorker, text, true);
    view_.showFailure(shortenLongWords(text, kBoxWordRoom));
}

// A job set aside, or one that made no page.
void Feedback::jobSetAside(const JobEvent& e) {
    const std::string job = jobName(e);
    // An empty file was simply deleted: nothing for the user to do.
    if (e.kind == JobEventKind::NothingPrinted && e.reason == SetAsideReason::None) {
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kHistoryEmpty;
        return;
    }
    error_ = true;
    // A box still telling of its next attempt tells that it was set aside.
    JobEvent aside = e;
    aside.kind = JobEventKind::SetAside;
    view_.followFailure(e.queueName, shortenLongWords(failureText(aside), kBoxWordRoom));
    if (e.kind == JobEventKind::NothingPrinted) {
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastEmpty;
        notify(texts::kNoticeEmpty, job + ": " + texts::kAsideNothingPrinted + texts::kKeptOnDisk,
               true);
        return;
    }
    last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastSetAside;
    // A job past a job's limits is set aside at its first error, which the box tells of.
    if (e.failure != JobFailure::None)
        view_.showJobFailure(e.queueName, shortenLongWords(failureText(e), kBoxWordRoom));
    // A job without pages has been told of already.
    if (e.reason != SetAsideReason::NothingPrinted)
        notify(texts::kNoticeSetAside,
               withSystemMessage(job + ": " + asideText(e.reason, e.message) + texts::kKeptOnDisk,
                                 messageIsReason(e.reason, e.message) ? "" : e.message),
               true);
}

// The printer in use changed, or none is there and the PDF folder stands in.
void Feedback::printerEvent(const JobEvent& e) {
    if (e.kind != JobEventKind::PrinterBack)
        printer_ = e.kind == JobEventKind::PrinterMissing ? texts::kPdfPrinterWords : e.printer;
    printerAway_ = e.kind == JobEventKind::PrinterWaiting;
    switch (e.kind) {
        case JobEventKind::PrinterChanged:
            notify(texts::kNoticePrinter,
                   withSystemMessage(std::string(texts::kPrintsTo) + " " + e.printer, e.message),
                   !e.message.empty());
            break;
        case JobEventKind::PrinterMissing:
            notify(texts::kNoticeNoPrinter, texts::kPdfInstead + e.printer + ".", true);
            break;
        case JobEventKind::PrinterWaiting:
            notify(texts::kNoticePrinterWaiting,
                   withSystemMessage(troubleText(e.trouble) + std::string(" ") +
                                         texts::kPrinterWaits + e.printer + texts::kPrinterWaitsEnd,
                                     e.message),
                   true);
            break;
        default:
            notify(texts::kNoticePrinterBack,
                   texts::kPrinterBack + e.printer + texts::kPrinterBackEnd, false);
            break;
    }
}

// A job is in the printer's queue (not yet printed), or sent to a spooler that cannot say
// when it printed.
void Feedback::jobHandedOver(const JobEvent& e) {
    error_ = false;
    view_.followFailure(e.queueName, {});
    const std::string job = jobName(e);
    if (e.kind == JobEventKind::Submitted) {
        last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastInPrinterQueue;
        return;
    }
    if (e.blankSheets) {
        blankSheetsTold(e, job);
        return;
    }
    last_ = job + ", " + clockTime(e.when) + ": " + texts::kLastSent;
    notify(texts::kNoticeSent, job + ": " + std::to_string(e.pages) + texts::kPagesOn + e.printer,
           false);
}

// The folder cannot be watched (or can again), or the archive refused a copy.
void Feedback::folderEvent(const JobEvent& e) {
    if (e.kind == JobEventKind::CaptureImpossible) {
        error_ = true;
        notify(texts::kNoticeCapture, withSystemMessage(texts::kCaptureImpossible, e.message),
               true);
    } else if (e.kind == JobEventKind::CaptureRestored) {
        error_ = false;
    } else {
        // The print itself went on: the tray keeps its state, only the user is told.
        const char* text = e.folder.empty() ? texts::kArchiveCopyLost : texts::kArchiveMoveFailed;
        notify(texts::kArchiveCaption, withSystemMessage(text, e.message), true);
    }
}

// The caption, the monitoring state, the printer, the queue and the last job, a line each.
std::string Feedback::hint() const {
    std::string text = texts::kCaption;
    text += "\n";
    if (!folder_.empty()) text += texts::kHintFolder + folder_ + "\n";
    text += paused_ ? texts::kHintPaused : texts::kHintMonitoring;
    if (!printer_.empty())
        text += std::string("\n") + texts::kHintPrinter + printer_ +
                (printerAway_ ? texts::kHintPrinterAway : "");
    text += std::string("\n") + texts::kHintWaiting + std::to_string(waiting_);
    if (!last_.empty()) text += std::string("\n") + texts::kHintLast + last_;
    return text;
}

// The folder's path, or where it is long its last names after an ellipsis: two icons of two
// folders tell apart by where the path ends, and the tray's hint has little room.
void Feedback::setFolder(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    if (utf16Length(path) > kHintFolderRoom) {
        std::size_t cut = path.size();
        while (cut > 0 && utf16Length(path.substr(cut - 1)) < kHintFolderRoom)
            --cut;
        while (cut < path.size() && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80)
            ++cut;
        const std::size_t separator = path.find_first_of("/\\", cut);
        path = "\u2026" + path.substr(separator == std::string::npos ? cut : separator);
    }
    folder_ = path;
    show();
}

// A set-aside job keeps the icon red until the user prints it again or deletes it: a job
// that prints meanwhile does not make it any less lost.
void Feedback::setSetAside(int count) {
    if (count == setAside_) return;
    setAside_ = count;
    show();
}

// An error outweighs a pause: a paused monitor with a failed job still needs the user.
TrayIconKind Feedback::icon() const {
    if (error_ || printerAway_ || setAside_ > 0) return TrayIconKind::Error;
    return paused_ ? TrayIconKind::Paused : TrayIconKind::Monitoring;
}

// A notification, unless they are switched off.
void Feedback::notify(const char* title, const std::string& text, bool warning) {
    if (notifications_) view_.notify(title, text, warning);
}

// Passes the hint and the icon to the view when they changed.
void Feedback::show() {
    const std::string text = hint();
    const TrayIconKind kind = icon();
    if (shown_ && text == shownHint_ && kind == shownIcon_) return;
    shown_ = true;
    shownHint_ = text;
    shownIcon_ = kind;
    view_.setTrayHint(text);
    view_.setTrayIcon(kind);
}

}  // namespace zelmo
