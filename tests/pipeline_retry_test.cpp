// A printer that fails and comes back, and a restart: jobs are tried again after growing
// pauses in their order, set aside after the last attempt, and resumed from the journal.
#include <gtest/gtest.h>

#include <filesystem>

#include "pipeline_fixture.h"
#include "platform/errors.h"

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;
using std::chrono::seconds;

// Ticks until the worker reported on the job handed over and the monitor judged it.
bool settle(Rig& rig) {
    return rig.tickUntil([&] {
        return rig.state.workerIdle() && (rig.monitor.queue().retryPending || rig.drained());
    });
}

struct RetryCase {
    const char* name;
    int failures;  // attempts of job 1 that fail before the printer works
    std::vector<int> printed;
    Names left;
};

void PrintTo(const RetryCase& c, std::ostream* os) {
    *os << c.name;
}

class PipelineRetry : public ::testing::TestWithParam<RetryCase> {};

TEST_P(PipelineRetry, FailedJobWaitsItsPauseAheadOfTheQueue) {
    const RetryCase& c = GetParam();
    Rig rig;
    rig.printer.setStartDocHook([&, attempts = 0](int) mutable {
        if (attempts++ < c.failures) throw PrinterError("Create-Job: Invalid argument");
    });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 1; }));
    rig.writeJob(numberedJob(2));
    std::vector<seconds> pauses;
    while (!rig.drained()) {
        ASSERT_TRUE(settle(rig));
        if (!rig.monitor.queue().retryPending) continue;
        const seconds pause =
            std::chrono::duration_cast<seconds>(rig.monitor.queue().nextAttempt - rig.clockNow);
        pauses.push_back(pause);
        // A moment before the pause is over nothing is handed over, and job 2 still waits.
        rig.clockNow += pause - seconds(1);
        for (int i = 0; i < 3; ++i)
            rig.tick();
        ASSERT_TRUE(rig.state.workerIdle());
        ASSERT_TRUE(printedJobs(rig.printer).empty());
        rig.clockNow += seconds(1);
    }
    const std::vector<seconds> schedule = {seconds(5),  seconds(10), seconds(20),
                                           seconds(60), seconds(60), seconds(60),
                                           seconds(60), seconds(60), seconds(60)};
    const auto retries = static_cast<std::size_t>(std::min(c.failures, 9));
    EXPECT_EQ(pauses, std::vector<seconds>(schedule.begin(), schedule.begin() + retries));
    EXPECT_EQ(printedJobs(rig.printer), c.printed);
    EXPECT_EQ(listDir(rig.dir.path()), c.left);
    const JobEvent& last = rig.events.events.back();
    EXPECT_EQ(last.kind, JobEventKind::Printed);
    EXPECT_EQ(last.queueName, "Zelmo2.Prn");
    EXPECT_EQ(last.pages, 1);
    EXPECT_EQ(last.printer, rig.printer.printerName());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineRetry,
    ::testing::Values(RetryCase{"printsAfterThreeFailures", 3, {1, 2}, {}},
                      RetryCase{
                          "setAsideAfterTenAttempts", 10, {2}, {"Zelmo.queue", "Zelmo1.Prn"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A printer that takes nothing holds the whole queue for as long as it takes: no attempt is
// counted, nothing is set aside, the user hears once that the wait began and once that it ended.
struct PrinterWaitCase {
    const char* name;
    const char* attempts;  // what job 1's attempts meet: U printer unavailable, F job failure
    std::vector<int> pauses;
    std::vector<std::string> told;  // the printer and failure events, in order
};

void PrintTo(const PrinterWaitCase& c, std::ostream* os) {
    *os << c.name;
}

class PipelinePrinterWait : public ::testing::TestWithParam<PrinterWaitCase> {};

TEST_P(PipelinePrinterWait, QueueWaitsWithoutCountingAttempts) {
    const PrinterWaitCase& c = GetParam();
    Rig rig;
    const std::string plan = c.attempts;
    rig.printer.setStartDocHook([&, attempt = std::size_t{0}](int) mutable {
        const char next = attempt < plan.size() ? plan[attempt] : '.';
        ++attempt;
        if (next == 'U') throw PrinterUnavailable("Create-Job: Printer not accepting jobs");
        if (next == 'F') throw PrinterError("Send-Document: Bad document");
    });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 1; }));
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 2; }));
    std::vector<int> pauses;
    while (!rig.drained()) {
        ASSERT_TRUE(settle(rig));
        if (!rig.monitor.queue().retryPending) continue;
        const auto pause = rig.monitor.queue().nextAttempt - rig.clockNow;
        pauses.push_back(static_cast<int>(std::chrono::duration_cast<seconds>(pause).count()));
        if (rig.monitor.waitingForPrinter()) {
            ASSERT_EQ(rig.monitor.snapshot().front().state, QueueFileState::WaitingForPrinter);
        }
        // A moment early nothing is handed over: the job behind does not overtake.
        rig.clockNow += pause - seconds(1);
        rig.tick();
        ASSERT_TRUE(rig.state.workerIdle());
        ASSERT_TRUE(printedJobs(rig.printer).empty());
        rig.clockNow += seconds(1);
    }
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{1, 2}));
    std::vector<std::string> told;
    for (const JobEvent& e : rig.events.events)
        if (e.kind != JobEventKind::Captured && e.kind != JobEventKind::Printed)
            told.push_back(toString(e.kind));
    EXPECT_EQ(told, c.told);
    // A box for each failure of the job's own, none for the printer's.
    EXPECT_EQ(rig.events.boxes().size(),
              static_cast<std::size_t>(std::count(plan.begin(), plan.end(), 'F')));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelinePrinterWait,
    ::testing::Values(
        PrinterWaitCase{"longerThanTheRetries",
                        "UUUUUUUUUUUUU",
                        {5, 10, 20, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60},
                        {"PrinterWaiting", "PrinterBack"}},
        // The job's own failure after the wait counts from one and ends the wait first.
        PrinterWaitCase{"thenTheJobFails",
                        "UUF",
                        {5, 10, 5},
                        {"PrinterWaiting", "PrinterBack", "Failed", "RetryScheduled"}},
        PrinterWaitCase{"afterTheJobFailed",
                        "FUUU",
                        {5, 5, 10, 20},
                        {"Failed", "RetryScheduled", "PrinterWaiting", "PrinterBack"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PipelineRetry, TenthFailureSetsAsideWithTheSystemsMessage) {
    Rig rig;
    rig.printer.setStartDocHook([](int) { throw PrinterError("Create-Job: Invalid argument"); });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 1; }));
    for (int attempt = 1; attempt <= 10; ++attempt) {
        ASSERT_TRUE(settle(rig));
        rig.clockNow += seconds(60);
    }
    const auto snapshot = rig.monitor.snapshot();
    ASSERT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(snapshot[0].state, QueueFileState::SetAside);
    EXPECT_EQ(snapshot[0].reason, SetAsideReason::TooManyFailures);
    EXPECT_EQ(snapshot[0].message, "Create-Job: Invalid argument");
    EXPECT_EQ(journalStates(readText(rig.path("Zelmo.queue"))), "aside Zelmo1.Prn failed\n");
    EXPECT_EQ(rig.events.events.back().kind, JobEventKind::SetAside);
    EXPECT_EQ(rig.events.events.back().attempt, 10);
}

// A journal of an older run (no job numbers): the waiting jobs and the one that was printing
// but never reached the print system are queued in their order, the set-aside one stays so,
// and files it does not name, older than it, stay where they are.
TEST(PipelineJournal, ResumesWaitingAndUnsubmittedJobsInOrderAndLeavesTheRest) {
    Rig rig;
    for (int n = 1; n <= 5; ++n)
        writeFile(rig.path("Zelmo" + std::to_string(n) + ".Prn"), numberedJob(n));
    std::filesystem::last_write_time(
        rig.path("Zelmo5.Prn"),
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    writeFile(rig.path("victim"), numberedJob(7));
    const std::string journal =
        "waiting Zelmo3.Prn\nprinting Zelmo2.Prn\nwaiting Zelmo1.Prn\nwaiting ../victim\n"
        "waiting Zelmo6.Prn\naside Zelmo4.Prn nothing-printed\nnonsense\n";
    writeFile(rig.path("Zelmo.queue"), std::vector<uint8_t>(journal.begin(), journal.end()));
    rig.monitor.resume();

    const auto states = [&] {
        Names out;
        for (const QueueFileInfo& f : rig.monitor.snapshot())
            out.push_back(f.name + " " + std::to_string(static_cast<int>(f.state)) + " " +
                          toString(f.reason));
        return out;
    };
    EXPECT_EQ(states(), (Names{"Zelmo3.Prn 0 None", "Zelmo2.Prn 0 None", "Zelmo1.Prn 0 None",
                               "Zelmo4.Prn 3 NothingPrinted", "Zelmo5.Prn 4 None"}));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(journalStates(readText(rig.path("Zelmo.queue"))),
              "aside Zelmo4.Prn nothing-printed\n");

    // The user's actions: a leftover printed on request, a set-aside file deleted.
    EXPECT_FALSE(rig.monitor.printAgain("victim"));
    EXPECT_TRUE(rig.monitor.printAgain("Zelmo5.Prn"));
    EXPECT_FALSE(rig.monitor.printAgain("Zelmo5.Prn"));
    EXPECT_TRUE(rig.monitor.deleteQueueFile("Zelmo4.Prn"));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{3, 2, 1, 5}));
    EXPECT_EQ(listDir(rig.dir.path()), (Names{"victim"}));
    EXPECT_EQ(readText(rig.path("Zelmo.queue")), "next 6\n");
}

}  // namespace
}  // namespace zelmo::pipeline_test
