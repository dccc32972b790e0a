// Page images compressed on background threads while the interpreter composes the next pages:
// Group 4 first, Deflate where Group 4 does badly (dense halftone). Each job owns its bytes, so a
// job never shares memory with the thread that queued it.
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

struct ImageJob {
    int object = 0;          // the PDF object the compressed bytes become
    std::string dictionary;  // its stream dictionary, without Filter and Length
    int width = 0, height = 0;
    bool oneIsBlack = false;
    // Rows of (width + 7) / 8 bytes, top row first; kept with the job, so that a finished job
    // can take the next page's rows without a fresh allocation.
    std::vector<uint8_t> input;
    std::string filter;  // the Filter and DecodeParms entries of the chosen compression
    std::vector<uint8_t> output;
    size_t length = 0;
    std::exception_ptr error;  // what went wrong instead, rethrown by whoever takes the job
};

class ImagePool {
  public:
    // threads compressing, Deflate at the given libdeflate level, at most that many jobs
    // unfinished.
    ImagePool(int threads, int level);
    // Stops the threads; jobs not taken are dropped.
    ~ImagePool();
    ImagePool(const ImagePool&) = delete;
    ImagePool& operator=(const ImagePool&) = delete;

    // True when another job would have to wait for one to finish.
    bool full() const;
    void submit(std::unique_ptr<ImageJob> job);
    // A finished job, oldest first; waits for one when wait and any is unfinished. Null when
    // there is none to give.
    std::unique_ptr<ImageJob> take(bool wait);

  private:
    void work();

    const int level_;
    const size_t limit_;
    mutable std::mutex lock_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::unique_ptr<ImageJob>> waiting_;
    std::deque<std::unique_ptr<ImageJob>> done_;
    size_t unfinished_ = 0;  // queued or being compressed
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace zelmo::pdf
