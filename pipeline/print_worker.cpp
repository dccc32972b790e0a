// Unit Thread: the print worker's body, the job load and the report of each hand-over.
#include "pipeline/print_worker.h"

#include <new>

#include "pcl/interpreter.h"
#include "pipeline/queue_journal.h"
#include "platform/files.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

// A JobError's reason as the report names it.
JobFailure failureOf(JobError::Reason reason) {
    switch (reason) {
        case JobError::Reason::OutOfMemory:
            return JobFailure::OutOfMemory;
        case JobError::Reason::PageTooLarge:
            return JobFailure::PageTooLarge;
        case JobError::Reason::TooManySheets:
            return JobFailure::TooManySheets;
        case JobError::Reason::Unexpected:
            break;
    }
    return JobFailure::Unexpected;
}

// Reports a hand-over as finished however its block is left: the job's memory goes, then the
// outcome, then WorkerIdle under StateLock, so the window never sees the worker idle with a
// stale report.
class ReportOnExit {
  public:
    ReportOnExit(HandOver& state, const JobOutcome& outcome) : state_(state), outcome_(outcome) {}
    ~ReportOnExit() {
        // A large job must not stay resident until the next one is loaded.
        state_.JobBuffer.reset();
        state_.Report.outcome = outcome_;
        state_.setWorkerIdle(true);
        try {
            if (state_.WorkerIdleNotice) state_.WorkerIdleNotice();
        } catch (...) {
            // A notice that could not be posted leaves the job to the next tick.
        }
    }
    ReportOnExit(const ReportOnExit&) = delete;
    ReportOnExit& operator=(const ReportOnExit&) = delete;

  private:
    HandOver& state_;
    const JobOutcome& outcome_;
};

}  // namespace

// Creates the worker and starts its body at once.
PrintWorker::PrintWorker(HandOver& state, Printer& printer, DeviceMetrics& metrics,
                         ExceptionDisplay& display)
    : state_(state), printer_(printer), metrics_(metrics), display_(display), thread_([this] {
          Execute();
      }) {}

// Ends the thread in the window's order: flag, wake, wait.
PrintWorker::~PrintWorker() {
    terminate();
    state_.WorkEvent.set();
    waitFor();
}

// The thread body: wait for a hand-over, run it, report it, show what went wrong, repeat.
void PrintWorker::Execute() {
    metrics_.metricsValid.store(false);
    printer_.setTitle(kJobTitle);
    printer_.setSubmitHook([this] { recordSubmission(); });
    while (!terminated()) {
        state_.WorkEvent.wait();
        // Terminated while waiting: leave WorkerIdle as it is, so a job handed over and not
        // begun is reported as never started.
        if (terminated()) continue;
        ++handOvers_;
        try {
            state_.WorkEvent.reset();
            const std::exception_ptr failure = runAndReport();
            // A job's failure is told by the window once it has planned what comes next (the
            // report carries it); a test page has no next step, so its failure is told here.
            if (failure && testPage_) showFailure(failure);
        } catch (...) {
            // Whatever left the job, the worker lives on to print the next one.
            showFailure(std::current_exception());
        }
    }
}

// The printer's own progress counts too: a long job goes on calling it.
uint64_t PrintWorker::progress() const {
    return handOvers_.load() + printer_.progress();
}

// Runs one hand-over and reports it, however it ends; the error that ended it, if any.
std::exception_ptr PrintWorker::runAndReport() {
    JobOutcome outcome = JobOutcome::Failed;  // what an escaping exception leaves
    std::exception_ptr failure;
    testPage_ = false;
    ReportOnExit report(state_, outcome);
    try {
        outcome = runHandOver();
    } catch (const PrinterUnavailable& error) {
        // Not the job's fault, and no box for it: the queue waits for the printer and tells
        // the user once.
        state_.Report.message = error.what();
        state_.Report.trouble = error.trouble();
        outcome = JobOutcome::PrinterUnavailable;
    } catch (...) {
        failure = std::current_exception();
        outcome = noteFailure(failure);
        // A failed test page leaves the job it stood in for as it was.
        if (testPage_) outcome = JobOutcome::TestPage;
    }
    return failure;
}

// Puts the error a job was given up with into the report, and says what it means for the job.
// The window words the reasons of our own; only what another part said goes with the report,
// as a system's message would.
JobOutcome PrintWorker::noteFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const JobError& error) {
        state_.Report.message = error.detail();
        state_.Report.failure = failureOf(error.reason());
        return error.repeats() ? JobOutcome::Refused : JobOutcome::Failed;
    } catch (const PrinterError& error) {
        state_.Report.message = error.what();
        state_.Report.trouble = error.trouble();
        state_.Report.failure = JobFailure::Error;
    } catch (const ZelmoError& error) {
        state_.Report.message = error.what();
        state_.Report.failure = JobFailure::Error;
    } catch (const std::bad_alloc&) {
        state_.Report.failure = JobFailure::OutOfMemory;
    } catch (const std::exception& error) {
        state_.Report.message = error.what();
        state_.Report.failure = JobFailure::Unexpected;
    } catch (...) {
        state_.Report.failure = JobFailure::Unexpected;
    }
    return JobOutcome::Failed;
}

// Tells the user why a job failed; a failure to tell (memory may have run out) is swallowed.
void PrintWorker::showFailure(const std::exception_ptr& failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const ZelmoError& error) {
            display_.showException(error);
        } catch (const std::bad_alloc&) {
            display_.showException(JobError(JobError::Reason::OutOfMemory));
        } catch (const std::exception& error) {
            display_.showException(JobError(JobError::Reason::Unexpected, error.what()));
        } catch (...) {
            display_.showException(JobError(JobError::Reason::Unexpected));
        }
    } catch (...) {
        // Nothing is left to tell the user with; the job's file is kept all the same.
    }
}

// Prints what was handed over, the job or a test page, and says how far it got.
JobOutcome PrintWorker::runHandOver() {
    if (!queryDeviceMetrics(metrics_, printer_)) return JobOutcome::NoPrinter;
    if (terminated()) return JobOutcome::NotRun;
    // The test page is chosen here, once: a menu click during the load must not turn this job
    // into a test page behind the queue's back. A request made meanwhile stays for next time.
    const TestPage mode = state_.TestMode.load();
    jobTestMode_.store(mode);
    testPage_ = mode != TestPage::None;
    TestPage chosen = mode;
    if (testPage_) state_.TestMode.compare_exchange_strong(chosen, TestPage::None);
    if (testPage_)
        printer_.setDocumentLabel({std::string(), mode});
    else
        printer_.setDocumentLabel({state_.CurrentJob.file, TestPage::None, state_.CurrentJob.number,
                                   state_.CurrentJob.again});
    // A test page is no job: nothing of it needs recording. (The interpreter may reset the
    // test mode it is handed while it prints, so the hand-over's own choice is kept.)
    submissionRecorded_ = testPage_;
    if (!loadJob()) return JobOutcome::Unreadable;
    if (terminated()) return JobOutcome::NotRun;
    const JobEnv env{printer_,
                     metrics_,
                     state_.PrintRequest,
                     jobTestMode_,
                     thread_.terminatedFlag(),
                     state_.JobBuffer.data(),
                     state_.JobBuffer.size()};
    // However the job ends, the printer hears of it once: what it keeps per job (an archive
    // copy) is kept only for a job printed whole.
    struct EndJob {
        Printer& printer;
        bool printed = false;
        ~EndJob() { printer.jobEnded(printed); }
    } ended{printer_};
    const bool done = runJob(pcl_, env);
    // A job file that lost bytes under its mapping was interpreted with zeros in their place:
    // what came of it is not the job, which goes back as one that could not be read.
    const bool intact = state_.JobBuffer.intact();
    ended.printed = done && intact;
    state_.Report.pages = pcl_.pagesPrinted;
    state_.Report.blank = pcl_.blankPages > 0 && pcl_.markedPages == 0;
    // Taken whatever the outcome, so that no document's ticket is left for the next job.
    std::shared_ptr<SubmittedDocument> submitted = printer_.takeSubmitted();
    if (!intact) return JobOutcome::Unreadable;
    if (done && !testPage_) state_.Report.submitted = std::move(submitted);
    // A job that began no document leaves the printer's last one, an earlier job's, in place.
    if (done && !testPage_ && pcl_.pagesPrinted > 0)
        state_.Report.document = printer_.lastDocumentPath();
    if (testPage_) return JobOutcome::TestPage;
    if (!pcl_.content.isText()) {
        state_.Report.message = pcl_.content.polish;
        return JobOutcome::NotText;
    }
    return done ? JobOutcome::Printed : JobOutcome::Failed;
}

// Written before the document leaves: after a kill the next run then knows this job may have
// printed in part and sets it aside rather than print it twice. A record that cannot be
// written does not stop the print; the job would then print again after a kill.
void PrintWorker::recordSubmission() {
    if (submissionRecorded_) return;
    submissionRecorded_ = true;
    const std::string& job = state_.CurrentJob.file;
    const auto slash = job.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string() : job.substr(0, slash + 1);
    files::replaceFileAtomically(dir + kSubmittedName,
                                 formatSubmitted(job.substr(dir.size()), state_.CurrentJob.number));
}

// Reads the current job's file whole into JobBuffer; a test page needs no data.
bool PrintWorker::loadJob() {
    if (jobTestMode_.load() != TestPage::None) return true;
    return files::readWholeFile(state_.CurrentJob.file, state_.JobBuffer);
}

}  // namespace zelmo
