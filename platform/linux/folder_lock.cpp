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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zelmo {
namespace {

// FNV-1a over the path's bytes from a seed: two seeds name the path in 128 bits.
uint64_t hashOf(const std::string& text, uint64_t seed) {
    uint64_t hash = seed;
    for (const char byte : text) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The name of folder's path, without a trailing separator, as an abstract socket's name.
std::string pathName(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    char name[64];
    std::snprintf(name, sizeof name, "zelmo-folder-%016llx%016llx",
                  static_cast<unsigned long long>(hashOf(folder, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(hashOf(folder, 0x84222325cbf29ce4ULL)));
    return name;
}

// Binds an abstract Unix socket named after folder's path: only one process can, and the name
// goes with its socket. The flock alone holds the folder by identity, while the monitor works
// by path: a folder moved away and made again under the path would be a new, unlocked one.
// Returns the socket, kTaken when another process holds the name, or -1 when there is no
// telling (no sockets at all), which does not keep the user from printing.
constexpr intptr_t kTaken = -2;
intptr_t holdPathName(const std::string& folder) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = pathName(folder);
    std::memcpy(address.sun_path + 1, name.data(), name.size());  // sun_path[0] == 0: abstract
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return fd;
    const int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? kTaken : -1;
}

// The folder's path with every link resolved: two paths to one folder name one path. A path
// that cannot be resolved is kept as given (opening it fails then anyway).
std::string resolved(const std::string& folder) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : folder;
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
FolderLock::FolderLock(const std::string& folder) : path_(resolved(folder)) {
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
