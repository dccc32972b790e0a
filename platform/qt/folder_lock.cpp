// The folder lock over flock(2) on the folder itself: no lock file to clean up.
#include "platform/qt/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zelmo {

// Opens the folder and tries to lock it exclusively.
FolderLock::FolderLock(const std::string& folder) {
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

// Closing the descriptor drops the lock.
FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace zelmo
