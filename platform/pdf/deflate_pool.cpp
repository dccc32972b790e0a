// The background compressors of the PDF writer.
#include "platform/pdf/deflate_pool.h"

#include <libdeflate.h>

#include <stdexcept>

namespace zelmo::pdf {

// Starts the threads at once; each keeps its own compressor.
DeflatePool::DeflatePool(int threads, int level)
    : level_(level), limit_(static_cast<size_t>(threads)) {
    threads_.reserve(limit_);
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

// Asks the threads to stop after the job in hand and waits for them.
DeflatePool::~DeflatePool() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

// Whether every thread has a job already.
bool DeflatePool::full() const {
    std::lock_guard<std::mutex> guard(lock_);
    return unfinished_ >= limit_;
}

// Queues a job for the next free thread.
void DeflatePool::submit(std::unique_ptr<DeflateJob> job) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting_.push_back(std::move(job));
        ++unfinished_;
    }
    queued_.notify_one();
}

// The oldest finished job, after waiting for one if asked and any is still unfinished.
std::unique_ptr<DeflateJob> DeflatePool::take(bool wait) {
    std::unique_lock<std::mutex> guard(lock_);
    if (wait) finished_.wait(guard, [this] { return !done_.empty() || unfinished_ == 0; });
    if (done_.empty()) return nullptr;
    std::unique_ptr<DeflateJob> job = std::move(done_.front());
    done_.pop_front();
    return job;
}

// A thread's loop: take a job, compress it outside the lock, hand it back.
void DeflatePool::work() {
    struct Compressor {
        libdeflate_compressor* c;
        ~Compressor() { libdeflate_free_compressor(c); }
    } compressor{libdeflate_alloc_compressor(level_)};
    for (;;) {
        std::unique_ptr<DeflateJob> job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            queued_.wait(guard, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) return;
            job = std::move(waiting_.front());
            waiting_.pop_front();
        }
        try {
            if (!compressor.c) throw std::bad_alloc();
            const std::vector<uint8_t>& in = *job->input;
            job->output.resize(libdeflate_zlib_compress_bound(compressor.c, in.size()));
            job->length = libdeflate_zlib_compress(compressor.c, in.data(), in.size(),
                                                   job->output.data(), job->output.size());
            if (job->length == 0) throw std::runtime_error("Cannot compress a PDF stream");
        } catch (...) {
            job->error = std::current_exception();
        }
        job->input.reset();
        {
            std::lock_guard<std::mutex> guard(lock_);
            done_.push_back(std::move(job));
            --unfinished_;
        }
        finished_.notify_all();
    }
}

}  // namespace zelmo::pdf
