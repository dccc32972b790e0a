// Kills at the pipeline's riskiest moments: the folder is copied as it stands at that moment
// (what a kill -9 would leave on disk) and a new monitor starts on the copy. Every printout
// must then print by itself, except one that may already be partly in the print system.
#include <gtest/gtest.h>

#include <filesystem>

#include "pipeline_fixture.h"

namespace zelmo::pipeline_test {
namespace {

using Names = std::vector<std::string>;

// The folder's files as they stand now, copied into to.
void copyFolder(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(from))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), fs::path(to) / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
}

// What the monitor of a restarted run lists: "name state reason".
Names states(const SpoolMonitor& monitor) {
    Names out;
    for (const QueueFileInfo& f : monitor.snapshot())
        out.push_back(f.name + " " + std::to_string(static_cast<int>(f.state)) + " " +
                      toString(f.reason));
    return out;
}

// Copies the folder when a job is captured, before the monitor does anything more.
class KillAtCapture : public JobEventSink {
  public:
    KillAtCapture(const std::string& from, const std::string& to) : from_(from), to_(to) {}
    void jobEvent(const JobEvent& event) override {
        if (event.kind == JobEventKind::Captured) copyFolder(from_, to_);
    }

  private:
    std::string from_, to_;
};

TEST(PipelineKill, AJobKilledRightAfterItsCaptureStillPrints) {
    Rig killed;
    Rig restarted;
    KillAtCapture kill(killed.dir.path(), restarted.dir.path());
    killed.monitor.setEventSink(kill);
    killed.monitor.setHeld(true);
    killed.writeJob(numberedJob(1));
    killed.tick();
    ASSERT_TRUE(std::filesystem::exists(restarted.path("Zelmo1.Prn")));

    restarted.monitor.resume();
    // The pause that held the killed run outlives it; the user resumes.
    EXPECT_TRUE(restarted.monitor.held());
    restarted.monitor.setHeld(false);
    ASSERT_TRUE(restarted.tickUntil([&] { return restarted.drained(); }));
    ASSERT_EQ(printedJobs(restarted.printer), std::vector<int>{1});
    // The job number given at capture survives, and the next one is never given again.
    ASSERT_FALSE(restarted.events.events.empty());
    EXPECT_EQ(restarted.events.events.front().job, 1);
    EXPECT_EQ(restarted.monitor.nextJob(), 2);
}

struct InterruptCase {
    const char* name;
    int killAtDocument;  // the kill comes as this document of the job begins
    std::vector<int> reprinted;
    Names left;
};

void PrintTo(const InterruptCase& c, std::ostream* os) {
    *os << c.name;
}

class PipelineInterrupted : public ::testing::TestWithParam<InterruptCase> {};

// A job of two one-page documents (single mode) killed as its first or its second document
// begins: before the first nothing reached the print system, after it a page may have.
TEST_P(PipelineInterrupted, IsSetAsideOnlyWhenPartOfItMayHaveBeenSubmitted) {
    const InterruptCase& c = GetParam();
    Rig killed;
    Rig restarted;
    killed.settings.singleMode = 1;
    killed.printer.setStartDocHook([&](int begun) {
        if (begun == c.killAtDocument) copyFolder(killed.dir.path(), restarted.dir.path());
    });
    killed.writeJob(numberedJob(1, 2));
    ASSERT_TRUE(killed.tickUntil([&] { return killed.drained(); }));

    restarted.monitor.resume();
    ASSERT_TRUE(restarted.tickUntil([&] { return restarted.drained(); }));
    EXPECT_EQ(printedJobs(restarted.printer), c.reprinted);
    EXPECT_EQ(states(restarted.monitor), c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Kills, PipelineInterrupted,
    ::testing::Values(InterruptCase{"beforeAnySubmission", 0, {1}, {}},
                      InterruptCase{"afterTheFirstDocument", 1, {}, {"Zelmo1.Prn 3 Interrupted"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A job that ends the whole program as its document begins (a crash, a stack overflow): the
// next run prints it again, the run after its second such end sets it aside with that reason,
// and the job behind it prints.
TEST(PipelineKill, AJobThatEndsTheProgramTwiceIsSetAsideAndTheNextPrints) {
    Rig runs[3];
    runs[0].monitor.setHeld(true);
    for (int n = 1; n <= 2; ++n) {
        runs[0].writeJob(numberedJob(n));
        runs[0].tick();
    }
    runs[0].monitor.setHeld(false);
    for (int r = 0; r < 2; ++r) {
        Rig& from = runs[r];
        Rig& to = runs[r + 1];
        from.printer.setStartDocHook([&](int begun) {
            if (begun == 0) copyFolder(from.dir.path(), to.dir.path());
        });
        if (r > 0) from.monitor.resume();
        ASSERT_TRUE(from.tickUntil([&] { return from.drained(); }));
    }
    runs[2].monitor.resume();
    ASSERT_TRUE(runs[2].tickUntil([&] { return runs[2].drained(); }));
    EXPECT_EQ(printedJobs(runs[2].printer), std::vector<int>{2});
    EXPECT_EQ(states(runs[2].monitor), Names{"Zelmo1.Prn 3 BrokeWorker"});
}

// A journal that cannot be written is told once, while capture goes on; a kill meanwhile loses
// no job, and the journal is written again once it can be.
TEST(PipelineKill, JobsCapturedWhileTheJournalFailsSurviveAKill) {
    Rig killed;
    killed.monitor.resume();
    // The journal's temporary file cannot be made while a folder has its name.
    std::filesystem::create_directory(killed.path("Zelmo.queue.tmp"));
    killed.monitor.setHeld(true);
    for (const char* name : {"Zelmo1.Prn", "Zelmo2.Prn"}) {
        killed.writeJob(numberedJob(name[5] - '0'));
        killed.tick();
        ASSERT_TRUE(std::filesystem::exists(killed.path(name)));
    }
    const auto told = [&](JobEventKind kind) {
        return std::count_if(killed.events.events.begin(), killed.events.events.end(),
                             [kind](const JobEvent& e) { return e.kind == kind; });
    };
    EXPECT_EQ(told(JobEventKind::JournalFailed), 1);

    Rig restarted;
    copyFolder(killed.dir.path(), restarted.dir.path());
    restarted.monitor.resume();
    ASSERT_TRUE(restarted.tickUntil([&] { return restarted.drained(); }));
    EXPECT_EQ(printedJobs(restarted.printer), (std::vector<int>{1, 2}));

    std::filesystem::remove(killed.path("Zelmo.queue.tmp"));
    killed.tick();
    EXPECT_EQ(told(JobEventKind::JournalRestored), 1);
    EXPECT_NE(readText(killed.path("Zelmo.queue")).find("waiting Zelmo2.Prn 2"), std::string::npos);
}

}  // namespace
}  // namespace zelmo::pipeline_test
