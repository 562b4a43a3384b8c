// A device whose dpkg never finishes a listing, and a check that no dpkg was left running.
#pragma once

#include "Files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

namespace testing_support {

// While it lives, the device's package database has for its status a named pipe that nobody
// writes, on which dpkg waits for ever; the real file comes back when it goes.
class HangingDpkg {
  public:
    HangingDpkg() {
        std::filesystem::rename(kStatus, kKept);
        made_ = ::mkfifo(kStatus, 0644) == 0;
    }
    HangingDpkg(const HangingDpkg&) = delete;
    HangingDpkg& operator=(const HangingDpkg&) = delete;
    ~HangingDpkg() {
        std::filesystem::remove(kStatus);
        std::filesystem::rename(kKept, kStatus);
    }

    bool made() const { return made_; }

  private:
    static constexpr const char* kStatus = "/var/lib/dpkg/status";
    static constexpr const char* kKept = "/var/lib/dpkg/status.kept";
    bool made_ = false;
};

// No process of the device is dpkg.
inline void expectNoDpkgRunning() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        EXPECT_NE(readAll(entry.path() / "comm"), "dpkg\n") << "left running: " << entry.path();
    }
}

} // namespace testing_support
