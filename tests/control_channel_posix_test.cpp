// The control channel's socket: who may leave what in its place, and clients that send nothing,
// garbage or too much while others are answered. The clock is the test's.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "pipeline_fixture.h"
#include "platform/control_channel.h"
#include "platform/errors.h"
#include "platform/folder_lock.h"
#include "tests/support/eventually.h"

namespace zelmo::pipeline_test {
namespace {

// A client of our own that does only what the test says: connect, write, read.
class RawClient {
  public:
    explicit RawClient(const std::string& socket) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket.copy(address.sun_path, sizeof address.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool connected() const { return connected_; }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything until the server closes, or "(open)" when it has not closed yet.
    std::string received() {
        std::string all;
        char buffer[256];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0) return all;
            if (n < 0) return all + "(open)";
            all.append(buffer, static_cast<size_t>(n));
        }
    }

  private:
    int fd_;
    bool connected_ = false;
};

// An answer that shows which request it was for.
std::string echo(const std::string& request) {
    return "got " + request;
}

TEST(ControlChannel, SilentGarbledAndOverlongClientsNeitherStallNorOutliveTheirDeadline) {
    TempDir dir;
    const std::unique_ptr<ControlServer> server = openControlServer(dir.path());
    const auto start = ControlClock::now();
    RawClient silent(dir.path() + "Zelmo.sock");
    RawClient overlong(dir.path() + "Zelmo.sock");
    RawClient garbled(dir.path() + "Zelmo.sock");
    ASSERT_TRUE(silent.connected() && overlong.connected() && garbled.connected());
    overlong.send(std::string(kMaxControlRequest + 1, 'x'));
    garbled.send(std::string("\x01\xff status\r\n", 11));
    // A real client, waiting on its own thread, is answered while the others hang on.
    std::atomic<bool> done{false};
    std::string answer;
    std::thread client([&] {
        sendControlRequest(dir.path(), "status", answer);
        done = true;
    });
    eventually([&] { return done.load(); }, [&] { server->serve(echo, start); });
    client.join();
    EXPECT_EQ(answer, "got status");
    EXPECT_EQ(overlong.received(), "0\n");
    EXPECT_EQ(garbled.received(), std::string("13\ngot \x01\xff status", 16));
    EXPECT_EQ(silent.received(), "(open)");
    server->serve(echo, start + kControlDeadline - std::chrono::milliseconds(1));
    EXPECT_EQ(silent.received(), "(open)");
    server->serve(echo, start + kControlDeadline);
    EXPECT_EQ(silent.received(), "");
}

TEST(ControlChannel, ReplacesOnlyWhatADeadMonitorCanHaveLeftAndNeverFollowsALink) {
    enum class Left { Nothing, StaleSocket, Link, File };
    for (const Left left : {Left::Nothing, Left::StaleSocket, Left::Link, Left::File}) {
        TempDir dir;
        const std::string socket = dir.path() + "Zelmo.sock";
        const std::string target = dir.path() + "target";
        writeFile(target, {'k'});
        if (left == Left::StaleSocket) {
            // A socket bound and closed: what a monitor killed with -9 leaves.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            socket.copy(address.sun_path, sizeof address.sun_path - 1);
            ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
        }
        if (left == Left::Link) {
            ASSERT_EQ(::symlink(target.c_str(), socket.c_str()), 0);
        }
        if (left == Left::File) writeFile(socket, {'u'});
        std::string answer;
        EXPECT_EQ(sendControlRequest(dir.path(), "status", answer), ControlReach::NoMonitor);
        if (left == Left::File) {
            EXPECT_THROW(openControlServer(dir.path()), PlatformError);
            EXPECT_EQ(readText(socket), "u");
            continue;
        }
        {
            const std::unique_ptr<ControlServer> server = openControlServer(dir.path());
            struct stat st {};
            ASSERT_EQ(::lstat(socket.c_str(), &st), 0);
            EXPECT_TRUE(S_ISSOCK(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, 0600u) << static_cast<int>(left);
        }
        EXPECT_EQ(readText(target), "k");
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket)))
            << "the socket outlived its server";
    }
}

// A monitor's server with the answer it gives: its name.
struct Named {
    ControlServer* server;
    std::string name;
};

// Asks folder's monitor for its status while every server serves, at the time now.
ControlReach askWhileServing(const std::string& folder, const std::vector<Named>& servers,
                             std::string& answer, ControlClock::time_point now) {
    std::atomic<bool> done{false};
    ControlReach reach = ControlReach::Failed;
    std::thread client([&] {
        reach = sendControlRequest(folder, "status", answer);
        done = true;
    });
    eventually([&] { return done.load(); },
               [&] {
                   for (const Named& named : servers)
                       named.server->serve([&](const std::string&) { return named.name; }, now);
               });
    client.join();
    return reach;
}

TEST(ControlChannel, TheMonitorIsFoundByItsLockWhateverBecomesOfItsSocketFile) {
    enum class Change { Removed, File, Folder, LinkToAnother, NoMonitorLinkToAnother, Unserved };
    for (const Change change :
         {Change::Removed, Change::File, Change::Folder, Change::LinkToAnother,
          Change::NoMonitorLinkToAnother, Change::Unserved}) {
        SCOPED_TRACE(static_cast<int>(change));
        TempDir a, b;
        const std::string socket = a.path() + "Zelmo.sock";
        const bool monitored = change != Change::NoMonitorLinkToAnother;
        const std::unique_ptr<FolderLock> lockA(monitored ? new FolderLock(a.path()) : nullptr);
        const FolderLock lockB(b.path());
        const std::unique_ptr<ControlServer> serverA =
            monitored ? openControlServer(a.path(), lockA->channel()) : nullptr;
        const std::unique_ptr<ControlServer> serverB = openControlServer(b.path(), lockB.channel());
        std::filesystem::remove(socket);
        if (change == Change::File) writeFile(socket, {'u'});
        if (change == Change::Folder) std::filesystem::create_directory(socket);
        if (change == Change::LinkToAnother || change == Change::NoMonitorLinkToAnother)
            std::filesystem::create_symlink(b.path() + "Zelmo.sock", socket);
        std::vector<Named> servers{{serverB.get(), "B"}};
        if (serverA && change != Change::Unserved) servers.push_back({serverA.get(), "A"});
        const auto now = ControlClock::now();
        std::string answer;
        const ControlReach reach = askWhileServing(a.path(), servers, answer, now);
        if (change == Change::NoMonitorLinkToAnother) {
            EXPECT_EQ(reach, ControlReach::NoMonitor) << answer;
            continue;
        }
        if (change == Change::Unserved) {
            EXPECT_EQ(reach, ControlReach::Failed) << "a monitor that is there, busy";
            continue;
        }
        EXPECT_EQ(reach, ControlReach::Answered);
        EXPECT_EQ(answer, "A");
        // At the next check the monitor's socket file is back, where nothing of the user's is.
        serverA->serve([](const std::string&) { return std::string(); },
                       now + std::chrono::seconds(2));
        struct stat st {};
        ASSERT_EQ(::lstat(socket.c_str(), &st), 0);
        EXPECT_EQ(S_ISSOCK(st.st_mode),
                  change == Change::Removed || change == Change::LinkToAnother);
        EXPECT_EQ(S_ISDIR(st.st_mode), change == Change::Folder);
        if (change == Change::File) {
            EXPECT_EQ(readText(socket), "u");
        }
    }
}

TEST(ControlChannel, FolderPathLongerThanASocketAddressStillWorks) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 200)
        folder += "dluga-nazwa-folderu/";
    std::filesystem::create_directories(folder);
    const std::unique_ptr<ControlServer> server = openControlServer(folder);
    EXPECT_TRUE(std::filesystem::is_socket(folder + "Zelmo.sock"));
    std::atomic<bool> done{false};
    std::string answer;
    std::thread client([&] {
        sendControlRequest(folder, "status", answer);
        done = true;
    });
    eventually([&] { return done.load(); }, [&] { server->serve(echo, ControlClock::now()); });
    client.join();
    EXPECT_EQ(answer, "got status");
}

}  // namespace
}  // namespace zelmo::pipeline_test
