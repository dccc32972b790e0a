// Polling for what another thread (a worker, a mover, a server) brings about: the one way a test
// waits, so that none sleeps a fixed time before it asserts.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace zelmo {

// Calls step, then done, until done holds or a limit far beyond any healthy run passes (a test
// gone wrong still ends); false when it never held. step does the test's own share of the work
// (a tick of the window, a turn of a server) between looks.
inline bool eventually(const std::function<bool()>& done, const std::function<void()>& step = {},
                       std::chrono::seconds limit = std::chrono::seconds(30),
                       std::chrono::microseconds pause = std::chrono::microseconds(200)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (step) step();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(pause);
    }
}

}  // namespace zelmo
