// The critical section, the manual-reset event and the worker thread with its terminated flag.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "pipeline_fixture.h"
#include "platform/sync.h"

namespace zelmo::pipeline_test {
namespace {

TEST(SyncEvent, StaysSignalledForEveryWaiterUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.isSet());
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            event.wait();
            ++woken;
        });
    event.set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(woken.load(), 3);
    event.wait();  // still signalled: returns at once
    event.reset();
    EXPECT_FALSE(event.isSet());
}

TEST(SyncCriticalSection, KeepsIncrementsWhole) {
    CriticalSection lock;
    long count = 0;
    auto add = [&] {
        for (int i = 0; i < 20000; ++i) {
            std::lock_guard<CriticalSection> guard(lock);
            ++count;
        }
    };
    std::thread a(add), b(add);
    a.join();
    b.join();
    EXPECT_EQ(count, 40000);
}

// A thread body that runs until its own thread's terminated flag is set.
struct Spinner {
    std::atomic<WorkerThread*> self{nullptr};
    std::atomic<bool> running{false};
    void operator()() {
        eventually([&] { return self.load() != nullptr; });
        running.store(true);
        while (!self.load()->terminated())
            std::this_thread::yield();
    }
};

TEST(SyncWorkerThread, RunsAtOnceAndEndsOnItsTerminatedFlag) {
    Spinner spinner;
    WorkerThread worker([&] { spinner(); });
    spinner.self.store(&worker);
    ASSERT_TRUE(eventually([&] { return spinner.running.load(); }));
    EXPECT_FALSE(worker.finished());
    worker.terminate();
    worker.waitFor();
    worker.waitFor();  // a second wait returns at once
    EXPECT_TRUE(worker.finished());
}

TEST(SyncWorkerThread, DestructorEndsARunningThread) {
    Spinner spinner;
    auto worker = std::make_unique<WorkerThread>([&] { spinner(); });
    spinner.self.store(worker.get());
    ASSERT_TRUE(eventually([&] { return spinner.running.load(); }));
    worker.reset();  // returns only once the body saw the flag and ended
    EXPECT_TRUE(spinner.running.load());
}

}  // namespace
}  // namespace zelmo::pipeline_test
