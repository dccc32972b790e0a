// The CUPS job watcher: Get-Job-Attributes for each job still queued, on a thread of its own.
#include "platform/cups/cups_jobs.h"

#include <cups/cups.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelmo {
namespace {

constexpr auto kPollInterval = std::chrono::seconds(1);

// One submitted job; the watcher writes, anyone reads.
class CupsJob : public SubmittedDocument {
  public:
    explicit CupsJob(int id) : id_(id) {}
    int id() const { return id_; }
    SubmittedState state() const override { return state_.load(); }
    std::string message() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return message_;
    }
    void settle(SubmittedState state, std::string message) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            message_ = std::move(message);
        }
        state_.store(state);
    }

  private:
    const int id_;
    std::atomic<SubmittedState> state_{SubmittedState::Queued};
    mutable std::mutex lock_;
    std::string message_;
};

// What a job-state and its reasons mean for the job's owner.
SubmittedState meaning(int jobState) {
    switch (jobState) {
        case IPP_JSTATE_COMPLETED:
            return SubmittedState::Completed;
        case IPP_JSTATE_CANCELED:
        case IPP_JSTATE_ABORTED:
            return SubmittedState::Failed;
        default:
            return SubmittedState::Queued;
    }
}

// The reason cupsd gives for the job's state, the one about the job itself ("job-canceled-by-
// user", "job-aborted-by-system") ahead of those about the printer; empty when it gives none.
std::string jobReason(ipp_t* response) {
    ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
    std::string first;
    for (int i = 0; reasons && i < ippGetCount(reasons); ++i) {
        const char* reason = ippGetString(reasons, i, nullptr);
        if (!reason) continue;
        if (std::strncmp(reason, "job-", 4) == 0) return reason;
        if (first.empty()) first = reason;
    }
    return first;
}

// Asks cupsd where the job stands; a server that does not answer leaves it as it was.
void poll(CupsJob& job) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(job.id());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const kWanted[] = {"job-state", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  kWanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    // A job cupsd no longer knows (its history purged) may well have printed: it cannot say.
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) job.settle(SubmittedState::Unknown, {});
    if (!response) return;
    ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
    if (state) {
        const int value = ippGetInteger(state, 0);
        // The state's own name first: a reason alone may speak of the printer, not the job.
        std::string message =
            "CUPS job " + std::to_string(job.id()) + " " + ippEnumString("job-state", value);
        const std::string reason = jobReason(response);
        if (!reason.empty()) message += " (" + reason + ")";
        job.settle(meaning(value), message);
    }
    ippDelete(response);
}

// The watcher's thread and the jobs it follows; stopped and joined when the program ends.
class Watcher {
  public:
    ~Watcher() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    // Adds a job; the thread starts with the first one.
    void add(const std::shared_ptr<CupsJob>& job) {
        std::lock_guard<std::mutex> guard(lock_);
        jobs_.push_back(job);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }

  private:
    // Polls every job still queued and still wanted, then sleeps until the next round.
    void run() {
        std::unique_lock<std::mutex> guard(lock_);
        while (!stop_) {
            std::vector<std::shared_ptr<CupsJob>> round;
            std::vector<std::weak_ptr<CupsJob>> kept;
            for (const auto& weak : jobs_) {
                auto job = weak.lock();
                if (!job || job->state() != SubmittedState::Queued) continue;
                round.push_back(job);
                kept.push_back(weak);
            }
            jobs_ = std::move(kept);
            guard.unlock();
            for (const auto& job : round)
                poll(*job);
            guard.lock();
            wake_.wait_for(guard, kPollInterval, [this] { return stop_; });
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::vector<std::weak_ptr<CupsJob>> jobs_;
    std::thread thread_;  // last: joined before the members it uses go
};

Watcher& watcher() {
    static Watcher instance;
    return instance;
}

}  // namespace

// Registers the job with the process's watcher.
std::shared_ptr<SubmittedDocument> followCupsJob(int jobId) {
    auto job = std::make_shared<CupsJob>(jobId);
    watcher().add(job);
    return job;
}

}  // namespace zelmo
