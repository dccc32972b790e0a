// The hand-over between the window thread and the print worker: the only state they share,
// apart from the device metrics and the printer object.
//
// Order of a hand-over: the window writes CurrentJob and PrintRequest (and resets Report) only
// while WorkerIdle is true, then sets WorkerIdle false under StateLock and signals WorkEvent.
// The worker writes Report and then sets WorkerIdle true under StateLock; the window reads
// Report only after it has seen WorkerIdle true (or after the worker has ended). The lock
// orders every one of those plain reads and writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "output/print_request.h"
#include "pipeline/job.h"
#include "pipeline/job_events.h"
#include "platform/files.h"
#include "platform/print_trouble.h"
#include "platform/printer.h"
#include "platform/sync.h"

namespace zelmo {

struct HandOver {
    HandOver() { WorkEvent.reset(); }

    CriticalSection StateLock;  // guards WorkerIdle only
    ManualResetEvent WorkEvent;
    // The window's message: the job (its file is the one the worker loads), the settings and
    // a test page to print in its place.
    Job CurrentJob;
    zelmo::PrintRequest PrintRequest;
    std::atomic<zelmo::TestPage> TestMode{zelmo::TestPage::None};
    files::JobBytes JobBuffer;  // the whole current job file; touched by the worker
    // The worker's answer, for the window once it has seen the worker idle.
    JobReport Report;
    // Called on the worker thread right after it has become idle, so that the window can
    // retire the job at once instead of at its next tick. Set before the worker starts; it
    // must only post to the window's thread, never touch the queue itself.
    std::function<void()> WorkerIdleNotice;

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
