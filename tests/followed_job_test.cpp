// A followed job settles on the print system's last word, and on its silence only after the
// limit of looks in a row.
#include "printers/followed_job.h"
#include "tests/support/eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zelmo {
namespace {

// A job whose looks find what the test scripted, one finding per poll, then Queued.
class ScriptedJob : public FollowedJob {
  public:
    ScriptedJob(int limit, std::vector<JobSighting> script)
        : FollowedJob(limit), script_(std::move(script)) {}
    void poll() override {
        const size_t at = polls.fetch_add(1);
        observe(at < script_.size() ? script_[at] : JobSighting::Queued, "look");
    }
    std::atomic<size_t> polls{0};

  private:
    std::vector<JobSighting> script_;
};

TEST(FollowedJob, SettlesOnTheLastWordOrAfterTooManySilentLooks) {
    using S = JobSighting;
    const struct {
        std::vector<JobSighting> looks;
        SubmittedState state;
    } cases[] = {
        {{}, SubmittedState::Queued},
        {{S::Queued, S::Queued}, SubmittedState::Queued},
        {{S::Queued, S::Printed}, SubmittedState::Completed},
        {{S::Queued, S::Failed}, SubmittedState::Failed},
        {{S::Gone}, SubmittedState::Unknown},
        {{S::NoAnswer, S::NoAnswer}, SubmittedState::Queued},
        {{S::NoAnswer, S::NoAnswer, S::NoAnswer}, SubmittedState::Unknown},
        // An answer in between starts the count again.
        {{S::NoAnswer, S::NoAnswer, S::Queued, S::NoAnswer, S::NoAnswer}, SubmittedState::Queued},
        // Settled for good: a job printed and then removed from the queue is not "sent".
        {{S::Printed, S::Gone}, SubmittedState::Completed},
        {{S::Failed, S::Printed}, SubmittedState::Failed},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ScriptedJob job(3, cases[i].looks);
        for (size_t look = 0; look < cases[i].looks.size(); ++look)
            job.poll();
        EXPECT_EQ(job.state(), cases[i].state) << "case " << i;
    }
}

// The process's watcher polls a followed job until it settles, and then no more.
TEST(FollowedJob, TheWatcherPollsUntilTheJobSettles) {
    auto job = std::make_shared<ScriptedJob>(
        3,
        std::vector<JobSighting>{JobSighting::Queued, JobSighting::NoAnswer, JobSighting::Printed});
    followJob(job, std::chrono::milliseconds(1));
    eventually([&] { return job->state() != SubmittedState::Queued; });
    EXPECT_EQ(job->state(), SubmittedState::Completed);
    EXPECT_EQ(job->message(), "look");
    EXPECT_EQ(job->polls.load(), 3u);
}

}  // namespace
}  // namespace zelmo
