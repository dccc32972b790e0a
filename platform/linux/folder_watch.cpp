// The folder watch on Linux: inotify on the program's folder.
#include "platform/folder_watch.h"

#include <errno.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace zelmo {
namespace {

class InotifyWatch : public FolderWatch {
  public:
    InotifyWatch(int fd, std::string fileName) : fd_(fd), fileName_(std::move(fileName)) {}
    ~InotifyWatch() override { ::close(fd_); }
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

    intptr_t handle() const override { return fd_; }

    // Reads every queued event; the name alone decides, the capture rules do the rest.
    bool takeEvents() override {
        alignas(inotify_event) char buffer[4096];
        bool seen = false;
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return seen;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                // The queue may have overflowed: something may have been missed, so look.
                if (event->mask & IN_Q_OVERFLOW) seen = true;
                if (event->len > 0 && std::strcmp(event->name, fileName_.c_str()) == 0) seen = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

  private:
    int fd_;
    std::string fileName_;
};

}  // namespace

// An inotify descriptor watching dir for a file closed after writing or moved in.
std::unique_ptr<FolderWatch> watchFolder(const std::string& dir, const std::string& fileName) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    if (::inotify_add_watch(fd, dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<InotifyWatch>(fd, fileName);
}

}  // namespace zelmo
