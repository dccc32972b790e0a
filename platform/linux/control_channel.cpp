// The control channel on Linux: a Unix socket "Zelmo.sock" in the monitored folder, mode 0600,
// whose peers are also checked to be our own user (SO_PEERCRED), served without blocking from
// one epoll descriptor the window's event loop watches.
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <utility>

#include "platform/control_channel.h"
#include "platform/errors.h"

namespace zelmo {
namespace {

constexpr const char* kSocketName = "Zelmo.sock";
// How long a client waits for the monitor, which answers within a tick or two.
constexpr int kClientTimeoutSeconds = 10;

// A descriptor closed by its owner.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// The failure with the system's reason.
PlatformError systemError(const std::string& what) {
    return PlatformError(what + ": " + std::strerror(errno));
}

// The socket's address: its path in the folder, or, for a folder whose path is longer than an
// address holds, the same name reached through the folder's open descriptor.
sockaddr_un socketAddress(const std::string& folder, int folderFd) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = folder + kSocketName;
    if (path.size() >= sizeof address.sun_path)
        path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + kSocketName;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
    return address;
}

// True when the peer of a connected socket runs as our own user.
bool peerIsUs(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == ::geteuid();
}

// Opens the folder itself, so that the socket is made and removed in that very folder.
Descriptor openFolder(const std::string& folder) {
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) throw systemError(folder);
    return fd;
}

// One client: its request as it arrives, then the answer as the socket takes it.
struct Connection {
    Descriptor fd;
    ControlClock::time_point deadline;
    ControlRequestReader request;
    std::string answer;
    std::size_t sent = 0;
};

class UnixControlServer : public ControlServer {
  public:
    explicit UnixControlServer(const std::string& folder);
    ~UnixControlServer() override;
    intptr_t handle() const override { return poll_.get(); }
    void serve(const ControlHandler& handler, ControlClock::time_point now) override;

  private:
    void removeStale();
    void listenOn(const std::string& folder);
    void acceptAll(ControlClock::time_point now);
    // Reads, answers and writes; true when the connection is done with.
    bool advance(Connection& connection, const ControlHandler& handler);
    void watch(int fd, uint32_t events, int operation);

    Descriptor folder_;
    Descriptor listener_;
    Descriptor poll_;
    ino_t inode_ = 0;
    std::list<Connection> connections_;
};

// Takes the folder, replaces what a dead monitor left, listens.
UnixControlServer::UnixControlServer(const std::string& folder)
    : folder_(openFolder(folder)), poll_(::epoll_create1(EPOLL_CLOEXEC)) {
    if (poll_.get() < 0) throw systemError("epoll");
    removeStale();
    listenOn(folder);
}

// Only a socket or a link of that name is removed, never followed: we hold the folder's lock, so
// a socket there belongs to a monitor that ended without removing it. Anything else is the
// user's and stays.
void UnixControlServer::removeStale() {
    struct stat st {};
    if (::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (!S_ISSOCK(st.st_mode) && !S_ISLNK(st.st_mode)) {
        errno = EEXIST;
        throw systemError(kSocketName);
    }
    if (::unlinkat(folder_.get(), kSocketName, 0) != 0) throw systemError(kSocketName);
}

// The socket is made with mode 0600 from the start: the mask is set around bind, before any
// other thread of the program runs, and nobody can connect before listen anyway.
void UnixControlServer::listenOn(const std::string& folder) {
    listener_ = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (listener_.get() < 0) throw systemError("socket");
    const sockaddr_un address = socketAddress(folder, folder_.get());
    const mode_t mask = ::umask(0177);
    const int bound =
        ::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(mask);
    if (bound != 0) throw systemError(kSocketName);
    struct stat st {};
    if (::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) == 0) inode_ = st.st_ino;
    if (::listen(listener_.get(), 16) != 0) throw systemError(kSocketName);
    watch(listener_.get(), EPOLLIN, EPOLL_CTL_ADD);
}

// The socket goes with its monitor, unless another has replaced it meanwhile.
UnixControlServer::~UnixControlServer() {
    struct stat st {};
    if (::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISSOCK(st.st_mode) && st.st_ino == inode_)
        ::unlinkat(folder_.get(), kSocketName, 0);
}

// Every waiting client, each with its deadline; another user's is closed at once, and past
// the limit of connections the oldest makes room.
void UnixControlServer::acceptAll(ControlClock::time_point now) {
    for (;;) {
        Descriptor fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.get() < 0) return;
        if (!peerIsUs(fd.get())) continue;
        if (connections_.size() >= kMaxControlConnections) connections_.pop_front();
        watch(fd.get(), EPOLLIN, EPOLL_CTL_ADD);
        connections_.push_back(Connection{std::move(fd), now + kControlDeadline, {}, {}, 0});
    }
}

// The request, once whole, is answered; the answer is written as far as the socket takes it.
bool UnixControlServer::advance(Connection& connection, const ControlHandler& handler) {
    char buffer[512];
    while (!connection.request.complete()) {
        const ssize_t n = ::read(connection.fd.get(), buffer, sizeof buffer);
        // A client that left without a word gets none.
        if (n == 0 && connection.request.line().empty()) return true;
        if (n == 0) connection.request.finish();
        if (n < 0 && errno != EINTR) return errno != EAGAIN;
        if (n > 0) connection.request.add(buffer, static_cast<std::size_t>(n));
        if (connection.request.complete())
            connection.answer = frameControlAnswer(
                connection.request.tooLong() ? std::string() : handler(connection.request.line()));
    }
    while (connection.sent < connection.answer.size()) {
        const ssize_t n = ::send(connection.fd.get(), connection.answer.data() + connection.sent,
                                 connection.answer.size() - connection.sent, MSG_NOSIGNAL);
        if (n < 0) return errno != EAGAIN && errno != EINTR;
        connection.sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Nothing here waits: every descriptor is non-blocking, and a slow client keeps only its slot.
void UnixControlServer::serve(const ControlHandler& handler, ControlClock::time_point now) {
    acceptAll(now);
    connections_.remove_if([&](Connection& connection) {
        if (advance(connection, handler) || now >= connection.deadline) return true;
        // Waiting to write now, no longer to read: the event loop wakes for the right thing.
        if (connection.request.complete()) watch(connection.fd.get(), EPOLLOUT, EPOLL_CTL_MOD);
        return false;
    });
}

// Registers or changes what the event loop waits for on fd.
void UnixControlServer::watch(int fd, uint32_t events, int operation) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(poll_.get(), operation, fd, &event);
}

// Connects to the folder's socket, as our own user's; NoMonitor when nobody listens there.
ControlReach connectTo(const std::string& folder, Descriptor& fd, std::string& why) {
    const Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0) return ControlReach::NoMonitor;
    fd = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = socketAddress(folder, folderFd.get());
    if (fd.get() < 0 ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const bool none = errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR;
        why = std::strerror(errno);
        return none ? ControlReach::NoMonitor : ControlReach::Failed;
    }
    if (!peerIsUs(fd.get())) {
        why = std::strerror(EPERM);
        return ControlReach::Failed;
    }
    const timeval timeout{kClientTimeoutSeconds, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return ControlReach::Answered;
}

}  // namespace

// The request line, then the framed answer; a monitor that goes quiet fails after the timeout.
ControlReach sendControlRequest(const std::string& folder, const std::string& request,
                                std::string& answer) {
    Descriptor fd;
    const ControlReach reach = connectTo(folder, fd, answer);
    if (reach != ControlReach::Answered) return reach;
    const std::string line = request + "\n";
    if (::send(fd.get(), line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
        answer = std::strerror(errno);
        return ControlReach::Failed;
    }
    ControlAnswerReader reader;
    char buffer[4096];
    ssize_t n = 0;
    while (!reader.complete() && (n = ::read(fd.get(), buffer, sizeof buffer)) > 0)
        reader.add(buffer, static_cast<std::size_t>(n));
    if (!reader.complete() || reader.bad()) {
        answer = std::strerror(n < 0 ? errno : EPROTO);
        return ControlReach::Failed;
    }
    answer = reader.answer();
    return ControlReach::Answered;
}

// The server of the folder's socket.
std::unique_ptr<ControlServer> openControlServer(const std::string& folder) {
    return std::make_unique<UnixControlServer>(folder);
}

}  // namespace zelmo
