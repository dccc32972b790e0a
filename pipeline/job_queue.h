// The spool monitor and job queue, run on the window thread by its 500 ms timer. Each tick
// captures a finished "Wydruk.prn" into a numbered queue file, shows the printer's name once,
// retires the job the worker has finished and hands it the next job or a requested test page.
// Toolkit-neutral: the window calls tick() from timerTick and shutdown() from shutDown.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "output/device_metrics.h"
#include "output/print_request.h"
#include "pipeline/handover.h"
#include "pipeline/job.h"
#include "pipeline/job_events.h"
#include "pipeline/job_history.h"
#include "pipeline/printed_store.h"
#include "pipeline/queue_journal.h"

namespace zelmo {

class Printer;
class PrintWorker;

constexpr const char* kMonitoredName = "Wydruk.prn";
// A queue file whose load keeps failing is given up after this many tries, so that one bad
// file never blocks the queue; its file stays on disk.
constexpr int kMaxLoadTries = 8;
// The journal of the queue, beside the queue files.
constexpr const char* kJournalName = "Zelmo.queue";
// An empty file made beside the journal while the journal cannot be written (an empty file
// needs no room for data, so a full disk still takes it), removed once it is written again.
constexpr const char* kJournalFailedName = "Zelmo.queue.failed";
// A job during two attempts at which the worker (or the whole program) ended is set aside: a
// third would most likely end it again and hold up every job behind it.
constexpr int kMaxWorkerBreaks = 2;
// How long the worker may hold a hand-over with no progress (no hand-over, document or page
// begun or ended) before the user is told it does not answer. Composing the largest page takes
// seconds; a print system's call that never returns takes for ever.
constexpr std::chrono::minutes kWorkerSilence{5};
// How long the end of the program waits for a worker inside a print system that hangs: longer
// than a printer call that goes on takes to notice the stop, shorter than a user's patience.
constexpr std::chrono::seconds kShutdownPatience{10};
// How much older than the journal a queue file it does not name may be and still count as
// captured after the journal's last write.
constexpr int64_t kUnrecordedSlackSeconds = 2;

// How a job whose printing failed is tried again: after a pause that grows with each failure,
// until maxAttempts attempts failed; then its file is set aside and the next job prints. A
// printer that takes no document at all is tried after the same pauses, for as long as it
// takes, and counts no attempt.
struct RetryPolicy {
    int maxAttempts = 10;
    // The pause after the n-th failure (n from 1): 5 s, 10 s, 20 s, then every 60 s.
    std::chrono::seconds pauseAfter(int failures) const;
};

// Where each queue file in the folder stands, for the queue window.
enum class QueueFileState {
    Waiting,            // in the queue, its turn to come
    Printing,           // handed to the worker
    Retrying,           // failed; tried again at nextAttempt
    SetAside,           // kept on disk out of the queue, for reason
    Leftover,           // from an earlier run or put there by hand: printed only if the user asks
    WaitingForPrinter,  // its turn has come, but there is no printer to take it
    InPrinterQueue,     // in the print system's queue: sent, not yet printed
    Held,               // in the queue while printing is paused
};

struct QueueFileInfo {
    Job job;             // its file's path always; number 0 and no capture time for a leftover
    int32_t number = 0;  // N of "Zelmo" + N + ".Prn"
    std::string name;    // file name only
    WallTime modified{};
    uint64_t size = 0;
    QueueFileState state = QueueFileState::Leftover;
    int position = -1;  // place in print order among the queued jobs (0 = next/current); -1 outside
    int attempt = 0;    // failed attempts so far
    WallTime nextAttempt{};
    SetAsideReason reason = SetAsideReason::None;
    std::string message;  // the last failure's system message, if any
};

// The captured queue files. Retired entries become empty strings so positions stay stable.
struct JobQueue {
    std::vector<std::string> entries;
    int32_t pendingCount = 0;   // captured and not retired, the one the worker holds included
    int32_t currentIndex = -1;  // the entry handed over most recently; -1 when none
    // What the worker made of the current entry, and how often it could not be loaded.
    JobOutcome currentOutcome = JobOutcome::NotStarted;
    int currentLoadTries = 0;
    // Failed attempts at printing the current entry, and when the next one may start.
    int currentFailures = 0;
    bool retryPending = false;
    WallTime nextAttempt{};
    std::chrono::seconds retryPause{0};  // the pause that nextAttempt ends
    std::string lastMessage;             // the system's message of the last failure
};

// Where the printer's name is shown (Label_Printer), once per run.
class PrinterNameDisplay {
  public:
    virtual ~PrinterNameDisplay() = default;
    virtual void showPrinterName(const std::string& name) = 0;
};

class SpoolMonitor {
  public:
    // programDir ends with a path separator.
    SpoolMonitor(std::string programDir, HandOver& state, Printer& printer, DeviceMetrics& metrics);

    // One timerTick tick: capture, printer name, hand-over with the window's current settings.
    void tick(const PrintRequest& settings, PrinterNameDisplay& display);

    // Step 1: moves a finished MonitoredFile to the first free queue name; true when captured.
    bool capture();
    // Step 2: shows the printer's name once the worker is idle and the metrics are known.
    void showPrinter(PrinterNameDisplay& display);
    // Step 3: hands the next job or a pending test page to an idle worker; true when handed.
    // While held, the worker's last report is still taken, but no job is handed over.
    bool handOver(const PrintRequest& settings);
    // Takes the report of an idle worker on the job it finished: the job is retired, kept
    // for its retry or set aside, and the journal written. False while the worker is busy.
    bool retireFinished();
    // Pausing holds printing, never capture: a printout written meanwhile must not be lost
    // to the next one overwriting it. A test page the user asks for still prints.
    // The pause is kept in the journal, so that it outlives the run; a change only, so that
    // the start's unpaused state never writes over the journal the run is yet to read.
    void setHeld(bool held) {
        if (held == held_) return;
        held_ = held;
        writeJournal();
    }
    bool held() const { return held_; }
    // Retires the current job (its file deleted only when it printed) and selects the next,
    // or keeps the current one when it must be handed over again. False when none is left.
    bool advanceQueue();
    // shutDown's part: terminate the worker, wake it, wait for it, then advanceQueue once.
    // False when the worker is still inside the print system after patience: the journal is
    // written all the same and the job stays queued, as after a power cut; the worker must then
    // be left running and the process ended without destroying what it uses.
    bool shutdown(PrintWorker& worker, std::chrono::milliseconds patience = kShutdownPatience);
    // Looks at the worker, on every tick. One that died is replaced by a new one from make, the
    // document it left open given up, and the job it held counts an attempt that ended the
    // worker (told; set aside at the second). One that holds a hand-over with no progress for
    // kWorkerSilence is told once: it cannot be replaced while it may still be inside the
    // printer object, and the journal already counts its attempt should the program end.
    using WorkerFactory = std::function<std::unique_ptr<PrintWorker>()>;
    void superviseWorker(std::unique_ptr<PrintWorker>& worker, const WorkerFactory& make);

    // Where events go (none until set), the clock the retry pauses are measured on (the
    // system's by default) and the retry policy. Set before the first tick.
    void setEventSink(JobEventSink& sink) { events_ = &sink; }
    void setClock(WallClock clock) { clock_ = std::move(clock); }
    void setRetryPolicy(const RetryPolicy& policy) { retry_ = policy; }
    // Reports an event of the caller's (printer changed or missing, start, stop) through the
    // monitor's sink, stamped with the monitor's clock.
    void report(JobEvent event);

    // The printer (by name) takes no documents, message says why: the whole queue waits for it.
    // The user is told once, when the wait begins.
    void printerUnavailable(const std::string& name, const std::string& message,
                            PrintTrouble trouble = PrintTrouble::General);
    // Another printer was put in place, or the one waited for is back: a job waiting for the
    // printer is tried at once; with none waiting, the wait is over.
    void printerReplaced();
    bool waitingForPrinter() const { return printerWaiting_; }

    // At start: queues again the jobs the journal of the last run records as waiting, in
    // their order, and sets aside the one it records as printing. Files it does not know stay
    // leftovers. Call once, before the first tick. Numbers go on after the history's too.
    void resume();
    // Numbers go on after the highest that a document in folder is named after (" nr 17"):
    // PDFs and archived copies outlive a journal that was deleted or emptied.
    void continueNumbersAfter(const std::string& folder);

    // Follows the jobs in the print system's queue: a printed one is told and its file deleted,
    // one the print system aborted or canceled is queued again (or set aside, as a failure).
    void followSubmitted();
    // Finds a job a print system holds by its number there (printer: the printer it was sent
    // to), for the jobs the last run left in the printer's queue; null when the platform cannot.
    using SubmittedLookup =
        std::function<std::shared_ptr<SubmittedDocument>(const std::string& printer, int64_t job)>;
    // Set before resume; without one, such a job is set aside as interrupted.
    void setSubmittedLookup(SubmittedLookup lookup) { lookup_ = std::move(lookup); }
    // The jobs set aside whose files are still there, for the user to act on.
    int32_t setAsideCount() const;
    // The jobs in the print system's queue whose fate is not known yet.
    int32_t inPrinterQueue() const { return static_cast<int32_t>(sent_.size()); }

    // Every queue file in the folder, queued ones first in print order, then the others by
    // number. For the queue window; reads the folder.
    std::vector<QueueFileInfo> snapshot() const;
    // Appends a set-aside or leftover queue file (by file name) to the queue; false when it
    // is not such a file (already queued, printing, gone, not a queue file name).
    bool printAgain(const std::string& name);
    // Queues a finished job of the history again from its kept file, under its number.
    enum class AgainResult { Queued, NotKept, Failed };
    AgainResult printAgainFinished(int64_t job);
    // The printed jobs' files, kept for printing again.
    const PrintedStore& printedStore() const { return store_; }
    PrintedStore& printedStore() { return store_; }
    // Deletes a queue file that is not being printed, taking it out of the queue if it was
    // waiting; false when it is printing or could not be deleted.
    bool deleteQueueFile(const std::string& name);
    const std::string& programDir() const { return programDir_; }

    const JobQueue& queue() const { return queue_; }
    const std::string& monitoredFile() const { return monitoredFile_; }
    bool printerShown() const { return printerShown_; }
    // The queue file name for number n: programDir + "Zelmo" + n + ".Prn".
    std::string queueFileName(int32_t n) const;

    // The number the next capture gets.
    int64_t nextJob() const { return nextJob_; }
    // The finished jobs, oldest first, the last kHistoryLength of them, across restarts.
    const std::deque<HistoryEntry>& history() const { return history_; }

  private:
    struct AsideFile {
        SetAsideReason reason = SetAsideReason::None;
        std::string message;
    };
    // A job in the print system's queue; its file stays until the print system says it printed.
    struct SentFile {
        std::string path;
        std::shared_ptr<SubmittedDocument> document;
        int32_t pages = 0;
        std::string printer;
        int failures = 0;      // failed attempts before it was sent
        bool resumed = false;  // left in the print system's queue by the last run
        bool blank = false;    // no mark of its pages reached the sheet
    };

    // Takes the worker's report on the last job handed over; the worker must be idle or ended.
    void collectOutcome();
    // Decides what the report means for the current job: retired, tried again, set aside.
    void judgeCurrent(int32_t pages, const std::string& message);
    void judgePrinted(const std::string& path, int32_t pages);
    void judgeFailed(const std::string& path, const std::string& message);
    void retireCurrent(bool deleteFile);
    // The current job waits for the printer, tried again after the next pause of the wait.
    void awaitPrinter(const std::string& message);
    WallTime capturedAt(const std::string& name) const;
    // A document reached the printer: a wait for it is over, and the user is told so.
    void printerBack();
    void setAsideCurrent(SetAsideReason reason, JobFailure failure = JobFailure::None);
    // The current job went into the print system's queue: out of ours, its file kept.
    void submitCurrent(std::shared_ptr<SubmittedDocument> document, int32_t pages);
    // What the print system made of a sent job, once it knows; false while it is queued.
    bool settleSent(SentFile& sent);
    // A sent job the print system gave up: an attempt failed, the job queued again or set aside.
    void sentFailed(SentFile& sent);
    bool isSent(const std::string& path) const;
    bool inQueue(const std::string& path) const;
    WallTime now() const;
    JobEvent eventAbout(JobEventKind kind, const std::string& path) const;
    void tell(JobEventKind kind, const std::string& path);
    Journal journal() const;
    void tell(JobEvent event);
    // Writes the journal if what it should hold changed; a failure is told once and retried
    // at every tick until the journal is written again.
    void writeJournal();
    // Queues a job known to the journal or recognised as captured after its last write, under
    // its number, a new one when it has none.
    void requeue(const Job& job);
    Job queuedJob(const JournalEntry& entry) const;
    // Takes up the job the journal records as printing: set aside when the worker had recorded
    // its submission, or when it had ended the worker twice, else queued again.
    void resumePrinting(const JournalEntry& entry, const std::string& path);
    // Takes up a job the journal records in the print system's queue: followed there again
    // when the print system can be asked about it, else set aside.
    void resumeSent(const JournalEntry& entry, const std::string& path);
    // Sets aside a job that may have printed in part or whole, and says so.
    void setAsideInterrupted(const std::string& path,
                             SetAsideReason reason = SetAsideReason::Interrupted);
    // A sent job the print system keeps from the printer is a wait for the printer: told
    // once as it begins and once as it ends.
    void watchHoldUp();
    // Queue files the journal does not name although they are newer than it, when the last
    // run could not write it: captured meanwhile, so queued as the journal would have had them.
    void recogniseUnrecorded(int64_t journalSeconds);
    // The number of the job at path, a new one given when it has none.
    int64_t jobNumber(const std::string& path);
    // Adds the job at path to the history and writes it; a history that cannot be written
    // loses nothing but its own lines.
    void remember(const std::string& path, HistoryEntry::Outcome outcome, int32_t pages,
                  const std::string& pdf);
    void setCurrentJob(const std::string& path);
    // Moves on to the next queued entry after the current one; false when none is left.
    bool selectNext();
    // The worker ended during the current hand-over: its state is cleared for a new worker,
    // and the job it held counts a break.
    void workerDied();
    // Tells once that the worker has made no progress for kWorkerSilence.
    void watchSilence(uint64_t progress);
    // The first queue file name neither queued nor on disk, or empty.
    std::string freeQueueName() const;

    std::string programDir_;
    std::string monitoredFile_;
    HandOver& state_;
    Printer& printer_;
    DeviceMetrics& metrics_;
    JobQueue queue_;
    bool printerShown_ = false;
    bool jobAwaitingReport_ = false;   // a job (not a test page) was handed over, unreported
    bool stopping_ = false;            // shutdown is judging the last job
    bool captureRefused_ = false;      // CaptureImpossible told, capture not yet restored
    bool currentInterrupted_ = false;  // the stop came while the current job printed
    bool printerWaiting_ = false;      // the printer takes no documents: the queue waits
    bool heldUp_ = false;              // a sent job is kept from the printer, told
    int printerTries_ = 0;             // tries at the printer in this wait
    std::string journalWritten_;       // what the journal holds now
    bool held_ = false;                // printing paused by the user
    uint64_t workerProgress_ = 0;      // the worker's progress when last seen to move
    WallTime workerSeen_{};            // when it was seen to move; {}: idle
    bool workerSilenceTold_ = false;   // WorkerSilent told for this silence
    bool journalFailing_ = false;      // JournalFailed told, not yet written again
    bool failedMarkFound_ = false;     // the last run's journal had failed
    int64_t nextJob_ = 1;              // never reused: kept in the journal
    std::map<std::string, Job> jobs_;  // jobs by path, queued and aside alike
    std::deque<HistoryEntry> history_;
    PrintedStore store_;
    std::map<std::string, AsideFile> aside_;  // set-aside files by path
    std::vector<SentFile> sent_;              // in the print system's queue, in submission order
    std::shared_ptr<SubmittedDocument> submitted_;  // the worker's last report's document
    SubmittedLookup lookup_;
    JobEventSink* events_ = nullptr;
    WallClock clock_;
    RetryPolicy retry_;
};

}  // namespace zelmo
