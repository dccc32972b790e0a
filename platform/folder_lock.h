// One monitor per folder: a lock held on the monitored folder for as long as the program runs.
// It holds the folder's path as well as the folder: the monitor works by path, so a folder moved
// away and made again under the same path is still the running monitor's. Windows holds the path
// (a named mutex); Linux holds both (flock on the folder, an abstract socket named after the
// path), so another path to the same folder (a link) is refused there too. The path is taken
// resolved (links followed), so that a link to a folder made again is refused as well.
#pragma once

#include <cstdint>
#include <string>

namespace zelmo {

// A lock on a folder, taken without waiting and released by the destructor (or by the system
// when the process ends, however it ends, so a crash leaves nothing stale behind).
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False when another process holds the folder.
    bool held() const { return held_; }
    // Called now and then while the monitor runs: when the folder at the path is no longer the
    // one locked (moved away and made again), locks the new one in its place. False when another
    // process holds it. Where the lock holds the path alone, there is nothing to follow.
    bool follow();
    // Where the lock is also the monitor's address (Linux: the path's socket, listening), the
    // handle its control channel answers on; -1 where it is not.
    intptr_t channel() const { return held_ ? nameHandle_ : -1; }

  private:
    std::string path_;          // the folder's resolved path, as it was locked
    intptr_t handle_ = -1;      // the platform's handle of the lock; -1 for none
    intptr_t nameHandle_ = -1;  // the path's lock where it is apart from the folder's
    bool held_ = false;
};

}  // namespace zelmo
