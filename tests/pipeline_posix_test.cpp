// The capture where POSIX semantics matter: symbolic links, and a user who may not rename in
// the program's folder (set-user-id and fork).
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
    const bool ended = waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
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

}  // namespace
}  // namespace zelmo::pipeline_test
