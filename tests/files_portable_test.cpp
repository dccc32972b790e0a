// The pipeline's file operations on real files in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pipeline_fixture.h"
#include "platform/files.h"
#include "platform/folder_watch.h"

namespace zelmo::pipeline_test {
namespace {

using files::RenameResult;

TEST(FilesExclusiveOpen, FailsWhileAnyoneHoldsTheFileForWriting) {
    TempDir dir;
    const std::string path = dir.path() + "Wydruk.prn";
    EXPECT_FALSE(files::openExclusive(path).isOpen()) << "missing file";
    EXPECT_FALSE(files::openExclusive(dir.path()).isOpen()) << "a folder is no job";

    const int writer = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(writer, 0);
    EXPECT_FALSE(files::openExclusive(path).isOpen());
    const int reader = ::open(path.c_str(), O_RDONLY);
    ::close(writer);
    // Other readers do not count: only writers keep a job from being taken.
    files::File file = files::openExclusive(path);
    EXPECT_TRUE(file.isOpen());
    ::close(reader);

    // The lease was only a test: a writer can open the file again at once.
    const int again = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(again, 0);
    if (again >= 0) ::close(again);
}

class FilesRename : public ::testing::TestWithParam<bool> {};

// Both ways of moving: the rename, and the link and unlink of file systems without it.
TEST_P(FilesRename, NeverReplacesAndTellsWhy) {
    const auto renameNoReplace = GetParam() ? files::moveByLink : files::renameNoReplace;
    TempDir dir;
    const std::string from = dir.path() + "Wydruk.prn";
    const std::string to = dir.path() + "Zelmo1.Prn";
    writeFile(from, {'n', 'e', 'w'});
    writeFile(to, {'o', 'l', 'd'});
    EXPECT_EQ(renameNoReplace(from, to), RenameResult::TargetExists);
    EXPECT_EQ(readFile(to), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(files::exists(from));

    const std::string free = dir.path() + "Zelmo2.Prn";
    EXPECT_EQ(renameNoReplace(from, free), RenameResult::Renamed);
    EXPECT_FALSE(files::exists(from));
    EXPECT_EQ(readFile(free), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(renameNoReplace(from, dir.path() + "Zelmo3.Prn"), RenameResult::Failed);

    EXPECT_TRUE(files::deleteFile(free));
    EXPECT_FALSE(files::exists(free));
    EXPECT_FALSE(files::deleteFile(free));
}

INSTANTIATE_TEST_SUITE_P(Moves, FilesRename, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "byLink" : "byRename"; });

// The bytes of a loaded job, for comparisons.
std::vector<uint8_t> bytesOf(const files::JobBytes& job) {
    return std::vector<uint8_t>(job.data(), job.data() + job.size());
}

TEST(FilesReadWhole, ReplacesTheBufferWithExactlyTheFile) {
    TempDir dir;
    const std::string path = dir.path() + "Zelmo1.Prn";
    files::JobBytes buffer;
    writeFile(path, {'o', 'l', 'd'});
    EXPECT_TRUE(files::readWholeFile(path, buffer));
    writeFile(path, {});
    EXPECT_TRUE(files::readWholeFile(path, buffer));
    EXPECT_TRUE(buffer.empty());

    // Large enough to be mapped.
    std::vector<uint8_t> big((std::size_t{5} << 20) + 3);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    writeFile(path, big);
    EXPECT_TRUE(files::readWholeFile(path, buffer));
    EXPECT_EQ(bytesOf(buffer), big);

    const int writer = ::open(path.c_str(), O_WRONLY);
    EXPECT_FALSE(files::readWholeFile(path, buffer));
    EXPECT_TRUE(buffer.empty()) << "a failed load keeps no stale job";
    ::close(writer);
    EXPECT_FALSE(files::readWholeFile(dir.path() + "missing", buffer));
}

TEST(FilesReadWhole, AMappedJobCutShortReadsAsZerosAndIsNoLongerIntact) {
    TempDir dir;
    const std::string path = dir.path() + "Zelmo1.Prn";
    std::vector<uint8_t> big((std::size_t{3} << 20) + 5);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 13 + 1);
    writeFile(path, big);
    files::JobBytes buffer;
    ASSERT_TRUE(files::readWholeFile(path, buffer));
    EXPECT_TRUE(buffer.intact());
    // Cut mid-page: the kept part of that page stays, everything after it reads as zeros.
    const std::size_t kept = (std::size_t{1} << 20) + 100;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kept)), 0);
    std::vector<uint8_t> expected(big.begin(), big.begin() + static_cast<std::ptrdiff_t>(kept));
    expected.resize(big.size(), 0);
    EXPECT_EQ(bytesOf(buffer), expected);
    EXPECT_FALSE(buffer.intact());
    // The next job's block is watched afresh.
    writeFile(path, big);
    ASSERT_TRUE(files::readWholeFile(path, buffer));
    EXPECT_TRUE(buffer.intact());
    EXPECT_EQ(bytesOf(buffer), big);
}

// Runs body in a child process as the unprivileged user nobody; its exit code, or 77 when
// privileges cannot be dropped here.
int asNobody(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(FilesExclusiveOpen, AnotherUsersFileIsTakenOnceNobodyWritesIt) {
    // A folder of nobody's with a job written by root: nobody may rename it but gets no lease.
    TempDir dir;
    ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    const std::string path = dir.path() + "Wydruk.prn";
    writeFile(path, numberedJob(1));
    const auto takenByNobody = [&] {
        return asNobody([&] { return files::openExclusive(path).isOpen() ? 1 : 0; });
    };

    const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
    const int whileWritten = takenByNobody();
    if (whileWritten == 77) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(whileWritten, 0) << "taken while just written";
    ::close(writer);
    EXPECT_EQ(takenByNobody(), 0) << "taken before it stayed unchanged";
    const struct timeval past[2] = {{::time(nullptr) - 10, 0}, {::time(nullptr) - 10, 0}};
    ASSERT_EQ(::utimes(path.c_str(), past), 0);
    EXPECT_EQ(takenByNobody(), 1);
    EXPECT_EQ(asNobody([&] {
                  return files::renameNoReplace(path, dir.path() + "Zelmo1.Prn") ==
                                 RenameResult::Renamed
                             ? 1
                             : 0;
              }),
              1);
}

TEST(FilesExclusiveOpen, NeverThroughALink) {
    TempDir dir;
    writeFile(dir.path() + "secret", numberedJob(1));
    const std::string link = dir.path() + "Wydruk.prn";
    ASSERT_EQ(::symlink((dir.path() + "secret").c_str(), link.c_str()), 0);
    EXPECT_FALSE(files::openExclusive(link).isOpen());
    files::JobBytes buffer;
    EXPECT_FALSE(files::readWholeFile(link, buffer));
    files::FileInfo info;
    ASSERT_TRUE(files::fileInfo(link, info));
    EXPECT_FALSE(info.regular);
}

TEST(FilesAtomicReplace, LeavesTheOldFileWhenTheNewCannotBeWritten) {
    TempDir dir;
    const std::string path = dir.path() + "Zelmo.queue";
    ASSERT_TRUE(files::replaceFileAtomically(path, "one\n"));
    ASSERT_TRUE(files::replaceFileAtomically(path, "two\n"));
    EXPECT_EQ(readText(path), "two\n");
    // A stale temporary of a killed run does not stand in the way.
    writeFile(path + ".tmp", {'x'});
    ASSERT_TRUE(files::replaceFileAtomically(path, "three\n"));
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"Zelmo.queue"});
    // The temporary cannot be made (a folder of that name): the old file stays whole.
    ASSERT_EQ(::mkdir((path + ".tmp").c_str(), 0755), 0);
    EXPECT_FALSE(files::replaceFileAtomically(path, "four\n"));
    EXPECT_EQ(readText(path), "three\n");
}

TEST(FolderWatch, FiresForTheJobFileClosedOrMovedInOnly) {
    TempDir dir;
    const auto watch = watchFolder(dir.path(), "Wydruk.prn");
    ASSERT_TRUE(watch);
    EXPECT_FALSE(watch->takeEvents());
    writeFile(dir.path() + "other", {'x'});
    EXPECT_FALSE(watch->takeEvents());
    const int writer = ::open((dir.path() + "Wydruk.prn").c_str(), O_WRONLY | O_CREAT, 0644);
    EXPECT_FALSE(watch->takeEvents()) << "still open";
    ::close(writer);
    EXPECT_TRUE(watch->takeEvents());
    EXPECT_FALSE(watch->takeEvents()) << "drained";
    ASSERT_EQ(::rename((dir.path() + "other").c_str(), (dir.path() + "Wydruk.prn").c_str()), 0);
    EXPECT_TRUE(watch->takeEvents());
}

}  // namespace
}  // namespace zelmo::pipeline_test
