// The SIGBUS guard of mapped jobs. A fault inside a watched mapping is mended by mapping zero
// pages over the rest of it, so that the interrupted read, run again, finds zeros; the mapping
// is marked damaged for its owner to see. Any other SIGBUS goes to whoever had it before.
#include "platform/linux/mapped_files.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace zelmo::files::mapped {
namespace {

// One watched mapping: taken by its owner, live for the handler once start is set. Lock-free
// atomics only: the signal handler reads them.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> start{0};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> damaged{false};
};

// A job per worker, and a tool or test beside it: a few are plenty.
Slot slots[8];
struct sigaction previous {};
uintptr_t pageSize = 4096;

// Maps zero pages over a watched mapping from the faulting page on; false when at lies in no
// watched mapping or the pages cannot be replaced.
bool mend(uintptr_t at) {
    for (Slot& slot : slots) {
        const uintptr_t start = slot.start.load(std::memory_order_acquire);
        const std::size_t size = slot.size.load(std::memory_order_acquire);
        if (start == 0 || at < start || at - start >= size) continue;
        const uintptr_t from = at & ~(pageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(from), start + size - from, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) return false;
        slot.damaged.store(true, std::memory_order_release);
        return true;
    }
    return false;
}

// The handler: mends a fault of a watched mapping, hands any other SIGBUS back to the previous
// disposition (a fault runs again into it on return, a sent signal is raised again).
void onBus(int signal, siginfo_t* info, void*) {
    if (info && info->si_code > 0 && mend(reinterpret_cast<uintptr_t>(info->si_addr))) return;
    ::sigaction(SIGBUS, &previous, nullptr);
    if (!info || info->si_code <= 0) ::raise(signal);
}

// Installs the handler once for the process.
void install() {
    static std::once_flag once;
    std::call_once(once, [] {
        pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBus;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous);
    });
}

}  // namespace

// Claims a free slot; the size is in place before the start makes the slot live.
bool watch(void* start, std::size_t size) {
    install();
    for (Slot& slot : slots) {
        if (slot.taken.exchange(true, std::memory_order_acq_rel)) continue;
        slot.size.store(size, std::memory_order_release);
        slot.damaged.store(false, std::memory_order_release);
        slot.start.store(reinterpret_cast<uintptr_t>(start), std::memory_order_release);
        return true;
    }
    return false;
}

// Frees the slot of the mapping at start; the handler no longer sees it before it is reused.
void forget(const void* start) {
    const auto at = reinterpret_cast<uintptr_t>(start);
    for (Slot& slot : slots)
        if (at != 0 && slot.start.load(std::memory_order_acquire) == at) {
            slot.start.store(0, std::memory_order_release);
            slot.taken.store(false, std::memory_order_release);
            return;
        }
}

// Looks the mapping up among the watched ones.
bool damaged(const void* start) {
    const auto at = reinterpret_cast<uintptr_t>(start);
    for (const Slot& slot : slots)
        if (at != 0 && slot.start.load(std::memory_order_acquire) == at)
            return slot.damaged.load(std::memory_order_acquire);
    return false;
}

}  // namespace zelmo::files::mapped
