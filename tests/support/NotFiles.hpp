// What a hostile device may hold where a file is expected: a FIFO, a folder, a socket.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace testing_support {

enum class NotAFile { Fifo, Folder, Socket };

inline const std::vector<NotAFile> kNotFiles = {NotAFile::Fifo, NotAFile::Folder, NotAFile::Socket};

inline const char* describe(NotAFile kind) {
    switch (kind) {
    case NotAFile::Fifo:
        return "a FIFO";
    case NotAFile::Folder:
        return "a folder";
    case NotAFile::Socket:
        return "a socket";
    }
    return "?";
}

// Makes `kind` at `path`, where nothing is; false when that fails.
inline bool plant(NotAFile kind, const std::filesystem::path& path) {
    switch (kind) {
    case NotAFile::Fifo:
        return mkfifo(path.c_str(), 0644) == 0;
    case NotAFile::Folder:
        return mkdir(path.c_str(), 0755) == 0;
    case NotAFile::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.native().size() >= sizeof address.sun_path) {
            return false;
        }
        std::strcpy(address.sun_path, path.c_str());
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // The socket's name stays in the folder after its descriptor is closed; nothing listens.
        const bool bound =
            fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) {
            close(fd);
        }
        return bound;
    }
    }
    return false;
}

// Puts `kind`, or a file of other bytes, in place of the file at `path` for as long as it lives; the
// file comes back after.
class InPlaceOf {
  public:
    InPlaceOf(std::filesystem::path path, NotAFile kind) : path_(std::move(path)) {
        moveAway();
        EXPECT_TRUE(plant(kind, path_)) << "cannot make " << describe(kind) << " at " << path_;
    }
    InPlaceOf(std::filesystem::path path, const std::string& bytes) : path_(std::move(path)) {
        moveAway();
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~InPlaceOf() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        if (moved_) {
            std::filesystem::rename(away(), path_, ec);
        }
    }
    InPlaceOf(const InPlaceOf&) = delete;
    InPlaceOf& operator=(const InPlaceOf&) = delete;

  private:
    void moveAway() {
        std::error_code ec;
        moved_ = std::filesystem::exists(std::filesystem::symlink_status(path_, ec));
        if (moved_) {
            std::filesystem::rename(path_, away());
        }
    }
    std::filesystem::path away() const { return path_.string() + ".away"; }
    std::filesystem::path path_;
    bool moved_ = false;
};

// Runs `read` on a thread of its own and says whether it returned without a writer at the FIFO
// `fifo`. A reader that waits for one after all gets it once a minute has passed, so that the fault
// fails the test instead of hanging it.
inline bool returnsWithoutAWriter(const std::filesystem::path& fifo, const std::function<void()>& read) {
    std::packaged_task<void()> task(read);
    std::future<void> done = task.get_future();
    std::thread reader(std::move(task));
    const bool returned = done.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    // The reader is still in its open or its read: a writer that comes and goes lets both end.
    while (!returned && done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) {
            close(writer);
        }
    }
    reader.join();
    return returned;
}

} // namespace testing_support
