// The followed job's state and the thread that polls the jobs still queued.
#include "printers/followed_job.h"

#include <condition_variable>
#include <thread>
#include <utility>
#include <vector>

namespace zelmo {
namespace {

std::atomic<bool> stopping{false};

// The watcher's thread and the jobs it follows; stopped and joined when the program ends.
class Watcher {
  public:
    explicit Watcher(std::chrono::milliseconds interval) : interval_(interval) {}
    ~Watcher() {
        stopping.store(true);
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    // Adds a job; the thread starts with the first one.
    void add(const std::shared_ptr<FollowedJob>& job) {
        std::lock_guard<std::mutex> guard(lock_);
        jobs_.push_back(job);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }

  private:
    // The jobs still queued and still wanted; the others are dropped from the list.
    std::vector<std::shared_ptr<FollowedJob>> roundNoLock() {
        std::vector<std::shared_ptr<FollowedJob>> round;
        std::vector<std::weak_ptr<FollowedJob>> kept;
        for (const auto& weak : jobs_) {
            auto job = weak.lock();
            if (!job || job->state() != SubmittedState::Queued) continue;
            round.push_back(job);
            kept.push_back(weak);
        }
        jobs_ = std::move(kept);
        return round;
    }

    // Polls every job of the round outside the lock, then sleeps until the next round.
    void run() {
        std::unique_lock<std::mutex> guard(lock_);
        while (!stop_) {
            const auto round = roundNoLock();
            guard.unlock();
            for (const auto& job : round)
                job->poll();
            guard.lock();
            wake_.wait_for(guard, interval_, [this] { return stop_; });
        }
    }

    const std::chrono::milliseconds interval_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::vector<std::weak_ptr<FollowedJob>> jobs_;
    std::thread thread_;  // last: joined before the members it uses go
};

}  // namespace

SubmittedState FollowedJob::state() const {
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

std::string FollowedJob::message() const {
    std::lock_guard<std::mutex> guard(lock_);
    return message_;
}

HoldUp FollowedJob::holdUp() const {
    std::lock_guard<std::mutex> guard(lock_);
    return state_ == SubmittedState::Queued ? holdUp_ : HoldUp{};
}

// A settled job stays settled: a later look may no longer find it, which says nothing new.
void FollowedJob::observe(JobSighting sighting, const std::string& message, PrintTrouble trouble) {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ != SubmittedState::Queued) return;
    if (sighting != JobSighting::NoAnswer) silent_ = 0;
    if (!message.empty()) message_ = message;
    if (sighting == JobSighting::HeldUp || (sighting == JobSighting::NoAnswer && !message.empty()))
        holdUp_ = HoldUp{trouble, message};
    else if (sighting != JobSighting::NoAnswer)
        holdUp_ = {};
    switch (sighting) {
        case JobSighting::Queued:
        case JobSighting::HeldUp:
            return;
        case JobSighting::Printed:
            state_ = SubmittedState::Completed;
            return;
        case JobSighting::Failed:
            state_ = SubmittedState::Failed;
            return;
        case JobSighting::Gone:
            state_ = SubmittedState::Unknown;
            return;
        case JobSighting::NoAnswer:
            // A print system that never answers must not keep the job's file forever.
            if (++silent_ >= silentLimit_) state_ = SubmittedState::Unknown;
            return;
    }
}

const std::atomic<bool>& followingStops() {
    return stopping;
}

void followJob(const std::shared_ptr<FollowedJob>& job, std::chrono::milliseconds interval) {
    static Watcher watcher(interval);
    watcher.add(job);
}

}  // namespace zelmo
