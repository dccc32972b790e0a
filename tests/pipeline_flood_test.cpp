// Hundreds of jobs written as fast as capture allows, with printer faults injected and a
// termination in the middle of a job at the end: no job may be lost or printed twice.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <set>

#include "pipeline_fixture.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace zelmo::pipeline_test {
namespace {

constexpr int kJobs = 400;
constexpr int kCapturedWithoutPrinter = 20;  // jobs queued before the printer appears
constexpr int kFailEvery = 29;               // every 29th job's document cannot begin
constexpr int kLastPrinted = kJobs - 3;      // terminated in the middle of this job

// Writes jobs 1..kJobs into the monitored file, each once the previous one was captured, in
// two writes so that captures also meet a file still being written.
void writeJobs(const std::string& monitored, std::atomic<bool>& failed) {
    for (int n = 1; n <= kJobs; ++n) {
        if (!eventually([&] { return !files::exists(monitored); })) {
            failed.store(true);
            return;
        }
        const std::vector<uint8_t> job = numberedJob(n);
        const int fd = ::open(monitored.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const std::size_t half = job.size() / 2;
        if (fd < 0 || ::write(fd, job.data(), half) != static_cast<ssize_t>(half) ||
            ::write(fd, job.data() + half, job.size() - half) !=
                static_cast<ssize_t>(job.size() - half)) {
            failed.store(true);
        }
        if (fd >= 0) ::close(fd);
    }
}

// The queue file that holds job n.
std::string fileNamed(const Rig& rig, int n) {
    for (const std::string& name : listDir(rig.dir.path()))
        if (name != "Zelmo.queue" && name != "Zelmo.sent" &&
            jobNumberOfFile(readFile(rig.path(name))) == n)
            return name;
    return "?";
}

TEST(PipelineFlood, EveryJobPrintsOnceInOrderOrKeepsItsFile) {
    Rig rig(/*printerAvailable=*/false);
    // A failure sets its job aside at once: each job reaches the printer once at most.
    rig.monitor.setRetryPolicy(RetryPolicy{1});
    Gate lastJob;
    // Every job reaches its first page once, in order, so attempt a belongs to job a + 1.
    rig.printer.setStartDocHook([&, attempt = 0](int) mutable {
        const int job = ++attempt;
        if (job % kFailEvery == 0) throw PrinterError("Printer selected is not valid");
        if (job == kLastPrinted) {
            lastJob.arrive();
            eventually([&] { return rig.worker->terminated(); });
        }
    });

    std::atomic<bool> writerFailed{false};
    std::thread writer(writeJobs, rig.monitor.monitoredFile(), std::ref(writerFailed));
    int ticks = 0;
    const bool settled = rig.tickUntil([&] {
        ++ticks;
        if (rig.monitor.queue().pendingCount >= kCapturedWithoutPrinter)
            rig.printer.setAvailable(true);
        // The last job is held mid-print; the ones behind it must all be captured.
        return (lastJob.arrived() && rig.monitor.queue().pendingCount == kJobs - kLastPrinted + 1 &&
                !files::exists(rig.monitor.monitoredFile())) ||
               writerFailed.load();
    });
    writer.join();
    rig.shutdown();
    ASSERT_TRUE(settled);
    ASSERT_FALSE(writerFailed.load());

    const std::vector<int> printed = printedJobs(rig.printer);
    for (std::size_t i = 1; i < printed.size(); ++i)
        ASSERT_LT(printed[i - 1], printed[i]) << "out of order or twice, at " << i;
    std::set<int> kept;
    const std::string journal = journalStates(readText(rig.path("Zelmo.queue")));
    for (const std::string& name : listDir(rig.dir.path())) {
        if (name == "Zelmo.queue" || name == "Zelmo.sent") continue;
        ASSERT_TRUE(name.rfind("Zelmo", 0) == 0 && name.size() > 9 &&
                    name.compare(name.size() - 4, 4, ".Prn") == 0)
            << "left behind: " << name;
        kept.insert(jobNumberOfFile(readFile(rig.path(name))));
    }
    std::set<int> expectedKept;
    for (int n = kFailEvery; n < kLastPrinted; n += kFailEvery)
        expectedKept.insert(n);
    for (int n = kLastPrinted; n <= kJobs; ++n)
        expectedKept.insert(n);
    EXPECT_EQ(kept, expectedKept);
    std::set<int> all(printed.begin(), printed.end());
    all.insert(kept.begin(), kept.end());
    EXPECT_EQ(all.size(), printed.size() + kept.size()) << "a job printed and also kept";
    EXPECT_EQ(static_cast<int>(all.size()), kJobs);
    // The journal holds every kept file: the one stopped mid-print, then the ones never begun
    // in their order, then the ones set aside.
    std::string expectedJournal;
    for (int n = kLastPrinted; n <= kJobs; ++n) {
        expectedJournal += n == kLastPrinted ? "printing " : "waiting ";
        expectedJournal += fileNamed(rig, n) + "\n";
    }
    std::set<std::string> asideLines;
    for (int n = kFailEvery; n < kLastPrinted; n += kFailEvery)
        asideLines.insert("aside " + fileNamed(rig, n) + " failed\n");
    for (const std::string& line : asideLines)
        expectedJournal += line;
    EXPECT_EQ(journal, expectedJournal);
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), kJobs);
    EXPECT_EQ(rig.events.boxes().size(), expectedKept.size() - (kJobs - kLastPrinted + 1));

    std::cout << "flood: " << kJobs << " jobs written, " << printed.size() << " printed, "
              << kept.size() << " kept on disk (" << rig.events.boxes().size()
              << " failed to begin, 1 terminated mid-job, " << kJobs - kLastPrinted
              << " never started), " << kCapturedWithoutPrinter
              << " queued before the printer appeared, " << rig.printer.documentsBegun()
              << " documents begun, " << ticks << " ticks\n";
}

}  // namespace
}  // namespace zelmo::pipeline_test
