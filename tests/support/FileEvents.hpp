// The names of files made in a directory, reported as they are made (inotify), for tests that act
// at the moment a process makes a file.
#pragma once

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class FileCreations {
  public:
    explicit FileCreations(const std::string& directory) : fd_(inotify_init1(IN_CLOEXEC)) {
        inotify_add_watch(fd_, directory.c_str(), IN_CREATE);
    }
    FileCreations(const FileCreations&) = delete;
    FileCreations& operator=(const FileCreations&) = delete;
    ~FileCreations() { ::close(fd_); }

    // The name of the next file made whose name starts with `prefix`; nullopt when none is made
    // within ten seconds.
    std::optional<std::string> next(const std::string& prefix = {}) {
        for (;;) {
            while (pending_.empty()) {
                if (!take(10000)) {
                    return std::nullopt;
                }
            }
            std::string name = pending_.front();
            pending_.erase(pending_.begin());
            if (name.starts_with(prefix)) {
                return name;
            }
        }
    }
    // Drops what has been reported so far.
    void forget() {
        while (take(0)) {
        }
        pending_.clear();
    }

  private:
    bool take(int timeoutMs) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0) {
            return false;
        }
        alignas(inotify_event) char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        for (ssize_t at = 0; n > 0 && at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0) {
                pending_.push_back(event->name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        return n > 0;
    }

    int fd_;
    std::vector<std::string> pending_;
};

} // namespace testing_support
