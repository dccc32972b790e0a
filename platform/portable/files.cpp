// The pipeline's file operations on Linux.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zelmo::files {
namespace {

// Closes fd, which a caller no longer needs; EINTR still leaves it closed on Linux.
void closeFd(intptr_t fd) {
    if (fd >= 0) ::close(static_cast<int>(fd));
}

// renameat2 with RENAME_NOREPLACE, through the raw system call when glibc has no wrapper.
int renameNoReplaceCall(const char* from, const char* to) {
#if defined(RENAME_NOREPLACE)
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u << 0));
#endif
}

// Whether a read lease can be taken on fd, which holds only when no descriptor anywhere has
// the file open for writing. The lease is dropped at once: it is a test, not a hold.
bool noWriters(int fd) {
    // A writer opening the file while the lease is held would make the kernel signal the lease
    // holder, SIGIO by default, which ends the process; SIGURG is ignored unless handled.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return true;
    }
    // EAGAIN: open for writing somewhere. EACCES: neither owner nor CAP_LEASE, so the writers
    // cannot be seen; treated as "not now" rather than risk taking a file still being written.
    // EINVAL: a file system without leases (NFS, some FUSE): nothing better can be known there.
    return errno == EINVAL;
}

}  // namespace

// Closes the handle now.
void File::close() {
    closeFd(release());
}

// The file's length from a seek to its end, leaving the position at the start.
int64_t File::seekLength() {
    if (!isOpen()) return -1;
    const int fd = static_cast<int>(handle_);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return -1;
    return static_cast<int64_t>(end);
}

// Reads until size bytes arrived, the file ended or a read failed.
std::size_t File::read(void* buffer, std::size_t size) {
    if (!isOpen()) return 0;
    auto* at = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(static_cast<int>(handle_), at + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

// Opens read-only, then checks that nobody is writing the file.
File openExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return File();
    File file(fd);
    struct stat info {};
    // Leases exist only for regular files; a directory or FIFO is never a job.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !noWriters(fd)) return File();
    return file;
}

// Whether anything exists under path.
bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Moves from to to unless to exists; never replaces.
RenameResult renameNoReplace(const std::string& from, const std::string& to) {
    if (renameNoReplaceCall(from.c_str(), to.c_str()) == 0) return RenameResult::Renamed;
    return errno == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
}

// Removes the file at path.
bool deleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace zelmo::files
