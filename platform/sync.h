// Threads and synchronisation: one critical section, one manual-reset event, one worker thread
// with a terminated flag. The portable build (platform/portable/sync.cpp) fills them with the
// standard library; a Windows build may fill the same classes with its own primitives.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace zelmo {

// A critical section; BasicLockable, so std::lock_guard works with it.
class CriticalSection {
  public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock();
    void unlock();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// An event that stays signalled until it is reset, releasing every waiter meanwhile.
class ManualResetEvent {
  public:
    ManualResetEvent();  // created non-signalled
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    // Waits with no time-out until the event is signalled.
    void wait();
    // Waits at most timeout; true when the event was signalled.
    bool wait(std::chrono::milliseconds timeout);
    bool isSet() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A thread that starts running at once and carries a terminated flag its body polls. It is
// asked to end with terminate() and waited for with waitFor(); the destructor does both, so a
// thread never outlives its owner.
class WorkerThread {
  public:
    explicit WorkerThread(std::function<void()> body);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Sets the terminated flag; the body notices it at its own checkpoints.
    void terminate() { terminated_.store(true); }
    bool terminated() const { return terminated_.load(); }
    const std::atomic<bool>& terminatedFlag() const { return terminated_; }
    // Waits until the body has returned; later calls return at once.
    void waitFor();
    // Waits at most limit for the thread's end; true when it has ended (and is joined).
    bool waitFor(std::chrono::milliseconds limit);
    // True once the body has returned.
    bool finished() const { return finished_.load(); }
    // True once the thread has ended, whether its body returned or not: an exception out of
    // the body ends only the thread, and a system may end a thread itself (Wine ends one whose
    // stack overflowed).
    bool ended() const;

  private:
    struct Impl;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> ended_{false};  // left by an exception
    std::unique_ptr<Impl> impl_;
};

}  // namespace zelmo
