// The hand-over between the window thread and the print worker: the only state they share,
// apart from the device metrics and the printer object.
//
// Order of a hand-over: the window writes CurrentJobFile and PrintRequest (and resets Outcome)
// only while WorkerIdle is true, then sets WorkerIdle false under StateLock and signals
// WorkEvent. The worker writes Outcome and then sets WorkerIdle true under StateLock; the window
// reads Outcome only after it has seen WorkerIdle true (or after the worker has ended). The lock
// orders every one of those plain reads and writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "output/print_request.h"
#include "pipeline/job_events.h"
#include "platform/files.h"
#include "platform/print_trouble.h"
#include "platform/printer.h"
#include "platform/sync.h"

namespace zelmo {

// What became of the last hand-over, as the worker saw it.
enum class JobOutcome {
    NotStarted,  // handed over, the worker has not reported (it ended first)
    Printed,     // interpreted to its end, no exception, no abort: the file may go
    Failed,      // an exception or an abort, a termination during the job included
    NoPrinter,   // device metrics not available: nothing was tried
    Unreadable,  // the file could not be opened exclusively or read whole
    NotRun,      // termination noticed before the job began
    TestPage,    // a test page was printed instead of a job
    Refused,     // the job is past a job's limits (a page too large, too many sheets): failed,
                 // and every attempt would fail the same way
    NotText,     // a job drawing no page that is not text either (a PDF, an archive, junk):
                 // nothing printed, OutcomeMessage says what it looks like
    PrinterUnavailable,  // the printer or the print system took no document: not the job's fault
};

const char* toString(JobOutcome outcome);

struct HandOver {
    HandOver() { WorkEvent.reset(); }

    CriticalSection StateLock;  // guards WorkerIdle only
    ManualResetEvent WorkEvent;
    std::string CurrentJobFile;
    int64_t CurrentJobNumber = 0;  // the job's number, never reused in the folder
    bool CurrentJobAgain = false;  // printed again on the user's request
    zelmo::PrintRequest PrintRequest;
    std::atomic<zelmo::TestPage> TestMode{zelmo::TestPage::None};
    files::JobBytes JobBuffer;  // the whole current job file; touched by the worker
    JobOutcome Outcome = JobOutcome::NotStarted;
    int32_t OutcomePages = 0;    // pages the job sent to the printer
    bool OutcomeBlank = false;   // its pages drew, yet no mark reached the printable area
    std::string OutcomeMessage;  // the system's message when the job failed with one
    PrintTrouble OutcomeTrouble = PrintTrouble::General;  // what that failure means for the user
    JobFailure OutcomeFailure = JobFailure::None;         // the error the job was given up with
    // A printed job that went into a print system's queue: where it stands there.
    std::shared_ptr<SubmittedDocument> OutcomeSubmitted;
    // Called on the worker thread right after it has become idle, so that the window can
    // retire the job at once instead of at its next tick. Set before the worker starts; it
    // must only post to the window's thread, never touch the queue itself.
    std::function<void()> WorkerIdleNotice;
    std::string OutcomeDocument;  // the PDF the job became, when the printer makes files

    // WorkerIdle, read or written under StateLock for the single access.
    bool workerIdle() {
        std::lock_guard<CriticalSection> guard(StateLock);
        return WorkerIdle;
    }
    void setWorkerIdle(bool idle) {
        std::lock_guard<CriticalSection> guard(StateLock);
        WorkerIdle = idle;
    }

  private:
    bool WorkerIdle = true;  // true while the worker can take a job
};

}  // namespace zelmo
