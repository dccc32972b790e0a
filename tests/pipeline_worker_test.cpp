// The print worker on a real thread: termination, exceptions and test pages around jobs.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "pipeline_fixture.h"
#include "platform/errors.h"

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;

TEST(PipelineWorker, TerminationWhileWaitingRunsNothingAndTouchesNothing) {
    Rig rig;
    writeFile(rig.path("Zelmo1.Prn"), numberedJob(1));
    // As if a job had been handed over and the worker had not woken yet.
    rig.state.CurrentJobFile = rig.path("Zelmo1.Prn");
    rig.state.setWorkerIdle(false);
    rig.worker->terminate();
    rig.state.WorkEvent.set();
    rig.worker->waitFor();
    EXPECT_FALSE(rig.state.workerIdle());
    EXPECT_TRUE(rig.state.WorkEvent.isSet());
    EXPECT_EQ(rig.printer.documentsBegun(), 0);
    EXPECT_EQ(rig.printer.title(), "Kalvister II - wydruk.prn");
}

TEST(PipelineWorker, TerminationMidJobAbortsTheDocumentAndKeepsEveryFile) {
    Rig rig;
    Gate printing;
    rig.printer.setStartDocHook([&](int) {
        printing.arrive();
        // Hold the job at its first page until the window has asked for termination.
        waitUntil([&] { return rig.worker->terminated(); });
    });
    rig.writeJob(numberedJob(1, /*pages=*/3));
    ASSERT_TRUE(rig.tickUntil([&] { return printing.arrived(); }));
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.monitor.capture());
    rig.shutdown();

    EXPECT_EQ(rig.printer.calls().front(), "begin \"Kalvister II - wydruk.prn\"");
    EXPECT_EQ(rig.printer.calls().back(), "abort");
    EXPECT_TRUE(printedJobs(rig.printer).empty());
    EXPECT_EQ(listDir(rig.dir.path()), (Names{"Zelmo1.Prn", "Zelmo2.Prn"}));
    EXPECT_TRUE(rig.display.messages().empty());
}

// Job 1 fails at its first page and the worker then sits in the exception display, idle, so the
// window hands job 2 over while the worker cannot take it yet.
struct FailedThenHandedOver {
    Rig rig;
    Gate dismissed;

    FailedThenHandedOver() {
        rig.printer.setStartDocHook([attempts = 0](int) mutable {
            if (attempts++ == 0) throw PrinterError("Printing in progress");
        });
        rig.display.setGate([this] { dismissed.pass(); });
        rig.writeJob(numberedJob(1));
    }
    bool secondHandedOver() {
        rig.writeJob(numberedJob(2));
        return rig.tickUntil([&] {
            // Job 1 retired (its file kept), job 2 the one the worker holds.
            return rig.monitor.queue().pendingCount == 1 && !rig.state.workerIdle();
        });
    }
};

TEST(PipelineWorker, JobHandedOverButNotStartedBeforeShutdownKeepsItsFile) {
    FailedThenHandedOver f;
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.dismissed.arrived(); }));
    ASSERT_TRUE(f.secondHandedOver());
    // The message box is dismissed only after the window asked the worker to end.
    std::thread dismiss([&] {
        waitUntil([&] { return f.rig.worker->terminated(); });
        f.dismissed.open();
    });
    f.rig.shutdown();
    dismiss.join();
    EXPECT_EQ(f.rig.printer.documentsBegun(), 0);
    EXPECT_EQ(f.rig.display.messages(), Names{"Printing in progress"});
    EXPECT_EQ(listDir(f.rig.dir.path()), (Names{"Zelmo1.Prn", "Zelmo2.Prn"}));
}

TEST(PipelineWorker, TestPageChosenAfterAJobWasHandedOverLeavesTheJobToPrint) {
    FailedThenHandedOver f;
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.dismissed.arrived(); }));
    ASSERT_TRUE(f.secondHandedOver());
    f.rig.state.TestMode.store(1);  // the menu, before the worker looked at the job
    f.dismissed.open();
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.rig.drained(); }));
    EXPECT_EQ(documentKinds(f.rig.printer), "TJ");
    EXPECT_EQ(printedJobs(f.rig.printer).back(), 2);
    EXPECT_EQ(listDir(f.rig.dir.path()), Names{"Zelmo1.Prn"});
}

struct FailureCase {
    const char* name;
    std::function<void()> failAtFirstDocument;  // null: the job fails by itself
    std::vector<uint8_t> job;
    std::string message;
};

// Whatever leaves a job, memory refused and exceptions of any kind included, the worker lives
// on: the job's file is kept, the user is told, the job's memory is let go, the next job prints.
TEST(PipelineWorker, AnyFailureKeepsTheFileTellsTheUserAndGoesOn) {
    using Reason = JobError::Reason;
    const std::string pagePastTheLimit = "\x1b*t99999R\x0c";
    const FailureCase cases[] = {
        {"OutOfMemory", [] { throw std::bad_alloc(); }, numberedJob(1),
         JobError(Reason::OutOfMemory).what()},
        {"StandardException", [] { throw std::runtime_error("disk on fire"); }, numberedJob(1),
         JobError(Reason::Unexpected, "disk on fire").what()},
        {"NotAnException", [] { throw 7; }, numberedJob(1), JobError(Reason::Unexpected).what()},
        {"PagePastTheLimit",
         nullptr,
         {pagePastTheLimit.begin(), pagePastTheLimit.end()},
         JobError(Reason::PageTooLarge).what()},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.printer.setStartDocHook([&, attempts = 0](int) mutable {
            if (attempts++ == 0 && c.failAtFirstDocument) c.failAtFirstDocument();
        });
        rig.writeJob(c.job);
        ASSERT_TRUE(rig.tickUntil([&] { return !rig.display.messages().empty(); }));
        rig.writeJob(numberedJob(2));
        ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
        EXPECT_EQ(rig.display.messages(), Names{c.message});
        EXPECT_EQ(printedJobs(rig.printer), std::vector<int>{2});
        EXPECT_EQ(listDir(rig.dir.path()), Names{"Zelmo1.Prn"});
        EXPECT_EQ(rig.state.JobBuffer.data(), nullptr);
    }
}

TEST(PipelineWorker, TestPageRequestedWhileAJobPrintsWaitsForTheNextHandOver) {
    Rig rig;
    Gate printing;
    rig.printer.setStartDocHook([&](int begun) {
        if (begun == 0) printing.pass();
    });
    rig.writeJob(numberedJob(3));
    ASSERT_TRUE(rig.tickUntil([&] { return printing.arrived(); }));
    rig.state.TestMode.store(1);
    for (int i = 0; i < 5; ++i)
        rig.tick();
    EXPECT_EQ(rig.state.TestMode.load(), 1);
    printing.open();
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(documentKinds(rig.printer), "JT");
    EXPECT_EQ(listDir(rig.dir.path()), Names{});
}

}  // namespace
}  // namespace zelmo::pipeline_test
