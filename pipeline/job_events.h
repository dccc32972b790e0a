// What happens to jobs, told as it happens: the log, the tray's notifications and hint, and
// the queue window all listen here instead of polling the pipeline. Every event is reported on
// the window thread (the worker's findings are reported when the monitor collects them), so a
// sink needs no lock of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/print_trouble.h"

namespace zelmo {

using WallTime = std::chrono::system_clock::time_point;
// The monitor's idea of now; the tests pass their own to move time without sleeping.
using WallClock = std::function<WallTime()>;

// Why a job's file was kept out of the queue.
enum class SetAsideReason {
    None,
    TooManyFailures,  // printing failed on every attempt
    NothingPrinted,   // a non-empty job that produced no page
    Unreadable,       // its file could not be opened or read whole
    Interrupted,      // stopped while part of it may already have reached the print system
    PastLimits,       // the job itself is past a job's limits: every attempt would end the same
    NotText,          // no page and not text: the message says what it looks like
    BrokeWorker,      // two attempts at it ended the print worker (or the whole program)
};

// How the worker gave a job up, when it caught an error: the failure box tells of it once the
// next step is planned. A JobError's reasons are named, so that the shell can word them.
enum class JobFailure {
    None,           // no error was caught (the print system aborted it, say): no box
    Error,          // an error of the system's: `trouble` and `message` say what it was
    OutOfMemory,    // memory ran out
    PageTooLarge,   // a raster page past the limit
    TooManySheets,  // more printer pages than a job may send
    Unexpected,     // anything unforeseen; `message` holds what the failing part said
};

enum class JobEventKind {
    Started,            // the monitor runs on its folder
    Stopped,            // the monitor ends
    Captured,           // Wydruk.prn became queue file `queueName`
    Printed,            // `queueName` printed `pages` pages on `printer`
    Failed,             // printing `queueName` failed with the system's `message`
    RetryScheduled,     // attempt `attempt` + 1 of `queueName` starts at `nextAttempt`
    SetAside,           // `queueName` kept on disk and out of the queue, for `reason`
    NothingPrinted,     // `queueName` held no page: set aside (`reason` NothingPrinted) or,
                        // when it was empty, deleted (`reason` None)
    Resumed,            // `queueName` was waiting at the last stop and is queued again
    PrintAgain,         // the user queued `queueName` again
    Deleted,            // the user deleted `queueName`
    CaptureImpossible,  // Wydruk.prn cannot be taken, `message` says why; told once per spell
    CaptureRestored,    // capture works again after a CaptureImpossible
    PrinterChanged,     // the printer in use is now `printer`
    PrinterMissing,     // no printer configured: jobs go to the PDF folder `printer`
    ArchiveFailed,      // a document's archive copy was given up, `message` says why
    LogTrouble,         // Zelmo.log cannot be written or rotated, `message` says why; once a spell
    SettingIgnored,     // values of Zelmo.ini not understood: `message` says which, in a sentence
    PrinterWaiting,     // `printer` takes no jobs (`message`): the queue waits; told once a spell
    PrinterBack,        // the printer takes jobs again: the wait told by PrinterWaiting is over
    Submitted,          // `queueName` is in `printer`'s queue, `pages` pages, not yet printed
    Sent,               // `queueName` went to `printer`, whose spooler cannot say when it printed
    JournalFailed,      // the queue's journal cannot be written, `message` says why; told once
    JournalRestored,    // the journal is written again after a JournalFailed
    // What the user did, for the log: `message` names the test page, the settings, the choice.
    TestPageRequested,     // the test page `message` was asked for
    MonitoringPaused,      // the user paused monitoring
    MonitoringResumed,     // the user resumed monitoring
    SettingsSaved,         // the settings panel was saved: `message` lists the values
    PrinterChosen,         // the user chose `printer` (empty: the system's default)
    ArchiveFolderChanged,  // the archive folder is now `message` (empty: none)
    // The print worker, as the monitor watches it: `queueName` is the job it held, if any.
    WorkerDied,    // it ended while printing (`attempt`: the job's attempts that ended it); a
                   // new one took its place
    WorkerSilent,  // it has held `queueName` for kWorkerSilence without getting on
};

struct JobEvent {
    JobEventKind kind = JobEventKind::Started;
    WallTime when{};
    std::string queueName;  // file name only ("Zelmo3.Prn"); empty when no job is concerned
    int64_t job = 0;        // the job's number, never reused in the folder; 0 when none
    int32_t pages = 0;
    std::string printer;
    std::string message;  // the system's own message, untranslated
    int attempt = 0;      // attempts made so far (Failed, RetryScheduled)
    WallTime nextAttempt{};
    SetAsideReason reason = SetAsideReason::None;
    PrintTrouble trouble = PrintTrouble::General;  // Failed, PrinterWaiting: what `message` means
    WallTime captured{};                           // Failed: when the job was captured
    JobFailure failure = JobFailure::None;         // Failed, SetAside: the error caught
    std::string folder;  // ArchiveFailed: where the copies wait (empty: a copy was given up)
    std::string pdf;     // Printed: the PDF the job was saved as, when the printer makes files
    bool blankSheets = false;  // Printed, Sent: the job drew, yet no mark reached the sheet
};

// Whoever wants to hear of jobs. Called on the window thread.
class JobEventSink {
  public:
    virtual ~JobEventSink() = default;
    virtual void jobEvent(const JobEvent& event) = 0;
};

// Passes every event to each of several sinks, in the order they were added.
class JobEventFanOut : public JobEventSink {
  public:
    void add(JobEventSink& sink) { sinks_.push_back(&sink); }
    void jobEvent(const JobEvent& event) override {
        for (JobEventSink* sink : sinks_)
            sink->jobEvent(event);
    }

  private:
    std::vector<JobEventSink*> sinks_;
};

const char* toString(JobEventKind kind);
const char* toString(SetAsideReason reason);

}  // namespace zelmo
