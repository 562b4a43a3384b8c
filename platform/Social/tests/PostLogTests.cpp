#include "../../../tests/support/Files.hpp"
#include "Social/PostLog.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::readAll;

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
    const fs::path folder = fs::path("/tmp/social-tests") / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(PostLog, PostsAreAppendedOneALineToAFileReadableByAll) {
    const mode_t previous = ::umask(077);
    EXPECT_EQ(SL::appendPost("Set any picture as your wallpaper with #Glintmere"), "");
    EXPECT_EQ(SL::appendPost("second"), "");
    ::umask(previous);
    const fs::path posts = "/var/mobile/Library/Social/posts.txt";
    EXPECT_EQ(readAll(posts), "Set any picture as your wallpaper with #Glintmere\nsecond\n");
    struct stat about {};
    ASSERT_EQ(::lstat(posts.c_str(), &about), 0);
    EXPECT_EQ(about.st_mode & 07777, 0644u);
}

TEST(PostLog, NothingIsWrittenThroughWhatWasPlantedAtTheLog) {
    const fs::path base = freshFolder("planted");
    const fs::path elsewhere = freshFolder("elsewhere");
    std::ofstream(elsewhere / "precious") << "precious";
    const auto refused = [&](const std::string& folder) {
        const std::string error = SL::appendPost("post", {base, folder});
        EXPECT_NE(error, "") << folder;
        return error;
    };

    fs::create_directories(base / "Link");
    fs::create_symlink(elsewhere / "precious", base / "Link/posts.txt");
    EXPECT_NE(refused("Link").find("something other than a file"), std::string::npos);
    fs::create_directories(base / "Dangling");
    fs::create_symlink(elsewhere / "made", base / "Dangling/posts.txt");
    refused("Dangling");
    fs::create_directories(base / "Hard");
    fs::create_hard_link(elsewhere / "precious", base / "Hard/posts.txt");
    refused("Hard");
    // A pipe without a reader would hold a writer for ever.
    fs::create_directories(base / "Pipe");
    ASSERT_EQ(::mkfifo((base / "Pipe/posts.txt").c_str(), 0644), 0);
    refused("Pipe");
    fs::create_symlink(elsewhere, base / "Folder");
    EXPECT_NE(refused("Folder").find("a link or a file stands where a folder belongs"), std::string::npos);

    EXPECT_EQ(readAll(elsewhere / "precious"), "precious");
    EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere / "made")));
    EXPECT_FALSE(fs::exists(elsewhere / "posts.txt"));
    EXPECT_TRUE(fs::is_symlink(base / "Link/posts.txt"));
}

} // namespace
