// The folder lock over flock(2) on the folder itself: no lock file to clean up.
#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zelmo {

// Opens the folder and tries to lock it exclusively; a folder that cannot be opened counts as
// held by another.
FolderLock::FolderLock(const std::string& folder) {
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    held_ = handle_ >= 0 && ::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0;
}

// Closing the descriptor drops the lock.
FolderLock::~FolderLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace zelmo
