#include "Sandbox.hpp"

#include "Device.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

extern char** environ;

namespace device {
namespace {

volatile sig_atomic_t child = 0;
volatile sig_atomic_t forwardedStop = 0;

// How long a sandbox has to end after a stop request before it is killed outright.
constexpr unsigned kStopGraceSeconds = 2;

// A signal meant for the launcher goes to the sandbox, which ends and takes every process inside
// along; the launcher then cleans up as usual.
void forward(int signal) {
    if (child > 0) {
        forwardedStop = signal;
        kill(static_cast<pid_t>(child), signal);
        alarm(kStopGraceSeconds);
    }
}

// A sandbox that does not act on a forwarded stop request (a bubblewrap that ignores it, or the
// first process of a pid namespace, which ignores every signal it has no handler for but SIGKILL)
// is killed once the grace period is over, and --die-with-parent takes everything inside along.
void killAfterGrace(int) {
    if (child > 0) {
        kill(static_cast<pid_t>(child), SIGKILL);
    }
}

// The processes whose parent is `parent`, read from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // "pid (comm) state ppid ...": the command name may hold spaces and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        long ppid = 0;
        if (rest >> state >> ppid && ppid == parent) {
            found.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return found;
}

// Ends what the sandbox left behind. If bubblewrap's outer process dies in the moment before its
// inner one has asked to die with it, the inner one (the first process of the sandbox's pid
// namespace) lives on; as the subreaper, the launcher inherits it, and killing it ends everything
// in the namespace.
void sweepOrphans() {
    for (int round = 0; round < 100; ++round) {
        const std::vector<pid_t> orphans = childrenOf(getpid());
        if (orphans.empty()) {
            return;
        }
        for (pid_t orphan : orphans) {
            kill(orphan, SIGKILL);
            while (waitpid(orphan, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
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

    // The forwarded signals stay blocked until the sandbox's id is known, so that a request to stop
    // that comes while it starts is held rather than lost. Signals the caller ignores (nohup's
    // hang-up) stay ignored, in the tool and in the sandbox.
    const int signals[3] = {SIGINT, SIGTERM, SIGHUP};
    sigset_t forwarded, previousMask;
    sigemptyset(&forwarded);
    for (int s : signals) {
        sigaddset(&forwarded, s);
    }
    sigprocmask(SIG_BLOCK, &forwarded, &previousMask);
    // While the sandbox runs, the forwarded signals are open whether or not the caller held them
    // back: one the caller held while it prepared the device is delivered now, to the sandbox.
    sigset_t openMask = previousMask;
    for (int s : signals) {
        sigdelset(&openMask, s);
    }
    struct sigaction forwarding {};
    forwarding.sa_handler = forward;
    sigemptyset(&forwarding.sa_mask);
    struct sigaction previous[3];
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(signals[i], &forwarding, nullptr);
        }
    }
    struct sigaction escalation {};
    escalation.sa_handler = killAfterGrace;
    sigemptyset(&escalation.sa_mask);
    struct sigaction previousAlarm {};
    sigaction(SIGALRM, &escalation, &previousAlarm);
    forwardedStop = 0;
    const auto restore = [&] {
        sigprocmask(SIG_BLOCK, &forwarded, nullptr);
        child = 0;
        alarm(0);
        sigaction(SIGALRM, &previousAlarm, nullptr);
        for (int i = 0; i < 3; ++i) {
            sigaction(signals[i], &previous[i], nullptr);
        }
        sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    };

    prctl(PR_SET_CHILD_SUBREAPER, 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &openMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, bwrap.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        restore();
        throw Error("cannot start " + bwrap.string() + ": " + std::strerror(spawned));
    }
    child = pid;
    sigprocmask(SIG_SETMASK, &openMask, nullptr);
    // Waits without reaping, so that the id cannot pass to another process while a signal may
    // still be forwarded to it.
    siginfo_t ended{};
    int waited;
    do {
        waited = waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOWAIT);
    } while (waited < 0 && errno == EINTR);
    const int waitError = errno;
    restore();
    int status = 0;
    if (waited == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    sweepOrphans();
    if (waited < 0) {
        throw Error(std::string("lost the sandbox: ") + std::strerror(waitError));
    }
    if (WIFSIGNALED(status)) {
        // Killed after a stop request: what ended it is the request, not the kill that enforced it.
        const int sig = WTERMSIG(status) == SIGKILL && forwardedStop != 0 ? forwardedStop : WTERMSIG(status);
        return 128 + sig;
    }
    return WEXITSTATUS(status);
}

} // namespace device
