#include "Foundation/FolderBelow.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace NS::detail {
namespace {

int openPart(int folder, const char* name) {
    return ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

int openFolderBelow(const char* base, std::string_view below, bool make) {
    if (base == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int current = ::open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t at = 0; current >= 0 && at < below.size();) {
        const std::size_t slash = std::min(below.find('/', at), below.size());
        const std::string part(below.substr(at, slash - at));
        at = slash + 1;
        if (part.empty()) {
            continue;
        }
        int next = -1;
        if (part == "." || part == "..") {
            errno = EINVAL;
        } else {
            next = openPart(current, part.c_str());
            // Another process may make the same folder meanwhile; either way it is opened afresh,
            // and what stands there then is checked like anything found.
            if (next < 0 && errno == ENOENT && make &&
                (::mkdirat(current, part.c_str(), 0755) == 0 || errno == EEXIST)) {
                next = openPart(current, part.c_str());
            }
        }
        const int error = errno;
        ::close(current);
        errno = error;
        current = next;
    }
    return current;
}

} // namespace NS::detail
