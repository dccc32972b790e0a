// The pipeline's file operations on Linux.
#include "platform/files.h"
#include "platform/linux/mapped_files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace zelmo::files {
namespace {

thread_local int lastError = 0;

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

// How long a file nobody can be seen writing must have stayed unchanged before it is taken.
constexpr time_t kQuietSeconds = 2;

// Whether descriptor entry of process dir (a /proc/PID/fd folder) is open for writing on the
// file with the given identity.
bool writesTo(const std::string& pidDir, const char* entry, const struct stat& file) {
    struct stat target {};
    if (::stat((pidDir + "/fd/" + entry).c_str(), &target) != 0) return false;
    if (target.st_dev != file.st_dev || target.st_ino != file.st_ino) return false;
    // /proc files claim no size: read what there is, a few lines.
    char text[512];
    const int infoFd = ::open((pidDir + "/fdinfo/" + entry).c_str(), O_RDONLY | O_CLOEXEC);
    if (infoFd < 0) return true;  // cannot tell: assume the worst
    const ssize_t got = ::read(infoFd, text, sizeof text - 1);
    ::close(infoFd);
    const std::string info(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    const auto flags = info.find("flags:");
    if (flags == std::string::npos) return true;
    const unsigned long mode = std::strtoul(info.c_str() + flags + 6, nullptr, 8);
    return (mode & O_ACCMODE) != O_RDONLY;
}

// Looks through every process's descriptors for a writer of the file. Returns false when one
// is found; otherwise true when every process could be looked at, and when some could not (the
// writer's user is not ours), true only once the file has stayed unchanged for a while.
bool noWriterInProc(const struct stat& file) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool complete = true;
    bool writer = false;
    while (const dirent* pid = ::readdir(proc)) {
        if (pid->d_name[0] < '1' || pid->d_name[0] > '9') continue;
        const std::string pidDir = std::string("/proc/") + pid->d_name;
        DIR* fds = ::opendir((pidDir + "/fd").c_str());
        if (!fds) {
            if (errno != ENOENT) complete = false;  // ENOENT: it ended meanwhile
            continue;
        }
        while (const dirent* fd = ::readdir(fds))
            if (fd->d_name[0] != '.' && writesTo(pidDir, fd->d_name, file)) writer = true;
        ::closedir(fds);
        if (writer) break;
    }
    ::closedir(proc);
    if (writer) return false;
    return complete || ::time(nullptr) - file.st_mtime >= kQuietSeconds;
}

// Whether nobody has the file open for writing. A read lease answers that for a file one
// owns (or as root); for anybody else's file the processes' descriptors are looked through.
// The lease is dropped at once: it is a test, not a hold.
bool noWriters(int fd, const struct stat& file) {
    // A writer opening the file while the lease is held would make the kernel signal the lease
    // holder, SIGIO by default, which ends the process; SIGURG is ignored unless handled.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return true;
    }
    // EAGAIN: open for writing somewhere. EACCES: not the owner, without CAP_LEASE.
    // EINVAL: a file system without leases (NFS, some FUSE): nothing better can be known there.
    if (errno == EACCES) return noWriterInProc(file);
    return errno == EINVAL;
}

// The failure of the rename as the caller can act on it; remembers errno for the message.
RenameResult renameResultOf(int error) {
    lastError = error;
    if (error == EEXIST) return RenameResult::TargetExists;
    if (error == EACCES || error == EPERM || error == EROFS) return RenameResult::Refused;
    return RenameResult::Failed;
}

// Describes the entry at path without following a link.
bool describe(const std::string& path, const std::string& name, FileInfo& info) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    info.name = name;
    info.size = static_cast<uint64_t>(st.st_size);
    info.modifiedSeconds = static_cast<int64_t>(st.st_mtime);
    info.regular = S_ISREG(st.st_mode);
    return true;
}

// Writes all of bytes to fd, retrying short writes; false on any failure.
bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// Opens path for writing with the extra flags, only as a regular file of ours, and writes text.
bool writeRegular(const std::string& path, int flags, const std::string& text) {
    const int fd =
        ::open(path.c_str(),
               O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK | flags, 0644);
    if (fd < 0) {
        lastError = errno;
        return false;
    }
    File file(fd);
    struct stat info {};
    // O_TRUNC empties only a regular file; a FIFO or device is left alone and refused here.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        lastError = EINVAL;
        return false;
    }
    if (writeAll(fd, text.data(), text.size())) return true;
    lastError = errno ? errno : EIO;
    return false;
}

// A job of this size or more is mapped, or read into huge pages where it cannot be: a few
// hundred faults instead of tens of thousands for a large raster job.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

// Unmaps the block: a job of hundreds of megabytes must not stay resident after it printed.
void JobBytes::reset() {
    mapped::forget(data_);
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

// A private anonymous mapping: the kernel hands out its pages as the read touches them, and
// nothing clears them a second time in user space as a std::vector would.
uint8_t* JobBytes::allocate(std::size_t size) {
    reset();
    if (size == 0) return nullptr;
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    // Only a hint: without transparent huge pages the block works the same, a little slower.
    if (size >= kHugePage) ::madvise(block, size, MADV_HUGEPAGE);
    data_ = static_cast<uint8_t*>(block);
    size_ = size;
    return data_;
}

// Maps a large regular file privately and read-only, its pages taken from the page cache at
// once: no pages cleared and no bytes copied, where a read into fresh memory does both. The
// SIGBUS guard keeps a later truncation from killing the process.
bool JobBytes::map(File& file, std::size_t size) {
    reset();
    struct stat info {};
    const int fd = static_cast<int>(file.handle());
    if (size < kHugePage || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    void* block = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (block == MAP_FAILED) return false;
    if (!mapped::watch(block, size)) {
        ::munmap(block, size);
        return false;
    }
    data_ = static_cast<uint8_t*>(block);
    size_ = size;
    return true;
}

// Asks the guard; a block read into memory is always whole.
bool JobBytes::intact() const {
    return !mapped::damaged(data_);
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

// Opens read-only, then checks that nobody is writing the file. A link is never followed: in
// a shared folder it could make anybody's file a job.
File openExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return File();
    File file(fd);
    struct stat info {};
    // Leases exist only for regular files; a directory or FIFO is never a job.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !noWriters(fd, info)) return File();
    return file;
}

// Opens read-only without any test for writers.
File openShared(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return fd < 0 ? File() : File(fd);
}

// O_NOFOLLOW and O_NONBLOCK, then the type of what was opened.
File openRegular(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        lastError = errno;
        return File();
    }
    File file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        lastError = EINVAL;
        return File();
    }
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
    // FUSE and some network file systems have no such rename.
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) return moveByLink(from, to);
    return renameResultOf(errno);
}

// A hard link fails just as a no-replace rename does on an existing name; the unlink then
// finishes the move.
RenameResult moveByLink(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) return renameResultOf(errno);
    if (::unlink(from.c_str()) == 0) return RenameResult::Renamed;
    const int error = errno;
    ::unlink(to.c_str());  // the job stays where it was, under its first name only
    return renameResultOf(error);
}

// The system's message for errno as it stands.
std::string lastErrorMessage() {
    return std::strerror(lastError);
}

// Removes the file at path.
bool deleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

// The folder's entries, "." and ".." left out.
std::vector<FileInfo> listFolder(const std::string& dir) {
    std::vector<FileInfo> entries;
    DIR* folder = ::opendir(dir.c_str());
    if (!folder) return entries;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        FileInfo info;
        if (describe(dir + name, name, info)) entries.push_back(std::move(info));
    }
    ::closedir(folder);
    return entries;
}

// One entry, as listFolder describes it.
bool fileInfo(const std::string& path, FileInfo& info) {
    return describe(path, path.substr(path.find_last_of('/') + 1), info);
}

// Temporary file, flush, rename over: the old file or the new, never a part.
bool replaceFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    File file(fd);
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    file.close();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

const char* const kTextFileStart = "";
const char* const kLineEnd = "\n";

// Writes text in one write, so that two writers never interleave inside a line. O_NONBLOCK: a
// FIFO put in the file's place would otherwise hold the open until someone reads it.
bool appendToFile(const std::string& path, const std::string& text) {
    return writeRegular(path, O_APPEND, text);
}

// The same open, emptying the file.
bool rewriteFile(const std::string& path, const std::string& text) {
    return writeRegular(path, O_TRUNC, text);
}

// rename(2), which replaces to.
bool renameReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    lastError = errno;
    return false;
}

// Copies in blocks, so that a large document needs no memory of its size.
bool copyToNewFile(File& from, const std::string& to) {
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        lastError = errno;
        return false;
    }
    File file(fd);
    // A read that ends early is a failure, told by the length known beforehand.
    const int64_t length = from.seekLength();
    // On the heap: the thread that copies may have a small stack.
    std::vector<char> block(1 << 16);
    int64_t total = 0;
    bool copied = length >= 0;
    for (std::size_t got = 1; copied && got > 0; total += static_cast<int64_t>(got)) {
        got = from.read(block.data(), block.size());
        copied = writeAll(fd, block.data(), got);
    }
    copied = copied && total == length && ::fsync(fd) == 0;
    if (copied) copied = ::close(file.release()) == 0;
    if (!copied) {
        lastError = errno ? errno : EIO;
        ::unlink(to.c_str());
    }
    return copied;
}

// lstat(2): a link is not the folder.
bool isRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// stat(2), following links; the failure's reason is kept for the message.
bool folderExists(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        lastError = errno;
        return false;
    }
    if (S_ISDIR(st.st_mode)) return true;
    lastError = ENOTDIR;
    return false;
}

// mkdir(2); an existing folder is success.
bool makeFolder(const std::string& path) {
    struct stat st {};
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    lastError = errno;
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads path whole when it is a regular file of at most a megabyte.
bool readSmallFile(const std::string& path, std::string& out) {
    constexpr int64_t kLimit = 1 << 20;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    File file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLimit) return false;
    out.assign(static_cast<std::size_t>(info.st_size), '\0');
    out.resize(file.read(out.data(), out.size()));
    return true;
}

}  // namespace zelmo::files
