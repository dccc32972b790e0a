// Zelmo.log: the lines events make and the bound on its size.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/job_log.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

// The file's lines.
std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(JobLog, EachEventIsOneLineWithLocalTimeAndTheSystemsMessageKept) {
    char name[] = "/tmp/zelmo-log-XXXXXX";
    ASSERT_TRUE(::mkdtemp(name));
    const std::string dir = name;
    const std::string path = dir + "/Zelmo.log";
    JobLog log(path, 400);
    JobEvent failed;
    failed.kind = JobEventKind::Failed;
    failed.queueName = "Zelmo3.Prn";
    failed.attempt = 2;
    failed.message = "Create-Job: Invalid argument\nsecond line";
    failed.when = std::chrono::system_clock::now();
    JobEvent printed = failed;
    printed.kind = JobEventKind::Printed;
    printed.pages = 2;
    printed.printer = "Biuro";
    JobEvent aside = failed;
    aside.kind = JobEventKind::SetAside;
    aside.reason = SetAsideReason::NothingPrinted;
    for (const JobEvent& e : {failed, printed, aside})
        log.jobEvent(e);

    const auto lines = linesOf(path);
    ASSERT_EQ(lines.size(), 3u);
    // "YYYY-MM-DD HH:MM:SS " then the event.
    EXPECT_EQ(lines[0].substr(19),
              " Błąd drukowania Zelmo3.Prn (próba 2): Wystąpił błąd drukowania. Komunikat systemu: "
              "Create-Job: Invalid argument second line");
    EXPECT_EQ(lines[1].substr(19), " Wydrukowano Zelmo3.Prn, stron: 2, drukarka: Biuro");
    EXPECT_EQ(lines[2].substr(19),
              " Odłożono Zelmo3.Prn: zadanie nie zawiera żadnej strony. Komunikat systemu: "
              "Create-Job: Invalid argument second line");

    // Past 400 bytes the log starts again and the full one becomes Zelmo.log.1.
    for (int i = 0; i < 4; ++i)
        log.jobEvent(printed);
    EXPECT_LE(std::filesystem::file_size(path), 400u);
    EXPECT_LE(std::filesystem::file_size(path + ".1"), 400u);
    EXPECT_EQ(linesOf(path).size() + linesOf(path + ".1").size(), 7u);
    std::filesystem::remove_all(dir);
}

// Counts what the log says of its own trouble, and keeps the last word of it.
struct TroubleCount : JobEventSink {
    int told = 0;
    std::string message;
    void jobEvent(const JobEvent& event) override {
        if (event.kind != JobEventKind::LogTrouble) return;
        ++told;
        message = event.message;
    }
};

// A FIFO in the log's place (with a reader, so that even a blocking open would return) is never
// written; the trouble is told once, and the lines are written once a file can be.
TEST(JobLog, AFifoInItsPlaceIsNotWrittenAndItsLinesWait) {
    char name[] = "/tmp/zelmo-log-XXXXXX";
    ASSERT_TRUE(::mkdtemp(name));
    const std::string dir = name;
    const std::string path = dir + "/Zelmo.log";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    TroubleCount trouble;
    JobLog log(path, 4000, &trouble);
    JobEvent captured;
    captured.kind = JobEventKind::Captured;
    captured.queueName = "Zelmo1.Prn";
    for (int i = 0; i < 3; ++i)
        log.jobEvent(captured);
    char got[64];
    EXPECT_LE(::read(reader, got, sizeof got), 0);  // nothing was written into the FIFO
    EXPECT_EQ(trouble.told, 1);
    // Our sentence, then the system's message with the path for the technician.
    EXPECT_EQ(trouble.message.rfind(
                  std::string(texts::kLogUnwritable) + "\nKomunikat systemu: " + path + ": ", 0),
              0u)
        << trouble.message;
    ::close(reader);
    ::unlink(path.c_str());
    log.jobEvent(captured);
    EXPECT_EQ(linesOf(path).size(), 4u);
    std::filesystem::remove_all(dir);
}

// A folder named Zelmo.log.1 cannot be replaced: the log begins again in place instead of growing
// past its bound, and says so once.
TEST(JobLog, StaysBoundedWhenTheOldLogCannotBeReplaced) {
    char name[] = "/tmp/zelmo-log-XXXXXX";
    ASSERT_TRUE(::mkdtemp(name));
    const std::string dir = name;
    const std::string path = dir + "/Zelmo.log";
    std::filesystem::create_directories(path + ".1/x");
    TroubleCount trouble;
    JobLog log(path, 400, &trouble);
    JobEvent captured;
    captured.kind = JobEventKind::Captured;
    captured.queueName = "Zelmo1.Prn";
    for (int i = 0; i < 40; ++i) {
        log.jobEvent(captured);
        ASSERT_LE(std::filesystem::file_size(path), 400u) << i;
    }
    EXPECT_EQ(trouble.told, 1);
    EXPECT_EQ(trouble.message.rfind(
                  std::string(texts::kLogNotRotated) + "\nKomunikat systemu: " + path + ".1: ", 0),
              0u)
        << trouble.message;
    // In the log itself the reason stays on the one line.
    EXPECT_NE(linesOf(path).front().find("Komunikat systemu: " + path + ".1: "), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zelmo
