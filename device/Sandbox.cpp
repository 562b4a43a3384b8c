#include "Sandbox.hpp"

#include "Device.hpp"
#include "DeviceFiles.hpp"
#include "Packages.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

extern char** environ;

namespace device {
namespace {

volatile sig_atomic_t child = 0;
volatile sig_atomic_t forwardedStop = 0;
volatile sig_atomic_t timedOut = 0;

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
// The same alarm ends a sandbox that ran past its time limit.
void killAfterGrace(int) {
    if (child > 0) {
        if (forwardedStop == 0) {
            timedOut = 1;
        }
        kill(static_cast<pid_t>(child), SIGKILL);
    }
}

// The parent of process `pid`, from /proc; 0 when it cannot be read.
pid_t parentOf(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const Descriptor stat(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    // "pid (comm) state ppid ...": the command name may hold spaces and parentheses, and is short.
    char line[512];
    const ssize_t got = stat.get() < 0 ? -1 : read(stat.get(), line, sizeof line - 1);
    if (got <= 0) {
        return 0;
    }
    line[got] = '\0';
    const char* nameEnd = std::strrchr(line, ')');
    char state = 0;
    long ppid = 0;
    return nameEnd != nullptr && std::sscanf(nameEnd + 1, " %c %ld", &state, &ppid) == 2
               ? static_cast<pid_t>(ppid)
               : 0;
}

// The sandbox's first process, as bubblewrap reports it on its info descriptor.
struct FirstProcess {
    int pidfd = -1;
    ~FirstProcess() {
        if (pidfd >= 0) {
            close(pidfd);
        }
    }
};

// Reads bubblewrap's report ("child-pid": N) until it closes the descriptor, and holds on to that
// process while it is still bubblewrap's (or, orphaned, the launcher's) child.
void learnFirstProcess(int infoFd, pid_t bubblewrap, FirstProcess& first) {
    std::string report;
    char chunk[256];
    for (;;) {
        const ssize_t n = read(infoFd, chunk, sizeof chunk);
        if (n > 0) {
            report.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    const auto key = report.find("\"child-pid\":");
    if (key == std::string::npos) {
        return;
    }
    const long pid = std::strtol(report.c_str() + key + 12, nullptr, 10);
    if (pid <= 0) {
        return;
    }
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (pidfd < 0) {
        return;
    }
    // The id may have passed to another process if the first one ended and was reaped already.
    const pid_t parent = parentOf(static_cast<pid_t>(pid));
    if (parent != bubblewrap && parent != getpid()) {
        close(pidfd);
        return;
    }
    first.pidfd = pidfd;
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
        const auto pid = static_cast<pid_t>(std::stol(name));
        if (parentOf(pid) == parent) {
            found.push_back(pid);
        }
    }
    return found;
}

// Ends whatever was reparented to the launcher: killing the first process of a pid namespace
// ends everything in it.
void killOrphans(const std::vector<pid_t>& orphans) {
    for (pid_t orphan : orphans) {
        kill(orphan, SIGKILL);
        while (waitpid(orphan, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

// Ends what the sandbox left behind. If bubblewrap's outer process dies in the moment before its
// inner one (the first process of the sandbox's pid namespace) has asked to die with it, the inner
// one lives on; as the subreaper, the launcher inherits it. Bubblewrap said which process that is;
// only when it failed before it could say are all processes looked through.
void sweepOrphans(const FirstProcess& first, bool bubblewrapFailed) {
    if (first.pidfd >= 0) {
        siginfo_t info{};
        // Reaps it when it already ended as the launcher's child; refused when it is not ours.
        if (waitid(P_PIDFD, static_cast<id_t>(first.pidfd), &info, WEXITED | WNOHANG) == 0 &&
            info.si_pid == 0) {
            syscall(SYS_pidfd_send_signal, first.pidfd, SIGKILL, nullptr, 0);
            while (waitid(P_PIDFD, static_cast<id_t>(first.pidfd), &info, WEXITED) < 0 && errno == EINTR) {
            }
        }
        return;
    }
    if (!bubblewrapFailed) {
        return; // it reported nothing and succeeded: it started nothing
    }
    for (int round = 0; round < 100; ++round) {
        const std::vector<pid_t> orphans = childrenOf(getpid());
        if (orphans.empty()) {
            return;
        }
        killOrphans(orphans);
    }
}

// What a command in the device sees of the caller's environment: a fixed list of names, so that
// nothing else the caller's shell holds (keys, tokens, the caller's own paths) is readable inside,
// by the command or through /proc. HOME is the device's own.
std::vector<std::string> sandboxEnvironment() {
    std::vector<std::string> kept = {"HOME=/var/mobile"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable = *entry;
        const std::string_view name = variable.substr(0, variable.find('='));
        if (name == "PATH" || name == "LANG" || name == "TERM" || name.starts_with("GLINTMERE_") ||
            name == "ASAN_OPTIONS" || name == "UBSAN_OPTIONS" || name == "LSAN_OPTIONS") {
            kept.emplace_back(variable);
        }
    }
    return kept;
}

// Asked in this order so that a folder of PATH without the program costs one look.
bool isExecutable(const fs::path& path) {
    std::error_code ec;
    return access(path.c_str(), X_OK) == 0 && fs::is_regular_file(path, ec);
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

// The device's package tools as a phone has them: apt with the device's own configuration, and a
// dpkg that answers with the device's architecture and checks each package it is given as install
// does before unpacking it. That dpkg is a script over the host's, which it reaches in a folder of
// the sandbox's own memory beside the tool's setup program, which checks the packages; the device's
// own /usr/local (the host's) is not shown.
class DevicePackageTools {
  public:
    explicit DevicePackageTools(const DeviceFiles& device)
        : setup_(setupProgram()), script_(memfd_create("device-dpkg", MFD_CLOEXEC)) {
        if (access(setup_.c_str(), X_OK) != 0) {
            throw Error("cannot start " + setup_.string() +
                        ", which checks packages inside the device: " + std::strerror(errno));
        }
        try {
            aptFolder_ = device.folder("private/etc/apt", false);
        } catch (const Error&) {
            // A device made before it had one: apt there reads the host's.
        }
        const std::string architecture = packageArchitecture(device);
        const std::string text = "#!/bin/sh\n"
                                 "# The device's dpkg: the host's, as a dpkg of " +
                                 architecture +
                                 ", checking what it is to unpack first.\n"
                                 "if [ \"$#\" = 1 ] && [ \"$1\" = --print-architecture ]; then\n"
                                 "  echo " +
                                 architecture +
                                 "\n"
                                 "  exit 0\n"
                                 "fi\n"
                                 "for word do\n"
                                 "  case $word in *.deb) if [ -f \"$word\" ]; then\n"
                                 "    " +
                                 std::string(kToolInside) +
                                 " check-packages \"$@\" || exit 2\n"
                                 "    break\n"
                                 "  fi ;; esac\n"
                                 "done\n"
                                 "exec " +
                                 kDpkgInside + " \"$@\"\n";
        if (script_.get() < 0 ||
            write(script_.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            lseek(script_.get(), 0, SEEK_SET) != 0) {
            throw Error(std::string("cannot write the device's dpkg: ") + std::strerror(errno));
        }
    }

    void addMounts(std::vector<std::string>& args, int aptFd, int dpkgFd) const {
        std::error_code ec;
        if (aptFolder_.get() >= 0 && fs::is_directory("/etc/apt", ec)) {
            args.insert(args.end(), {"--bind-fd", std::to_string(aptFd), "/etc/apt"});
        }
        args.insert(args.end(), {"--tmpfs", "/usr/local", "--ro-bind", hostDpkg(), kDpkgInside, "--ro-bind",
                                 setup_.string(), kToolInside, "--perms", "0755", "--ro-bind-data",
                                 std::to_string(dpkgFd), "/usr/bin/dpkg"});
    }

    int aptFolder() const { return aptFolder_.get(); }
    int dpkgScript() const { return script_.get(); }

  private:
    static constexpr const char* kDpkgInside = "/usr/local/libexec/glintmere/dpkg";
    static constexpr const char* kToolInside = "/usr/local/libexec/glintmere/glintmere-device-setup";

    // The host's dpkg, which the device's stands over.
    static std::string hostDpkg() {
        std::error_code ec;
        const fs::path usual = "/usr/bin/dpkg";
        return fs::is_regular_file(usual, ec) ? fs::canonical(usual, ec).string() : usual.string();
    }

    fs::path setup_;
    Descriptor aptFolder_;
    Descriptor script_;
};

int run(const fs::path& root, const std::vector<std::string>& command, Identity identity,
        unsigned timeLimitSeconds) {
    if (command.empty()) {
        throw Error("missing command to run");
    }
    const fs::path bwrap = findBubblewrap();
    // Bubblewrap names the sandbox's first process on the info pipe as soon as it has started it,
    // and mounts the marker from its descriptor. They are the descriptors besides the standard three
    // that pass to bubblewrap, which closes the marker's once mounted: any other the caller left
    // open (a folder of the host, say) would be a way out of the device's root.
    constexpr int kInfoFd = 3;
    constexpr int kMarkerFd = 4;
    constexpr int kAptFd = 5;
    constexpr int kDpkgFd = 6;
    const DeviceFiles device(root);
    const Descriptor marker = device.regularFile(kMarker);
    const DevicePackageTools tools(device);
    std::vector<std::string> args = {
        bwrap.string(), "--bind", root.string(), "/",
        // The marker is mounted read-only over itself: nothing inside, through whatever link, can
        // change or remove what tells the tools that this folder is a device.
        "--ro-bind-fd", std::to_string(kMarkerFd), std::string("/") + kMarker, "--ro-bind", "/usr", "/usr",
        "--ro-bind", "/etc", "/etc"};
    tools.addMounts(args, kAptFd, kDpkgFd);
    args.insert(
        args.end(),
        {"--proc", "/proc",
         // A fresh /dev with the few harmless nodes a program needs; the device holds none of its own.
         "--dev", "/dev", "--chdir", "/",
         // Whoever starts it, even root, the device has no power over the host: a user namespace of
         // its own that cannot make another, and no capability in it, so no mknod, mount or
         // handle-based open that would reach past its root.
         "--unshare-user", "--disable-userns", "--cap-drop", "ALL",
         // Its own process ids: when the sandbox ends, whatever the command left running ends with
         // it. The apps of one device meet through files and sockets in the device, not through
         // the other namespaces, so those are its own too; a device needs no network.
         "--unshare-pid", "--unshare-net", "--unshare-ipc", "--unshare-uts", "--unshare-cgroup",
         // Out of the caller's session, so nothing inside can push input into its terminal.
         "--new-session", "--die-with-parent", "--info-fd", ""});
    if (identity == Identity::DeviceRoot) {
        args.insert(args.end(), {"--uid", "0", "--gid", "0"});
    }
    args.emplace_back("--");
    args.insert(args.end(), command.begin(), command.end());
    int info[2];
    if (pipe2(info, O_CLOEXEC) != 0) {
        throw Error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    const auto infoArg = std::find(args.begin(), args.end(), "--info-fd") + 1;
    *infoArg = std::to_string(kInfoFd);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = sandboxEnvironment();
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

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
    timedOut = 0;
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
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    // Each passes from a number above those it goes to: put in place one after another, one that
    // happened to have the number of another's place would be overwritten before it was passed.
    const auto above = [kDpkgFd](int fd) {
        return Descriptor(fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, kDpkgFd + 1));
    };
    Descriptor infoAbove = above(info[1]), markerAbove = above(marker.get()),
               aptAbove = above(tools.aptFolder()), scriptAbove = above(tools.dpkgScript());
    posix_spawn_file_actions_adddup2(&files, infoAbove.get(), kInfoFd); // kept open across exec
    posix_spawn_file_actions_adddup2(&files, markerAbove.get(), kMarkerFd);
    if (aptAbove.get() >= 0) {
        posix_spawn_file_actions_adddup2(&files, aptAbove.get(), kAptFd);
    }
    posix_spawn_file_actions_adddup2(&files, scriptAbove.get(), kDpkgFd);
    posix_spawn_file_actions_addclosefrom_np(&files, kDpkgFd + 1);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, bwrap.c_str(), &files, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    // The pipe's writing end stays open in bubblewrap alone, so that its end is seen here.
    infoAbove = Descriptor();
    close(info[1]);
    if (spawned != 0) {
        close(info[0]);
        restore();
        throw Error("cannot start " + bwrap.string() + ": " + std::strerror(spawned));
    }
    child = pid;
    alarm(timeLimitSeconds);
    sigprocmask(SIG_SETMASK, &openMask, nullptr);
    FirstProcess first;
    learnFirstProcess(info[0], pid, first);
    close(info[0]);
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
    sweepOrphans(first, waited != 0 || ended.si_code != CLD_EXITED || ended.si_status != 0);
    // The device's root is the caller's, root included: a set-user-id file made inside would run
    // with the caller's power for any user of the host who reached it.
    DeviceFiles(root).withdrawPrivileges();
    if (waited < 0) {
        throw Error(std::string("lost the sandbox: ") + std::strerror(waitError));
    }
    if (timedOut != 0) {
        return kTimedOut;
    }
    if (WIFSIGNALED(status)) {
        // Killed after a stop request: what ended it is the request, not the kill that enforced it.
        const int sig = WTERMSIG(status) == SIGKILL && forwardedStop != 0 ? forwardedStop : WTERMSIG(status);
        return 128 + sig;
    }
    return WEXITSTATUS(status);
}

} // namespace device
