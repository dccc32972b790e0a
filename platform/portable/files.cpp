// The pipeline's file operations on Linux.
#include "platform/files.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

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

// Writes all of data to fd, retrying short writes; false on the first failure.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The file a path finally names: a symbolic link is followed, anything else is itself.
std::string finalTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string target(resolved);
    ::free(resolved);
    return target;
}

// Creates a file no one else has, beside target, named after it; closed File on failure.
File createSibling(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "." + base + ".new-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) return File(fd);
        if (errno != EEXIST) break;
    }
    return File();
}

}  // namespace

// Closes the file if it is open.
File::~File() {
    close();
}

// Takes over other's handle, closing the one held before.
File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.release();
    }
    return *this;
}

// Gives up ownership of the handle without closing it.
intptr_t File::release() {
    intptr_t handle = handle_;
    handle_ = kInvalid;
    return handle;
}

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

// Opens path exclusively and reads all of it into a block of exactly its length.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    File file = openExclusive(path);
    if (!file.isOpen()) return false;
    const int64_t length = file.seekLength();
    if (length < 0) return false;
    try {
        // The previous block goes first, as the job it held is finished.
        std::vector<uint8_t>().swap(out);
        out.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return file.read(out.data(), out.size()) == out.size();
}

// Opens without waiting, then reads only a regular file of a sensible size.
ReadResult readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unusable;
    File file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) > maxBytes)
        return ReadResult::Unusable;
    out.assign(static_cast<std::size_t>(info.st_size), '\0');
    const std::size_t got = file.read(out.data(), out.size());
    if (got < out.size()) return ReadResult::Unusable;
    return ReadResult::Read;
}

// A new file beside the target, written, flushed, given the old permissions, renamed over it.
bool replaceFile(const std::string& path, const std::string& contents) {
    const std::string target = finalTarget(path);
    std::string temporary;
    File file = createSibling(target, temporary);
    if (!file.isOpen()) return false;
    const int fd = static_cast<int>(file.handle());
    struct stat old {};
    bool done = writeAll(fd, contents.data(), contents.size());
    if (done && ::stat(target.c_str(), &old) == 0) done = ::fchmod(fd, old.st_mode & 07777) == 0;
    done = done && ::fsync(fd) == 0;
    done = ::close(static_cast<int>(file.release())) == 0 && done;
    done = done && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!done) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
    }
    return done;
}

}  // namespace zelmo::files
