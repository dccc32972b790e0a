// The spool monitor's tick, the job queue, its retirement and retry rules, and its journal.
#include "pipeline/job_queue.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <thread>
#include <utility>

#include "pipeline/print_worker.h"
#include "pipeline/queue_journal.h"
#include "platform/files.h"
#include "platform/printer.h"
#include "platform/shown_texts.h"

namespace zelmo {
namespace {

// The highest number a document's name carries after word (" nr 17 ponownie (2).pdf"), or 0.
// Only numbers a command can address (32 bits) count, so a stray name cannot exhaust them.
int64_t numberInName(const std::string& name, const std::string& word) {
    if (word.empty()) return 0;
    const std::string mark = " " + word;
    const char* const end = name.data() + name.size();
    int64_t highest = 0;
    for (size_t at = name.find(mark); at != std::string::npos; at = name.find(mark, at + 1)) {
        const char* const digits = name.data() + at + mark.size();
        int32_t number = 0;
        const auto read = std::from_chars(digits, end, number);
        if (read.ec == std::errc() && *digits != '-' &&
            (read.ptr == end || *read.ptr == ' ' || *read.ptr == '.'))
            highest = std::max<int64_t>(highest, number);
    }
    return highest;
}

}  // namespace

// 5 s, 10 s, 20 s, then every 60 s.
std::chrono::seconds RetryPolicy::pauseAfter(int failures) const {
    if (failures <= 1) return std::chrono::seconds(5);
    if (failures == 2) return std::chrono::seconds(10);
    if (failures == 3) return std::chrono::seconds(20);
    return std::chrono::seconds(60);
}

// Binds the monitor to the program's directory and the shared state.
SpoolMonitor::SpoolMonitor(std::string programDir, HandOver& state, Printer& printer,
                           DeviceMetrics& metrics)
    : programDir_(std::move(programDir)),
      monitoredFile_(programDir_ + kMonitoredName),
      state_(state),
      printer_(printer),
      metrics_(metrics),
      store_(programDir_) {}

// "Zelmo" + n + ".Prn" in the program's directory.
std::string SpoolMonitor::queueFileName(int32_t n) const {
    return programDir_ + "Zelmo" + std::to_string(n) + ".Prn";
}

// timerTick: the three steps, in this order, every tick.
void SpoolMonitor::tick(const PrintRequest& settings, PrinterNameDisplay& display) {
    if (journalFailing_) writeJournal();
    capture();
    followSubmitted();
    showPrinter(display);
    handOver(settings);
}

// Whether path names a queue entry not yet retired.
bool SpoolMonitor::inQueue(const std::string& path) const {
    return std::find(queue_.entries.begin(), queue_.entries.end(), path) != queue_.entries.end();
}

// The monitor's clock, the system's unless a test set its own.
WallTime SpoolMonitor::now() const {
    return clock_ ? clock_() : std::chrono::system_clock::now();
}

// Stamps an event and hands it to the sink, if there is one.
void SpoolMonitor::tell(JobEvent event) {
    if (event.when == WallTime{}) event.when = now();
    if (events_) events_->jobEvent(event);
}

// An event about the queue file at path, with its job number.
JobEvent SpoolMonitor::eventAbout(JobEventKind kind, const std::string& path) const {
    JobEvent event;
    event.kind = kind;
    event.queueName = path.substr(programDir_.size());
    if (const auto record = jobs_.find(path); record != jobs_.end())
        event.job = record->second.number;
    return event;
}

// Tells of the queue file at path.
void SpoolMonitor::tell(JobEventKind kind, const std::string& path) {
    tell(eventAbout(kind, path));
}

// An event of the caller's, through the same sink and clock.
void SpoolMonitor::report(JobEvent event) {
    tell(std::move(event));
}

// Captures MonitoredFile once its writer has closed it; at most one file per tick. When the
// file is there but cannot be taken, the user is told once and the tries go on quietly.
bool SpoolMonitor::capture() {
    files::FileInfo info;
    if (!files::fileInfo(monitoredFile_, info)) return false;
    const auto refused = [this](const std::string& why) {
        if (captureRefused_) return false;
        captureRefused_ = true;
        JobEvent event;
        event.kind = JobEventKind::CaptureImpossible;
        event.message = why;
        tell(std::move(event));
        return false;
    };
    // A link could make a file of someone else's a job, and a folder or FIFO is none.
    if (!info.regular) return refused("not a regular file");
    if (!files::openExclusive(monitoredFile_).isOpen()) return false;  // closed at once
    for (int32_t n = 1; n < std::numeric_limits<int32_t>::max(); ++n) {
        const std::string name = queueFileName(n);
        // A queued name is taken even if its file vanished: deleting it later must not hit
        // the file captured now.
        if (inQueue(name) || files::exists(name)) continue;
        // Recorded before the rename, so that a kill right after it leaves a job the next run
        // prints, not a file nobody knows.
        queue_.entries.push_back(name);
        ++queue_.pendingCount;
        jobs_[name] = Job{nextJob_++, name, now()};
        writeJournal();
        const files::RenameResult renamed = files::renameNoReplace(monitoredFile_, name);
        if (renamed == files::RenameResult::Renamed) {
            if (captureRefused_) {
                captureRefused_ = false;
                JobEvent restored;
                restored.kind = JobEventKind::CaptureRestored;
                tell(std::move(restored));
            }
            tell(JobEventKind::Captured, name);
            return true;
        }
        queue_.entries.pop_back();
        --queue_.pendingCount;
        jobs_.erase(name);
        if (renamed == files::RenameResult::TargetExists) continue;
        writeJournal();
        // Refused: the folder cannot be written. Failed: vanished or reopened, and no later
        // number would fare better.
        return renamed == files::RenameResult::Refused ? refused(files::lastErrorMessage()) : false;
    }
    return false;
}

// Shows the printer's name once, when the worker is idle and the metrics can be had.
void SpoolMonitor::showPrinter(PrinterNameDisplay& display) {
    if (printerShown_ || !state_.workerIdle()) return;
    if (!queryDeviceMetrics(metrics_, printer_)) return;
    display.showPrinterName(printer_.printerName());
    printerShown_ = true;
}

// Hands a pending test page, or else the next job, to an idle worker.
bool SpoolMonitor::handOver(const PrintRequest& settings) {
    if (!state_.workerIdle()) return false;
    collectOutcome();
    // A pending test page goes first and leaves the queue untouched.
    if (state_.TestMode.load() == TestPage::None) {
        if (held_ || !advanceQueue()) return false;
        jobAwaitingReport_ = true;
        writeJournal();
    }
    state_.PrintRequest = settings;
    state_.Report = JobReport{};
    state_.setWorkerIdle(false);
    state_.WorkEvent.set();
    return true;
}

// Judges the finished job now rather than at the next hand-over.
bool SpoolMonitor::retireFinished() {
    if (!state_.workerIdle()) return false;
    collectOutcome();
    return true;
}

// Moves the worker's report on the last job handed over into the queue, and judges it.
void SpoolMonitor::collectOutcome() {
    if (!jobAwaitingReport_) return;
    jobAwaitingReport_ = false;
    // A test page printed in the job's place leaves the job itself still to print.
    const JobOutcome outcome = state_.Report.outcome;
    queue_.currentOutcome = outcome == JobOutcome::TestPage ? JobOutcome::NotRun : outcome;
    submitted_ = std::move(state_.Report.submitted);
    judgeCurrent(state_.Report.pages, state_.Report.message);
    // The submission record matters only while the journal says the job was printing.
    if (!currentInterrupted_) files::deleteFile(programDir_ + kSubmittedName);
    writeJournal();
}

// What the outcome means for the current job's file and for the jobs behind it.
void SpoolMonitor::judgeCurrent(int32_t pages, const std::string& message) {
    if (queue_.currentIndex < 0) return;
    const std::string path = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    if (path.empty()) return;
    switch (queue_.currentOutcome) {
        case JobOutcome::Printed:
            return judgePrinted(path, pages);
        case JobOutcome::Failed:
            return judgeFailed(path, message);
        case JobOutcome::Refused:
            // Printing it again would fail the same way, after the same pages.
            printerBack();
            queue_.lastMessage = message;
            setAsideCurrent(SetAsideReason::PastLimits, state_.Report.failure);
            return;
        case JobOutcome::NotText:
            // Its bytes decide, so no attempt would print it.
            queue_.lastMessage = message;
            setAsideCurrent(SetAsideReason::NotText);
            return;
        case JobOutcome::Unreadable:
            if (++queue_.currentLoadTries >= kMaxLoadTries)
                setAsideCurrent(SetAsideReason::Unreadable);
            return;
        case JobOutcome::PrinterUnavailable:
            // Every job would fail the same way: none is counted against, none set aside.
            if (stopping_) return;
            queue_.lastMessage = message;
            awaitPrinter(message);
            return;
        case JobOutcome::NoPrinter:
            // Nothing was sent: it is handed over again at each tick, at no cost.
            printerUnavailable(printer_.printerName(), {}, PrintTrouble::Unreachable);
            return;
        case JobOutcome::NotRun:
        case JobOutcome::TestPage:
        case JobOutcome::NotStarted:
            return;
    }
}

// A job that ran to its end: retired when it made pages (or was an empty file), else set aside.
void SpoolMonitor::judgePrinted(const std::string& path, int32_t pages) {
    if (pages > 0) printerBack();
    files::FileInfo info;
    const bool empty = files::fileInfo(path, info) && info.size == 0;
    if (pages > 0 && submitted_) {
        submitCurrent(std::move(submitted_), pages);
    } else if (pages > 0 || empty) {
        // An empty file is no printout at all: deleted, with a line in the log.
        JobEvent event =
            eventAbout(pages > 0 ? JobEventKind::Printed : JobEventKind::NothingPrinted, path);
        event.pages = pages;
        event.printer = printer_.printerName();
        event.blankSheets = state_.Report.blank;
        event.pdf = state_.Report.document;
        tell(std::move(event));
        remember(path, pages > 0 ? HistoryEntry::Outcome::Printed : HistoryEntry::Outcome::Empty,
                 pages, state_.Report.document);
        if (pages > 0) store_.keep(path, jobNumber(path));
        retireCurrent(true);
    } else {
        // Bytes that made no page are not a job done: its owner must see them.
        JobEvent event = eventAbout(JobEventKind::NothingPrinted, path);
        event.reason = SetAsideReason::NothingPrinted;
        tell(std::move(event));
        setAsideCurrent(SetAsideReason::NothingPrinted);
    }
}

// A job that failed: tried again after a pause, set aside after too many failures.
void SpoolMonitor::judgeFailed(const std::string& path, const std::string& message) {
    // Stopped in the middle: pages may have reached the printer, so it is never simply tried
    // again; the next run sets it aside.
    if (stopping_) {
        currentInterrupted_ = true;
        return;
    }
    printerBack();
    queue_.lastMessage = message;
    JobEvent event = eventAbout(JobEventKind::Failed, path);
    event.message = message;
    event.trouble = state_.Report.trouble;
    event.captured = capturedAt(event.queueName);
    event.failure = state_.Report.failure;
    event.attempt = ++queue_.currentFailures;
    const bool last = queue_.currentFailures >= retry_.maxAttempts;
    // What comes next is the set-aside that follows.
    if (last) event.reason = SetAsideReason::TooManyFailures;
    // The failure is told with what comes next, so the next attempt is planned first.
    if (!last) {
        queue_.retryPending = true;
        queue_.retryPause = retry_.pauseAfter(queue_.currentFailures);
        queue_.nextAttempt = now() + queue_.retryPause;
        event.nextAttempt = queue_.nextAttempt;
    }
    tell(event);
    if (last) {
        setAsideCurrent(SetAsideReason::TooManyFailures);
        return;
    }
    event.kind = JobEventKind::RetryScheduled;
    event.nextAttempt = queue_.nextAttempt;
    event.failure = JobFailure::None;  // told with the failure
    tell(std::move(event));
}

// When the queue file name was captured: its file's time, which the capture's rename keeps.
// Read only for a failure, so the folder's listing costs nothing on the way of a print.
WallTime SpoolMonitor::capturedAt(const std::string& name) const {
    for (const files::FileInfo& entry : files::listFolder(programDir_))
        if (entry.name == name)
            return std::chrono::system_clock::from_time_t(entry.modifiedSeconds);
    return {};
}

// The wait begins (told once) or goes on; the next try comes after a pause that grows to 60 s.
void SpoolMonitor::awaitPrinter(const std::string& message) {
    printerUnavailable(printer_.printerName(), message, state_.Report.trouble);
    queue_.retryPending = true;
    queue_.retryPause = retry_.pauseAfter(++printerTries_);
    queue_.nextAttempt = now() + queue_.retryPause;
}

// Told once per wait, whoever noticed it first: the worker's printer or the window's choice.
void SpoolMonitor::printerUnavailable(const std::string& name, const std::string& message,
                                      PrintTrouble trouble) {
    if (printerWaiting_) return;
    printerWaiting_ = true;
    printerTries_ = 0;
    JobEvent event;
    event.kind = JobEventKind::PrinterWaiting;
    event.printer = name;
    event.message = message;
    event.trouble = trouble;
    tell(std::move(event));
}

// The end of the wait, told once; a job the print system still keeps from the printer means
// the printer is not back, whatever else reached the print system.
void SpoolMonitor::printerBack() {
    if (!printerWaiting_ || heldUp_) return;
    printerWaiting_ = false;
    printerTries_ = 0;
    JobEvent event;
    event.kind = JobEventKind::PrinterBack;
    event.printer = printer_.printerName();
    tell(std::move(event));
}

// The printer behind the queue changed: the job waiting for it need not sit out its pause.
void SpoolMonitor::printerReplaced() {
    if (!printerWaiting_) return;
    const bool jobWaits = queue_.currentIndex >= 0 && queue_.pendingCount > 0 &&
                          !queue_.entries[static_cast<std::size_t>(queue_.currentIndex)].empty();
    if (!jobWaits) {
        printerBack();
        return;
    }
    // While the printer is waited for, a pending retry is the printer's, never a job's pause.
    if (queue_.retryPending) queue_.nextAttempt = now();
}

// Retires the current entry, deleting its file only when asked.
void SpoolMonitor::retireCurrent(bool deleteFile) {
    std::string& entry = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    if (deleteFile) {
        files::deleteFile(entry);
        jobs_.erase(entry);
    }
    entry.clear();
    --queue_.pendingCount;
    queue_.currentFailures = 0;
    queue_.retryPending = false;
    queue_.lastMessage.clear();
    currentInterrupted_ = false;
}

// Keeps the current job's file on disk, out of the queue, and says why.
void SpoolMonitor::setAsideCurrent(SetAsideReason reason, JobFailure failure) {
    const std::string path = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    aside_[path] = AsideFile{reason, queue_.lastMessage};
    JobEvent event = eventAbout(JobEventKind::SetAside, path);
    event.reason = reason;
    event.message = queue_.lastMessage;
    event.attempt = queue_.currentFailures;
    event.failure = failure;
    // Given up with an error: the box that tells of it names the job by its capture too.
    if (failure != JobFailure::None) event.captured = capturedAt(event.queueName);
    tell(std::move(event));
    retireCurrent(false);
}

// The print system has the document; the user learns it printed only when it has.
void SpoolMonitor::submitCurrent(std::shared_ptr<SubmittedDocument> document, int32_t pages) {
    const std::string path = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    SentFile sent{path,
                  std::move(document),
                  pages,
                  printer_.printerName(),
                  queue_.currentFailures,
                  state_.Report.blank};
    if (sent.document->state() == SubmittedState::Queued) {
        JobEvent event = eventAbout(JobEventKind::Submitted, path);
        event.pages = pages;
        event.printer = sent.printer;
        tell(std::move(event));
    }
    sent_.push_back(std::move(sent));
    retireCurrent(false);
    followSubmitted();
}

// Each sent job the print system has finished with is settled, in submission order.
void SpoolMonitor::followSubmitted() {
    const auto settled = std::remove_if(sent_.begin(), sent_.end(),
                                        [this](SentFile& sent) { return settleSent(sent); });
    if (settled != sent_.end()) {
        sent_.erase(settled, sent_.end());
        writeJournal();
    }
    watchHoldUp();
}

// The first sent job held up speaks for the printer; the wait ends when none is.
void SpoolMonitor::watchHoldUp() {
    for (const SentFile& sent : sent_) {
        const HoldUp hold = sent.document->holdUp();
        if (hold.message.empty()) continue;
        if (!heldUp_) printerUnavailable(sent.printer, hold.message, hold.trouble);
        heldUp_ = true;
        return;
    }
    if (!heldUp_) return;
    heldUp_ = false;
    printerBack();
}

// Printed (told, file deleted), unknown to the print system (told as sent), or failed.
bool SpoolMonitor::settleSent(SentFile& sent) {
    const SubmittedState state = sent.document->state();
    if (state == SubmittedState::Queued) return false;
    // Asked about after a restart, a job the print system cannot account for may or may not
    // have printed: only its owner can tell.
    if (state == SubmittedState::Unknown && sent.resumed) {
        setAsideInterrupted(sent.path);
        return true;
    }
    sent.document->settled(state != SubmittedState::Failed);
    if (state == SubmittedState::Failed) {
        sentFailed(sent);
        return true;
    }
    JobEvent event = eventAbout(
        state == SubmittedState::Completed ? JobEventKind::Printed : JobEventKind::Sent, sent.path);
    event.pages = sent.pages;
    event.printer = sent.printer;
    event.blankSheets = sent.blank;
    tell(std::move(event));
    remember(sent.path,
             state == SubmittedState::Completed ? HistoryEntry::Outcome::Printed
                                                : HistoryEntry::Outcome::Sent,
             sent.pages, {});
    store_.keep(sent.path, jobNumber(sent.path));
    jobs_.erase(sent.path);
    return true;
}

// Aborted or canceled in the print system: one more failed attempt of the job's own.
void SpoolMonitor::sentFailed(SentFile& sent) {
    JobEvent event = eventAbout(JobEventKind::Failed, sent.path);
    event.message = sent.document->message();
    event.attempt = ++sent.failures;
    if (sent.failures >= retry_.maxAttempts) event.reason = SetAsideReason::TooManyFailures;
    tell(event);
    if (sent.failures >= retry_.maxAttempts) {
        aside_[sent.path] = AsideFile{SetAsideReason::TooManyFailures, event.message};
        event.kind = JobEventKind::SetAside;
        event.reason = SetAsideReason::TooManyFailures;
        tell(std::move(event));
        return;
    }
    // Behind the jobs queued meanwhile: their order in the print system is kept.
    queue_.entries.push_back(sent.path);
    ++queue_.pendingCount;
    jobs_[sent.path].attempts = sent.failures;
}

// A file removed by hand is no longer the user's to act on.
int32_t SpoolMonitor::setAsideCount() const {
    return static_cast<int32_t>(std::count_if(aside_.begin(), aside_.end(), [](const auto& aside) {
        return files::exists(aside.first);
    }));
}

// Whether the file is in the print system's queue.
bool SpoolMonitor::isSent(const std::string& path) const {
    return std::any_of(sent_.begin(), sent_.end(),
                       [&](const SentFile& sent) { return sent.path == path; });
}

// Selects the job to hand over: the current one again while it is neither done nor waiting
// for its retry, else the next queued one. False when there is nothing to hand over now.
bool SpoolMonitor::advanceQueue() {
    if (queue_.currentIndex >= 0 &&
        !queue_.entries[static_cast<std::size_t>(queue_.currentIndex)].empty()) {
        if (queue_.retryPending) {
            const WallTime at = now();
            // A clock set back must not hold the job longer than its pause.
            const bool clockWentBack = queue_.nextAttempt - at > queue_.retryPause;
            if (at < queue_.nextAttempt && !clockWentBack) return false;
            queue_.retryPending = false;
        }
        // Not printed and not given up: the same job is handed over again.
        setCurrentJob(queue_.entries[static_cast<std::size_t>(queue_.currentIndex)]);
        return true;
    }
    return selectNext();
}

// The job at path is the one the next hand-over carries; one without a number is given one.
void SpoolMonitor::setCurrentJob(const std::string& path) {
    jobNumber(path);
    state_.CurrentJob = jobs_[path];
}

// The next non-empty entry after the current one becomes current.
bool SpoolMonitor::selectNext() {
    if (queue_.pendingCount <= 0) {
        queue_.entries.clear();
        queue_.currentIndex = -1;
        return false;
    }
    const auto size = static_cast<int32_t>(queue_.entries.size());
    do {
        ++queue_.currentIndex;
    } while (queue_.currentIndex < size - 1 &&
             queue_.entries[static_cast<std::size_t>(queue_.currentIndex)].empty());
    setCurrentJob(queue_.entries[static_cast<std::size_t>(queue_.currentIndex)]);
    queue_.currentOutcome = JobOutcome::NotStarted;
    queue_.currentLoadTries = 0;
    queue_.currentFailures = 0;
    queue_.retryPending = false;
    // A job the print system gave back keeps the attempts it used up.
    Job& job = jobs_[state_.CurrentJob.file];
    queue_.currentFailures = job.attempts;
    job.attempts = 0;
    return true;
}

// shutDown's pipeline part: the worker ends first, then the last job handed over is judged
// and the journal records what the next run is to resume.
bool SpoolMonitor::shutdown(PrintWorker& worker, std::chrono::milliseconds patience) {
    worker.terminate();
    state_.WorkEvent.set();
    stopping_ = true;
    if (!worker.waitFor(patience)) {
        writeJournal();
        return false;
    }
    collectOutcome();
    writeJournal();
    return true;
}

// A dead worker is replaced at once; a live one is watched for a silence.
void SpoolMonitor::superviseWorker(std::unique_ptr<PrintWorker>& worker,
                                   const WorkerFactory& make) {
    if (!worker->died()) {
        watchSilence(worker->progress());
        return;
    }
    // Its thread has ended: the wait in its destructor returns at once.
    worker.reset();
    // The document it left open is given up, so that the next one can begin.
    try {
        if (printer_.printing()) printer_.abort();
    } catch (...) {
        // The printer object's own state is reset by the abort whatever its call said.
    }
    printer_.jobEnded(false);
    workerDied();
    worker = make();
}

// The hand-over that will never be reported is taken as one that ended the worker.
void SpoolMonitor::workerDied() {
    // The old worker's end set the event; the new one must wait for a hand-over of its own.
    state_.WorkEvent.reset();
    state_.JobBuffer.reset();
    state_.Report.outcome = JobOutcome::NotStarted;
    state_.setWorkerIdle(true);
    workerSeen_ = WallTime{};
    JobEvent event;
    event.kind = JobEventKind::WorkerDied;
    const bool held = jobAwaitingReport_ && queue_.currentIndex >= 0 &&
                      !queue_.entries[static_cast<std::size_t>(queue_.currentIndex)].empty();
    jobAwaitingReport_ = false;
    if (!held) {
        tell(std::move(event));
        return;
    }
    const std::string path = queue_.entries[static_cast<std::size_t>(queue_.currentIndex)];
    event = eventAbout(JobEventKind::WorkerDied, path);
    event.attempt = ++jobs_[path].breaks;
    tell(std::move(event));
    // As after a kill: a job that may be partly in the print system is never printed twice.
    std::string submitted;
    const bool maybeOut =
        files::readSmallFile(programDir_ + kSubmittedName, submitted) &&
        submitted == formatSubmitted(path.substr(programDir_.size()), jobs_[path].number);
    files::deleteFile(programDir_ + kSubmittedName);
    // Handed over again otherwise, to the new worker, at the next tick.
    if (maybeOut)
        setAsideCurrent(SetAsideReason::Interrupted);
    else if (jobs_[path].breaks >= kMaxWorkerBreaks)
        setAsideCurrent(SetAsideReason::BrokeWorker);
    writeJournal();
}

// A worker that holds a hand-over and stops getting on is told of once per silence.
void SpoolMonitor::watchSilence(uint64_t progress) {
    if (state_.workerIdle()) {
        workerSeen_ = WallTime{};
        return;
    }
    const WallTime at = now();
    if (workerSeen_ == WallTime{} || progress != workerProgress_) {
        workerProgress_ = progress;
        workerSeen_ = at;
        workerSilenceTold_ = false;
        return;
    }
    if (workerSilenceTold_ || at - workerSeen_ < kWorkerSilence) return;
    workerSilenceTold_ = true;
    JobEvent event;
    event.kind = JobEventKind::WorkerSilent;
    if (jobAwaitingReport_ && queue_.currentIndex >= 0)
        event = eventAbout(JobEventKind::WorkerSilent,
                           queue_.entries[static_cast<std::size_t>(queue_.currentIndex)]);
    tell(std::move(event));
}

// The journal as the queue stands.
Journal SpoolMonitor::journal() const {
    Journal journal;
    journal.nextJob = nextJob_;
    journal.held = held_;
    const auto entry = [this](JournalEntry::State state, const std::string& path,
                              SetAsideReason reason) {
        const auto record = jobs_.find(path);
        Job job = record != jobs_.end() ? record->second : Job{};
        job.file = path;
        JournalEntry line = journalLine(state, job, programDir_);
        line.reason = reason;
        return line;
    };
    for (std::size_t i = 0; i < queue_.entries.size(); ++i) {
        const std::string& path = queue_.entries[i];
        if (path.empty()) continue;
        const bool current = static_cast<int32_t>(i) == queue_.currentIndex;
        const bool printing = current && (jobAwaitingReport_ || currentInterrupted_);
        journal.entries.push_back(entry(
            printing ? JournalEntry::State::Printing : JournalEntry::State::Waiting, path, {}));
        // Counted before it can happen: an attempt the program does not survive leaves no
        // chance to write the journal afterwards.
        if (current && jobAwaitingReport_) ++journal.entries.back().breaks;
    }
    // A job in the print system's queue may print or not after we stop: the next run keeps it
    // aside as one interrupted, never prints it again on its own.
    for (const SentFile& sent : sent_) {
        JournalEntry line =
            entry(JournalEntry::State::Aside, sent.path, SetAsideReason::Interrupted);
        line.systemJob = sent.document->systemJob();
        line.pages = sent.pages;
        line.printer = sent.printer;
        journal.entries.push_back(std::move(line));
    }
    for (const auto& [path, aside] : aside_) {
        journal.entries.push_back(entry(JournalEntry::State::Aside, path, aside.reason));
        journal.entries.back().message = aside.message;
    }
    return journal;
}

// Writes the journal when what it should hold changed. It stays even with nothing queued, for
// the job numbers.
void SpoolMonitor::writeJournal() {
    const std::string text = formatJournal(journal());
    if (text == journalWritten_) return;
    if (files::replaceFileAtomically(programDir_ + kJournalName, text)) {
        journalWritten_ = text;
        if (failedMarkFound_ || journalFailing_)
            files::deleteFile(programDir_ + kJournalFailedName);
        failedMarkFound_ = false;
        if (!journalFailing_) return;
        journalFailing_ = false;
        JobEvent restored;
        restored.kind = JobEventKind::JournalRestored;
        tell(std::move(restored));
        return;
    }
    if (journalFailing_) return;
    journalFailing_ = true;
    // The next run must know that files newer than the journal may be missing from it.
    files::appendToFile(programDir_ + kJournalFailedName, {});
    JobEvent failed;
    failed.kind = JobEventKind::JournalFailed;
    failed.message = files::lastErrorMessage();
    tell(std::move(failed));
}

// The job's number; a file that has none (a leftover) is given the next one.
int64_t SpoolMonitor::jobNumber(const std::string& path) {
    Job& record = jobs_[path];
    record.file = path;
    if (record.number == 0) {
        record.number = nextJob_++;
        if (record.captured == WallTime{}) record.captured = now();
    }
    return record.number;
}

// The job's line in the history, the oldest dropped past its length.
void SpoolMonitor::remember(const std::string& path, HistoryEntry::Outcome outcome, int32_t pages,
                            const std::string& pdf) {
    jobNumber(path);
    HistoryEntry entry = historyEntry(jobs_[path], programDir_);
    entry.finished = now();
    entry.pages = pages;
    entry.outcome = outcome;
    if (outcome != HistoryEntry::Outcome::Deleted) entry.printer = printer_.printerName();
    entry.pdf = pdf;
    history_.push_back(std::move(entry));
    while (history_.size() > kHistoryLength)
        history_.pop_front();
    files::replaceFileAtomically(programDir_ + kHistoryName, formatHistory(history_));
}

// Queues path again at the end, under its recorded number.
void SpoolMonitor::requeue(const Job& job) {
    const std::string path = job.file;
    jobs_[path] = job;
    jobNumber(path);
    queue_.entries.push_back(path);
    ++queue_.pendingCount;
    tell(JobEventKind::Resumed, path);
}

// The job a waiting or printing line records, with the attempts that broke the worker.
Job SpoolMonitor::queuedJob(const JournalEntry& entry) const {
    Job job = journaledJob(entry, programDir_);
    job.breaks = entry.breaks;
    return job;
}

// A job interrupted by the stop prints again by itself unless part of it may have reached the
// print system, which only the worker's submission record can say.
void SpoolMonitor::resumePrinting(const JournalEntry& entry, const std::string& path) {
    std::string submitted;
    const bool maybeOut = files::readSmallFile(programDir_ + kSubmittedName, submitted) &&
                          submitted == formatSubmitted(entry.name, entry.job);
    const bool interrupted = maybeOut && entry.job != 0;
    if (!interrupted && entry.breaks < kMaxWorkerBreaks) {
        requeue(queuedJob(entry));
        return;
    }
    const SetAsideReason reason =
        interrupted ? SetAsideReason::Interrupted : SetAsideReason::BrokeWorker;
    jobs_[path] = journaledJob(entry, programDir_);
    if (entry.job == 0) jobNumber(path);
    setAsideInterrupted(path, reason);
}

// Sets aside a job whose last attempt the stop cut short, with its log line and notification.
void SpoolMonitor::setAsideInterrupted(const std::string& path, SetAsideReason reason) {
    aside_[path] = AsideFile{reason, {}};
    JobEvent event = eventAbout(JobEventKind::SetAside, path);
    event.reason = reason;
    tell(std::move(event));
}

// The print system is asked again; its answer comes as for any job sent in this run.
void SpoolMonitor::resumeSent(const JournalEntry& entry, const std::string& path) {
    jobs_[path] = journaledJob(entry, programDir_);
    if (entry.job == 0) jobNumber(path);
    auto document =
        entry.systemJob > 0 && lookup_ ? lookup_(entry.printer, entry.systemJob) : nullptr;
    if (!document) return setAsideInterrupted(path);
    SentFile sent{path, std::move(document), entry.pages, entry.printer, 0};
    sent.resumed = true;
    sent_.push_back(std::move(sent));
}

// Files captured while the journal could not be written have no line in it, yet are newer.
void SpoolMonitor::recogniseUnrecorded(int64_t journalSeconds) {
    std::vector<std::pair<int32_t, std::string>> found;
    for (const files::FileInfo& entry : files::listFolder(programDir_)) {
        const std::string path = programDir_ + entry.name;
        const int32_t number = queueFileNumber(entry.name);
        if (number == 0 || !entry.regular || inQueue(path) || aside_.count(path)) continue;
        // A capture keeps the time its writer gave the file, which may precede by a moment
        // the journal's last write in the same tick.
        if (entry.modifiedSeconds + kUnrecordedSlackSeconds < journalSeconds) continue;
        found.emplace_back(number, path);
    }
    std::sort(found.begin(), found.end());
    for (const auto& [number, path] : found)
        requeue(Job{0, path});
}

// Takes up what the last run left in its journal.
void SpoolMonitor::resume() {
    std::string remembered;
    if (files::readSmallFile(programDir_ + kHistoryName, remembered))
        history_ = parseHistory(remembered);
    for (const HistoryEntry& entry : history_)
        nextJob_ = std::max(nextJob_, entry.job + 1);
    const std::string journalPath = programDir_ + kJournalName;
    std::string text;
    files::FileInfo journalInfo;
    // Without a journal there is nothing to take up, but one is written at once: files
    // captured later are recognised against its time should it fail to be written again.
    if (!files::fileInfo(journalPath, journalInfo) || !journalInfo.regular ||
        !files::readSmallFile(journalPath, text)) {
        writeJournal();
        return;
    }
    journalWritten_ = text;
    const Journal journal = parseJournal(text);
    held_ = held_ || journal.held;
    nextJob_ = std::max(nextJob_, journal.nextJob);
    for (const JournalEntry& entry : journal.entries)
        nextJob_ = std::max(nextJob_, entry.job + 1);
    for (const JournalEntry& entry : journal.entries) {
        const std::string path = programDir_ + entry.name;
        files::FileInfo info;
        if (!files::fileInfo(path, info) || !info.regular || inQueue(path) || aside_.count(path))
            continue;
        switch (entry.state) {
            case JournalEntry::State::Waiting:
                requeue(queuedJob(entry));
                break;
            case JournalEntry::State::Printing:
                resumePrinting(entry, path);
                break;
            case JournalEntry::State::Aside:
                if (entry.reason == SetAsideReason::Interrupted && entry.systemJob > 0) {
                    resumeSent(entry, path);
                    break;
                }
                jobs_[path] = journaledJob(entry, programDir_);
                if (entry.job == 0) jobNumber(path);
                aside_[path] = AsideFile{entry.reason, entry.message};
                break;
        }
    }
    failedMarkFound_ = files::exists(programDir_ + kJournalFailedName);
    if (failedMarkFound_) recogniseUnrecorded(journalInfo.modifiedSeconds);
    writeJournal();
}

void SpoolMonitor::continueNumbersAfter(const std::string& folder) {
    if (folder.empty()) return;
    const bool separated = folder.back() == '/' || folder.back() == '\\';
    for (const files::FileInfo& entry : files::listFolder(separated ? folder : folder + '/'))
        nextJob_ = std::max(nextJob_, numberInName(entry.name, shownTexts().jobNumber) + 1);
}

// Every queue file of the folder and where it stands.
std::vector<QueueFileInfo> SpoolMonitor::snapshot() const {
    std::vector<QueueFileInfo> files;
    for (const files::FileInfo& entry : files::listFolder(programDir_)) {
        const int32_t number = queueFileNumber(entry.name);
        if (number == 0 || !entry.regular) continue;
        QueueFileInfo info;
        info.number = number;
        info.name = entry.name;
        const std::string path = programDir_ + entry.name;
        if (const auto record = jobs_.find(path); record != jobs_.end()) info.job = record->second;
        info.job.file = path;
        info.size = entry.size;
        info.modified = std::chrono::system_clock::from_time_t(entry.modifiedSeconds);
        const auto at = std::find(queue_.entries.begin(), queue_.entries.end(), path);
        if (at != queue_.entries.end()) {
            const auto index = static_cast<int32_t>(at - queue_.entries.begin());
            info.position = static_cast<int>(std::count_if(
                queue_.entries.begin(), at, [](const std::string& e) { return !e.empty(); }));
            info.state = QueueFileState::Waiting;
            if (index == queue_.currentIndex) {
                info.attempt = queue_.currentFailures;
                info.message = queue_.lastMessage;
                // Without a printer the job is handed over on every tick and comes straight
                // back: it is printing only while the worker holds it.
                const bool held = jobAwaitingReport_ && !state_.workerIdle();
                const bool noPrinter =
                    !held &&
                    (printerWaiting_ || queue_.currentOutcome == JobOutcome::NoPrinter ||
                     (jobAwaitingReport_ && state_.Report.outcome == JobOutcome::NoPrinter));
                if (noPrinter) {
                    info.state = QueueFileState::WaitingForPrinter;
                    if (queue_.retryPending) info.nextAttempt = queue_.nextAttempt;
                } else if (jobAwaitingReport_) {
                    info.state = QueueFileState::Printing;
                } else if (queue_.retryPending && !held_) {
                    info.state = QueueFileState::Retrying;
                    info.nextAttempt = queue_.nextAttempt;
                }
            }
            if (held_ && info.state == QueueFileState::Waiting) info.state = QueueFileState::Held;
        } else if (isSent(path)) {
            info.state = QueueFileState::InPrinterQueue;
        } else if (const auto aside = aside_.find(path); aside != aside_.end()) {
            info.state = QueueFileState::SetAside;
            info.reason = aside->second.reason;
            info.message = aside->second.message;
        }
        files.push_back(std::move(info));
    }
    std::sort(files.begin(), files.end(), [](const QueueFileInfo& a, const QueueFileInfo& b) {
        const bool aQueued = a.position >= 0;
        const bool bQueued = b.position >= 0;
        if (aQueued != bQueued) return aQueued;
        return aQueued ? a.position < b.position : a.number < b.number;
    });
    return files;
}

// Queues a set-aside or leftover file again, behind every job already queued.
bool SpoolMonitor::printAgain(const std::string& name) {
    if (queueFileNumber(name) == 0) return false;
    const std::string path = programDir_ + name;
    files::FileInfo info;
    if (inQueue(path) || isSent(path) || !files::fileInfo(path, info) || !info.regular)
        return false;
    aside_.erase(path);
    jobNumber(path);
    jobs_[path].again = true;
    queue_.entries.push_back(path);
    ++queue_.pendingCount;
    tell(JobEventKind::PrintAgain, path);
    writeJournal();
    return true;
}

// Deletes a queue file the worker does not hold.
bool SpoolMonitor::deleteQueueFile(const std::string& name) {
    if (queueFileNumber(name) == 0) return false;
    // A job with no printer is handed over on every tick and comes straight back: its user may
    // delete it all the same, so the probe in flight is waited for, briefly, and its report taken.
    if (jobAwaitingReport_ && queue_.currentOutcome == JobOutcome::NoPrinter) {
        for (int i = 0; i < 100 && !state_.workerIdle(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (jobAwaitingReport_ && state_.workerIdle()) collectOutcome();
    const std::string path = programDir_ + name;
    const auto at = std::find(queue_.entries.begin(), queue_.entries.end(), path);
    const bool queued = at != queue_.entries.end();
    const bool current =
        queued && static_cast<int32_t>(at - queue_.entries.begin()) == queue_.currentIndex;
    // Handed over and not yet reported: the worker may be reading or printing it.
    if (current && (jobAwaitingReport_ || !state_.workerIdle())) return false;
    if (!files::deleteFile(path)) return false;
    if (current) {
        retireCurrent(false);
    } else if (queued) {
        at->clear();
        --queue_.pendingCount;
    }
    aside_.erase(path);
    // Out of our sight; the print system keeps its copy of a sent one.
    sent_.erase(std::remove_if(sent_.begin(), sent_.end(),
                               [&](const SentFile& sent) { return sent.path == path; }),
                sent_.end());
    tell(JobEventKind::Deleted, path);
    if (jobs_.count(path)) remember(path, HistoryEntry::Outcome::Deleted, 0, {});
    jobs_.erase(path);
    writeJournal();
    return true;
}

// A name as the capture would choose it: a queued name counts as taken even without its file.
std::string SpoolMonitor::freeQueueName() const {
    for (int32_t n = 1; n < std::numeric_limits<int32_t>::max(); ++n) {
        const std::string name = queueFileName(n);
        if (!inQueue(name) && !files::exists(name)) return name;
    }
    return {};
}

// A copy of the kept file becomes a queue file of its own, so that the store keeps its copy
// whatever becomes of this print. Copied before the journal names it: a kill in between leaves
// a leftover that never prints by itself, never a job printed twice.
SpoolMonitor::AgainResult SpoolMonitor::printAgainFinished(int64_t job) {
    const std::string kept = store_.fileOf(job);
    if (kept.empty()) return AgainResult::NotKept;
    files::File from = files::openRegular(kept);
    const std::string path = freeQueueName();
    if (!from.isOpen() || path.empty() || !files::copyToNewFile(from, path))
        return AgainResult::Failed;
    WallTime captured = now();
    for (auto entry = history_.rbegin(); entry != history_.rend(); ++entry)
        if (entry->job == job) {
            captured = entry->captured;
            break;
        }
    jobs_[path] = Job{job, path, captured, true};
    queue_.entries.push_back(path);
    ++queue_.pendingCount;
    tell(JobEventKind::PrintAgain, path);
    writeJournal();
    return AgainResult::Queued;
}

}  // namespace zelmo
