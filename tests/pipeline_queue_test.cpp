// The spool monitor and job queue with a real worker: capture, numbering, order, retirement.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "pipeline_fixture.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <set>

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;

TEST(PipelineQueue, JobsWrittenWhileOnePrintsAreNumberedInOrderAndNumberingRestarts) {
    Rig rig;
    Gate firstPrinting;
    rig.printer.setStartDocHook([&](int begun) {
        if (begun == 0) firstPrinting.pass();
    });
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return firstPrinting.arrived(); }));
    rig.writeJob(numberedJob(2));
    rig.tick();
    EXPECT_EQ(rig.monitor.queue().entries, (Names{rig.path("Zelmo1.Prn"), rig.path("Zelmo2.Prn")}));
    EXPECT_EQ(rig.monitor.queue().pendingCount, 2);
    EXPECT_EQ(rig.monitor.queue().currentIndex, 0);
    firstPrinting.open();

    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{1, 2}));
    // Both retired: the list is emptied and the files are gone.
    EXPECT_TRUE(rig.monitor.queue().entries.empty());
    EXPECT_EQ(rig.monitor.queue().currentIndex, -1);
    EXPECT_EQ(listDir(rig.dir.path()), Names{});

    rig.writeJob(numberedJob(3));
    ASSERT_TRUE(rig.monitor.capture());
    EXPECT_EQ(rig.monitor.queue().entries, Names{rig.path("Zelmo1.Prn")});
    EXPECT_EQ(jobNumberOfFile(readFile(rig.path("Zelmo1.Prn"))), 3);
}

TEST(PipelineQueue, WriterHoldingTheFileOpenKeepsItFromCapture) {
    Rig rig;
    const std::vector<uint8_t> job = numberedJob(7);
    const int fd = ::open(rig.monitor.monitoredFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, job.data(), job.size()), static_cast<ssize_t>(job.size()));
    for (int i = 0; i < 5; ++i)
        rig.tick();
    EXPECT_EQ(listDir(rig.dir.path()), Names{"Wydruk.prn"});
    EXPECT_EQ(rig.monitor.queue().pendingCount, 0);

    ::close(fd);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount > 0; }));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), std::vector<int>{7});
}

TEST(PipelineQueue, LeftoverQueueFileKeepsItsNumberAndIsNeverPrinted) {
    Rig rig;
    writeFile(rig.path("Zelmo1.Prn"), numberedJob(1));
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount > 0; }));
    EXPECT_EQ(rig.monitor.queue().entries, Names{rig.path("Zelmo2.Prn")});
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    rig.shutdown();
    EXPECT_EQ(printedJobs(rig.printer), std::vector<int>{2});
    EXPECT_EQ(listDir(rig.dir.path()), Names{"Zelmo1.Prn"});
    EXPECT_EQ(jobNumberOfFile(readFile(rig.path("Zelmo1.Prn"))), 1);
}

TEST(PipelineQueue, TestPageGoesAheadOfAPendingJob) {
    Rig rig;
    rig.writeJob(numberedJob(4));
    ASSERT_TRUE(rig.monitor.capture());
    rig.state.TestMode.store(TestPage::Vector);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(documentKinds(rig.printer), "TJ");
    EXPECT_EQ(printedJobs(rig.printer).back(), 4);
    EXPECT_EQ(listDir(rig.dir.path()), Names{});
}

TEST(PipelineQueue, NothingStartsWithoutTicksAndTheNextTickStartsIt) {
    Rig rig;
    rig.writeJob(numberedJob(5));
    rig.state.TestMode.store(TestPage::Bitmap);
    // Paused: no tick. The worker must still be waiting, untouched.
    EXPECT_TRUE(rig.state.workerIdle());
    EXPECT_EQ(rig.printer.documentsBegun(), 0);
    EXPECT_EQ(listDir(rig.dir.path()), Names{"Wydruk.prn"});

    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(rig.printer.documentsBegun(), 2);
    EXPECT_EQ(printedJobs(rig.printer).back(), 5);
}

TEST(PipelineQueue, JobWithoutPrinterStaysCurrentAndPrintsWhenThePrinterAppears) {
    Rig rig(/*printerAvailable=*/false);
    rig.writeJob(numberedJob(1));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 1; }));
    rig.writeJob(numberedJob(2));
    // Handed over again and again while there is no printer; nothing retired, nothing deleted.
    ASSERT_TRUE(rig.tickUntil([&] {
        return rig.monitor.queue().pendingCount == 2 &&
               rig.monitor.queue().currentOutcome == JobOutcome::NoPrinter;
    }));
    for (int i = 0; i < 5; ++i)
        rig.tick();
    EXPECT_EQ(rig.monitor.queue().currentIndex, 0);
    EXPECT_EQ(listDir(rig.dir.path()), (Names{"Zelmo.queue", "Zelmo1.Prn", "Zelmo2.Prn"}));
    EXPECT_TRUE(rig.display.names.empty());
    // The user sees it wait for a printer, not print, whether or not the last tick handed it over.
    for (int i = 0; i < 20; ++i) {
        if (i % 2) rig.tick();
        ASSERT_TRUE(eventually([&] { return rig.state.workerIdle(); }));
        const auto files = rig.monitor.snapshot();
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0].state, QueueFileState::WaitingForPrinter);
        EXPECT_EQ(files[1].state, QueueFileState::Waiting);
    }
    // Nor is it out of its user's reach: a job waiting for a printer can always be deleted.
    rig.tick();
    ASSERT_TRUE(rig.monitor.deleteQueueFile("Zelmo1.Prn"));
    EXPECT_EQ(rig.monitor.queue().pendingCount, 1);

    rig.printer.setAvailable(true);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{2}));
    EXPECT_EQ(listDir(rig.dir.path()), Names{});
    EXPECT_EQ(rig.display.names, Names{rig.printer.printerName()});
}

// Unreadable: a queue file someone holds open for writing cannot be loaded exclusively.
struct UnreadableCase {
    const char* name;
    int releaseAfterTries;  // the holder closes after this many failed loads; 0: never
    std::vector<int> printed;
    Names left;
};

void PrintTo(const UnreadableCase& c, std::ostream* os) {
    *os << c.name;
}

class PipelineQueueUnreadable : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(PipelineQueueUnreadable, IsRetriedThenGivenUpWithItsFileKept) {
    const UnreadableCase& c = GetParam();
    Rig rig;
    writeFile(rig.path("Wydruk.prn"), numberedJob(1));
    ASSERT_TRUE(rig.monitor.capture());
    int holder = ::open(rig.path("Zelmo1.Prn").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(holder, 0);
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.monitor.capture());

    const int tries = c.releaseAfterTries ? c.releaseAfterTries : kMaxLoadTries;
    ASSERT_TRUE(rig.tickUntil([&] {
        return rig.monitor.queue().currentLoadTries >= tries ||
               rig.monitor.queue().currentIndex > 0;
    }));
    ::close(holder);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), c.printed);
    EXPECT_EQ(listDir(rig.dir.path()), c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineQueueUnreadable,
    ::testing::Values(UnreadableCase{"readableAgainInTime", 2, {1, 2}, {}},
                      UnreadableCase{"neverReadable", 0, {2}, {"Zelmo.queue", "Zelmo1.Prn"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Each job's own outcome decides its file and what the user hears; the job behind it waits its
// turn and then prints.
struct OutcomeCase {
    const char* name;
    std::vector<uint8_t> job;
    int beginFailures;  // the job's first attempts that fail to begin
    Names left;
    Names events;  // for Zelmo1.Prn, after its capture
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class PipelineQueueOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(PipelineQueueOutcome, DecidesWhetherTheFileGoes) {
    const OutcomeCase& c = GetParam();
    Rig rig;
    rig.printer.setStartDocHook([&, attempts = 0](int) mutable {
        if (attempts++ < c.beginFailures) throw PrinterError("Printer selected is not valid");
    });
    rig.writeJob(c.job);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.queue().pendingCount == 1; }));
    rig.writeJob(numberedJob(9));
    // Time passes only between ticks, a minute at a time: every retry pause is over by the next.
    ASSERT_TRUE(rig.tickUntil([&] {
        if (rig.monitor.queue().retryPending) rig.clockNow += std::chrono::minutes(1);
        return rig.drained();
    }));
    EXPECT_EQ(printedJobs(rig.printer).back(), 9);
    EXPECT_EQ(listDir(rig.dir.path()), c.left);
    Names events;
    for (const std::string& line : rig.events.lines())
        if (line.find("Zelmo1.Prn") != std::string::npos) events.push_back(line);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(rig.events.boxes().size(), static_cast<std::size_t>(c.beginFailures));
}

const Names kPrinted = {"Captured Zelmo1.Prn", "Printed Zelmo1.Prn"};
const Names kFailedOnce = {"Captured Zelmo1.Prn", "Failed Zelmo1.Prn", "RetryScheduled Zelmo1.Prn",
                           "Printed Zelmo1.Prn"};

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineQueueOutcome,
    ::testing::Values(
        OutcomeCase{"printed", numberedJob(1), 0, {}, kPrinted},
        OutcomeCase{
            "emptyJobIsDeleted", {}, 0, {}, {"Captured Zelmo1.Prn", "NothingPrinted Zelmo1.Prn"}},
        // Bare text prints in the printer's font; bare controls print nothing.
        OutcomeCase{"controlsWithoutPagesAreSetAside",
                    {'\r', '\n'},
                    0,
                    {"Zelmo.queue", "Zelmo1.Prn"},
                    {"Captured Zelmo1.Prn", "NothingPrinted Zelmo1.Prn", "SetAside Zelmo1.Prn"}},
        OutcomeCase{"beginThrowsOnceThenPrints", numberedJob(1), 1, {}, kFailedOnce}),
    [](const auto& info) { return std::string(info.param.name); });

// Queue file names are reused once free, job numbers never: the history tells the printouts
// apart, with their pages, and a restart keeps both the history and the numbering.
TEST(PipelineQueue, JobNumbersAreNeverReusedAndTheHistorySurvivesARestart) {
    const auto printOne = [](Rig& rig, int n, int pages) {
        rig.writeJob(numberedJob(n, pages));
        return rig.tickUntil([&] { return rig.monitor.history().size() == size_t(n); });
    };
    std::string history;
    {
        Rig rig;
        rig.monitor.resume();
        ASSERT_TRUE(printOne(rig, 1, 2));
        ASSERT_TRUE(printOne(rig, 2, 1));
        rig.shutdown();
        history = readText(rig.path("Zelmo.history"));
        Rig next;
        writeFile(next.path("Zelmo.queue"), readFile(rig.path("Zelmo.queue")));
        writeFile(next.path("Zelmo.history"), readFile(rig.path("Zelmo.history")));
        next.monitor.resume();
        ASSERT_TRUE(printOne(next, 3, 1));
        const std::deque<HistoryEntry>& h = next.monitor.history();
        ASSERT_EQ(h.size(), 3u);
        for (std::size_t i = 0; i < h.size(); ++i) {
            EXPECT_EQ(h[i].job, static_cast<int64_t>(i + 1));
            EXPECT_EQ(h[i].queueName, "Zelmo1.Prn");
            EXPECT_EQ(h[i].outcome, HistoryEntry::Outcome::Printed);
            EXPECT_EQ(h[i].printer, next.printer.config().name);
        }
        EXPECT_EQ(h[0].pages, 2);
        EXPECT_EQ(h[2].pages, 1);
        EXPECT_EQ(h[2].captured, next.clockNow);
    }
    // Past its length the oldest go, and a line that does not read is skipped.
    std::string longer = "x\tgarbage\n";
    for (int i = 0; i < int(kHistoryLength) + 5; ++i)
        longer += std::to_string(i + 1) + "\t1\t2\t1\tprinted\tZelmo1.Prn\tBiuro\t\n";
    const std::deque<HistoryEntry> parsed = parseHistory(longer);
    ASSERT_EQ(parsed.size(), kHistoryLength);
    EXPECT_EQ(parsed.front().job, 6);
    EXPECT_EQ(formatHistory(parseHistory(history)), history);
}

// A file drawing no page that is not text is refused before any sheet, once, and says what it
// looks like: printing it again would print the same noise.
TEST(PipelineQueue, JunkIsSetAsideUnprintedSayingWhatItLooksLike) {
    Rig rig;
    const std::string pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n";
    rig.writeJob(std::vector<uint8_t>(pdf.begin(), pdf.end()));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(documentKinds(rig.printer), "");
    EXPECT_EQ(rig.events.lines(), (Names{"Captured Zelmo1.Prn", "SetAside Zelmo1.Prn"}));
    EXPECT_EQ(rig.events.events.back().reason, SetAsideReason::NotText);
    const auto files = rig.monitor.snapshot();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].reason, SetAsideReason::NotText);
    EXPECT_EQ(files[0].message, "plik PDF");
    EXPECT_EQ(journalStates(readText(rig.path("Zelmo.queue"))), "aside Zelmo1.Prn not-text\n");
    // The next run tells the same reason, not only the general one.
    rig.shutdown();
    Rig next;
    writeFile(next.path("Zelmo1.Prn"), readFile(rig.path("Zelmo1.Prn")));
    writeFile(next.path("Zelmo.queue"), readFile(rig.path("Zelmo.queue")));
    next.monitor.resume();
    const auto after = next.monitor.snapshot();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].reason, SetAsideReason::NotText);
    EXPECT_EQ(after[0].message, "plik PDF");
}

// The store of printed jobs at its bounds: by count (the 200th newest stays, the 201st goes)
// and by bytes (a total equal to the limit stays), the oldest job numbers dropped first.
struct StoreCase {
    const char* name;
    PrintedStoreLimits limits;
    std::vector<std::pair<int64_t, std::size_t>> kept;  // job and size, in the order kept
    std::set<int64_t> left;
};

class PrintedStoreBounds : public ::testing::TestWithParam<StoreCase> {};

TEST_P(PrintedStoreBounds, KeepsTheNewestWithinBothLimits) {
    const StoreCase& c = GetParam();
    TempDir dir;
    PrintedStore store(dir.path());
    store.setLimits(c.limits);
    for (const auto& [job, size] : c.kept) {
        writeFile(dir.path() + "job", std::vector<uint8_t>(size, 'x'));
        store.keep(dir.path() + "job", job);
        EXPECT_FALSE(files::exists(dir.path() + "job"));
    }
    EXPECT_EQ(store.jobs(), c.left);
}

std::vector<std::pair<int64_t, std::size_t>> jobsOfSize(int count, std::size_t size) {
    std::vector<std::pair<int64_t, std::size_t>> jobs;
    for (int job = 1; job <= count; ++job)
        jobs.emplace_back(job, size);
    return jobs;
}

std::set<int64_t> jobRange(int64_t first, int64_t last) {
    std::set<int64_t> jobs;
    for (int64_t job = first; job <= last; ++job)
        jobs.insert(job);
    return jobs;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintedStoreBounds,
    ::testing::Values(StoreCase{"count200", {}, jobsOfSize(200, 10), jobRange(1, 200)},
                      StoreCase{"count201", {}, jobsOfSize(201, 10), jobRange(2, 201)},
                      StoreCase{"bytesAtLimit", {200, 100}, jobsOfSize(2, 50), jobRange(1, 2)},
                      StoreCase{"bytesPastLimit", {200, 100}, jobsOfSize(3, 40), jobRange(2, 3)},
                      StoreCase{"oneTooLarge", {200, 100}, jobsOfSize(1, 101), {}},
                      // A job printed again keeps one copy, the newest.
                      StoreCase{
                          "sameJobAgain", {200, 100}, {{1, 60}, {2, 30}, {1, 60}}, jobRange(1, 2)}),
    [](const auto& info) { return std::string(info.param.name); });

// A printed job comes back from the store under its number with the same bytes, and prints the
// same page again; one whose kept file is gone (dropped, or removed from outside) is said to be
// no longer kept, and nothing is queued.
TEST(PipelineQueue, AFinishedJobPrintsAgainFromTheStoreWhileItsFileIsKept) {
    Rig rig;
    rig.monitor.resume();
    for (int n = 1; n <= 2; ++n) {
        rig.writeJob(numberedJob(n));
        ASSERT_TRUE(rig.tickUntil([&] { return rig.monitor.history().size() == size_t(n); }));
    }
    ASSERT_EQ(rig.monitor.printedStore().jobs(), (std::set<int64_t>{1, 2}));
    EXPECT_EQ(rig.monitor.printAgainFinished(1), SpoolMonitor::AgainResult::Queued);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(rig.monitor.history().back().job, 1);
    EXPECT_EQ(rig.events.lines()[rig.events.lines().size() - 2], "PrintAgain Zelmo1.Prn");
    EXPECT_EQ(listDir(rig.dir.path()), Names{});

    std::filesystem::remove(rig.monitor.printedStore().fileOf(2));
    EXPECT_EQ(rig.monitor.printAgainFinished(2), SpoolMonitor::AgainResult::NotKept);
    EXPECT_EQ(rig.monitor.printAgainFinished(77), SpoolMonitor::AgainResult::NotKept);
    EXPECT_EQ(rig.monitor.queue().pendingCount, 0);
    EXPECT_EQ(rig.monitor.printedStore().jobs(), (std::set<int64_t>{1}));
}

}  // namespace
}  // namespace zelmo::pipeline_test
