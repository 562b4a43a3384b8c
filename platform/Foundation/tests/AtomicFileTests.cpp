#include "../../../tests/support/FileEvents.hpp"
#include "../../../tests/support/NotFiles.hpp"
#include "Foundation/AtomicFile.hpp"
#include "Foundation/Foundation.hpp"
#include "Foundation/RegularFile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <linux/capability.h>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "prefs.plist";

NS::String* ns(const std::string& s) { return NS::String::string(std::string_view(s)); }

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "glintmere-atomic-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) {
            names.insert(e.path().filename().string());
        }
        return names;
    }
    // The writer's temporaries for kName present now.
    std::set<std::string> temporaries() const {
        std::set<std::string> found;
        for (const std::string& name : entries()) {
            if (name.starts_with(std::string(".") + kName + ".")) {
                found.insert(name);
            }
        }
        return found;
    }

  private:
    std::string path_;
};

std::string payload() {
    std::string bytes(1 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>('a' + i % 26);
    }
    return bytes;
}

// Writes `bytes` atomically to `path`, `times` times (for ever when negative); exits 0 when every
// write succeeded.
[[noreturn]] void writeInChild(const std::string& path, const std::string& bytes, int times) {
    bool ok = true;
    for (int i = 0; times < 0 || i < times; ++i) {
        NS::AutoreleaseScope pool;
        ok = NS::Data::dataWithBytes(bytes.data(), bytes.size())->writeToFile(ns(path), true) && ok;
    }
    _exit(ok ? 0 : 1);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AtomicFile, ReadsWholeFilesUpToTheLimitAndNothingLarger) {
    TempDir dir;
    const std::string path = dir.file(kName);
    for (std::size_t size : {0, 1, 4095, 4096, 4097, 10000, 300000}) {
        const std::string bytes = payload().substr(0, size);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(NS::detail::readFile(path.c_str(), 300000), bytes) << size << " bytes";
        EXPECT_EQ(NS::detail::readFile(path.c_str(), size), bytes) << size << " bytes, at the limit";
        if (size > 0) {
            EXPECT_EQ(NS::detail::readFile(path.c_str(), size - 1), std::nullopt) << size << " bytes";
        }
    }
    // Files whose size the kernel does not know until they are read, as in /proc, are read to their end.
    const std::optional<std::string> mounts = NS::detail::readFile("/proc/self/mountinfo", 1 << 20);
    ASSERT_TRUE(mounts.has_value());
    EXPECT_GT(mounts->size(), 0u);
    EXPECT_EQ(*mounts, readBytes("/proc/self/mountinfo"));
    EXPECT_EQ(NS::detail::readFile(dir.path().c_str(), 1 << 20), std::nullopt) << "a folder";
}

TEST(RegularFile, OnlyARegularFileOpensAndNothingElseIsWaitedOn) {
    TempDir dir;
    const std::string path = dir.file(kName);
    std::ofstream(path, std::ios::binary) << "0123456789";
    ASSERT_EQ(::symlink(path.c_str(), dir.file("link").c_str()), 0);
    for (const std::string& name : {std::string(kName), std::string("link")}) {
        std::optional<NS::detail::RegularFile> file = NS::detail::RegularFile::open(dir.file(name).c_str());
        ASSERT_TRUE(file) << name;
        EXPECT_EQ(file->size(), 10u);
        char bytes[4] = {};
        ASSERT_TRUE(file->readFully(bytes, 3));
        EXPECT_EQ(std::string(bytes, 3), "012");
        ASSERT_TRUE(file->skip(4));
        EXPECT_EQ(file->read(bytes, sizeof bytes), 3);
        EXPECT_EQ(std::string(bytes, 3), "789");
        EXPECT_FALSE(file->readFully(bytes, 1)) << "past the end";
    }
    EXPECT_FALSE(NS::detail::RegularFile::open(dir.file("missing").c_str()));
    EXPECT_FALSE(NS::detail::RegularFile::open(""));
    EXPECT_FALSE(NS::detail::RegularFile::open(nullptr));
    EXPECT_FALSE(NS::detail::RegularFile::open("/dev/null")) << "a device";

    for (const testing_support::NotAFile kind : testing_support::kNotFiles) {
        const std::string other = dir.file("other");
        ASSERT_TRUE(testing_support::plant(kind, other)) << describe(kind);
        const bool returned = testing_support::returnsWithoutAWriter(other, [&] {
            EXPECT_FALSE(NS::detail::RegularFile::open(other.c_str())) << describe(kind);
            EXPECT_EQ(NS::detail::readFile(other.c_str(), 1 << 20), std::nullopt) << describe(kind);
        });
        EXPECT_TRUE(returned) << describe(kind) << " was waited on";
        fs::remove_all(other);
    }
}

TEST(AtomicFile, TemporariesOfKilledWritersAreRemovedByTheNextWrite) {
    TempDir dir;
    const std::string target = dir.file(kName);
    const std::string bytes = payload();
    testing_support::FileCreations made(dir.path());
    int killedMidWrite = 0;
    for (int round = 0; round < 100 && killedMidWrite < 10; ++round) {
        made.forget();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            writeInChild(target, bytes, -1);
        }
        // Killed as soon as it has made a temporary: most often before it could rename it.
        const std::optional<std::string> name = made.next();
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        ASSERT_TRUE(name.has_value()) << "the writer made no temporary file";
        killedMidWrite += dir.temporaries().count(*name);
        EXPECT_LE(dir.temporaries().size(), 1u) << "each writer removes what the one before it left";
    }
    ASSERT_GT(killedMidWrite, 0) << "no writer was killed in the middle of a write";

    NS::AutoreleaseScope pool;
    ASSERT_TRUE(NS::Data::dataWithBytes("new", 3)->writeToFile(ns(target), true));
    EXPECT_EQ(dir.entries(), std::set<std::string>{kName})
        << killedMidWrite << " writers were killed mid-write";
    EXPECT_EQ(readBytes(target), "new");
}

TEST(AtomicFile, AReplacementLeftForALaterFolderFlushIsStillWholeAndInPlace) {
    TempDir dir;
    const std::string target = dir.file(kName);
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(NS::detail::replaceFileUnflushed(target.c_str(), "new bytes"));
    EXPECT_EQ(readBytes(target), "new bytes");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(dir.entries(), std::set<std::string>{kName});
    NS::detail::flushFolderOf(target.c_str());
    NS::detail::flushFolderOf(dir.file("missing/x").c_str());

    EXPECT_FALSE(NS::detail::replaceFileUnflushed(nullptr, "x"));
    EXPECT_FALSE(NS::detail::replaceFileUnflushed("", "x"));
    EXPECT_FALSE(NS::detail::replaceFileUnflushed(dir.file("missing/x").c_str(), "x"));
    EXPECT_EQ(dir.entries(), std::set<std::string>{kName});
}

TEST(AtomicFile, OnlyItsOwnTemporariesAreRemovedAndNoLinkIsFollowed) {
    TempDir dir;
    const std::string target = dir.file(kName);
    TempDir outside;
    const std::string elsewhere = outside.file("elsewhere");
    std::ofstream(elsewhere) << "not ours";
    std::ofstream(dir.file(".prefs.plist.Ab12Cd")) << "left by a killed writer";
    fs::create_symlink(elsewhere, dir.file(".prefs.plist.link01"));
    fs::create_symlink(outside.file("missing"), dir.file(".prefs.plist.link02"));
    fs::create_directory(dir.file(".prefs.plist.dir001"));
    std::ofstream(dir.file(".prefs.plist.short")) << "another pattern";
    std::ofstream(dir.file(".other.plist.Ab12Cd")) << "another file's";
    ::mkfifo(dir.file(".prefs.plist.fifo01").c_str(), 0600);

    NS::AutoreleaseScope pool;
    ASSERT_TRUE(NS::Data::dataWithBytes("new", 3)->writeToFile(ns(target), true));
    EXPECT_EQ(dir.entries(), (std::set<std::string>{kName, ".prefs.plist.link01", ".prefs.plist.link02",
                                                    ".prefs.plist.dir001", ".prefs.plist.short",
                                                    ".other.plist.Ab12Cd", ".prefs.plist.fifo01"}));
    EXPECT_EQ(readBytes(elsewhere), "not ours");
    EXPECT_FALSE(fs::exists(fs::symlink_status(outside.file("missing"))));
}

TEST(AtomicFile, AWriterThatIsStillAliveKeepsItsTemporary) {
    TempDir dir;
    const std::string target = dir.file(kName);
    const std::string bytes = payload();
    testing_support::FileCreations made(dir.path());
    for (int attempt = 0; attempt < 50; ++attempt) {
        made.forget();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            writeInChild(target, bytes, 1);
        }
        const std::optional<std::string> name = made.next();
        ::kill(child, SIGSTOP);
        struct stat info {};
        const bool writing = name && ::lstat(dir.file(*name).c_str(), &info) == 0 && info.st_size > 0;
        if (writing) {
            // Stopped in the middle of its write: another write goes ahead beside it.
            NS::AutoreleaseScope pool;
            EXPECT_TRUE(NS::Data::dataWithBytes("other", 5)->writeToFile(ns(target), true));
            EXPECT_TRUE(fs::exists(dir.file(*name))) << "a live writer's temporary was taken";
        }
        ::kill(child, SIGCONT);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the stopped writer's write failed";
        if (writing) {
            EXPECT_EQ(readBytes(target), bytes) << "the stopped writer's file came last";
            EXPECT_EQ(dir.entries(), std::set<std::string>{kName});
            return;
        }
        fs::remove(target);
    }
    FAIL() << "no writer could be stopped in the middle of a write";
}

TEST(AtomicFile, WritersInSeveralProcessesAllSucceed) {
    TempDir dir;
    const std::string target = dir.file(kName);
    const std::string bytes(4096, 'w');
    std::vector<pid_t> children;
    for (int c = 0; c < 4; ++c) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            writeInChild(target, bytes, 150);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    EXPECT_EQ(readBytes(target), bytes);
    EXPECT_EQ(dir.entries(), std::set<std::string>{kName});
}

} // namespace

// Staged bytes, placed later by a link: the files are whole, the same on disk, and placed the way a
// written replacement is.
class StagedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        staged = NS::detail::StagedFile::stage(staging.path().c_str(), bytes);
        if (!staged && errno == EOPNOTSUPP) {
            GTEST_SKIP() << "this filesystem keeps no files without a name";
        }
        ASSERT_TRUE(staged);
    }
    static struct stat statOf(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info;
    }

    TempDir staging;
    TempDir dir;
    const std::string bytes = payload();
    std::unique_ptr<NS::detail::StagedFile> staged;
};

TEST_F(StagedFile, NothingIsNamedUntilPlacedAndEachPlacingIsTheSameWholeFile) {
    EXPECT_TRUE(staging.entries().empty());
    ASSERT_TRUE(staged->replace(dir.file("one.png").c_str()));
    std::ofstream(dir.file("two.png")) << "an older picture";
    ASSERT_TRUE(staged->replace(dir.file("two.png").c_str()));
    EXPECT_EQ(readBytes(dir.file("one.png")), bytes);
    EXPECT_EQ(readBytes(dir.file("two.png")), bytes);
    EXPECT_EQ(statOf(dir.file("one.png")).st_ino, statOf(dir.file("two.png")).st_ino);
    EXPECT_EQ(statOf(dir.file("one.png")).st_mode & 07777, 0644u);
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"one.png", "two.png"})) << "a temporary was left";
    EXPECT_TRUE(staging.entries().empty());
}

TEST_F(StagedFile, AProcessWithoutTheRightToLinkADescriptorStillPlacesIt) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Without this capability the kernel refuses to link a descriptor by itself.
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        const bool dropped = syscall(SYS_capget, &header, data) == 0 &&
                             ((data[0].effective &= ~(1u << CAP_DAC_READ_SEARCH)), true) &&
                             syscall(SYS_capset, &header, data) == 0;
        _exit(dropped && staged->replace(dir.file("one.png").c_str()) &&
                      staged->replace(dir.file("two.png").c_str())
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readBytes(dir.file("two.png")), bytes);
    EXPECT_EQ(statOf(dir.file("one.png")).st_ino, statOf(dir.file("two.png")).st_ino);
}

TEST_F(StagedFile, ALinkInTheFilesPlaceIsReplacedNotFollowed) {
    TempDir outside;
    std::ofstream(outside.file("victim")) << "not ours";
    fs::create_symlink(outside.file("victim"), dir.file(kName));
    ASSERT_TRUE(staged->replace(dir.file(kName).c_str()));
    EXPECT_FALSE(fs::is_symlink(dir.file(kName)));
    EXPECT_EQ(readBytes(dir.file(kName)), bytes);
    EXPECT_EQ(readBytes(outside.file("victim")), "not ours");
}

TEST_F(StagedFile, AFileWithOtherPermissionsOrAMissingFolderIsLeftForAWriter) {
    std::ofstream(dir.file(kName)) << "private";
    ::chmod(dir.file(kName).c_str(), 0600);
    EXPECT_FALSE(staged->replace(dir.file(kName).c_str()));
    EXPECT_EQ(readBytes(dir.file(kName)), "private");
    EXPECT_EQ(dir.entries(), std::set<std::string>{kName});
    EXPECT_FALSE(staged->replace(dir.file("missing/file.png").c_str()));
}

TEST_F(StagedFile, APlacingUnderWayKeepsItsTemporaryAndAStoppedOneIsCleared) {
    // Both stand as the temporary of kName: one linked from the staging, which is in use while the
    // staging lives, and one left by a placing that stopped halfway.
    const std::string inUse = dir.file(".prefs.plist.InUse1");
    const std::string left = dir.file(".prefs.plist.Left01");
    ASSERT_TRUE(staged->replace(inUse.c_str()));
    std::ofstream(left) << "half placed";
    NS::detail::removeStaleTemporariesOf(dir.file(kName).c_str());
    EXPECT_TRUE(fs::exists(inUse));
    EXPECT_FALSE(fs::exists(left));
    staged.reset();
    NS::detail::removeStaleTemporariesOf(dir.file(kName).c_str());
    EXPECT_FALSE(fs::exists(inUse));
}
