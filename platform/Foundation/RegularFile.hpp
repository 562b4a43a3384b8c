// A file of the device opened for reading only when it is a regular file, without ever waiting.
#pragma once

#include "objc/Runtime.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace NS::detail {

// Every reader of a device file opens it through here. A device is untrusted: where a file is
// expected it may hold a FIFO (whose plain open waits for a writer for ever), a socket, a device
// node or a folder. Those are refused as a missing file would be, on the descriptor that was opened,
// so nothing put in the file's place between a check and the open gets read instead.
class GLINTMERE_EXPORT RegularFile {
  public:
    // The file at `path`, open for reading; nothing when it is missing, unreadable or anything but a
    // regular file (a link is followed to what it names).
    static std::optional<RegularFile> open(const char* path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    int descriptor() const { return fd_; }
    // The size the file had when it was opened.
    std::uint64_t size() const { return size_; }

    // Reads up to `length` bytes: how many came, 0 at the end, -1 on an error.
    long read(void* into, std::size_t length);
    // Reads exactly `length` bytes; false when the file ends first or a read fails.
    bool readFully(void* into, std::size_t length);
    // Moves `length` bytes on without reading them; false when that fails.
    bool skip(std::uint64_t length);

  private:
    RegularFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
};

} // namespace NS::detail
