// Threads and synchronisation over the Win32 primitives.
#include "platform/sync.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/errors.h"

namespace zelmo {

struct CriticalSection::Impl {
    CRITICAL_SECTION section;
};

// Creates the critical section.
CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {
    ::InitializeCriticalSection(&impl_->section);
}

// Deletes the critical section, which nobody may hold any more.
CriticalSection::~CriticalSection() {
    ::DeleteCriticalSection(&impl_->section);
}

// Enters the critical section.
void CriticalSection::lock() {
    ::EnterCriticalSection(&impl_->section);
}

// Leaves the critical section.
void CriticalSection::unlock() {
    ::LeaveCriticalSection(&impl_->section);
}

struct ManualResetEvent::Impl {
    HANDLE event = nullptr;
};

// Creates the event non-signalled; without it the pipeline cannot run at all.
ManualResetEvent::ManualResetEvent() : impl_(std::make_unique<Impl>()) {
    impl_->event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!impl_->event) throw PlatformError("CreateEvent failed");
}

// Closes the event handle.
ManualResetEvent::~ManualResetEvent() {
    ::CloseHandle(impl_->event);
}

// Signals the event and releases every waiter.
void ManualResetEvent::set() {
    ::SetEvent(impl_->event);
}

// Makes the event non-signalled again.
void ManualResetEvent::reset() {
    ::ResetEvent(impl_->event);
}

// Blocks until the event is signalled.
void ManualResetEvent::wait() {
    ::WaitForSingleObject(impl_->event, INFINITE);
}

// Blocks until the event is signalled or timeout has passed.
bool ManualResetEvent::wait(std::chrono::milliseconds timeout) {
    const auto ms = std::min<std::chrono::milliseconds::rep>(timeout.count(), INFINITE - 1);
    return ::WaitForSingleObject(impl_->event, static_cast<DWORD>(ms < 0 ? 0 : ms)) ==
           WAIT_OBJECT_0;
}

// Whether the event is signalled now.
bool ManualResetEvent::isSet() const {
    return ::WaitForSingleObject(impl_->event, 0) == WAIT_OBJECT_0;
}

struct WorkerThread::Impl {
    std::function<void()> body;
    HANDLE thread = nullptr;
};

// Starts the body on its own thread at once; the thread marks itself finished when it returns.
WorkerThread::WorkerThread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->body = std::move(body);
    LPTHREAD_START_ROUTINE entry = [](void* self) -> DWORD {
        auto* thread = static_cast<WorkerThread*>(self);
        try {
            thread->impl_->body();
        } catch (...) {
            // The thread ends here rather than the whole program: its owner notices it ended.
            thread->ended_.store(true);
            return 1;
        }
        thread->finished_.store(true);
        return 0;
    };
    impl_->thread = ::CreateThread(nullptr, 0, entry, this, 0, nullptr);
    if (!impl_->thread) throw PlatformError("CreateThread failed");
}

// Terminates and waits, so the body never runs on after its owner is gone.
WorkerThread::~WorkerThread() {
    terminate();
    waitFor();
    ::CloseHandle(impl_->thread);
}

// The system's word: a thread it ended (a stack overflow under Wine) never set finished.
bool WorkerThread::ended() const {
    return ::WaitForSingleObject(impl_->thread, 0) == WAIT_OBJECT_0;
}

// The system waits with a limit itself.
bool WorkerThread::waitFor(std::chrono::milliseconds limit) {
    return ::WaitForSingleObject(impl_->thread, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

// Waits for the thread's end; later calls return at once.
void WorkerThread::waitFor() {
    ::WaitForSingleObject(impl_->thread, INFINITE);
}

}  // namespace zelmo
