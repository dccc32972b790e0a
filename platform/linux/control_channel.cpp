// The control channel on Linux, served without blocking from one epoll descriptor the window's
// event loop watches. The monitor answers on two sockets: the folder lock's abstract one, by which
// clients find it (a file in the folder can be removed, replaced or made a link by anyone who can
// write there), and "Zelmo.sock" in the folder, mode 0600, for those who look there, made again
// whenever it goes. Both ends check that the other runs as our own user (SO_PEERCRED), and a
// client never follows a link named "Zelmo.sock".
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <utility>

#include "platform/control_channel.h"
#include "platform/errors.h"
#include "platform/linux/folder_name.h"

namespace zelmo {
namespace {

constexpr const char* kSocketName = "Zelmo.sock";
// How long a client waits for the monitor in all, which answers within a tick or two.
constexpr std::chrono::seconds kClientWait{4};
// How often the monitor looks whether its socket file is still the one it made.
constexpr std::chrono::seconds kSocketCheck{1};

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
    UnixControlServer(const std::string& folder, intptr_t channel);
    ~UnixControlServer() override;
    intptr_t handle() const override { return poll_.get(); }
    void serve(const ControlHandler& handler, ControlClock::time_point now) override;

  private:
    void removeStale();
    void listenOn();
    void keepSocket();
    void removeOwnSocket();
    void acceptAll(int listener, ControlClock::time_point now);
    // Reads, answers and writes; true when the connection is done with.
    bool advance(Connection& connection, const ControlHandler& handler);
    void watch(int fd, uint32_t events, int operation);

    std::string path_;  // the folder as the monitor knows it, ending with a separator
    Descriptor folder_;
    Descriptor listener_;  // Zelmo.sock, while there is one
    Descriptor channel_;   // the lock's socket, where the lock has one
    Descriptor poll_;
    ino_t inode_ = 0;
    ControlClock::time_point nextCheck_{};
    std::list<Connection> connections_;
};

// Takes the folder and the lock's socket, replaces what a dead monitor left, listens. Without
// the lock's socket the file is the only way in, so failing to make it is an error; with it, the
// file is made again at a later check.
UnixControlServer::UnixControlServer(const std::string& folder, intptr_t channel)
    : path_(folder), folder_(openFolder(folder)), poll_(::epoll_create1(EPOLL_CLOEXEC)) {
    if (poll_.get() < 0) throw systemError("epoll");
    if (channel >= 0) channel_ = Descriptor(::fcntl(static_cast<int>(channel), F_DUPFD_CLOEXEC, 0));
    if (channel_.get() >= 0) watch(channel_.get(), EPOLLIN, EPOLL_CTL_ADD);
    try {
        removeStale();
        listenOn();
    } catch (const PlatformError&) {
        if (channel_.get() < 0) throw;
    }
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
void UnixControlServer::listenOn() {
    Descriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (listener.get() < 0) throw systemError("socket");
    const sockaddr_un address = socketAddress(path_, folder_.get());
    const mode_t mask = ::umask(0177);
    const int bound =
        ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(mask);
    if (bound != 0) throw systemError(kSocketName);
    struct stat st {};
    if (::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) == 0) inode_ = st.st_ino;
    if (::listen(listener.get(), 16) != 0) throw systemError(kSocketName);
    listener_ = std::move(listener);
    watch(listener_.get(), EPOLLIN, EPOLL_CTL_ADD);
}

// The socket file is the monitor's as long as it runs: removed, replaced by another socket or a
// link, or left behind in a folder moved away, it is made again in the folder at the path. A file
// or folder the user put there stays; the lock's socket still answers.
void UnixControlServer::keepSocket() {
    struct stat st {
    }, now{};
    if (::fstat(folder_.get(), &st) == 0 && ::stat(path_.c_str(), &now) == 0 &&
        (st.st_dev != now.st_dev || st.st_ino != now.st_ino)) {
        removeOwnSocket();
        Descriptor moved(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (moved.get() >= 0) folder_ = std::move(moved);
    }
    const bool present = ::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (present && S_ISSOCK(st.st_mode) && st.st_ino == inode_ && listener_.get() >= 0) return;
    listener_ = Descriptor();
    try {
        removeStale();
        listenOn();
    } catch (const PlatformError&) {
        // Not now: looked at again at the next check.
    }
}

// The socket goes with its monitor, unless another has replaced it meanwhile.
UnixControlServer::~UnixControlServer() {
    removeOwnSocket();
}

// Removes the socket file made by this server, and nothing else of that name.
void UnixControlServer::removeOwnSocket() {
    struct stat st {};
    if (listener_.get() >= 0 &&
        ::fstatat(folder_.get(), kSocketName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISSOCK(st.st_mode) && st.st_ino == inode_)
        ::unlinkat(folder_.get(), kSocketName, 0);
}

// Every waiting client, each with its deadline; another user's is closed at once, and past
// the limit of connections the oldest makes room.
void UnixControlServer::acceptAll(int listener, ControlClock::time_point now) {
    for (;;) {
        if (listener < 0) return;
        Descriptor fd(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
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
    if (now >= nextCheck_) {
        keepSocket();
        nextCheck_ = now + kSocketCheck;
    }
    acceptAll(channel_.get(), now);
    acceptAll(listener_.get(), now);
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

// The time left until deadline, as a socket timeout; never zero, which would mean no limit.
timeval remaining(ControlClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - ControlClock::now());
    const long long micros = std::max<long long>(left.count(), 1000);
    return timeval{static_cast<time_t>(micros / 1000000),
                   static_cast<suseconds_t>(micros % 1000000)};
}

// Bounds the socket's next calls (connect, send and read alike) by deadline.
void limitTo(int fd, ControlClock::time_point deadline) {
    const timeval timeout = remaining(deadline);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

// Connects fd to address within deadline.
bool connectWithin(int fd, const sockaddr_un& address, socklen_t length,
                   ControlClock::time_point deadline) {
    limitTo(fd, deadline);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// The monitor by its lock: the abstract socket named after the folder's path. NoMonitor when no
// process holds the name.
ControlReach connectToLock(const std::string& folder, Descriptor& fd,
                           ControlClock::time_point deadline) {
    socklen_t length = 0;
    const sockaddr_un address =
        linux_platform::folderAddress(linux_platform::resolvedFolder(folder), length);
    fd = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() >= 0 && connectWithin(fd.get(), address, length, deadline))
        return ControlReach::Answered;
    return errno == ECONNREFUSED || errno == ENOENT ? ControlReach::NoMonitor
                                                    : ControlReach::Failed;
}

// The monitor by "Zelmo.sock", for one whose lock has no socket: only a socket of our own user,
// in that very folder, never what a link of that name points to. The file is held open (O_PATH)
// and connected to through that descriptor, so nothing can swap it in between.
ControlReach connectToFile(const std::string& folder, Descriptor& fd,
                           ControlClock::time_point deadline) {
    const Descriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0) return ControlReach::NoMonitor;
    const Descriptor file(::openat(folderFd.get(), kSocketName, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
        st.st_uid != ::geteuid())
        return ControlReach::NoMonitor;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/proc/self/fd/" + std::to_string(file.get());
    std::memcpy(address.sun_path, path.c_str(), path.size());
    fd = Descriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() >= 0 && connectWithin(fd.get(), address, sizeof address, deadline))
        return ControlReach::Answered;
    return errno == ECONNREFUSED || errno == ENOENT ? ControlReach::NoMonitor
                                                    : ControlReach::Failed;
}

// Connects to the folder's monitor, as our own user's: by its lock, or by its socket file where
// nobody holds the lock's name. why holds the reason of a failure.
ControlReach connectTo(const std::string& folder, Descriptor& fd, std::string& why,
                       ControlClock::time_point deadline) {
    ControlReach reach = connectToLock(folder, fd, deadline);
    if (reach == ControlReach::NoMonitor) reach = connectToFile(folder, fd, deadline);
    if (reach != ControlReach::Answered) {
        why = std::strerror(errno);
        return reach;
    }
    if (!peerIsUs(fd.get())) {
        why = std::strerror(EPERM);
        return ControlReach::Failed;
    }
    return ControlReach::Answered;
}

}  // namespace

// The request line, then the framed answer; a monitor that goes quiet fails once the client's
// wait is over, however the time went (connecting, sending or reading).
ControlReach sendControlRequest(const std::string& folder, const std::string& request,
                                std::string& answer) {
    const ControlClock::time_point deadline = ControlClock::now() + kClientWait;
    Descriptor fd;
    const ControlReach reach = connectTo(folder, fd, answer, deadline);
    if (reach != ControlReach::Answered) return reach;
    const std::string line = request + "\n";
    limitTo(fd.get(), deadline);
    if (::send(fd.get(), line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
        answer = std::strerror(errno);
        return ControlReach::Failed;
    }
    ControlAnswerReader reader;
    char buffer[4096];
    ssize_t n = 0;
    while (!reader.complete() && ControlClock::now() < deadline) {
        limitTo(fd.get(), deadline);
        if ((n = ::read(fd.get(), buffer, sizeof buffer)) <= 0) break;
        reader.add(buffer, static_cast<std::size_t>(n));
    }
    if (!reader.complete() || reader.bad()) {
        answer = std::strerror(n < 0 ? errno : reader.complete() ? EPROTO : ETIMEDOUT);
        return ControlReach::Failed;
    }
    answer = reader.answer();
    return ControlReach::Answered;
}

// The server of the folder's socket.
std::unique_ptr<ControlServer> openControlServer(const std::string& folder, intptr_t channel) {
    return std::make_unique<UnixControlServer>(folder, channel);
}

}  // namespace zelmo
