// The background compressors of the PDF writer.
#include "printers/pdf/image_pool.h"

#include <libdeflate.h>

#include <stdexcept>

#include "printers/pdf/ccitt_g4.h"

namespace zelmo::pdf {
namespace {

// Group 4 is given up as soon as its code outgrows this share of the raw bits (and a small
// allowance for the fixed costs of a small image): the page is dense text, halftone or noise,
// where Deflate is as small or smaller, and only Deflate is run, as much work as before Group 4.
constexpr size_t kG4Share = 32;
constexpr size_t kG4Allowance = 256;
// Group 4 within this share of the raw bits is kept without trying Deflate, which could save at
// most that little. Past it Deflate is tried too and the smaller code kept: Group 4 loses to
// Deflate on dither and on glyph rows that repeat exactly.
constexpr size_t kG4SureShare = 256;

// The Filter and DecodeParms of a Group 4 image; its bits come back as they were.
std::string g4Filter(const ImageJob& job) {
    return " /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns " + std::to_string(job.width) +
           " /Rows " + std::to_string(job.height) + " /BlackIs1 " +
           (job.oneIsBlack ? "true" : "false") + " /EncodedByteAlign false /EndOfBlock true >>";
}

// Deflates the job's rows into its output.
void deflateImage(libdeflate_compressor* compressor, ImageJob& job) {
    if (!compressor) throw std::bad_alloc();
    const std::vector<uint8_t>& in = job.input;
    job.output.resize(libdeflate_zlib_compress_bound(compressor, in.size()));
    job.length = libdeflate_zlib_compress(compressor, in.data(), in.size(), job.output.data(),
                                          job.output.size());
    if (job.length == 0) throw std::runtime_error("Cannot compress a PDF stream");
    job.filter = " /Filter /FlateDecode";
}

// Compresses the job's rows with Group 4 or Deflate, whichever gives less, running Deflate only
// where Group 4 may not be the smaller.
void compressImage(G4Encoder& g4, libdeflate_compressor* compressor, ImageJob& job) {
    const std::vector<uint8_t>& in = job.input;
    job.output.clear();
    job.output.reserve(in.size() / kG4SureShare + kG4Allowance);
    if (!g4.encode(in.data(), job.width, job.height, job.oneIsBlack,
                   in.size() / kG4Share + kG4Allowance, job.output)) {
        deflateImage(compressor, job);
        return;
    }
    job.length = job.output.size();
    job.filter = g4Filter(job);
    if (job.length <= in.size() / kG4SureShare) return;
    ImageJob g4Code;
    g4Code.output.swap(job.output);
    g4Code.length = job.length;
    g4Code.filter.swap(job.filter);
    deflateImage(compressor, job);
    if (g4Code.length > job.length) return;
    job.output.swap(g4Code.output);
    job.length = g4Code.length;
    job.filter.swap(g4Code.filter);
}

}  // namespace

// Starts the threads at once; each keeps its own compressor.
ImagePool::ImagePool(int threads, int level) : level_(level), limit_(static_cast<size_t>(threads)) {
    threads_.reserve(limit_);
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { work(); });
}

// Asks the threads to stop after the job in hand and waits for them.
ImagePool::~ImagePool() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

// Whether every thread has a job already.
bool ImagePool::full() const {
    std::lock_guard<std::mutex> guard(lock_);
    return unfinished_ >= limit_;
}

// Queues a job for the next free thread.
void ImagePool::submit(std::unique_ptr<ImageJob> job) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting_.push_back(std::move(job));
        ++unfinished_;
    }
    queued_.notify_one();
}

// The oldest finished job, after waiting for one if asked and any is still unfinished.
std::unique_ptr<ImageJob> ImagePool::take(bool wait) {
    std::unique_lock<std::mutex> guard(lock_);
    if (wait) finished_.wait(guard, [this] { return !done_.empty() || unfinished_ == 0; });
    if (done_.empty()) return nullptr;
    std::unique_ptr<ImageJob> job = std::move(done_.front());
    done_.pop_front();
    return job;
}

// A thread's loop: take a job, compress it outside the lock, hand it back.
void ImagePool::work() {
    struct Compressor {
        libdeflate_compressor* c;
        ~Compressor() { libdeflate_free_compressor(c); }
    } compressor{libdeflate_alloc_compressor(level_)};
    G4Encoder g4;
    for (;;) {
        std::unique_ptr<ImageJob> job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            queued_.wait(guard, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) return;
            job = std::move(waiting_.front());
            waiting_.pop_front();
        }
        try {
            compressImage(g4, compressor.c, *job);
        } catch (...) {
            job->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> guard(lock_);
            done_.push_back(std::move(job));
            --unfinished_;
        }
        finished_.notify_all();
    }
}

}  // namespace zelmo::pdf
