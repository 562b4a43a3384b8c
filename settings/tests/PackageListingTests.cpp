#include "../../tests/support/Files.hpp"
#include "../../tests/support/HangingDpkg.hpp"
#include "PackageListing.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::readAll;

namespace fs = std::filesystem;

// What the device's dpkg lists, read through a pipe of the test's own.
std::string dpkgList() {
    FILE* pipe = ::popen("/usr/bin/dpkg -l </dev/null", "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return out;
}

// One package in the device's database, so that the listing has a line to show.
constexpr const char* kProbe = "glintmere-listing-probe";

class PackageListing : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::ofstream status("/var/lib/dpkg/status", std::ios::app);
        status << "Package: " << kProbe << "\nStatus: install ok installed\nPriority: optional\n"
               << "Section: misc\nMaintainer: Tests <tests@example.org>\nArchitecture: all\n"
               << "Version: 1.0\nDescription: a package for the listing to show\n\n";
    }
};

void expectListingAt(const char* path) {
    struct stat about {};
    ASSERT_EQ(::lstat(path, &about), 0);
    EXPECT_TRUE(S_ISREG(about.st_mode));
    EXPECT_EQ(about.st_mode & 07777, 0644u);
    EXPECT_EQ(about.st_nlink, 1u);
    const std::string listing = readAll(path);
    EXPECT_NE(listing.find("||/ Name"), std::string::npos) << listing;
    EXPECT_NE(listing.find(kProbe), std::string::npos) << listing;
    EXPECT_EQ(listing, dpkgList());
}

TEST_F(PackageListing, EachUseRewritesTheListingWhole) {
    const mode_t previous = ::umask(077);
    std::ofstream(glintmere::kPackageListingPath) << std::string(100000, 'x');
    ::chmod(glintmere::kPackageListingPath, 0600);
    EXPECT_EQ(glintmere::writePackageListing(), "");
    ::umask(previous);
    // The file was there already: it keeps its mode and loses its old bytes.
    EXPECT_EQ(readAll(glintmere::kPackageListingPath), dpkgList());
    struct stat about {};
    ASSERT_EQ(::stat(glintmere::kPackageListingPath, &about), 0);
    EXPECT_EQ(about.st_mode & 07777, 0600u);
    ASSERT_EQ(::unlink(glintmere::kPackageListingPath), 0);
    ::umask(077);
    EXPECT_EQ(glintmere::writePackageListing(), "");
    ::umask(previous);
    expectListingAt(glintmere::kPackageListingPath);
}

TEST_F(PackageListing, WhatWasPlantedAtTheListingIsRemovedNotWrittenThrough) {
    const fs::path elsewhere = "/var/mobile/elsewhere";
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "precious") << "precious";
    const std::string path = "/tmp/planted-listing.log";
    const auto plantings = {
        +[](const fs::path& at, const fs::path& to) { fs::create_symlink(to / "precious", at); },
        +[](const fs::path& at, const fs::path& to) { fs::create_symlink(to / "made", at); },
        +[](const fs::path& at, const fs::path& to) { fs::create_hard_link(to / "precious", at); },
        +[](const fs::path& at, const fs::path&) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); },
    };
    for (const auto& plant : plantings) {
        fs::remove(path);
        plant(path, elsewhere);
        EXPECT_EQ(glintmere::writePackageListing(path.c_str()), "");
        expectListingAt(path.c_str());
    }
    EXPECT_EQ(readAll(elsewhere / "precious"), "precious");
    EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere / "made")));
}

// No process of the device is dpkg, and this one has no child left, running or ended.
void expectNothingLeftRunning() {
    testing_support::expectNoDpkgRunning();
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD) << "a child was left unreaped";
}

// dpkg waits for ever on a database whose status is a pipe that nobody writes; the listing gives it
// up at its time limit, leaves no part of a listing and nothing running.
TEST_F(PackageListing, ADpkgThatNeverEndsIsGivenUpAtTheTimeLimit) {
    const testing_support::HangingDpkg hanging;
    ASSERT_TRUE(hanging.made());
    std::ofstream(glintmere::kPackageListingPath) << "a listing from before\n";

    const glintmere::ListingLimits limits;
    const auto start = std::chrono::steady_clock::now();
    const std::string error = glintmere::writePackageListing();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error, "/usr/bin/dpkg -l took longer than 3000 ms; the listing was given up");
    EXPECT_GE(took, limits.time);
    EXPECT_LT(took, limits.time + std::chrono::seconds(2));
    EXPECT_EQ(readAll(glintmere::kPackageListingPath), "");
    expectNothingLeftRunning();
}

TEST_F(PackageListing, AListingPastTheSizeLimitIsGivenUpWhole) {
    const std::string whole = dpkgList();
    ASSERT_GT(whole.size(), 200u);
    const std::string error = glintmere::writePackageListing(glintmere::kPackageListingPath,
                                                             {std::chrono::seconds(3), whole.size() - 1});
    EXPECT_EQ(error, "/usr/bin/dpkg -l listed more than " + std::to_string(whole.size() - 1) +
                         " bytes; the listing was given up");
    EXPECT_EQ(readAll(glintmere::kPackageListingPath), "");
    expectNothingLeftRunning();
    // At the limit exactly, it is whole.
    EXPECT_EQ(glintmere::writePackageListing(glintmere::kPackageListingPath,
                                             {std::chrono::seconds(3), whole.size()}),
              "");
    EXPECT_EQ(readAll(glintmere::kPackageListingPath), whole);
}

TEST_F(PackageListing, AFolderInThePlaceIsAnErrorAndStays) {
    const fs::path path = "/tmp/listing-folder.log";
    fs::create_directories(path / "inside");
    const std::string error = glintmere::writePackageListing(path.c_str());
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(path / "inside"));
}

} // namespace
