// The archive mover: staged copies reach the archive folder whole and once, under their name,
// replacing nothing; an unreachable archive keeps them staged and is reported once.
#include "printers/archive_mover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "pipeline_fixture.h"
#include "platform/sync.h"
#include "tests/support/eventually.h"

namespace zelmo {
namespace {

using pipeline_test::listDir;
using pipeline_test::readText;
using pipeline_test::TempDir;

// Writes text to path as a finished staged copy.
void put(const std::string& path, const std::string& text) {
    pipeline_test::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
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
    std::vector<std::pair<std::string, std::string>> taken;  // already in the archive, and what
    const char* expected;                                    // the copy's name there
    bool added;  // false: a run ended before removing the staged copy had published it already
};

class ArchiveMoverClash : public ::testing::TestWithParam<ClashCase> {};

// A copy left staged by an earlier run is moved at start; a taken name gets a number and the
// file already there is left as it was; a copy already published is not published again.
TEST_P(ArchiveMoverClash, MovesUnderAFreeNameReplacingNothing) {
    const ClashCase& c = GetParam();
    TempDir staging, archive;
    const std::string name = "2026-12-07 10-00-00 FV.pdf";
    put(staging.path() + name, "copy");
    for (const auto& [taken, text] : c.taken)
        put(archive.path() + taken, text);
    ArchiveMover mover(staging.path(), quick());
    mover.setDestination(archive.path());
    ASSERT_TRUE(eventually([&] { return visible(staging.path()).empty(); }));
    EXPECT_EQ(readText(archive.path() + c.expected), "copy");
    for (const auto& [taken, text] : c.taken)
        EXPECT_EQ(readText(archive.path() + taken), text);
    EXPECT_EQ(listDir(archive.path()).size(), c.taken.size() + c.added);  // no hidden file left
    EXPECT_TRUE(mover.takeFailures().empty());
}

const std::string kFv = "2026-12-07 10-00-00 FV.pdf";
const std::string kFv2 = "2026-12-07 10-00-00 FV (2).pdf";
INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveMoverClash,
    ::testing::Values(
        ClashCase{"free", {}, "2026-12-07 10-00-00 FV.pdf", true},
        ClashCase{"taken", {{kFv, "old"}}, "2026-12-07 10-00-00 FV (2).pdf", true},
        ClashCase{
            "twiceTaken", {{kFv, "old"}, {kFv2, "old 2"}}, "2026-12-07 10-00-00 FV (3).pdf", true},
        ClashCase{"sameSizeOtherBytes", {{kFv, "cop!"}}, "2026-12-07 10-00-00 FV (2).pdf", true},
        ClashCase{"publishedBeforeAKill", {{kFv, "old"}, {kFv2, "copy"}}, kFv2.c_str(), false}),
    [](const auto& info) { return std::string(info.param.name); });

// While the archive folder is missing (a share not mounted: its mount point is bare) the copy
// stays staged and the outage is reported once however often it is retried; the mover never
// makes the folder. Once the folder is there the copy arrives, once.
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
    std::filesystem::create_directory(parent.path() + "share");
    const int before = attempts;
    ASSERT_TRUE(eventually([&] { return attempts >= before + 4; }));
    EXPECT_FALSE(std::filesystem::exists(archive));
    EXPECT_EQ(mover.takeFailures().size(), 1u);
    EXPECT_EQ(visible(staging.path()), std::vector<std::string>{name});

    std::filesystem::create_directory(archive);
    ASSERT_TRUE(eventually([&] { return visible(staging.path()).empty(); }));
    EXPECT_EQ(listDir(archive), std::vector<std::string>{name});
    EXPECT_EQ(readText(archive + "/" + name), "copy");
    EXPECT_TRUE(mover.takeFailures().empty());
}

// A staging folder that is a link is not followed: its target's files stay where they are and
// nothing of the mover's is written there; the user is told.
TEST(ArchiveMover, NeverFollowsAStagingFolderThatIsALink) {
    TempDir parent, target, archive;
    put(target.path() + "a.pdf", "a");
    const std::string staging = parent.path() + "Archiwum-do-wyslania";
    std::error_code error;
    std::filesystem::create_directory_symlink(target.path(), staging, error);
    // Wine's file system makes no links; Windows itself and Linux do.
    if (error) GTEST_SKIP() << "no link: " << error.message();
    ArchiveMover mover(staging, quick());
    mover.setDestination(archive.path());
    std::vector<std::string> failures;
    ASSERT_TRUE(eventually([&] {
        failures = mover.takeFailures();
        return !failures.empty();
    }));
    EXPECT_EQ(listDir(target.path()), std::vector<std::string>{"a.pdf"});
    EXPECT_TRUE(listDir(archive.path()).empty());
}

// The partial file of a run that ended in mid-move is removed by the next run, which moves the
// copy once; a partial file that is not this mover's (another computer's) is left alone.
TEST(ArchiveMover, RemovesItsOwnPartialCopiesLeftByAnEarlierRun) {
    TempDir staging, archive;
    const std::string name = "2026-12-07 10-00-00 FV.pdf";
    const std::string foreign = ".zelmo-1733565600-1.part";
    put(staging.path() + name, "copy");
    put(archive.path() + foreign, "another computer's");
    auto held = std::make_shared<ManualResetEvent>();
    auto entered = std::make_shared<ManualResetEvent>();
    ArchiveMover::Options options = quick();
    options.beforePublish = [held, entered](const std::string&) {
        entered->set();
        held->wait();
    };
    {
        ArchiveMover killed(staging.path(), options);
        killed.setDestination(archive.path());
        entered->wait();
    }
    ASSERT_EQ(listDir(archive.path()).size(), 2u);  // the partial copy and the foreign one
    {
        ArchiveMover next(staging.path(), quick());
        next.setDestination(archive.path());
        ASSERT_TRUE(eventually([&] { return visible(staging.path()).empty(); }));
    }
    EXPECT_EQ(listDir(archive.path()), (std::vector<std::string>{foreign, name}));
    held->set();
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
