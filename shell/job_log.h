// Zelmo.log: one line per job event with the local time, so that an office can see afterwards
// what was printed, what failed and why. The log never grows past its bound: when a line would
// take it past, the file becomes Zelmo.log.1 (replacing the older one) and a new log begins; when
// Zelmo.log.1 cannot be replaced, the log begins again in place. The log is only ever written as
// a regular file: a link, FIFO or folder in its place is a failure, told once, and its lines wait
// (up to a bound) for the next event to try again.
#pragma once

#include <cstdint>
#include <string>

#include "pipeline/job_events.h"

namespace zelmo {

class JobLog : public JobEventSink {
  public:
    static constexpr uint64_t kDefaultMaxBytes = 1 << 20;

    // trouble, when given, hears of the log's own failures (LogTrouble events).
    explicit JobLog(std::string path, uint64_t maxBytes = kDefaultMaxBytes,
                    JobEventSink* trouble = nullptr);
    void jobEvent(const JobEvent& event) override;

    // The line an event makes, without the time and the line end.
    static std::string describe(const JobEvent& event);

  private:
    bool flush(WallTime when);
    bool rotate(WallTime when);
    void tell(const std::string& message);

    std::string path_;
    uint64_t maxBytes_;
    JobEventSink* trouble_;
    std::string pending_;        // lines not written yet: the log could not be written
    bool troubled_ = false;      // a failure to write was told and has not ended yet
    bool rotationTold_ = false;  // a failed rotation is told once a run
};

}  // namespace zelmo
