// The print worker on a real thread: termination, exceptions and test pages around jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "pipeline_fixture.h"
#include "platform/errors.h"

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;
namespace fs = std::filesystem;

TEST(PipelineWorker, TerminationWhileWaitingRunsNothingAndTouchesNothing) {
    Rig rig;
    writeFile(rig.path("Zelmo1.Prn"), numberedJob(1));
    // As if a job had been handed over and the worker had not woken yet.
    rig.state.CurrentJob.file = rig.path("Zelmo1.Prn");
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
        eventually([&] { return rig.worker->terminated(); });
    });
    rig.writeJob(numberedJob(1, /*pages=*/3));
    ASSERT_TRUE(rig.tickUntil([&] { return printing.arrived(); }));
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.monitor.capture());
    rig.shutdown();

    EXPECT_EQ(rig.printer.calls().front(), "begin \"Kalvister II - wydruk.prn\"");
    EXPECT_EQ(rig.printer.calls().back(), "abort");
    EXPECT_TRUE(printedJobs(rig.printer).empty());
    EXPECT_EQ(listDir(rig.dir.path()), (Names{"Zelmo.queue", "Zelmo1.Prn", "Zelmo2.Prn"}));
    EXPECT_TRUE(rig.display.messages().empty());
}

// Job 1 fails at its first page and the worker, idle, is then held where it tells the window; once
// its pause has passed the window hands job 1 over again while the worker cannot take it yet,
// and job 2 waits behind it.
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
    bool retryHandedOver() {
        rig.writeJob(numberedJob(2));
        if (!rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 2; })) return false;
        rig.clockNow += std::chrono::seconds(5);
        return rig.tickUntil(
            [&] { return rig.monitor.queue().currentIndex == 0 && !rig.state.workerIdle(); });
    }
};

TEST(PipelineWorker, JobHandedOverButNotStartedBeforeShutdownKeepsItsFile) {
    FailedThenHandedOver f;
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.dismissed.arrived(); }));
    ASSERT_TRUE(f.retryHandedOver());
    // The message box is dismissed only after the window asked the worker to end.
    std::thread dismiss([&] {
        eventually([&] { return f.rig.worker->terminated(); });
        f.dismissed.open();
    });
    f.rig.shutdown();
    dismiss.join();
    EXPECT_EQ(f.rig.printer.documentsBegun(), 0);
    const std::vector<JobEvent> boxes = f.rig.events.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, "Printing in progress");
    EXPECT_EQ(listDir(f.rig.dir.path()), (Names{"Zelmo.queue", "Zelmo1.Prn", "Zelmo2.Prn"}));
    // Never begun: both are resumed by the next run, in their order.
    EXPECT_EQ(journalStates(readText(f.rig.path("Zelmo.queue"))),
              "waiting Zelmo1.Prn\nwaiting Zelmo2.Prn\n");
}

TEST(PipelineWorker, TestPageChosenAfterAJobWasHandedOverLeavesTheJobToPrint) {
    FailedThenHandedOver f;
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.dismissed.arrived(); }));
    ASSERT_TRUE(f.retryHandedOver());
    f.rig.state.TestMode.store(TestPage::Vector);  // the menu, before the worker looked at the job
    f.dismissed.open();
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.rig.drained(); }));
    EXPECT_EQ(documentKinds(f.rig.printer), "TJJ");
    const std::vector<int> printed = printedJobs(f.rig.printer);  // the test page first
    EXPECT_EQ(std::vector<int>(printed.begin() + 1, printed.end()), (std::vector<int>{1, 2}));
    EXPECT_EQ(listDir(f.rig.dir.path()), Names{});
}

// A test page that fails in place of a job handed over is told by the worker (there is no job to
// plan for); the job it stood in for is not counted as failed again, and prints next.
TEST(PipelineWorker, AFailedTestPageIsToldAndLeavesTheJobItStoodInFor) {
    FailedThenHandedOver f;
    ASSERT_TRUE(f.rig.tickUntil([&] { return f.dismissed.arrived(); }));
    ASSERT_TRUE(f.retryHandedOver());
    f.rig.printer.setStartDocHook([thrown = false](int) mutable {
        if (!std::exchange(thrown, true)) throw PrinterError("Out of paper");
    });
    f.rig.state.TestMode.store(TestPage::Vector);  // the menu, before the worker looked at the job
    f.dismissed.open();
    ASSERT_TRUE(f.rig.tickUntil([&] {
        f.rig.clockNow += std::chrono::minutes(1);
        return f.rig.drained();
    }));
    EXPECT_EQ(f.rig.display.messages(), Names{"Out of paper"});
    const Names lines = f.rig.events.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Failed Zelmo1.Prn"), 1);
    EXPECT_EQ(listDir(f.rig.dir.path()), Names{});
}

struct FailureCase {
    const char* name;
    std::function<void()> failAtFirstDocument;  // null: the job fails by itself, every time
    std::vector<uint8_t> job;
    JobFailure failure;        // what the box is told
    std::string message;       // the failing part's words, for the technician
    std::vector<int> printed;  // after the retry pause has passed
    Names left;
};

// Whatever leaves a job, memory refused and exceptions of any kind included, the worker lives
// on: the user is told, the job's memory is let go, and the job is tried again after its pause;
// a job past a job's limits is set aside at once, its file kept, and the next job prints.
TEST(PipelineWorker, AnyFailureTellsTheUserAndTheWorkerGoesOn) {
    const std::string pagePastTheLimit = "\x1b*t99999R\x0c";
    const Names drained{};
    const FailureCase cases[] = {
        {"OutOfMemory",
         [] { throw std::bad_alloc(); },
         numberedJob(1),
         JobFailure::OutOfMemory,
         "",
         {1, 2},
         drained},
        {"StandardException",
         [] { throw std::runtime_error("disk on fire"); },
         numberedJob(1),
         JobFailure::Unexpected,
         "disk on fire",
         {1, 2},
         drained},
        {"NotAnException",
         [] { throw 7; },
         numberedJob(1),
         JobFailure::Unexpected,
         "",
         {1, 2},
         drained},
        {"PagePastTheLimit",
         nullptr,
         {pagePastTheLimit.begin(), pagePastTheLimit.end()},
         JobFailure::PageTooLarge,
         "",
         {2},
         {"Zelmo.queue", "Zelmo1.Prn"}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.printer.setStartDocHook([&, attempts = 0](int) mutable {
            if (attempts++ == 0 && c.failAtFirstDocument) c.failAtFirstDocument();
        });
        rig.writeJob(c.job);
        ASSERT_TRUE(rig.tickUntil([&] { return !rig.events.boxes().empty(); }));
        EXPECT_EQ(rig.state.JobBuffer.data(), nullptr);
        rig.writeJob(numberedJob(2));
        ASSERT_TRUE(rig.tickUntil([&] { return !fs::exists(rig.monitor.monitoredFile()); }));
        rig.clockNow += std::chrono::seconds(5);
        ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
        const std::vector<JobEvent> boxes = rig.events.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].failure, c.failure);
        EXPECT_EQ(boxes[0].message, c.message);
        EXPECT_TRUE(rig.display.messages().empty());
        EXPECT_EQ(printedJobs(rig.printer), c.printed);
        EXPECT_EQ(listDir(rig.dir.path()), c.left);
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
    rig.state.TestMode.store(TestPage::Vector);
    for (int i = 0; i < 5; ++i)
        rig.tick();
    EXPECT_EQ(rig.state.TestMode.load(), TestPage::Vector);
    printing.open();
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(documentKinds(rig.printer), "JT");
    EXPECT_EQ(listDir(rig.dir.path()), Names{});
}

// A worker stuck in a printer call is told once, only after kWorkerSilence with no progress;
// it is not replaced while it may still be inside the printer, and once the call returns its
// job prints as usual.
TEST(PipelineWorker, AWorkerStuckInAPrinterCallIsToldOnceAndItsJobPrintsWhenItReturns) {
    Rig rig;
    Gate stuck;
    rig.printer.setStartDocHook([&](int) { stuck.pass(); });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return stuck.arrived(); }));
    const auto silent = [&] {
        return std::count_if(
            rig.events.events.begin(), rig.events.events.end(),
            [](const JobEvent& e) { return e.kind == JobEventKind::WorkerSilent; });
    };
    using std::chrono::seconds;
    const struct {
        seconds later;  // on the monitor's clock, since the step before
        long told;      // WorkerSilent events so far
    } steps[] = {
        {seconds(0), 0}, {kWorkerSilence - seconds(1), 0}, {seconds(2), 1}, {kWorkerSilence, 1}};
    for (const auto& step : steps) {
        rig.clockNow += step.later;
        rig.supervise();
        rig.tick();
        EXPECT_EQ(silent(), step.told) << "after " << step.later.count() << " s more";
    }
    const PrintWorker* held = rig.worker.get();
    stuck.open();
    ASSERT_TRUE(rig.tickUntil([&] {
        rig.supervise();
        return rig.drained();
    }));
    EXPECT_EQ(rig.worker.get(), held);
    EXPECT_EQ(printedJobs(rig.printer), std::vector<int>{1});
    ASSERT_EQ(silent(), 1);
    const JobEvent told =
        *std::find_if(rig.events.events.begin(), rig.events.events.end(),
                      [](const JobEvent& e) { return e.kind == JobEventKind::WorkerSilent; });
    EXPECT_EQ(told.queueName, "Zelmo1.Prn");
}

// The end of the program does not wait for ever on a print system that hangs: past its
// patience it gives up with the journal written and every job kept, as after a power cut.
TEST(PipelineWorker, TheEndDoesNotWaitForAWorkerStuckInThePrintSystem) {
    Rig rig;
    Gate stuck;
    rig.printer.setStartDocHook([&](int) { stuck.pass(); });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return stuck.arrived(); }));
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 2; }));
    EXPECT_FALSE(rig.monitor.shutdown(*rig.worker, std::chrono::milliseconds(100)));
    EXPECT_EQ(journalStates(readText(rig.path("Zelmo.queue"))),
              "printing Zelmo1.Prn\nwaiting Zelmo2.Prn\n");
    EXPECT_EQ(listDir(rig.dir.path()), (Names{"Zelmo.queue", "Zelmo1.Prn", "Zelmo2.Prn"}));
    stuck.open();
    // The gate is this frame's: the worker must be out of it before the frame goes.
    rig.worker->waitFor();
}

}  // namespace
}  // namespace zelmo::pipeline_test
