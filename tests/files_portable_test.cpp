// The pipeline's file operations on real files in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "pipeline_fixture.h"
#include "platform/files.h"

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

TEST(FilesRename, NeverReplacesAndTellsWhy) {
    TempDir dir;
    const std::string from = dir.path() + "Wydruk.prn";
    const std::string to = dir.path() + "Zelmo1.Prn";
    writeFile(from, {'n', 'e', 'w'});
    writeFile(to, {'o', 'l', 'd'});
    EXPECT_EQ(files::renameNoReplace(from, to), RenameResult::TargetExists);
    EXPECT_EQ(readFile(to), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(files::exists(from));

    const std::string free = dir.path() + "Zelmo2.Prn";
    EXPECT_EQ(files::renameNoReplace(from, free), RenameResult::Renamed);
    EXPECT_FALSE(files::exists(from));
    EXPECT_EQ(readFile(free), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(files::renameNoReplace(from, dir.path() + "Zelmo3.Prn"), RenameResult::Failed);

    EXPECT_TRUE(files::deleteFile(free));
    EXPECT_FALSE(files::exists(free));
    EXPECT_FALSE(files::deleteFile(free));
}

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

    // Large enough for the huge-page path.
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

}  // namespace
}  // namespace zelmo::pipeline_test
