// A connection of our own to the CUPS server, with a limit on how long any request may go
// unanswered. libcups' shared connection waits a minute for each answer and longer for a job,
// so a cupsd that is stopped or stuck would hold whoever asked it: every CUPS call goes through
// one of these instead.
#pragma once

#include <cups/cups.h>

#include <atomic>

namespace zelmo {

// How long a request may go without a word from cupsd before it is given up (seconds).
constexpr int kCupsPatienceSeconds = 10;

class CupsConnection {
  public:
    // stop, when given, gives up any request at once once it is set (the program is ending).
    explicit CupsConnection(const std::atomic<bool>* stop = nullptr);
    ~CupsConnection();
    CupsConnection(const CupsConnection&) = delete;
    CupsConnection& operator=(const CupsConnection&) = delete;

    // The connection for the next request, made again if the last one was given up; null
    // when the server cannot be reached (cupsLastError says why).
    http_t* get();
    // Whether the last request was given up because cupsd did not answer in time.
    bool silent() const { return silent_; }
    // The connection is given up for a new one at the next get (after a request that failed
    // midway, whose late answer must not be read as the next one's).
    void drop();

  private:
    static int keepWaiting(http_t* http, void* self);

    const std::atomic<bool>* stop_;
    http_t* http_ = nullptr;
    int silentSeconds_ = 0;
    bool silent_ = false;
};

}  // namespace zelmo
