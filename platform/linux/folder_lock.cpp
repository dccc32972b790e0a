// The folder lock on Linux: flock(2) on the folder itself, and the folder's path held as a name.
// No lock file to clean up: both go with the process, however it ends.
#include "platform/folder_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

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

}  // namespace

// Locks the folder and its path; a folder that cannot be opened counts as held by another.
FolderLock::FolderLock(const std::string& folder) {
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    held_ = handle_ >= 0 && ::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0;
    if (!held_) return;
    nameHandle_ = holdPathName(folder);
    held_ = nameHandle_ != kTaken;
}

// Closing the descriptors drops the locks.
FolderLock::~FolderLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    if (nameHandle_ >= 0) ::close(static_cast<int>(nameHandle_));
}

}  // namespace zelmo
