// Unit Thread: the print worker, the one background thread. It sleeps until the window hands it
// work, loads the queue file named by CurrentJobFile and runs the interpreter on it (or prints
// the requested test page).
#pragma once

#include <atomic>
#include <exception>

#include "output/device_metrics.h"
#include "output/job_state.h"
#include "pipeline/handover.h"
#include "platform/errors.h"
#include "platform/sync.h"

namespace zelmo {

class Printer;

// The application's standard exception display, implemented by the window. Called on the
// worker thread for a failed test page (a job's failure goes with its report, and the window
// tells of it with the retry it planned); it may block until the message is dismissed, and the
// worker carries on afterwards. Failures that are not the system's own errors (memory refused,
// anything unforeseen) arrive as a JobError, which the window words for the user.
class ExceptionDisplay {
  public:
    virtual ~ExceptionDisplay() = default;
    virtual void showException(const ZelmoError& error) = 0;
};

// The document title of every job document.
constexpr const char* kJobTitle = "Kalvister II - wydruk.prn";

class PrintWorker {
  public:
    // Starts running at once. The hand-over state, printer, metrics and display must outlive it.
    PrintWorker(HandOver& state, Printer& printer, DeviceMetrics& metrics,
                ExceptionDisplay& display);
    // Asks the thread to terminate, wakes it and waits for it, if the owner has not done so.
    ~PrintWorker();
    PrintWorker(const PrintWorker&) = delete;
    PrintWorker& operator=(const PrintWorker&) = delete;

    // Sets the terminated flag only; the owner then signals WorkEvent and calls waitFor.
    void terminate() { thread_.terminate(); }
    bool terminated() const { return thread_.terminated(); }
    void waitFor() { thread_.waitFor(); }
    bool waitFor(std::chrono::milliseconds limit) { return thread_.waitFor(limit); }
    bool finished() const { return thread_.finished(); }
    // The thread ended without being asked to: an exception left its loop, or the system ended
    // it (a stack overflow). Its hand-over will never be reported.
    bool died() const { return thread_.ended() && !terminated(); }
    // Grows while the worker gets on: each hand-over taken, each document or page begun or
    // ended. Unchanged for long while a hand-over is held, the worker is stuck.
    uint64_t progress() const;

  private:
    void Execute();
    void showFailure(const std::exception_ptr& failure) noexcept;
    std::exception_ptr runAndReport();
    JobOutcome noteFailure(const std::exception_ptr& failure);
    // Runs one hand-over and says what became of it; exceptions pass on.
    JobOutcome runHandOver();
    bool loadJob();
    // Records, durably, that the job handed over is about to reach the print system.
    void recordSubmission();

    HandOver& state_;
    Printer& printer_;
    DeviceMetrics& metrics_;
    ExceptionDisplay& display_;
    PclState pcl_;
    // TestMode as this hand-over read it once: the menu may change the shared value meanwhile,
    // and the job must be judged by what was actually printed.
    std::atomic<TestPage> jobTestMode_{TestPage::None};
    bool testPage_ = false;               // the hand-over in progress is a test page
    bool submissionRecorded_ = false;     // for the hand-over in progress, or nothing to record
    std::atomic<uint64_t> handOvers_{0};  // hand-overs taken, for progress()
    WorkerThread thread_;                 // last: starts after every member it uses exists
};

}  // namespace zelmo
