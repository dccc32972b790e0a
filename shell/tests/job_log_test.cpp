// Zelmo.log: the lines events make and the bound on its size.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/job_log.h"

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
              " Błąd drukowania Zelmo3.Prn (próba 2): Create-Job: Invalid argument second line");
    EXPECT_EQ(lines[1].substr(19), " Wydrukowano Zelmo3.Prn, stron: 2, drukarka: Biuro");
    EXPECT_EQ(lines[2].substr(19), " Odłożono Zelmo3.Prn: zadanie nie zawiera żadnej strony");

    // Past 400 bytes the log starts again and the full one becomes Zelmo.log.1.
    for (int i = 0; i < 4; ++i)
        log.jobEvent(printed);
    EXPECT_LE(std::filesystem::file_size(path), 400u);
    EXPECT_LE(std::filesystem::file_size(path + ".1"), 400u);
    EXPECT_EQ(linesOf(path).size() + linesOf(path + ".1").size(), 7u);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zelmo
