// One monitor per folder, whichever path leads to it and whatever became of the folder a path
// named when the first monitor started.
#include "platform/folder_lock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace zelmo {
namespace {

namespace fs = std::filesystem;

// Whether a second lock is refused on each of paths, under base.
void expectRefused(const std::string& base, std::initializer_list<const char*> paths) {
    for (const char* path : paths) {
        const FolderLock second(base + path);
        EXPECT_FALSE(second.held()) << path;
    }
}

TEST(FolderLock, HoldsTheFolderAndThePathItWasTakenBy) {
    char pattern[] = "/tmp/zelmo-lock-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string base = pattern;
    fs::create_directory(base + "/Zelmo");
    fs::create_directory(base + "/other");
    fs::create_directory_symlink(base + "/Zelmo", base + "/link");
    FolderLock first(base + "/Zelmo/");
    ASSERT_TRUE(first.held());
    expectRefused(base, {"/Zelmo/", "/Zelmo", "/link/"});
    // Moved away and made again: the path is still the running monitor's, as is the folder, and
    // so is the new folder by a link to it; once the monitor notices, it holds the new folder.
    fs::rename(base + "/Zelmo", base + "/moved");
    fs::create_directory(base + "/Zelmo");
    expectRefused(base, {"/Zelmo/", "/moved/", "/link/"});
    EXPECT_TRUE(first.follow());
    expectRefused(base, {"/Zelmo/", "/link/"});
    EXPECT_TRUE(FolderLock(base + "/moved/").held());
    fs::rename(base + "/Zelmo", base + "/again");
    expectRefused(base, {"/again/"});
    EXPECT_TRUE(FolderLock(base + "/other/").held());
    fs::remove_all(base);
}

}  // namespace
}  // namespace zelmo
