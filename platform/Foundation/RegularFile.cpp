#include "Foundation/RegularFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace NS::detail {

std::optional<RegularFile> RegularFile::open(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return std::nullopt;
    }
    // Without O_NONBLOCK the open of a FIFO would wait for a writer before fstat could refuse it;
    // O_NOCTTY keeps a terminal in the file's place from becoming the process's.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return RegularFile(fd, static_cast<std::uint64_t>(info.st_size));
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

long RegularFile::read(void* into, std::size_t length) {
    for (;;) {
        const ssize_t n = ::read(fd_, into, length);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

bool RegularFile::readFully(void* into, std::size_t length) {
    auto* out = static_cast<unsigned char*>(into);
    while (length > 0) {
        const long n = read(out, length);
        if (n <= 0) {
            return false;
        }
        out += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RegularFile::skip(std::uint64_t length) {
    if (length > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    return ::lseek(fd_, static_cast<off_t>(length), SEEK_CUR) >= 0;
}

} // namespace NS::detail
