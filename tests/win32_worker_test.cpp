// A print worker whose thread the system ends in the middle of a job, as Windows (or Wine) ends
// a thread whose stack overflowed: the monitor notices, starts a new worker and tells the user;
// the job prints again (unless part of it may be in the print system), and a job that ends the
// worker twice is set aside while the next prints.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "pipeline_fixture.h"

namespace zelmo::pipeline_test {
namespace {

struct DeathCase {
    const char* name;
    int singleMode;  // each page a document of its own
    int firstDeath;  // the document (counted from 0) whose beginning first ends the thread
    int deaths;      // so many documents from there on end it
    std::vector<int> printed;
    std::vector<std::string> left;  // set aside: "name reason"
};

void PrintTo(const DeathCase& c, std::ostream* os) {
    *os << c.name;
}

class Win32WorkerDeath : public ::testing::TestWithParam<DeathCase> {};

TEST_P(Win32WorkerDeath, IsToldAndANewWorkerPrintsOn) {
    const DeathCase& c = GetParam();
    Rig rig;
    std::atomic<int> ended{0};
    rig.settings.singleMode = c.singleMode;
    rig.printer.setStartDocHook([&](int begun) {
        if (begun < c.firstDeath || ended.load() >= c.deaths) return;
        ++ended;
        ::ExitThread(1);
    });
    rig.monitor.setHeld(true);
    for (int n = 1; n <= 2; ++n) {
        rig.writeJob(numberedJob(n, /*pages=*/2));
        rig.tick();
    }
    rig.monitor.setHeld(false);
    ASSERT_TRUE(rig.tickUntil([&] {
        rig.supervise();
        return rig.drained();
    }));
    EXPECT_EQ(printedJobs(rig.printer), c.printed);
    std::vector<std::string> left;
    for (const QueueFileInfo& f : rig.monitor.snapshot())
        left.push_back(f.name + " " + toString(f.reason));
    EXPECT_EQ(left, c.left);
    const auto died =
        std::count_if(rig.events.events.begin(), rig.events.events.end(), [](const JobEvent& e) {
            return e.kind == JobEventKind::WorkerDied && e.queueName == "Zelmo1.Prn";
        });
    EXPECT_EQ(died, c.deaths);
}

INSTANTIATE_TEST_SUITE_P(
    Deaths, Win32WorkerDeath,
    ::testing::Values(DeathCase{"once", 0, 0, 1, {1, 2}, {}},
                      DeathCase{"twice", 0, 0, 2, {2}, {"Zelmo1.Prn BrokeWorker"}},
                      // Its first page went to the print system: never printed twice.
                      DeathCase{
                          "afterAPageWentOut", 1, 1, 1, {1, 2, 2}, {"Zelmo1.Prn Interrupted"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelmo::pipeline_test
