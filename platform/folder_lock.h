// One monitor per folder: a lock held on the monitored folder for as long as the program runs.
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

  private:
    intptr_t handle_ = -1;  // the platform's handle of the lock; -1 for none
    bool held_ = false;
};

}  // namespace zelmo
