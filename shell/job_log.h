// Zelmo.log: one line per job event with the local time, so that an office can see afterwards
// what was printed, what failed and why. The log never grows past its bound: when a line would
// take it past, the file becomes Zelmo.log.1 (replacing the older one) and a new log begins.
#pragma once

#include <cstdint>
#include <string>

#include "pipeline/job_events.h"

namespace zelmo {

class JobLog : public JobEventSink {
  public:
    static constexpr uint64_t kDefaultMaxBytes = 1 << 20;

    explicit JobLog(std::string path, uint64_t maxBytes = kDefaultMaxBytes);
    void jobEvent(const JobEvent& event) override;

    // The line an event makes, without the time and the line end.
    static std::string describe(const JobEvent& event);

  private:
    std::string path_;
    uint64_t maxBytes_;
};

}  // namespace zelmo
