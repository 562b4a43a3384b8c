// A hook library for tests: when loaded, it appends "NAME PROGRAM" to the file named by
// $GLINTMERE_PROBE_LOG, NAME being the file it was loaded from without ".dylib".
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

__attribute__((constructor)) void recordLoad() {
    const char* log = std::getenv("GLINTMERE_PROBE_LOG");
    Dl_info info{};
    if (log == nullptr || dladdr(reinterpret_cast<void*>(&recordLoad), &info) == 0 ||
        info.dli_fname == nullptr) {
        return;
    }
    std::string name = info.dli_fname;
    name = name.substr(name.rfind('/') + 1);
    if (name.ends_with(".dylib")) {
        name.resize(name.size() - 6);
    }
    char program[4096];
    const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
    std::string executable = n > 0 ? std::string(program, static_cast<std::size_t>(n)) : "?";
    executable = executable.substr(executable.rfind('/') + 1);
    // One write per line, so that lines of several processes never interleave.
    const std::string line = name + " " + executable + "\n";
    const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] ssize_t written = write(fd, line.data(), line.size());
        close(fd);
    }
}

} // namespace
