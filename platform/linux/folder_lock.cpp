// The folder lock on Linux: flock(2) on the folder itself, and the folder's path held as a name.
// No lock file to clean up: both go with the process, however it ends.
#include "platform/folder_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/linux/folder_name.h"

namespace zelmo {
namespace {

// Binds the abstract socket named after folder's path, and listens on it: only one process can
// bind the name, and the name goes with its socket. The flock alone holds the folder by
// identity, while the monitor works by path: a folder moved away and made again under the path
// would be a new, unlocked one. Listening makes the lock the monitor's address as well: the
// control channel answers there (see control_channel.cpp).
// Returns the socket, kTaken when another process holds the name, or -1 when there is no
// telling (no sockets at all), which does not keep the user from printing.
constexpr intptr_t kTaken = -2;
intptr_t holdPathName(const std::string& folder) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    socklen_t length = 0;
    const sockaddr_un address = linux_platform::folderAddress(folder, length);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        ::listen(fd, 16);
        return fd;
    }
    const int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? kTaken : -1;
}

// The folder at path, opened and locked without waiting; -1 when it cannot be.
int lockedFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// Whether the descriptor and the path are the same folder, by device and inode.
bool sameFolder(int fd, const std::string& path) {
    struct stat held {
    }, now{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 &&
           held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

}  // namespace

// Locks the folder and its path; a folder that cannot be opened counts as held by another.
FolderLock::FolderLock(const std::string& folder) : path_(linux_platform::resolvedFolder(folder)) {
    handle_ = lockedFolder(path_);
    held_ = handle_ >= 0;
    if (!held_) return;
    nameHandle_ = holdPathName(path_);
    held_ = nameHandle_ != kTaken;
}

// A folder made again under the path is locked in place of the one moved away; while it
// cannot be (gone for now, or another's), the old lock stays.
bool FolderLock::follow() {
    if (!held_ || sameFolder(static_cast<int>(handle_), path_)) return true;
    const int fd = lockedFolder(path_);
    if (fd < 0) return ::access(path_.c_str(), F_OK) != 0;
    ::close(static_cast<int>(handle_));
    handle_ = fd;
    return true;
}

// Closing the descriptors drops the locks.
FolderLock::~FolderLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    if (nameHandle_ >= 0) ::close(static_cast<int>(nameHandle_));
}

}  // namespace zelmo
