// The files of printed jobs, kept so that a finished job can be printed again from the history.
// They live in the folder "Zelmo.printed" beside the queue, one file per job named after its
// number ("18.prn"). The store is bounded by the last 200 jobs (the history's length, so that
// every printed job the history lists can be printed again while it is that recent) and by
// 100 MiB in all, whichever comes first: the oldest job numbers go first. An office's
// invoice is a few tens of kilobytes, so the count decides; the size bound only stops a run of
// large raster jobs (scans, logos on every page) from filling a small office PC's disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace zelmo {

constexpr const char* kPrintedStoreName = "Zelmo.printed";

constexpr std::size_t kPrintedStoreJobs = 200;
constexpr uint64_t kPrintedStoreMiB = 100;

struct PrintedStoreLimits {
    std::size_t jobs = kPrintedStoreJobs;
    uint64_t bytes = kPrintedStoreMiB << 20;
};

class PrintedStore {
  public:
    // programDir ends with a path separator.
    explicit PrintedStore(std::string programDir);

    // Moves the printed job's file into the store (replacing an older copy of the same job),
    // then drops what is past the limits. A file that cannot be moved is deleted: a failed
    // store must never leave a printed job behind as if it waited.
    void keep(const std::string& path, int64_t job);
    // The kept file of job, or empty when the store no longer has it.
    std::string fileOf(int64_t job) const;
    // The numbers of the jobs kept now.
    std::set<int64_t> jobs() const;
    void setLimits(const PrintedStoreLimits& limits) { limits_ = limits; }
    const PrintedStoreLimits& limits() const { return limits_; }

  private:
    std::string pathOf(int64_t job) const;
    // Drops the oldest kept jobs until both limits hold.
    void trim();

    std::string folder_;  // with its trailing separator
    PrintedStoreLimits limits_;
};

}  // namespace zelmo
