#include "Foundation/FileWatch.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using NS::detail::FileWatch;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class FileWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "glintmere-watch-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(root_ + "/a/b");
        writeFile(root_ + "/a/b/file", "first");
        if (FileWatch::count() == 0) {
            GTEST_SKIP() << "the kernel gives this process no inotify descriptor";
        }
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string root_;
};

TEST_F(FileWatchTest, TheCountHoldsWhileNothingChangesAndMovesOnForEveryKindOfChange) {
    const std::string file = root_ + "/a/b/file";
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"the file rewritten in place", [&] { writeFile(file, "other"); }},
        {"the file's permissions", [&] { fs::permissions(file, fs::perms::owner_read); }},
        {"the file moved away", [&] { fs::rename(file, root_ + "/a/b/gone"); }},
        {"the file made again", [&] { writeFile(file, "again"); }},
        {"a folder on the way renamed", [&] { fs::rename(root_ + "/a", root_ + "/c"); }},
        {"the folder put back", [&] { fs::rename(root_ + "/c", root_ + "/a"); }},
        {"the file removed", [&] { fs::remove(file); }},
    };
    for (const auto& [what, change] : changes) {
        const std::uint64_t at = FileWatch::watch(file);
        ASSERT_NE(at, 0u) << what;
        EXPECT_EQ(FileWatch::count(), at) << what << ": nothing changed yet";
        EXPECT_EQ(FileWatch::count(), at) << what << ": nothing changed yet";
        change();
        EXPECT_NE(FileWatch::count(), at) << what;
    }
}

TEST_F(FileWatchTest, AFileMissingAlongWithItsFolderIsSeenWhenBothAreMade) {
    const std::string file = root_ + "/a/new/deeper/file";
    const std::uint64_t at = FileWatch::watch(file);
    ASSERT_NE(at, 0u);
    fs::create_directories(root_ + "/a/new/deeper");
    EXPECT_NE(FileWatch::count(), at);
}

TEST_F(FileWatchTest, ALinkOnThePathIsFollowedAndItsTargetWatched) {
    fs::create_directories(root_ + "/elsewhere/b");
    writeFile(root_ + "/elsewhere/b/file", "elsewhere");
    fs::create_directory_symlink("a", root_ + "/link");
    const std::string file = root_ + "/link/b/file";

    std::uint64_t at = FileWatch::watch(file);
    ASSERT_NE(at, 0u);
    writeFile(root_ + "/a/b/file", "changed through the target");
    EXPECT_NE(FileWatch::count(), at) << "a change in the folder the link names";

    at = FileWatch::watch(file);
    fs::remove(root_ + "/link");
    fs::create_directory_symlink(root_ + "/elsewhere", root_ + "/link");
    EXPECT_NE(FileWatch::count(), at) << "the link pointed elsewhere";

    at = FileWatch::watch(file);
    writeFile(root_ + "/elsewhere/b/file", "changed in the new target");
    EXPECT_NE(FileWatch::count(), at) << "a change in the folder the link now names";
}

TEST_F(FileWatchTest, LinksAreFollowedAsFarAsTheKernelFollowsThem) {
    fs::create_symlink("loop-b", root_ + "/loop-a");
    fs::create_symlink("loop-a", root_ + "/loop-b");
    EXPECT_EQ(FileWatch::watch(root_ + "/loop-a/file"), 0u) << "links that name each other";
    // The longest target a link can hold is followed.
    std::string longest;
    while (longest.size() + 2 < 4095 - 1) {
        longest += "./";
    }
    fs::create_symlink(longest + "a", root_ + "/long");
    EXPECT_NE(FileWatch::watch(root_ + "/long/b/file"), 0u)
        << "a target of " << longest.size() + 1 << " bytes";
    EXPECT_NE(FileWatch::watch(root_ + "/a/b/file"), 0u) << "the other paths are still watched";
}

TEST_F(FileWatchTest, AForkedChildReadsNoneOfItsParentsChanges) {
    const std::string file = root_ + "/a/b/file";
    const std::uint64_t at = FileWatch::watch(file);
    ASSERT_NE(at, 0u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child watches and changes the same file, and takes in what it is told.
        const std::uint64_t mine = FileWatch::watch(file);
        writeFile(file, "from the child");
        const bool seen = mine != 0 && FileWatch::count() != mine;
        _exit(seen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child saw its own change";
    EXPECT_NE(FileWatch::count(), at) << "the parent still learns of the child's change";
}

} // namespace
