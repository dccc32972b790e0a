// Threads and synchronisation over the standard library.
#include "platform/sync.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelmo {

struct CriticalSection::Impl {
    std::mutex mutex;
};

// Creates the critical section.
CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;

// Enters the critical section.
void CriticalSection::lock() {
    impl_->mutex.lock();
}

// Leaves the critical section.
void CriticalSection::unlock() {
    impl_->mutex.unlock();
}

struct ManualResetEvent::Impl {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

// Creates the event non-signalled.
ManualResetEvent::ManualResetEvent() : impl_(std::make_unique<Impl>()) {}
ManualResetEvent::~ManualResetEvent() = default;

// Signals the event and releases every waiter.
void ManualResetEvent::set() {
    {
        std::lock_guard<std::mutex> guard(impl_->mutex);
        impl_->signalled = true;
    }
    impl_->changed.notify_all();
}

// Makes the event non-signalled again.
void ManualResetEvent::reset() {
    std::lock_guard<std::mutex> guard(impl_->mutex);
    impl_->signalled = false;
}

// Blocks until the event is signalled.
void ManualResetEvent::wait() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->changed.wait(lock, [this] { return impl_->signalled; });
}

// Blocks until the event is signalled or timeout has passed.
bool ManualResetEvent::wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [this] { return impl_->signalled; });
}

// Whether the event is signalled now.
bool ManualResetEvent::isSet() const {
    std::lock_guard<std::mutex> guard(impl_->mutex);
    return impl_->signalled;
}

struct WorkerThread::Impl {
    std::thread thread;
    std::once_flag joined;
};

// Starts the body on its own thread at once.
WorkerThread::WorkerThread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->thread = std::thread([this, body = std::move(body)] {
        try {
            body();
        } catch (...) {
            // The thread ends here rather than the whole program: its owner notices it ended.
            ended_.store(true);
            return;
        }
        finished_.store(true);
    });
}

// Only an exception out of the body ends a standard thread early.
bool WorkerThread::ended() const {
    return finished_.load() || ended_.load();
}

// Terminates and joins, so the body never runs on after its owner is gone.
WorkerThread::~WorkerThread() {
    terminate();
    waitFor();
}

// Looks for the end now and then: a standard thread cannot be waited for with a limit.
bool WorkerThread::waitFor(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    waitFor();
    return true;
}

// Joins the thread once; any later call returns at once.
void WorkerThread::waitFor() {
    std::call_once(impl_->joined, [this] {
        if (impl_->thread.joinable()) impl_->thread.join();
    });
}

}  // namespace zelmo
