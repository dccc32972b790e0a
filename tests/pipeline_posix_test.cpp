// The capture where POSIX semantics matter: symbolic links, a user who may not rename in the
// program's folder (set-user-id and fork), and a mapped job cut short under the worker.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pipeline_fixture.h"
#include "platform/files.h"

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;

TEST(PipelineQueue, LinkAsTheJobFileIsNeverFollowedAndTheUserIsToldOnce) {
    Rig rig;
    writeFile(rig.path("secret"), numberedJob(1));
    ASSERT_EQ(::symlink(rig.path("secret").c_str(), rig.monitor.monitoredFile().c_str()), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(rig.monitor.capture());
    EXPECT_EQ(rig.events.lines(), Names{"CaptureImpossible"});
    ASSERT_EQ(::unlink(rig.monitor.monitoredFile().c_str()), 0);
    rig.writeJob(numberedJob(2));
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    EXPECT_EQ(printedJobs(rig.printer), std::vector<int>{2});
    EXPECT_EQ(rig.events.lines(), (Names{"CaptureImpossible", "CaptureRestored",
                                         "Captured Zelmo1.Prn", "Printed Zelmo1.Prn"}));
    EXPECT_EQ(listDir(rig.dir.path()), Names{"secret"});
}

TEST(PipelineQueue, RenameFailingForAnotherReasonGivesUpTheCapture) {
    // As an unprivileged owner of the job in a folder it may not write, every rename fails with
    // EACCES; the capture must end rather than count numbers for ever.
    TempDir dir;
    const std::string job = dir.path() + "Wydruk.prn";
    writeFile(job, numberedJob(1));
    const uid_t nobody = 65534;
    ASSERT_EQ(::chown(job.c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(3);
        SimulatedPrinter printer;
        DeviceMetrics metrics;
        HandOver state;
        SpoolMonitor monitor(dir.path(), state, printer, metrics);
        RecordingSink events;
        monitor.setEventSink(events);
        // The job itself is free to take: only the rename can stop the capture.
        if (!files::openExclusive(monitor.monitoredFile()).isOpen()) ::_exit(4);
        bool captured = false;
        for (int i = 0; i < 3; ++i)
            captured = captured || monitor.capture();
        // Told once, then tried quietly.
        // The journal, recorded before the rename, fails for the same reason.
        if (events.lines() != Names{"JournalFailed", "CaptureImpossible"}) ::_exit(5);
        ::_exit(captured ? 1 : monitor.queue().pendingCount == 0 ? 0 : 2);
    }
    int status = 0;
    const bool ended = eventually([&] { return ::waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the capture did not give up";
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(listDir(dir.path()), Names{"Wydruk.prn"});
}

// A large job is mapped, not copied: cut short while it prints, its lost bytes read as zeros,
// and what the worker made of them is not taken for the job, which is loaded again.
TEST(PipelineWorker, AMappedJobCutShortWhileItPrintsIsLoadedAgain) {
    const std::vector<uint8_t> page = numberedJob(1);
    std::vector<uint8_t> job = page;
    job.resize(page.size() + (std::size_t{3} << 20), '\r');
    job.insert(job.end(), page.begin(), page.end());
    Rig rig;
    rig.printer.setStartDocHook([&](int begun) {
        const auto kept = static_cast<off_t>(page.size() + (1 << 20));
        if (begun == 0) {
            EXPECT_EQ(::truncate(rig.path("Zelmo1.Prn").c_str(), kept), 0);
        }
    });
    rig.writeJob(job);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.drained(); }));
    // The second page was lost under the first attempt and is not in the file read again.
    std::vector<std::size_t> sheets;
    for (const auto& doc : rig.printer.memory().documents)
        sheets.push_back(doc.sheets.size());
    EXPECT_EQ(sheets, (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(listDir(rig.dir.path()), Names{});
}

}  // namespace
}  // namespace zelmo::pipeline_test
