// The local channel a running monitor answers commands on (status, pause, ...): one request line
// per connection, one answer, then the connection ends. Only the monitor's own user can open it:
// Linux: a Unix socket in the monitored folder (platform/portable); Windows: a named pipe whose
// access list admits the user alone (platform/win32).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zelmo {

// A request longer than this is refused unread: no client can make the monitor hold more.
inline constexpr std::size_t kMaxControlRequest = 256;
// A connection that has not sent its line, or taken its answer, by then is dropped.
inline constexpr std::chrono::seconds kControlDeadline{2};
// Connections served at once; a new one beyond this pushes the oldest out.
inline constexpr std::size_t kMaxControlConnections = 8;

using ControlClock = std::chrono::steady_clock;
// Turns one request line (without its line end) into the bytes sent back.
using ControlHandler = std::function<std::string(const std::string& request)>;

class ControlServer {
  public:
    virtual ~ControlServer() = default;
    // A handle the window's event loop can wait on for readability (a file descriptor on Linux);
    // kNoHandle where the server is polled.
    virtual intptr_t handle() const = 0;
    // Takes new connections, reads what has arrived, answers complete requests and drops
    // connections past their deadline, all without waiting. now decides the deadlines.
    virtual void serve(const ControlHandler& handler, ControlClock::time_point now) = 0;

    static constexpr intptr_t kNoHandle = -1;
};

// Opens the channel of folder (ending with a separator), whose lock the caller holds, so that
// anything left there by a monitor that died is stale and replaced. channel: the lock's own
// handle to answer on as well (FolderLock::channel), or kNoHandle. Throws PlatformError when
// the channel cannot be made.
std::unique_ptr<ControlServer> openControlServer(const std::string& folder,
                                                 intptr_t channel = ControlServer::kNoHandle);

enum class ControlReach {
    Answered,   // answer holds what the monitor sent
    NoMonitor,  // nothing listens on the folder's channel
    Failed,     // something listens, but the exchange failed; answer holds why
};
// Sends one request line to the monitor of folder and reads its whole answer, waiting a few
// seconds at most. The monitor is found by its lock, so NoMonitor means no monitor holds the
// folder, whatever became of the files in it.
ControlReach sendControlRequest(const std::string& folder, const std::string& request,
                                std::string& answer);

// Collects one request line from the bytes of a connection, as they arrive.
class ControlRequestReader {
  public:
    // Takes bytes; true once the request is complete (a line end came, or the limit was passed).
    bool add(const char* data, std::size_t size);
    // The bytes ended (the client shut its side): what came is the request.
    void finish() { complete_ = true; }
    bool complete() const { return complete_; }
    bool tooLong() const { return tooLong_; }
    // The line without its end; meaningful once complete and not too long.
    const std::string& line() const { return line_; }

  private:
    std::string line_;
    bool complete_ = false;
    bool tooLong_ = false;
};

// The answer as it crosses the channel: its length in decimal and a line end, then the bytes, so
// that a client knows it has all of it without waiting for the server to close.
std::string frameControlAnswer(const std::string& answer);

// Collects a framed answer from the bytes a client reads.
class ControlAnswerReader {
  public:
    // Takes bytes; true once the whole answer is there or the frame is bad.
    bool add(const char* data, std::size_t size);
    bool complete() const { return complete_; }
    bool bad() const { return bad_; }
    const std::string& answer() const { return answer_; }

  private:
    std::string answer_;
    std::size_t expected_ = 0;
    bool lengthRead_ = false;
    bool complete_ = false;
    bool bad_ = false;
};

}  // namespace zelmo
