// The PDF folder's documents on POSIX: written into a hidden file of the folder as they grow
// and published under a name that never replaces anything, never through a symbolic link.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "platform/errors.h"
#include "printers/pdf/folder_document.h"

namespace zelmo {
namespace {

constexpr int kMaxSameName = 10000;
// Hidden partial documents start with this; a locked one is being written right now.
constexpr const char kPartialPrefix[] = ".zelmo-";

// A file descriptor closed by its destructor.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The failed system call's message, with what errno means for the user.
[[noreturn]] void throwFailure(const std::string& what, const std::string& path) {
    const int error = errno;
    throw PrinterError(what + " " + path + ": " + std::strerror(error), troubleOfErrno(error));
}

// The folder itself, never a link to one; created when it is missing.
Fd openFolder(const std::string& folder, bool create) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Fd dir(::open(folder.c_str(), flags));
    if (dir.get() < 0 && errno == ENOENT && create) {
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            throwFailure("Cannot create", folder);
        dir = Fd(::open(folder.c_str(), flags));
    }
    if (dir.get() < 0 && create) {
        if (errno == ELOOP || errno == ENOTDIR)
            throw PrinterError("Cannot use " + folder + ": not a folder but a link or a file");
        throwFailure("Cannot open", folder);
    }
    return dir;
}

// A document being written into a hidden file of the folder, locked so that a later start
// knows it is not stale; published by a hard link, which never replaces an existing file.
class FolderDocument : public DocumentFile {
  public:
    FolderDocument(std::string folder, std::string name)
        : folder_(std::move(folder)), name_(std::move(name)), dir_(openFolder(folder_, true)) {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && file_.get() < 0; ++attempt) {
            temp_ = kPartialPrefix + std::to_string(random()) + ".pdf.part";
            file_ = Fd(::openat(dir_.get(), temp_.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
            if (file_.get() < 0 && errno != EEXIST)
                throwFailure("Cannot create a file in", folder_);
        }
        if (file_.get() < 0) throwFailure("Cannot create a file in", folder_);
        ::flock(file_.get(), LOCK_EX | LOCK_NB);
        // Readable by everyone, as a document saved by hand would be, whatever the umask.
        ::fchmod(file_.get(), 0644);
    }
    ~FolderDocument() override { ::unlinkat(dir_.get(), temp_.c_str(), 0); }

    int fd() const override { return file_.get(); }

    void deliver() override {
        // On disk before it has its name: a document appears whole or not at all.
        if (::fsync(file_.get()) != 0) throwFailure("Cannot write", folder_);
        for (int n = 1; n <= kMaxSameName; ++n) {
            const std::string name =
                name_ + (n == 1 ? "" : " (" + std::to_string(n) + ")") + ".pdf";
            if (publish(name)) {
                published_ = folder_ + "/" + name;
                return;
            }
        }
        throw PrinterError("No free file name in " + folder_);
    }

    std::string published() const override { return published_; }

  private:
    // Gives the document name; false when the name is taken.
    bool publish(const std::string& name) {
        if (::linkat(dir_.get(), temp_.c_str(), dir_.get(), name.c_str(), 0) == 0) return true;
        if (errno == EEXIST) return false;
        // Where the file system has no hard links, a rename that refuses to replace.
        if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) {
            if (::renameat2(dir_.get(), temp_.c_str(), dir_.get(), name.c_str(),
                            RENAME_NOREPLACE) == 0) {
                temp_.clear();
                return true;
            }
            if (errno == EEXIST) return false;
        }
        throwFailure("Cannot create", folder_ + "/" + name);
    }

    std::string folder_;
    std::string name_;
    std::string published_;
    Fd dir_;
    Fd file_;
    std::string temp_;
};

}  // namespace

// A partial file that no process holds locked is stale.
void removeStalePartials(const std::string& folder) {
    Fd dir = openFolder(folder, false);
    if (dir.get() < 0) return;
    DIR* listing = ::fdopendir(::dup(dir.get()));
    if (!listing) return;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strncmp(entry->d_name, kPartialPrefix, sizeof kPartialPrefix - 1) != 0) continue;
        Fd file(::openat(dir.get(), entry->d_name,
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(dir.get(), entry->d_name, 0);
    }
    ::closedir(listing);
}

// A hidden file in the folder, named when the document is complete.
std::unique_ptr<DocumentFile> createFolderDocument(const std::string& folder,
                                                   const std::string& name) {
    return std::make_unique<FolderDocument>(folder, name);
}

}  // namespace zelmo
