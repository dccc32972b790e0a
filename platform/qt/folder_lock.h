// One monitor per folder: a lock held on the monitored folder for as long as the program runs.
#pragma once

#include <string>

namespace zelmo {

// An advisory lock on a folder, taken without waiting and released by the destructor (or by the
// system when the process ends, however it ends, so a crash leaves nothing stale behind).
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False when another process holds the folder (or it cannot be opened).
    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace zelmo
