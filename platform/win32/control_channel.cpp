// The control channel on Windows: a named pipe named after the folder's key, as the folder's
// mutex is, whose access list admits the user alone. One instance, overlapped, served by polling
// from the window's thread: no call here waits for a client.
#include "platform/control_channel.h"

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/errors.h"
#include "platform/win32/folder_key.h"
#include "platform/win32/wide.h"

namespace zelmo {
namespace {

// How long a client waits for the monitor in all, which answers within a tick or two.
constexpr DWORD kClientWaitMs = 4000;
constexpr DWORD kBufferSize = 4096;

// The pipe of folder.
std::wstring pipeName(const std::string& folder) {
    return L"\\\\.\\pipe\\Zelmo-" + win32::folderKey(folder);
}

// The failure with the system's reason.
PlatformError systemError(DWORD error) {
    return PlatformError(win32::systemMessage(error));
}

// A kernel handle closed by its owner.
class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (valid()) ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    // Takes over handle, closing the one held.
    void reset(HANDLE handle) {
        if (valid()) ::CloseHandle(handle_);
        handle_ = handle;
    }
    bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// The user process runs as, as an SDDL string ("S-1-5-21-...").
std::wstring userSidOf(HANDLE process) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) throw systemError(::GetLastError());
    const Handle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    wchar_t* text = nullptr;
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        throw systemError(::GetLastError());
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

// The user this process runs as.
std::wstring userSid() {
    return userSidOf(::GetCurrentProcess());
}

// True when the process serving pipe runs as our own user: a pipe of the folder's name made by
// anyone else first is not our monitor, and hears nothing from us.
bool serverIsUs(HANDLE pipe) {
    ULONG id = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &id)) return false;
    const Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    try {
        return process.valid() && userSidOf(process.get()) == userSid();
    } catch (const PlatformError&) {
        return false;
    }
}

// True while a process holds the folder's lock: a monitor is there, even while its pipe is not.
bool folderHeld(const std::string& folder) {
    const Handle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, win32::folderMutexName(folder).c_str()));
    return mutex.valid() || ::GetLastError() == ERROR_ACCESS_DENIED;
}

// The milliseconds left until deadline, at least one.
DWORD msLeft(ControlClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - ControlClock::now());
    return static_cast<DWORD>(std::max<long long>(left.count(), 1));
}

// Security attributes whose protected access list grants the user, and nobody else, the pipe.
class UserOnly {
  public:
    UserOnly() {
        const std::wstring sddl = L"D:P(A;;GA;;;" + userSid() + L")";
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                    &descriptor_, nullptr))
            throw systemError(::GetLastError());
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~UserOnly() { ::LocalFree(descriptor_); }
    UserOnly(const UserOnly&) = delete;
    UserOnly& operator=(const UserOnly&) = delete;
    SECURITY_ATTRIBUTES* get() { return &attributes_; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

class PipeServer : public ControlServer {
  public:
    explicit PipeServer(const std::string& folder);
    ~PipeServer() override;
    intptr_t handle() const override { return kNoHandle; }
    void serve(const ControlHandler& handler, ControlClock::time_point now) override;

  private:
    enum class State { Listening, Reading, Writing, Draining };
    // Moves the exchange one step on; false when it waits for the client.
    bool step(const ControlHandler& handler, ControlClock::time_point now);
    bool finished(DWORD& bytes);
    void listen();
    void restart();
    void startRead();
    void startWrite();

    UserOnly security_;
    Handle event_;
    Handle pipe_;
    OVERLAPPED overlapped_{};
    bool pending_ = false;  // an operation runs on overlapped_
    bool failed_ = false;   // the last operation failed as it started
    State state_ = State::Listening;
    ControlClock::time_point deadline_{};
    ControlRequestReader request_;
    char buffer_[kBufferSize];
    std::string answer_;
    std::size_t sent_ = 0;
};

// The first instance of the folder's pipe: a pipe of that name made by anyone else first makes
// this fail rather than share it.
PipeServer::PipeServer(const std::string& folder)
    : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      pipe_(::CreateNamedPipeW(
          pipeName(folder).c_str(),
          PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
          kBufferSize * 16, kBufferSize, 0, security_.get())) {
    if (!event_.valid() || !pipe_.valid()) throw systemError(::GetLastError());
    listen();
}

// A pending operation is cancelled and waited out before the buffers it writes to go.
PipeServer::~PipeServer() {
    if (!pending_) return;
    ::CancelIoEx(pipe_.get(), &overlapped_);
    DWORD bytes = 0;
    ::GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, TRUE);
}

// True when the running operation has ended (failed_ then tells how); bytes: how many it moved.
bool PipeServer::finished(DWORD& bytes) {
    bytes = 0;
    if (!pending_) return true;
    if (::GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, FALSE)) {
        pending_ = false;
        return true;
    }
    if (::GetLastError() == ERROR_IO_INCOMPLETE) return false;
    pending_ = false;
    failed_ = true;
    return true;
}

// Waits, without blocking, for the next client.
void PipeServer::listen() {
    state_ = State::Listening;
    request_ = ControlRequestReader();
    answer_.clear();
    sent_ = 0;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    failed_ = false;
    pending_ =
        !::ConnectNamedPipe(pipe_.get(), &overlapped_) && ::GetLastError() == ERROR_IO_PENDING;
    // ERROR_PIPE_CONNECTED: a client came between the calls, which is as good.
}

// Drops the client, whatever it was doing, and listens again.
void PipeServer::restart() {
    if (pending_) {
        ::CancelIoEx(pipe_.get(), &overlapped_);
        DWORD bytes = 0;
        ::GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, TRUE);
        pending_ = false;
    }
    ::DisconnectNamedPipe(pipe_.get());
    listen();
}

// Reads what the client sends next.
void PipeServer::startRead() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    const BOOL done = ::ReadFile(pipe_.get(), buffer_, kBufferSize, nullptr, &overlapped_);
    pending_ = done || ::GetLastError() == ERROR_IO_PENDING;
    failed_ = !pending_;
}

// Writes what is left of the answer.
void PipeServer::startWrite() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    const BOOL done =
        ::WriteFile(pipe_.get(), answer_.data() + sent_, static_cast<DWORD>(answer_.size() - sent_),
                    nullptr, &overlapped_);
    pending_ = done || ::GetLastError() == ERROR_IO_PENDING;
    failed_ = !pending_;
}

// Connected, the request read, the answer written, then the client's end awaited: the pipe is
// let go only once the client closed it, since letting go drops what it has not read.
bool PipeServer::step(const ControlHandler& handler, ControlClock::time_point now) {
    DWORD bytes = 0;
    if (!finished(bytes)) {
        if (state_ != State::Listening && now >= deadline_) restart();
        return false;
    }
    if (failed_ || (state_ == State::Reading && bytes == 0)) {
        restart();
        // Listening again: on at once only when a client is already there.
        return !pending_;
    }
    switch (state_) {
        case State::Listening:
            state_ = State::Reading;
            deadline_ = now + kControlDeadline;
            break;
        case State::Reading:
            if (request_.add(buffer_, bytes)) {
                answer_ = frameControlAnswer(request_.tooLong() ? std::string()
                                                                : handler(request_.line()));
                state_ = State::Writing;
                startWrite();
                return true;
            }
            break;
        case State::Writing:
            sent_ += bytes;
            if (sent_ < answer_.size()) {
                startWrite();
                return true;
            }
            state_ = State::Draining;
            break;
        case State::Draining:
            break;
    }
    startRead();
    return true;
}

// A few steps at most: a client that streams bytes cannot keep the window's thread here.
void PipeServer::serve(const ControlHandler& handler, ControlClock::time_point now) {
    for (int steps = 0; steps < 16 && step(handler, now); ++steps) {
    }
}

// Opens the pipe of folder for reading and writing, waiting until deadline while another client
// has it or while the folder's monitor has none yet. NoMonitor only when nobody holds the folder.
ControlReach openPipe(const std::string& folder, Handle& pipe, std::string& why,
                      ControlClock::time_point deadline) {
    const std::wstring name = pipeName(folder);
    for (;;) {
        HANDLE raw = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (raw != INVALID_HANDLE_VALUE) {
            pipe.reset(raw);
            return ControlReach::Answered;
        }
        const DWORD error = ::GetLastError();
        why = win32::systemMessage(error);
        if (error == ERROR_FILE_NOT_FOUND && !folderHeld(folder)) return ControlReach::NoMonitor;
        if (ControlClock::now() >= deadline) return ControlReach::Failed;
        if (error == ERROR_PIPE_BUSY)
            ::WaitNamedPipeW(name.c_str(), std::min<DWORD>(msLeft(deadline), 500));
        else if (error == ERROR_FILE_NOT_FOUND)
            ::Sleep(std::min<DWORD>(msLeft(deadline), 100));
        else
            return ControlReach::Failed;
    }
}

// One read or write that ends, or is given up, by deadline.
bool transfer(HANDLE pipe, bool write, char* data, DWORD size, DWORD& moved,
              ControlClock::time_point deadline) {
    const Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    const BOOL done = write ? ::WriteFile(pipe, data, size, nullptr, &overlapped)
                            : ::ReadFile(pipe, data, size, nullptr, &overlapped);
    if (!done && ::GetLastError() != ERROR_IO_PENDING) return false;
    if (::WaitForSingleObject(event.get(), msLeft(deadline)) != WAIT_OBJECT_0)
        ::CancelIoEx(pipe, &overlapped);
    return ::GetOverlappedResult(pipe, &overlapped, &moved, TRUE) && moved > 0;
}

}  // namespace

// The request, then the framed answer. The monitor may bring its window to the front: the
// foreground is this process's to give.
ControlReach sendControlRequest(const std::string& folder, const std::string& request,
                                std::string& answer) {
    const ControlClock::time_point deadline =
        ControlClock::now() + std::chrono::milliseconds(kClientWaitMs);
    Handle pipe;
    const ControlReach reach = openPipe(folder, pipe, answer, deadline);
    if (reach != ControlReach::Answered) return reach;
    if (!serverIsUs(pipe.get())) {
        answer = win32::systemMessage(ERROR_ACCESS_DENIED);
        return ControlReach::Failed;
    }
    ULONG server = 0;
    if (::GetNamedPipeServerProcessId(pipe.get(), &server)) ::AllowSetForegroundWindow(server);
    std::string line = request + "\n";
    DWORD moved = 0;
    if (!transfer(pipe.get(), true, line.data(), static_cast<DWORD>(line.size()), moved,
                  deadline) ||
        moved != line.size()) {
        answer = win32::systemMessage(::GetLastError());
        return ControlReach::Failed;
    }
    ControlAnswerReader reader;
    char buffer[kBufferSize];
    while (!reader.complete() && transfer(pipe.get(), false, buffer, kBufferSize, moved, deadline))
        reader.add(buffer, moved);
    if (!reader.complete() || reader.bad()) {
        answer = win32::systemMessage(reader.bad() ? ERROR_INVALID_DATA : ::GetLastError());
        return ControlReach::Failed;
    }
    answer = reader.answer();
    return ControlReach::Answered;
}

// The server of the folder's pipe.
std::unique_ptr<ControlServer> openControlServer(const std::string& folder, intptr_t) {
    return std::make_unique<PipeServer>(folder);
}

}  // namespace zelmo
