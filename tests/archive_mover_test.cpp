// The archive mover: staged copies reach the archive folder whole and once, under their name,
// replacing nothing; an unreachable archive keeps them staged and is reported once.
#include "platform/archive_mover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "pipeline_fixture.h"
#include "platform/sync.h"

namespace zelmo {
namespace {

using pipeline_test::listDir;
using pipeline_test::readText;
using pipeline_test::TempDir;

// Writes text to path as a finished staged copy.
void put(const std::string& path, const std::string& text) {
    pipeline_test::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Polls until done() holds or ten seconds pass; the mover works on its own thread.
bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The names in dir that are not hidden.
std::vector<std::string> visible(const std::string& dir) {
    std::vector<std::string> names;
    for (const std::string& name : listDir(dir))
        if (name[0] != '.') names.push_back(name);
    return names;
}

ArchiveMover::Options quick() {
    ArchiveMover::Options options;
    options.retry = std::chrono::milliseconds(5);
    options.exitWait = std::chrono::milliseconds(50);
    return options;
}

struct ClashCase {
    const char* name;
    std::vector<std::string> taken;  // already in the archive
    const char* expected;            // the copy's name there
};

class ArchiveMoverClash : public ::testing::TestWithParam<ClashCase> {};

// A copy left staged by an earlier run is moved at start; a taken name gets a number and the
// file already there is left as it was.
TEST_P(ArchiveMoverClash, MovesUnderAFreeNameReplacingNothing) {
    const ClashCase& c = GetParam();
    TempDir staging, archive;
    const std::string name = "2026-12-07 10-00-00 FV.pdf";
    put(staging.path() + name, "copy");
    for (const std::string& taken : c.taken)
        put(archive.path() + taken, "old " + taken);
    ArchiveMover mover(staging.path(), quick());
    mover.setDestination(archive.path());
    ASSERT_TRUE(eventually([&] { return visible(staging.path()).empty(); }));
    EXPECT_EQ(readText(archive.path() + c.expected), "copy");
    for (const std::string& taken : c.taken)
        EXPECT_EQ(readText(archive.path() + taken), "old " + taken);
    EXPECT_EQ(listDir(archive.path()).size(), c.taken.size() + 1);  // no hidden file left
    EXPECT_TRUE(mover.takeFailures().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveMoverClash,
                         ::testing::Values(ClashCase{"free", {}, "2026-12-07 10-00-00 FV.pdf"},
                                           ClashCase{"taken",
                                                     {"2026-12-07 10-00-00 FV.pdf"},
                                                     "2026-12-07 10-00-00 FV (2).pdf"},
                                           ClashCase{"twiceTaken",
                                                     {"2026-12-07 10-00-00 FV.pdf",
                                                      "2026-12-07 10-00-00 FV (2).pdf"},
                                                     "2026-12-07 10-00-00 FV (3).pdf"}),
                         [](const auto& info) { return std::string(info.param.name); });

// While the archive folder cannot be made, the copy stays staged and the outage is reported
// once however often it is retried; once the folder can be made the copy arrives, once.
TEST(ArchiveMover, KeepsTheCopyThroughAnOutageAndReportsItOnce) {
    TempDir staging, parent;
    const std::string archive = parent.path() + "share/Archiwum";
    const std::string name = "2026-12-07 10-00-00 FV.pdf";
    put(staging.path() + name, "copy");
    std::atomic<int> attempts{0};
    ArchiveMover::Options options = quick();
    options.beforeMove = [&](const std::string& moving) {
        EXPECT_EQ(moving, name);
        ++attempts;
    };
    ArchiveMover mover(staging.path(), options);
    mover.setDestination(archive);
    ASSERT_TRUE(eventually([&] { return attempts >= 4; }));
    EXPECT_EQ(mover.takeFailures().size(), 1u);
    EXPECT_EQ(visible(staging.path()), std::vector<std::string>{name});

    std::filesystem::create_directory(parent.path() + "share");
    ASSERT_TRUE(eventually([&] { return visible(staging.path()).empty(); }));
    EXPECT_EQ(listDir(archive), std::vector<std::string>{name});
    EXPECT_EQ(readText(archive + "/" + name), "copy");
    EXPECT_TRUE(mover.takeFailures().empty());
}

// An archive folder that is the staging folder itself (another path to it) moves nothing: a
// copy moved onto itself would be renamed again at every pass.
TEST(ArchiveMover, LeavesCopiesAloneWhenTheArchiveIsTheStagingFolder) {
    TempDir staging;
    put(staging.path() + "a.pdf", "a");
    ArchiveMover mover(staging.path(), quick());
    mover.setDestination(staging.path() + ".");
    std::vector<std::string> failures;
    ASSERT_TRUE(eventually([&] {
        failures = mover.takeFailures();
        return !failures.empty();
    }));
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_EQ(visible(staging.path()), std::vector<std::string>{"a.pdf"});
}

// A move stuck in the file system holds neither new copies' staging nor the exit for long.
TEST(ArchiveMover, ExitDoesNotWaitForAStuckMove) {
    TempDir staging, archive;
    put(staging.path() + "a.pdf", "a");
    auto held = std::make_shared<ManualResetEvent>();
    auto entered = std::make_shared<ManualResetEvent>();
    ArchiveMover::Options options = quick();
    // The hold outlives the mover: the abandoned thread still waits on it.
    options.beforeMove = [held, entered](const std::string&) {
        entered->set();
        held->wait();
    };
    {
        ArchiveMover mover(staging.path(), options);
        mover.setDestination(archive.path());
        entered->wait();
    }
    EXPECT_EQ(visible(staging.path()), std::vector<std::string>{"a.pdf"});
    held->set();
}

}  // namespace
}  // namespace zelmo
