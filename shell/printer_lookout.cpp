// The lookout's thread: one question at a time, its answer kept until the window takes it.
#include "shell/printer_lookout.h"

#include "platform/printer.h"

namespace zelmo {

PrinterLookout::PrinterLookout() : thread_([this] { run(); }) {}

PrinterLookout::~PrinterLookout() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool PrinterLookout::ask(Question question) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (out_) return false;
        out_ = true;
        question_ = std::move(question);
        answer_.reset();
    }
    changed_.notify_all();
    return true;
}

bool PrinterLookout::asking() const {
    std::lock_guard<std::mutex> guard(lock_);
    return out_;
}

std::optional<PrinterLook> PrinterLookout::answer(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, wait, [this] { return answer_.has_value(); })) return {};
    std::optional<PrinterLook> taken = std::move(answer_);
    answer_.reset();
    out_ = false;
    return taken;
}

// Answers each question outside the lock, so that the window can ask whether it is done.
void PrinterLookout::run() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [this] { return stop_ || question_; });
        if (stop_) return;
        Question question = std::move(question_);
        question_ = nullptr;
        guard.unlock();
        PrinterLook look = question();
        guard.lock();
        answer_ = std::move(look);
        changed_.notify_all();
    }
}

}  // namespace zelmo
