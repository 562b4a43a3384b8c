#include "Sandbox.hpp"

#include "Device.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace device {
namespace {

volatile sig_atomic_t child = 0;

// A signal meant for the launcher goes to the sandbox, which ends and takes every process inside
// along; the launcher then cleans up as usual.
void forward(int signal) {
    if (child > 0) {
        kill(static_cast<pid_t>(child), signal);
    }
}

bool isExecutable(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

} // namespace

fs::path findBubblewrap() {
    if (const char* chosen = std::getenv("GLINTMERE_BWRAP"); chosen != nullptr && *chosen != '\0') {
        if (!isExecutable(chosen)) {
            throw Error(std::string("bubblewrap not found at GLINTMERE_BWRAP=") + chosen);
        }
        return chosen;
    }
    if (const char* path = std::getenv("PATH")) {
        std::string_view dirs = path;
        while (!dirs.empty()) {
            const auto colon = dirs.find(':');
            const std::string_view dir = dirs.substr(0, colon);
            if (!dir.empty() && isExecutable(fs::path(dir) / "bwrap")) {
                return fs::path(dir) / "bwrap";
            }
            dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        }
    }
    if (isExecutable("/usr/bin/bwrap")) {
        return "/usr/bin/bwrap";
    }
    throw Error("bubblewrap (bwrap) not found on PATH; install the Debian package bubblewrap");
}

int run(const fs::path& root, const std::vector<std::string>& command) {
    if (command.empty()) {
        throw Error("missing command to run");
    }
    const fs::path bwrap = findBubblewrap();
    std::vector<std::string> args = {bwrap.string(), "--bind", root.string(), "/", "--ro-bind", "/usr",
                                     "/usr", "--ro-bind", "/etc", "/etc", "--proc", "/proc", "--dev", "/dev",
                                     "--chdir", "/", "--setenv", "HOME", "/var/mobile",
                                     // Its own process ids: when the sandbox ends, whatever
                                     // the command left running ends with it.
                                     "--unshare-pid", "--die-with-parent", "--"};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    struct sigaction forwarding {};
    forwarding.sa_handler = forward;
    sigemptyset(&forwarding.sa_mask);
    struct sigaction previous[3];
    const int signals[3] = {SIGINT, SIGTERM, SIGHUP};

    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], &forwarding, &previous[i]);
    }
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, bwrap.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned != 0) {
        for (int i = 0; i < 3; ++i) {
            sigaction(signals[i], &previous[i], nullptr);
        }
        throw Error("cannot start " + bwrap.string() + ": " + std::strerror(spawned));
    }
    child = pid;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], &previous[i], nullptr);
    }
    child = 0;
    if (waited < 0) {
        throw Error(std::string("lost the sandbox: ") + std::strerror(errno));
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

} // namespace device
