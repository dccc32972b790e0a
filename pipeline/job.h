// A job: one printout captured into a queue file. The queue, the hand-over to the worker and
// what the worker says back speak of jobs in these records rather than in loose fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/job_events.h"
#include "platform/print_trouble.h"
#include "platform/printer.h"

namespace zelmo {

// One captured printout, as the monitor knows it while its file is queued or set aside.
struct Job {
    int64_t number = 0;  // never reused in the folder
    std::string file;    // the queue file's path
    WallTime captured{};
    bool again = false;  // queued again by the user
    int breaks = 0;      // attempts that ended the worker or the program
    // Failed attempts it brings back into the queue when the print system gave it back; its
    // turn starts counting from there.
    int attempts = 0;
};

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
                 // nothing printed, message says what it looks like
    PrinterUnavailable,  // the printer or the print system took no document: not the job's fault
};

const char* toString(JobOutcome outcome);

// The worker's answer to one hand-over, read by the monitor once the worker is idle again.
struct JobReport {
    JobOutcome outcome = JobOutcome::NotStarted;
    int32_t pages = 0;    // pages the job sent to the printer
    bool blank = false;   // its pages drew, yet no mark reached the printable area
    std::string message;  // the system's message when the job failed with one
    PrintTrouble trouble = PrintTrouble::General;  // what that failure means for the user
    JobFailure failure = JobFailure::None;         // the error the job was given up with
    // A printed job that went into a print system's queue: where it stands there.
    std::shared_ptr<SubmittedDocument> submitted;
    std::string document;  // the PDF the job became, when the printer makes files
};

}  // namespace zelmo
