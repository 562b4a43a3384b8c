// glintmere-codesign: signs an arm64 Mach-O file ad hoc, in place, for devices from iOS 7 on.
//
//   glintmere-codesign FILE [IDENTIFIER]
//
// The identifier defaults to the file's name.
#include "CodeSignature.hpp"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::uint8_t> readFile(const std::string& path, mode_t& mode) {
    // A link is not followed: the tool writes back to what it reads.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat about {};
    if (fd < 0 || fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        if (fd >= 0) {
            close(fd);
        }
        throw std::runtime_error("cannot read " + path + ": not a regular file");
    }
    mode = about.st_mode & 07777;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(about.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("cannot read " + path);
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    return bytes;
}

// Writes beside the file and renames over it, so that a failure leaves the file as it was.
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, mode_t mode) {
    const std::string staging = path + ".signing";
    unlink(staging.c_str());
    const int fd = open(staging.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        throw std::runtime_error("cannot write " + staging);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            close(fd);
            unlink(staging.c_str());
            throw std::runtime_error("cannot write " + staging);
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 || rename(staging.c_str(), path.c_str()) != 0) {
        unlink(staging.c_str());
        throw std::runtime_error("cannot replace " + path);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: glintmere-codesign FILE [IDENTIFIER]\n");
        return 2;
    }
    const std::string path = argv[1];
    std::string identifier = argc == 3 ? argv[2] : path.substr(path.find_last_of('/') + 1);
    try {
        mode_t mode = 0;
        auto image = readFile(path, mode);
        writeFile(path, codesign::sign(std::move(image), identifier), mode);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glintmere-codesign: %s: %s\n", path.c_str(), e.what());
        return 1;
    }
    return 0;
}
