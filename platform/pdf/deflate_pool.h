// Deflate on background threads: a document's page images are compressed on the other cores
// while the interpreter composes the next pages. Each job owns its bytes, so a job never shares
// memory with the thread that queued it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelmo::pdf {

struct DeflateJob {
    int object = 0;          // the PDF object the compressed bytes become
    std::string dictionary;  // its stream dictionary, without Filter and Length
    std::shared_ptr<const std::vector<uint8_t>> input;
    std::vector<uint8_t> output;
    size_t length = 0;
    std::exception_ptr error;  // what went wrong instead, rethrown by whoever takes the job
};

class DeflatePool {
  public:
    // threads compressing at the given libdeflate level, at most that many jobs unfinished.
    DeflatePool(int threads, int level);
    // Stops the threads; jobs not taken are dropped.
    ~DeflatePool();
    DeflatePool(const DeflatePool&) = delete;
    DeflatePool& operator=(const DeflatePool&) = delete;

    // True when another job would have to wait for one to finish.
    bool full() const;
    void submit(std::unique_ptr<DeflateJob> job);
    // A finished job, oldest first; waits for one when wait and any is unfinished. Null when
    // there is none to give.
    std::unique_ptr<DeflateJob> take(bool wait);

  private:
    void work();

    const int level_;
    const size_t limit_;
    mutable std::mutex lock_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::unique_ptr<DeflateJob>> waiting_;
    std::deque<std::unique_ptr<DeflateJob>> done_;
    size_t unfinished_ = 0;  // queued or being compressed
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace zelmo::pdf
