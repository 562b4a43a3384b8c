// The device tool seen from outside: each test drives the built program on devices of its own.
#include "../../tests/support/DpkgStatus.hpp"
#include "../../tests/support/Files.hpp"
#include "../../tests/support/Pictures.hpp"
#include "../../tests/support/Subprocess.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::runProcess;

using testing_support::readAll;

const std::string kTool = GLINTMERE_DEVICE_TOOL;
// The program beside the tool that makes and fills devices.
const fs::path kSetup = fs::path(kTool).parent_path() / "glintmere-device-setup";
// Where `make repo` writes the package source.
const fs::path kRepo = GLINTMERE_REPO_DIR;

void spill(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class DeviceTool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "device-tool-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
    }
    void TearDown() override { fs::remove_all(scratch_); }

    fs::path makeDevice(const std::string& name = "device") {
        const fs::path root = scratch_ / name;
        auto made = runProcess({kTool, "create", root});
        EXPECT_EQ(made.status, 0) << made.err;
        return root;
    }

    fs::path scratch_;
};

TEST_F(DeviceTool, CreateLaysTheRootOutLikeThePhone) {
    const fs::path root = makeDevice();
    for (const char* folder :
         {"Applications", "Library/MobileSubstrate/DynamicLibraries", "Library/PreferenceBundles",
          "Library/PreferenceLoader/Preferences", "private/var/mobile/Library/Preferences",
          "private/var/mobile/Media", "private/var/run", "private/var/lib/dpkg/info",
          "private/var/lib/dpkg/updates", "tmp", "usr", "etc", "proc", "dev"}) {
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(root / folder))) << folder;
    }
    EXPECT_EQ(fs::read_symlink(root / "var"), "private/var");
    EXPECT_EQ(fs::read_symlink(root / "User"), "var/mobile");
    EXPECT_EQ(fs::read_symlink(root / "lib"), "usr/lib");
    EXPECT_EQ(fs::read_symlink(root / "bin"), "usr/bin");
    EXPECT_TRUE((fs::status(root / "tmp").permissions() & fs::perms::others_write) != fs::perms::none);

    // The empty package database is one that dpkg accepts, and installs into.
    auto listed = runProcess({"dpkg", "--root=" + root.string(), "-l"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    const fs::path package = scratch_ / "package";
    spill(package / "DEBIAN/control", "Package: com.example.probe\nVersion: 1.0\nArchitecture: all\n"
                                      "Maintainer: Probe <probe@example.com>\nDescription: probe\n");
    spill(package / "Library/Probe/file", "packaged\n");
    ASSERT_EQ(runProcess({"dpkg-deb", "--build", package, scratch_ / "probe.deb"}).status, 0);
    auto installed = runProcess({"dpkg", "--root", root, "-i", scratch_ / "probe.deb"});
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(readAll(root / "Library/Probe/file"), "packaged\n");
    EXPECT_NE(runProcess({"dpkg", "--root=" + root.string(), "-l"}).out.find("com.example.probe"),
              std::string::npos);
}

TEST_F(DeviceTool, RunSeesTheDeviceAsItsRoot) {
    const fs::path root = makeDevice();
    auto link = runProcess({kTool, "run", root, "--", "readlink", "/User"});
    EXPECT_EQ(link.status, 0) << link.err;
    EXPECT_EQ(link.out, "var/mobile\n");

    auto where = runProcess(
        {kTool, "run", root, "--", "sh", "-c", "echo $HOME; pwd; echo $GLINTMERE_PROBE; ls /Applications"},
        "", {{"GLINTMERE_PROBE", "kept"}});
    EXPECT_EQ(where.out, "/var/mobile\n/\nkept\n") << where.err;

    // As the device's root, as dpkg runs, with the folders of root's programs on its PATH.
    auto caller = runProcess({kTool, "run", root, "--", "id", "-u"});
    EXPECT_EQ(caller.out, std::to_string(getuid()) + "\n") << caller.err;
    auto asRoot = runProcess({kTool, "run", root, "--as-root", "--", "sh", "-c", "id -u; echo $PATH"}, "",
                             {{"PATH", "/usr/bin:/bin"}});
    EXPECT_EQ(asRoot.out, "0\n/usr/bin:/bin:/usr/sbin:/sbin\n") << asRoot.err;

    // Writes land in the device, and the host's /usr cannot be written.
    auto wrote =
        runProcess({kTool, "run", root, "--", "sh", "-c", "echo made > /tmp/made; touch /usr/forbidden"});
    EXPECT_NE(wrote.status, 0);
    EXPECT_EQ(readAll(root / "tmp/made"), "made\n");
    EXPECT_FALSE(fs::exists("/usr/forbidden"));
}

TEST_F(DeviceTool, TheThreePathSpellingsNameOneFile) {
    const fs::path root = makeDevice();
    auto seen = runProcess({kTool, "run", root, "--", "sh", "-c",
                            "echo one > /private/var/mobile/Library/Preferences/p.plist;"
                            "echo two >> /User/Library/Preferences/p.plist;"
                            "cat /var/mobile//Library/Preferences/p.plist;"
                            "stat -c %i /private/var/mobile/Library/Preferences/p.plist "
                            "/User/Library/Preferences/p.plist /var/mobile//Library/Preferences/p.plist"});
    ASSERT_EQ(seen.status, 0) << seen.err;
    std::istringstream lines(seen.out);
    std::string first, second, a, b, c;
    lines >> first >> second >> a >> b >> c;
    EXPECT_EQ(first + second, "onetwo");
    EXPECT_EQ(a, b);
    EXPECT_EQ(b, c);
    EXPECT_EQ(readAll(root / "private/var/mobile/Library/Preferences/p.plist"), "one\ntwo\n");
}

TEST_F(DeviceTool, RunPassesStreamsAndExitStatusThrough) {
    const fs::path root = makeDevice();
    auto echoed =
        runProcess({kTool, "run", root, "--", "sh", "-c", "read line; echo got $line; exit 7"}, "hello\n");
    EXPECT_EQ(echoed.out, "got hello\n");
    EXPECT_EQ(echoed.status, 7);

    auto killed = runProcess({kTool, "run", root, "--", "sh", "-c", "kill -TERM $$"});
    EXPECT_EQ(killed.status, 128 + SIGTERM);

    auto missing = runProcess({kTool, "run", root, "--", "/Applications/None.app/None"});
    EXPECT_NE(missing.status, 0);
}

// A stop request reaches the sandbox however early it comes, and one the caller chose to ignore
// (as nohup does) stays ignored. A stand-in for bubblewrap makes the timing: it asks the tool to
// stop as its very first act, while the tool has barely started it.
TEST_F(DeviceTool, StopRequestsReachTheSandboxUnlessIgnored) {
    const fs::path root = makeDevice();
    const fs::path early = scratch_ / "bwrap-stopping-at-once";
    spill(early, "#!/bin/sh\nkill -TERM $PPID\nexec sleep 30\n");
    fs::permissions(early, fs::perms::owner_all);
    // Busy threads make the tool wait for a processor after starting the stand-in, which is when
    // a request used to be dropped.
    std::atomic<bool> busy = true;
    std::vector<std::thread> spinners;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
        spinners.emplace_back([&busy] {
            while (busy) {
            }
        });
    }
    int lost = 0;
    for (int attempt = 0; attempt < 20 && lost == 0; ++attempt) {
        testing_support::Child stopped({kTool, "run", root, "--", "true"},
                                       {{"GLINTMERE_BWRAP", early.string()}});
        const auto status = stopped.waitFor(std::chrono::seconds(10));
        lost += status ? 0 : 1;
        EXPECT_TRUE(!status || *status == 128 + SIGTERM) << *status;
    }
    busy = false;
    for (std::thread& t : spinners) {
        t.join();
    }
    EXPECT_EQ(lost, 0) << "a stop request sent as the sandbox started was lost";

    // A sandbox deaf to the request (as bubblewrap's first process is while it starts) is killed
    // once the grace period is over; the tool still reports the request.
    const fs::path deaf = scratch_ / "bwrap-deaf";
    spill(deaf, "#!/bin/sh\ntrap '' TERM INT HUP\necho started\nexec sleep 30\n");
    fs::permissions(deaf, fs::perms::owner_all);
    testing_support::Child ignoring({kTool, "run", root, "--", "true"}, {{"GLINTMERE_BWRAP", deaf.string()}});
    ASSERT_EQ(ignoring.readLine().value_or(""), "started") << ignoring.err();
    kill(ignoring.pid(), SIGTERM);
    const auto killed = ignoring.waitFor(std::chrono::seconds(10));
    ASSERT_TRUE(killed) << "a sandbox that ignores the stop request outlived the tool";
    EXPECT_EQ(*killed, 128 + SIGTERM);

    // A hang-up that the caller ignores leaves the command running.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &previous);
    testing_support::Child kept(
        {kTool, "run", root, "--", "sh", "-c", "echo started; read line; echo got $line"});
    sigaction(SIGHUP, &previous, nullptr);
    ASSERT_EQ(kept.readLine().value_or(""), "started") << kept.err();
    kill(kept.pid(), SIGHUP);
    kept.write("more\n");
    EXPECT_EQ(kept.readLine().value_or(""), "got more") << kept.err();
    EXPECT_EQ(kept.wait(), 0);
}

TEST_F(DeviceTool, MisuseIsReportedAndChangesNothing) {
    auto none = runProcess({kTool});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("usage:"), std::string::npos);

    auto unknown = runProcess({kTool, "frobnicate", scratch_});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);

    for (const char* verb : {"create", "install", "run"}) {
        auto noRoot = runProcess({kTool, verb});
        EXPECT_EQ(noRoot.status, 2) << verb;
        EXPECT_NE(noRoot.err.find("missing device root"), std::string::npos) << verb;
    }

    // A folder of someone else's is neither taken over nor run in.
    spill(scratch_ / "other/keep.txt", "mine\n");
    auto taken = runProcess({kTool, "create", scratch_ / "other"});
    EXPECT_NE(taken.status, 0);
    EXPECT_NE(taken.err.find("not empty"), std::string::npos) << taken.err;
    EXPECT_EQ(readAll(scratch_ / "other/keep.txt"), "mine\n");
    EXPECT_FALSE(fs::exists(scratch_ / "other/Applications"));
    for (const auto& command : std::vector<std::vector<std::string>>{
             {kTool, "run", scratch_ / "other", "--", "true"}, {kTool, "install", scratch_ / "other"}}) {
        auto foreign = runProcess(command);
        EXPECT_NE(foreign.status, 0) << command[1];
        EXPECT_NE(foreign.err.find("is not a device"), std::string::npos) << foreign.err;
    }
    auto nowhere = runProcess({kTool, "run", scratch_ / "nowhere", "--", "true"});
    EXPECT_NE(nowhere.status, 0);

    const fs::path root = makeDevice();
    auto again = runProcess({kTool, "create", root});
    EXPECT_NE(again.status, 0);
    EXPECT_NE(again.err.find("already a device"), std::string::npos);

    auto noCommand = runProcess({kTool, "run", root, "--"});
    EXPECT_EQ(noCommand.status, 2);
    EXPECT_NE(noCommand.err.find("missing command"), std::string::npos);

    // An option where a root, a program or a value belongs is a mistake, not a name: nothing is
    // made under it.
    const std::vector<std::pair<std::vector<std::string>, std::string>> misplaced = {
        {{"create", "--model"}, "--model needs a value"},
        {{"create", "--ios", "8.4"}, "missing device root"},
        {{"install", "--help"}, "unknown option --help"},
        {{"run", "--", "true"}, "missing device root before --"},
        {{"run", "--as-root", "--", "true"}, "missing device root before --"},
        {{"remove", "-x", "com.example.x"}, "unknown option -x"},
        {{"test", "--gtest_list_tests"}, "missing test program before --gtest_list_tests"},
        {{"create", (scratch_ / "new").string(), "--model", "--ios", "8.4"}, "--model needs a value"},
        {{"create", "--ios", "8.4", (scratch_ / "new").string(), "--model"}, "--model needs a value"},
        {{"create", (scratch_ / "new").string(), "--ios", "8.4", "second-root"},
         "create takes one device root"},
        {{"install", root.string(), "--frobnicate"}, "unknown option --frobnicate"},
        {{"run", root.string(), "--frobnicate"},
         "unknown option --frobnicate (a command that starts with - goes after --)"},
        {{"remove", root.string(), "--purge"}, "unknown option --purge"},
        {{"remove", root.string()}, "remove takes a device root and one package name"},
    };
    for (const auto& [words, message] : misplaced) {
        std::vector<std::string> command = {"sh", "-c", "cd \"$0\" && exec \"$@\"", scratch_.string(), kTool};
        command.insert(command.end(), words.begin(), words.end());
        auto refused = runProcess(command);
        EXPECT_EQ(refused.status, 2) << message;
        EXPECT_NE(refused.err.find("glintmere-device: " + message + "\n"), std::string::npos) << refused.err;
    }
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(scratch_)) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"device", "other"}));

    auto noSandbox =
        runProcess({kTool, "run", root, "--", "true"}, "", {{"GLINTMERE_BWRAP", "/nonexistent/bwrap"}});
    EXPECT_NE(noSandbox.status, 0);
    EXPECT_NE(noSandbox.err.find("bubblewrap not found"), std::string::npos) << noSandbox.err;
}

// Whoever starts it, a device has no power over the host: no capability, a user namespace (and
// network, ipc, host name and cgroup view) of its own, a session of its own, no device nodes made
// or file systems mounted. Run as the test's own user, and as an unprivileged one when the test is
// root and can drop to one.
TEST_F(DeviceTool, TheDeviceHasNoPowerOverTheHostWhoeverStartsIt) {
    std::map<std::string, std::string> ours;
    for (const char* ns : {"user", "net", "ipc", "uts", "cgroup"}) {
        ours[ns] = fs::read_symlink(fs::path("/proc/self/ns") / ns).string();
    }
    const char* probe =
        "grep -h '^CapEff' /proc/self/status;"
        "echo sid $(cut -d' ' -f6 /proc/self/stat);"
        "for ns in user net ipc uts cgroup; do echo $ns $(readlink /proc/self/ns/$ns); done;"
        "tail -n +3 /proc/net/dev | cut -d: -f1 | tr -d ' ' | sed 's/^/interface /';"
        "mknod /tmp/null c 1 3 2>/dev/null && echo power mknod;"
        "mkfifo /tmp/pipe;"
        "mkdir -p /tmp/mounted; mount -t tmpfs none /tmp/mounted 2>/dev/null && echo power mount;"
        "unshare --user --map-root-user true 2>/dev/null && echo power user namespace;"
        "ls /dev";
    std::vector<std::vector<std::string>> starters = {{}};
    if (geteuid() == 0) {
        starters.push_back({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    for (const auto& starter : starters) {
        const std::string who = starter.empty() ? "the test's user" : "an unprivileged user";
        const fs::path home = scratch_ / (starter.empty() ? "own" : "unprivileged");
        fs::create_directories(home);
        fs::permissions(scratch_, fs::perms::owner_all | fs::perms::others_exec);
        // The sandbox shows the tool inside by its path, which that user must reach: a clone in a
        // folder closed to others (root's home) would stop the run, not the sandbox's rules.
        std::string tool = kTool;
        if (!starter.empty()) {
            ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
            tool = (home / "glintmere-device").string();
            // The tool hands what it does not do itself to the setup program beside it.
            for (const fs::path& program : {fs::path(kTool), kSetup}) {
                const fs::path copy = home / program.filename();
                fs::copy_file(program, copy);
                fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
            }
        }
        auto command = [&](std::vector<std::string> words) {
            words.insert(words.begin(), starter.begin(), starter.end());
            return words;
        };
        auto made = runProcess(command({tool, "create", (home / "device").string()}));
        ASSERT_EQ(made.status, 0) << who << ": " << made.err;
        auto seen = runProcess(command({tool, "run", (home / "device").string(), "--", "sh", "-c", probe}));
        EXPECT_EQ(seen.status, 0) << who << ": " << seen.err;
        std::istringstream lines(seen.out);
        std::map<std::string, std::string> inside;
        std::vector<std::string> interfaces, devices, powers;
        for (std::string line; std::getline(lines, line);) {
            const auto space = line.find_first_of(" \t");
            const std::string key = line.substr(0, space);
            const std::string value =
                space == std::string::npos ? "" : line.substr(line.find_first_not_of(" \t", space));
            if (key == "interface") {
                interfaces.push_back(value);
            } else if (key == "power") {
                powers.push_back(value);
            } else if (space == std::string::npos) {
                devices.push_back(key);
            } else {
                inside[key] = value;
            }
        }
        EXPECT_EQ(inside["CapEff:"], "0000000000000000") << who;
        EXPECT_NE(inside["sid"], "0") << who << ": the command shares the caller's session";
        for (const auto& [ns, link] : ours) {
            EXPECT_NE(inside[ns], link) << who << ": the device shares the host's " << ns << " namespace";
        }
        EXPECT_EQ(interfaces, std::vector<std::string>{"lo"}) << who;
        EXPECT_EQ(powers, std::vector<std::string>{}) << who << " could do these";
        EXPECT_TRUE(fs::is_fifo(home / "device/tmp/pipe")) << who << ": a pipe is an ordinary thing to make";
        EXPECT_FALSE(fs::exists(fs::symlink_status(home / "device/tmp/null"))) << who;
        for (const std::string& device : devices) {
            EXPECT_TRUE(
                std::set<std::string>({"console", "core", "fd", "full", "null", "ptmx", "pts", "random",
                                       "shm", "stderr", "stdin", "stdout", "tty", "urandom", "zero"})
                    .contains(device))
                << who << ": /dev/" << device;
        }
    }
}

// A .deb written entry by entry, for contents that no folder on disk can hold (a device node
// without the power to make one, a file below a link of the same package). Each entry is
// "KIND:PATH[:TEXT]", KIND one of dir, file (TEXT its content), setuid and setgid (files of mode
// 4755 and 2755), zeros (TEXT megabytes of zeros), link (TEXT its target), chr, blk and fifo; a
// control file names the package `name`.
// `architecture` is the Architecture field's text as it stands in the control file.
void writePackage(const fs::path& deb, const std::string& name, const std::vector<std::string>& entries,
                  const std::string& architecture = "all") {
    const char* script = R"(
import io, sys, tarfile
out, name, architecture, *entries = sys.argv[1:]
def member(kind, path, text=""):
    info = tarfile.TarInfo(path)
    info.mtime, info.uname, info.gname, info.mode = 1700000000, "root", "root", 0o644
    data = None
    if kind == "dir": info.type, info.mode = tarfile.DIRTYPE, 0o755
    elif kind == "file": data = text.encode(); info.size = len(data)
    elif kind in ("setuid", "setgid"): data = b"#!/bin/sh\n"; info.size, info.mode = len(data), 0o4755 if kind == "setuid" else 0o2755
    elif kind == "zeros": data = bytes(int(text) << 20); info.size = len(data)
    elif kind == "link": info.type, info.linkname = tarfile.SYMTYPE, text
    elif kind in ("chr", "blk"): info.type, info.devmajor, info.devminor = getattr(tarfile, kind.upper() + "TYPE"), 1, 3
    elif kind == "fifo": info.type = tarfile.FIFOTYPE
    return info, data
def tar(members):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w:gz", compresslevel=1, format=tarfile.GNU_FORMAT) as t:
        for info, data in members:
            t.addfile(info, io.BytesIO(data) if data is not None else None)
    return buffer.getvalue()
control = f"Package: {name}\nVersion: 1.0\nArchitecture: {architecture}\nMaintainer: P <p@example.com>\nDescription: p\n"
parts = [("debian-binary", b"2.0\n"),
         ("control.tar.gz", tar([member("dir", "./"), member("file", "./control", control)])),
         ("data.tar.gz", tar([member("dir", "./")] + [member(*e.split(":", 2)) for e in entries]))]
with open(out, "wb") as f:
    f.write(b"!<arch>\n")
    for part, body in parts:
        f.write(f"{part:<16}{0:<12}{0:<6}{0:<6}{'100644':<8}{len(body):<10}`\n".encode())
        f.write(body + (b"\n" if len(body) % 2 else b""))
)";
    std::vector<std::string> command = {"python3", "-c", script, deb.string(), name, architecture};
    command.insert(command.end(), entries.begin(), entries.end());
    auto written = runProcess(command);
    ASSERT_EQ(written.status, 0) << written.err;
}

// Every entry below `root` with what would show that it changed: type, size, inode, time, target.
std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat about {};
        if (lstat(it->path().c_str(), &about) != 0) {
            continue;
        }
        std::string what = std::to_string(about.st_mode) + " " + std::to_string(about.st_size) + " " +
                           std::to_string(about.st_ino) + " " + std::to_string(about.st_mtim.tv_sec) + "." +
                           std::to_string(about.st_mtim.tv_nsec);
        if (S_ISLNK(about.st_mode)) {
            what += " -> " + fs::read_symlink(it->path()).string();
        }
        tree[it->path().lexically_relative(root).string()] = what;
    }
    return tree;
}

// Refused before anything of the device changes, even the build's own files that install places
// first: device nodes, pipes, the device's marker however it is spelt or reached.
TEST_F(DeviceTool, APackageHoldingWhatADeviceMayNotHaveIsRefusedAndChangesNothing) {
    const fs::path root = makeDevice();
    const auto before = treeOf(root);
    struct Case {
        std::vector<std::string> entries;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"dir:./dev", "chr:./dev/null"}, "holds a character device at /dev/null"},
        {{"dir:./Library", "blk:./Library/disk"}, "holds a block device at /Library/disk"},
        {{"dir:./tmp", "fifo:./tmp/pipe"}, "holds a named pipe at /tmp/pipe"},
        {{"file:./.glintmere-device:glintmere-device 1\n"}, "holds /.glintmere-device, the file that marks"},
        {{"dir:./Library", "file:./Library/../.glintmere-device:x"}, "holds /.glintmere-device"},
        {{"dir:./Library", "link:./Library/top:/", "file:./Library/top/.glintmere-device:x"},
         "puts /Library/top/.glintmere-device beyond /Library/top, a link of its own"},
        {{"dir:./usr2", "setuid:./usr2/id"}, "holds /usr2/id with its set-user-id or set-group-id bit set"},
        {{"dir:./usr2", "setgid:./usr2/id"}, "holds /usr2/id with its set-user-id or set-group-id bit set"},
        {{"dir:./Library", "zeros:./Library/a:200", "zeros:./Library/b:60"},
         "s files add up to more than 256 MB"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path deb = scratch_ / ("refused" + std::to_string(n++) + ".deb");
        ASSERT_NO_FATAL_FAILURE(writePackage(deb, "com.example.refused", c.entries));
        auto refused = runProcess({kTool, "install", root, deb});
        EXPECT_EQ(refused.status, 1) << c.message;
        EXPECT_NE(refused.err.find("refused " + deb.string() + ": it" +
                                   (c.message.starts_with("s ") ? "" : " ") + c.message),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(treeOf(root), before) << c.message;
    }
    // The same writer makes a package the device takes: what was refused was the contents.
    const fs::path fine = scratch_ / "fine.deb";
    ASSERT_NO_FATAL_FAILURE(
        writePackage(fine, "com.example.fine", {"dir:./Library", "file:./Library/fine:ok"}));
    auto installed = runProcess({kTool, "install", root, fine});
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(readAll(root / "Library/fine"), "ok");
}

// The marker is out of reach of everything inside: of programs, as the caller and as the device's
// root, of packages that get at it through a link another package left, and of dpkg run by hand,
// which no check of the tool's stands before.
TEST_F(DeviceTool, NothingInsideReachesTheMarker) {
    const fs::path root = makeDevice();
    const std::string marker = readAll(root / ".glintmere-device");
    for (const char* as : {"--", "--as-root"}) {
        std::vector<std::string> command = {kTool, "run", root, as};
        if (std::string(as) != "--") {
            command.emplace_back("--");
        }
        command.insert(command.end(), {"sh", "-c",
                                       "ln -s / /rl; rm -f /.glintmere-device; rm -f /rl/.glintmere-device;"
                                       "echo x >/rl/.glintmere-device; mv /rl/.glintmere-device /tmp/m;"
                                       "chmod 0 /.glintmere-device; rm /rl"});
        auto tried = runProcess(command);
        EXPECT_EQ(readAll(root / ".glintmere-device"), marker) << as << ": " << tried.err;
        EXPECT_EQ(fs::status(root / ".glintmere-device").permissions(), fs::perms(0644)) << as;
        EXPECT_FALSE(fs::exists(root / "tmp/m")) << as;
    }

    const fs::path linker = scratch_ / "linker.deb";
    const fs::path taker = scratch_ / "taker.deb";
    ASSERT_NO_FATAL_FAILURE(writePackage(linker, "com.example.linker", {"link:./rootlink:/"}));
    ASSERT_NO_FATAL_FAILURE(
        writePackage(taker, "com.example.taker", {"file:./rootlink/.glintmere-device:x"}));
    auto together = runProcess({kTool, "install", root, linker, taker});
    EXPECT_EQ(together.status, 1);
    EXPECT_NE(together.err.find("refused " + taker.string() +
                                ": it puts /rootlink/.glintmere-device beyond "
                                "/rootlink, a link of its own or of a package it goes in with"),
              std::string::npos)
        << together.err;
    ASSERT_EQ(runProcess({kTool, "install", root, linker}).status, 0);
    auto after = runProcess({kTool, "install", root, taker});
    EXPECT_EQ(after.status, 1);
    EXPECT_NE(after.err.find("refused " + taker.string() +
                             ": it holds /.glintmere-device (as /rootlink/.glintmere-device, through the "
                             "device's links)"),
              std::string::npos)
        << after.err;

    fs::copy_file(taker, root / "tmp/taker.deb");
    auto byHand =
        runProcess({kTool, "run", root, "--as-root", "--", "dpkg", "--root=", "-i", "/tmp/taker.deb"});
    EXPECT_NE(byHand.status, 0);
    runProcess({kTool, "run", root, "--as-root", "--", "dpkg", "--root=", "--purge", "com.example.taker"});
    EXPECT_EQ(readAll(root / ".glintmere-device"), marker) << byHand.err;
    EXPECT_EQ(runProcess({kTool, "run", root, "--", "true"}).status, 0);
}

// The file system that holds `path`: its device number, and where `path` is inside it.
std::pair<dev_t, fs::path> fileSystemOf(const fs::path& path) {
    struct stat about {};
    stat(path.c_str(), &about);
    std::ifstream mounts("/proc/self/mountinfo");
    fs::path best, inside;
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers, fsRoot, point;
        fields >> id >> parent >> numbers >> fsRoot >> point;
        const auto colon = numbers.find(':');
        if (colon == std::string::npos || makedev(std::stoul(numbers.substr(0, colon)),
                                                  std::stoul(numbers.substr(colon + 1))) != about.st_dev) {
            continue;
        }
        const fs::path relative = path.lexically_relative(point);
        if (!relative.empty() && *relative.begin() != ".." && point.size() >= best.string().size()) {
            best = point;
            inside = fs::path(fsRoot) / relative;
        }
    }
    return {about.st_dev, inside};
}

// A package whose maintainer script tries every way out of the device that root has, and fails
// when none works: a tmpfs that allows devices, a node for the disk that holds the test's folder
// mounted from there, and a handle to that folder opened past the device's root. Installing it as
// root leaves no file outside and the package not installed.
TEST_F(DeviceTool, APackageThatTriesToLeaveTheDeviceInstallsNothingAndWritesNothingOutside) {
    const fs::path outside = fs::canonical(scratch_);
    const auto [disk, where] = fileSystemOf(outside);
    std::string handleType = "0", handleBytes;
    struct {
        file_handle head;
        unsigned char bytes[MAX_HANDLE_SZ];
    } handle{};
    handle.head.handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (name_to_handle_at(AT_FDCWD, outside.c_str(), &handle.head, &mountId, 0) == 0) {
        handleType = std::to_string(handle.head.handle_type);
        handleBytes = testing_support::hex(
            std::string(reinterpret_cast<const char*>(handle.head.f_handle), handle.head.handle_bytes));
    }
    const fs::path tree = scratch_ / "escape";
    spill(tree / "DEBIAN/control", "Package: com.example.escape\nVersion: 1.0\nArchitecture: all\n"
                                   "Maintainer: P <p@example.com>\nDescription: leaves the device\n");
    spill(tree / "Library/Escape/by-handle.py", R"(import ctypes, os, sys
libc = ctypes.CDLL(None, use_errno=True)
data = bytes.fromhex(sys.argv[2])
handle = ctypes.create_string_buffer(8 + len(data))
ctypes.memmove(handle, len(data).to_bytes(4, "little") + int(sys.argv[1]).to_bytes(4, "little", signed=True) + data, 8 + len(data))
fd = libc.open_by_handle_at(os.open("/", os.O_RDONLY), handle, os.O_RDONLY | os.O_DIRECTORY)
if fd < 0:
    sys.exit("open_by_handle_at: " + os.strerror(ctypes.get_errno()))
os.close(os.open("escaped-by-handle", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
)");
    spill(tree / "DEBIAN/postinst",
          "#!/bin/sh\nout=1\nmkdir -p /tmp/devices /tmp/disk\n"
          "if mount -t tmpfs -o dev,mode=755 devices /tmp/devices && mknod /tmp/devices/disk b " +
              std::to_string(major(disk)) + " " + std::to_string(minor(disk)) +
              " && mount /tmp/devices/disk /tmp/disk && touch \"/tmp/disk/" + where.string() +
              "/escaped-by-mount\"; then out=0; fi\n"
              "if python3 /Library/Escape/by-handle.py " +
              handleType + " '" + handleBytes + "'; then out=0; fi\nexit $out\n");
    fs::permissions(tree / "DEBIAN/postinst", fs::perms::owner_all | fs::perms::group_read |
                                                  fs::perms::group_exec | fs::perms::others_read |
                                                  fs::perms::others_exec);
    ASSERT_EQ(runProcess({"dpkg-deb", "--root-owner-group", "--build", tree, scratch_ / "escape.deb"}).status,
              0);

    const fs::path root = makeDevice();
    auto installed = runProcess({kTool, "install", root, scratch_ / "escape.deb"});
    EXPECT_EQ(installed.status, 1);
    EXPECT_NE(installed.err.find("dpkg did not install com.example.escape"), std::string::npos)
        << installed.err;
    for (const char* escaped : {"escaped-by-mount", "escaped-by-handle"}) {
        EXPECT_FALSE(fs::exists(outside / escaped))
            << "the package wrote outside the device: " << installed.err;
    }
    auto listed = runProcess({kTool, "run", root, "--", "dpkg-query", "--list"});
    EXPECT_EQ(listed.out.find("com.example.escape"), std::string::npos) << listed.out;
    EXPECT_FALSE(fs::exists(root / "Library/Escape"));
}

// A maintainer script that fails leaves a new package not installed, not even its settings or its
// record; a package that was installed before is named as left half done.
TEST_F(DeviceTool, APackageWhoseScriptFailsLeavesNoTrace) {
    const fs::path root = makeDevice();
    auto package = [&](const std::string& version, bool fails) {
        const fs::path tree = scratch_ / ("tree-" + version);
        spill(tree / "DEBIAN/control", "Package: com.example.failing\nVersion: " + version +
                                           "\nArchitecture: all\nMaintainer: P <p@example.com>\n"
                                           "Description: fails\n");
        spill(tree / "DEBIAN/conffiles", "/Library/Failing/settings.conf\n");
        spill(tree / "Library/Failing/settings.conf", "setting " + version + "\n");
        spill(tree / "Library/Failing/code", "code\n");
        spill(tree / "DEBIAN/postinst",
              fails ? "#!/bin/sh\necho configuring failed >&2\nexit 1\n" : "#!/bin/sh\n");
        fs::permissions(tree / "DEBIAN/postinst", fs::perms::owner_all | fs::perms::group_read |
                                                      fs::perms::group_exec | fs::perms::others_read |
                                                      fs::perms::others_exec);
        const fs::path deb = scratch_ / ("failing-" + version + ".deb");
        EXPECT_EQ(runProcess({"dpkg-deb", "--root-owner-group", "--build", tree, deb}).status, 0);
        return deb;
    };
    auto state = [&] {
        return runProcess({kTool, "run", root, "--", "dpkg-query", "--show",
                           "--showformat=${db:Status-Abbrev}${Version}", "com.example.failing"})
            .out;
    };
    auto fresh = runProcess({kTool, "install", root, package("1.0", true)});
    EXPECT_EQ(fresh.status, 1);
    EXPECT_NE(fresh.err.find("configuring failed"), std::string::npos) << fresh.err;
    EXPECT_NE(fresh.err.find("dpkg did not install com.example.failing\n"), std::string::npos) << fresh.err;
    EXPECT_EQ(state(), "");
    EXPECT_FALSE(fs::exists(root / "Library/Failing"));
    for (const auto& entry : fs::directory_iterator(root / "private/var/lib/dpkg/info")) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("com.example.failing")) << entry.path();
    }

    ASSERT_EQ(runProcess({kTool, "install", root, package("1.0", false)}).status, 0);
    EXPECT_EQ(state(), "ii 1.0");
    auto upgrade = runProcess({kTool, "install", root, package("2.0", true)});
    EXPECT_EQ(upgrade.status, 1);
    EXPECT_NE(upgrade.err.find("com.example.failing stays unpacked but not configured"), std::string::npos)
        << upgrade.err;
    EXPECT_EQ(state(), "iF 2.0");
}

// A device's root is the host's root when root runs it: nothing made inside may keep the power to
// act as that user for anyone else on the host.
TEST_F(DeviceTool, WhatRunsInsideGivesOtherUsersNothing) {
    const fs::path root = makeDevice();
    EXPECT_EQ(fs::status(root).permissions() & fs::perms::mask, fs::perms::owner_all);
    struct stat host {};
    ASSERT_EQ(stat("/usr/bin/passwd", &host), 0);
    auto made =
        runProcess({kTool, "run", root, "--", "sh", "-c",
                    "cp /usr/bin/id /tmp/suid-id && chmod 4755 /tmp/suid-id && "
                    "mkdir -p /tmp/shared/deep && chmod 2775 /tmp/shared && "
                    "cp /usr/bin/id /tmp/shared/deep/sgid-id && chmod 2755 /tmp/shared/deep/sgid-id && "
                    "ln -s /usr/bin/passwd /tmp/passwd && chmod 0755 /"});
    ASSERT_EQ(made.status, 0) << made.err;
    for (const char* made : {"tmp/suid-id", "tmp/shared", "tmp/shared/deep/sgid-id"}) {
        const auto perms = fs::status(root / made).permissions();
        EXPECT_EQ(perms & (fs::perms::set_uid | fs::perms::set_gid), fs::perms::none) << made;
        EXPECT_EQ(perms & fs::perms::owner_exec, fs::perms::owner_exec)
            << made << " lost more than its set-id bits";
    }
    EXPECT_EQ(fs::status(root).permissions() & fs::perms::mask, fs::perms::owner_all);
    struct stat after {};
    ASSERT_EQ(stat("/usr/bin/passwd", &after), 0);
    EXPECT_EQ(after.st_mode, host.st_mode) << "the sweep followed the device's link to a host file";
}

// The tool is two programs; without the one that makes and fills devices, it says so, for a run as
// for any other verb, and changes nothing.
TEST_F(DeviceTool, WithoutItsSetupProgramTheToolSaysWhatIsMissing) {
    const fs::path root = makeDevice();
    const fs::path alone = scratch_ / "alone" / "glintmere-device";
    fs::create_directories(alone.parent_path());
    fs::copy_file(kTool, alone);
    const std::string missing = (alone.parent_path() / "glintmere-device-setup").string();
    auto made = runProcess({alone, "create", scratch_ / "other"});
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find(missing), std::string::npos) << made.err;
    EXPECT_FALSE(fs::exists(scratch_ / "other"));
    auto ran = runProcess({alone, "run", root, "--", "sh", "-c", "touch /tmp/ran"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(missing), std::string::npos) << ran.err;
    EXPECT_FALSE(fs::exists(root / "tmp/ran"));
    // The usage it knows itself.
    for (const char* help : {"help", "--help", "-h"}) {
        auto asked = runProcess({alone, help});
        EXPECT_EQ(asked.status, 0) << help << ": " << asked.err;
        EXPECT_TRUE(asked.out.starts_with("usage: glintmere-device create ROOT"))
            << help << ": " << asked.out;
    }
    // With it beside, the same copy does both.
    fs::copy_file(kSetup, missing);
    EXPECT_EQ(runProcess({alone, "create", scratch_ / "other"}).status, 0);
    auto again = runProcess({alone, "run", scratch_ / "other", "--", "sh", "-c", "echo inside"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "inside\n");
}

// The sweep after a run reads each folder's listing in parts: set-id files anywhere in a folder too
// long for one part lose their bits, and what a folder's mode holds besides them (a shared folder's
// sticky bit) stays.
TEST_F(DeviceTool, TheSweepReachesAllOfALongFolderAndKeepsTheRestOfEachMode) {
    const fs::path root = makeDevice();
    auto made = runProcess({kTool, "run", root, "--", "sh", "-c",
                            "mkdir /tmp/many && cd /tmp/many && i=0; while [ $i -lt 1500 ]; do i=$((i+1)); "
                            ": > a-name-long-enough-that-the-folder-takes-many-parts-to-list-$i; done && "
                            "for i in 7 300 600 900 1200 1500; do chmod 6755 "
                            "a-name-long-enough-that-the-folder-takes-many-parts-"
                            "to-list-$i; done && mkdir /tmp/common && chmod 3777 /tmp/common && ln -s "
                            "/tmp/many /tmp/many-link"});
    ASSERT_EQ(made.status, 0) << made.err;
    int kept = 0, files = 0;
    for (const auto& entry : fs::directory_iterator(root / "tmp/many")) {
        ++files;
        kept += (entry.status().permissions() & (fs::perms::set_uid | fs::perms::set_gid)) != fs::perms::none;
    }
    EXPECT_EQ(files, 1500);
    EXPECT_EQ(kept, 0) << "set-id files left in a long folder";
    EXPECT_EQ(fs::status(root / "tmp/many/a-name-long-enough-that-the-folder-takes-many-parts-to-list-600")
                      .permissions() &
                  fs::perms::mask,
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                  fs::perms::others_exec);
    const auto common = fs::status(root / "tmp/common").permissions();
    EXPECT_EQ(common & fs::perms::set_gid, fs::perms::none);
    EXPECT_EQ(common & (fs::perms::mask | fs::perms::sticky_bit), fs::perms::all | fs::perms::sticky_bit)
        << "the shared folder lost more than its set-group-id bit";
}

// The caller's open files and environment stay outside: a descriptor of the host's "/" would lead
// out of the device's root, and the caller's variables are the caller's.
TEST_F(DeviceTool, NothingOfTheCallersReachesInside) {
    const fs::path root = makeDevice();
    const int hostRoot = ::open("/", O_RDONLY | O_DIRECTORY); // inherited by whatever the test starts
    ASSERT_GE(hostRoot, 3);
    const testing_support::EnvChanges env = {{"CALLER_SECRET", "hush"}, {"GLINTMERE_OWN", "kept"}};
    // ls lists the descriptors of the shell that started it, which has opened nothing of its own.
    auto seen = runProcess({kTool, "run", root, "--", "sh", "-c",
                            "echo fds; ls /proc/$$/fd; echo end; tr '\\0' '\\n' </proc/1/environ; env"},
                           "", env);
    close(hostRoot);
    ASSERT_EQ(seen.status, 0) << seen.err;
    EXPECT_NE(seen.out.find("fds\n0\n1\n2\nend\n"), std::string::npos) << seen.out;
    EXPECT_EQ(seen.out.find("CALLER_SECRET"), std::string::npos) << seen.out;
    EXPECT_NE(seen.out.find("GLINTMERE_OWN=kept"), std::string::npos) << seen.out;
    EXPECT_NE(seen.out.find("HOME=/var/mobile"), std::string::npos) << seen.out;
}

// What a device plants where the tool reads is read as no file, never followed and never waited on.
TEST_F(DeviceTool, InstallReadsNoLinkOrPipeThatTheDevicePlanted) {
    const fs::path arch = "private/var/lib/dpkg/arch";
    for (const std::string planted : {"link", "pipe"}) {
        const fs::path root = makeDevice(planted);
        if (planted == "link") {
            fs::create_symlink("/dev/zero", root / arch);
        } else {
            ASSERT_EQ(mkfifo((root / arch).c_str(), 0644), 0);
        }
        const fs::path fine = scratch_ / "fine.deb";
        ASSERT_NO_FATAL_FAILURE(writePackage(fine, "com.example.fine", {"file:./fine:ok"}));
        auto installed = runProcess({kTool, "install", root, fine});
        // The device's own dpkg makes of its database what it will; the tool ends either way.
        EXPECT_TRUE(installed.status == 0 || installed.status == 1) << planted << ": " << installed.err;
    }
}

// The host's picture tool writes a picture in place of a link a device process planted, never
// through it, and reads neither an endless device file nor a pipe.
TEST_F(DeviceTool, PngToolNeitherFollowsNorSwallowsWhatTheDevicePlanted) {
    const std::string tool = (fs::path(GLINTMERE_SOURCE_DIR) / "scripts/png-tool").string();
    const fs::path root = makeDevice();
    const fs::path host = scratch_ / "host-file";
    spill(host, "the host's own\n");
    fs::create_symlink(host, root / "tmp/cat.png");
    auto wrote = runProcess({tool, "write", (root / "tmp/cat.png").string(), "4", "3"});
    EXPECT_EQ(wrote.status, 0) << wrote.err;
    EXPECT_EQ(readAll(host), "the host's own\n");
    EXPECT_FALSE(fs::is_symlink(root / "tmp/cat.png"));
    EXPECT_EQ(readAll(root / "tmp/cat.png").substr(1, 3), "PNG");

    // The device's own links lead where they lead inside it; one that names a host folder leads to no
    // folder of the device, and nothing lands in the host's.
    auto inside = runProcess({tool, "write", (root / "var/mobile/cat.png").string(), "4", "3"});
    EXPECT_EQ(inside.status, 0) << inside.err;
    EXPECT_TRUE(fs::is_regular_file(root / "private/var/mobile/cat.png"));
    fs::create_directories(scratch_ / "outside");
    fs::create_directory_symlink(scratch_ / "outside", root / "var/mobile/Planted");
    auto through = runProcess({tool, "write", (root / "var/mobile/Planted/cat.png").string(), "4", "3"});
    EXPECT_NE(through.status, 0);
    EXPECT_NE(through.err.find("png-tool: "), std::string::npos) << through.err;
    EXPECT_TRUE(fs::is_empty(scratch_ / "outside"));

    fs::create_symlink("/dev/zero", root / "tmp/zero.png");
    ASSERT_EQ(mkfifo((root / "tmp/pipe.png").c_str(), 0644), 0);
    for (const char* planted : {"tmp/zero.png", "tmp/pipe.png"}) {
        auto read = runProcess({tool, "compare", (root / "tmp/cat.png").string(), (root / planted).string()});
        EXPECT_NE(read.status, 0) << planted;
        EXPECT_NE(read.err.find("png-tool: "), std::string::npos) << planted << ": " << read.err;
    }
}

// A maintainer script that never ends is stopped with everything it started, and the package goes.
TEST_F(DeviceTool, AMaintainerScriptThatDoesNotEndIsStopped) {
    const fs::path root = makeDevice();
    const fs::path tree = scratch_ / "tree";
    spill(tree / "DEBIAN/control", "Package: com.example.sleeper\nVersion: 1.0\nArchitecture: all\n"
                                   "Maintainer: P <p@example.com>\nDescription: sleeps\n");
    spill(tree / "Library/Sleeper/code", "code\n");
    spill(tree / "DEBIAN/postinst", "#!/bin/sh\n(sleep 600 &)\nexec sleep 600\n");
    fs::permissions(tree / "DEBIAN/postinst", fs::perms::owner_all | fs::perms::group_read |
                                                  fs::perms::group_exec | fs::perms::others_read |
                                                  fs::perms::others_exec);
    const fs::path deb = scratch_ / "sleeper.deb";
    ASSERT_EQ(runProcess({"dpkg-deb", "--root-owner-group", "--build", tree, deb}).status, 0);
    auto installed = runProcess({kTool, "install", root, deb}, "", {{"GLINTMERE_DPKG_TIME_LIMIT", "2"}});
    EXPECT_EQ(installed.status, 1);
    EXPECT_NE(installed.err.find("dpkg did not install com.example.sleeper within 2 s and was stopped"),
              std::string::npos)
        << installed.err;
    EXPECT_FALSE(fs::exists(root / "Library/Sleeper"));
    auto sleeping = runProcess({"pgrep", "-f", "sleep 600"});
    EXPECT_NE(sleeping.status, 0) << "left running: " << sleeping.out;
}

// The entries of a property list the device tool wrote, one line "KEY VALUE" each, in file order.
std::string factsOf(const fs::path& file) {
    std::string facts;
    std::istringstream lines(readAll(file));
    std::string line, key;
    for (; std::getline(lines, line);) {
        const auto open = line.find('>');
        const auto close = line.rfind("</");
        if (open == std::string::npos || close == std::string::npos || close <= open) {
            continue;
        }
        const std::string value = line.substr(open + 1, close - open - 1);
        if (line.find("<key>") != std::string::npos) {
            key = value;
        } else if (!key.empty()) {
            facts += key + " " + value + "\n";
            key.clear();
        }
    }
    return facts;
}

TEST_F(DeviceTool, CreateMakesTheModelAndSystemAskedFor) {
    const fs::path standard = makeDevice("standard");
    EXPECT_EQ(factsOf(standard / "System/Library/CoreServices/SystemVersion.plist"),
              "ProductName iPhone OS\nProductVersion 8.4\nProductBuildVersion 12H143\n");
    const std::string facts = factsOf(standard / "System/Library/CoreServices/DeviceFacts.plist");
    EXPECT_NE(facts.find("ProductType iPhone6,1\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("UserInterfaceIdiom 0\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("ScreenHeight 568"), std::string::npos) << facts;
    EXPECT_NE(facts.find("CoreFoundationVersionNumber 1145.15"), std::string::npos) << facts;
    const std::string accounts = readAll(standard / "private/var/mobile/Library/Accounts/Accounts.plist");
    EXPECT_NE(accounts.find("com.apple.account.IMAP"), std::string::npos);
    EXPECT_NE(accounts.find("com.apple.twitter"), std::string::npos);

    const fs::path pad = scratch_ / "pad";
    auto made = runProcess({kTool, "create", pad, "--model", "iPad4,1", "--ios", "8.1.2"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(factsOf(pad / "System/Library/CoreServices/SystemVersion.plist"),
              "ProductName iPhone OS\nProductVersion 8.1.2\nProductBuildVersion 12B440\n");
    const std::string padFacts = factsOf(pad / "System/Library/CoreServices/DeviceFacts.plist");
    EXPECT_NE(padFacts.find("UserInterfaceIdiom 1\n"), std::string::npos) << padFacts;
    EXPECT_NE(padFacts.find("ScreenWidth 768"), std::string::npos) << padFacts;
    EXPECT_NE(padFacts.find("CoreFoundationVersionNumber 1141.18"), std::string::npos) << padFacts;
    // The system registered in the package database is of the same version.
    const std::string status = readAll(pad / "private/var/lib/dpkg/status");
    const auto firmware = status.find("Package: firmware\n");
    ASSERT_NE(firmware, std::string::npos) << status;
    EXPECT_NE(status.find("Version: 8.1.2\n", firmware), std::string::npos) << status;

    const fs::path old = scratch_ / "old";
    made = runProcess({kTool, "create", old, "--no-twitter-account", "--ios", "7.0", "--model", "iPhone1,1",
                       "--no-mail-account"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string oldFacts = factsOf(old / "System/Library/CoreServices/DeviceFacts.plist");
    EXPECT_EQ(oldFacts.find("UserInterfaceIdiom"), std::string::npos) << oldFacts;
    EXPECT_NE(oldFacts.find("ScreenScale 1"), std::string::npos) << oldFacts;
    EXPECT_NE(oldFacts.find("CoreFoundationVersionNumber 847.2"), std::string::npos) << oldFacts;
    const std::string none = readAll(old / "private/var/mobile/Library/Accounts/Accounts.plist");
    EXPECT_EQ(none.find("com.apple.account.IMAP"), std::string::npos) << none;
    EXPECT_EQ(none.find("com.apple.twitter"), std::string::npos) << none;
}

// Options go before or after the device root, for every verb alike; a command's own words are its own.
TEST_F(DeviceTool, OptionsGoBeforeOrAfterTheRoot) {
    const fs::path pad = scratch_ / "pad";
    auto made = runProcess({kTool, "create", "--arch", "arm64", "--model", "iPad4,1", pad.string(), "--ios",
                            "7.0", "--no-mail-account"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(factsOf(pad / "System/Library/CoreServices/DeviceFacts.plist").find("ProductType iPad4,1\n"),
              std::string::npos);
    EXPECT_NE(factsOf(pad / "System/Library/CoreServices/SystemVersion.plist").find("ProductVersion 7.0\n"),
              std::string::npos);
    const std::string status = readAll(pad / "private/var/lib/dpkg/status");
    EXPECT_NE(status.find("Architecture: iphoneos-arm\n"), std::string::npos) << status;
    EXPECT_EQ(
        readAll(pad / "private/var/mobile/Library/Accounts/Accounts.plist").find("com.apple.account.IMAP"),
        std::string::npos);

    for (const auto& words : std::vector<std::vector<std::string>>{
             {"run", "--as-root", pad, "--", "id", "-u"}, {"run", pad, "--as-root", "--", "id", "-u"}}) {
        std::vector<std::string> command = {kTool};
        command.insert(command.end(), words.begin(), words.end());
        auto asRoot = runProcess(command);
        EXPECT_EQ(asRoot.out, "0\n") << words[1] << " " << asRoot.err;
    }
    // Past the root, the first word that is no option of the tool's begins the command, which keeps
    // the words after it, options of the tool's among them.
    auto own = runProcess({kTool, "run", pad, "sh", "-c", "id -u; echo \"$@\"", "sh", "--as-root"});
    EXPECT_EQ(own.out, std::to_string(getuid()) + "\n--as-root\n") << own.err;
    auto before = runProcess({kTool, "install", "--force", pad});
    EXPECT_EQ(before.status, 2);
    EXPECT_NE(before.err.find("glintmere-device: unknown option --force\n"), std::string::npos) << before.err;
}

TEST_F(DeviceTool, AnUnknownKindIsRefusedNamingTheKnownOnes) {
    auto model = runProcess({kTool, "create", scratch_ / "a", "--model", "iPhone99,9"});
    EXPECT_EQ(model.status, 1);
    EXPECT_NE(model.err.find("unknown model \"iPhone99,9\"; known models: iPhone6,1, iPad4,1, iPhone1,1"),
              std::string::npos)
        << model.err;
    auto version = runProcess({kTool, "create", scratch_ / "a", "--ios", "6.1"});
    EXPECT_EQ(version.status, 1);
    EXPECT_NE(
        version.err.find("unknown version \"6.1\"; known versions: 7.0, 7.1, 8.0, 8.1, 8.1.2, 8.2, 8.3, 8.4, "
                         "9.0, 9.3, 10.0, 11.0, 12.0, 13.0, 14.0"),
        std::string::npos)
        << version.err;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--model"}, {"--ios", "8.4", "--frobnicate"}, {"--model", "iPad4,1", "second-root"}}) {
        std::vector<std::string> command = {kTool, "create", (scratch_ / "a").string()};
        command.insert(command.end(), args.begin(), args.end());
        auto refused = runProcess(command);
        EXPECT_EQ(refused.status, 2) << args.back();
        EXPECT_NE(refused.err.find("usage:"), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(fs::exists(scratch_ / "a")) << "a refused kind left a device behind";
}

// A program inside learns its device's kind from the stand-ins, as an app on that device would.
TEST_F(DeviceTool, ProgramsInsideSeeTheirDevicesKind) {
    struct Case {
        std::vector<std::string> options;
        std::string seen;
    };
    const std::vector<Case> cases = {
        {{}, "kCFCoreFoundationVersionNumber 1145.15\nmodel iPhone\nuserInterfaceIdiom 0\n"},
        {{"--model", "iPad4,1", "--ios", "8.0"},
         "kCFCoreFoundationVersionNumber 1140.10\nmodel iPad\nuserInterfaceIdiom 1\n"},
        {{"--model", "iPhone1,1", "--ios", "11.0"},
         "kCFCoreFoundationVersionNumber 1443.00\nmodel iPhone\nuserInterfaceIdiom unanswered\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path root = scratch_ / ("kind" + std::to_string(n++));
        std::vector<std::string> create = {kTool, "create", root.string()};
        create.insert(create.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(runProcess(create).status, 0);
        auto installed = runProcess({kTool, "install", root});
        ASSERT_EQ(installed.status, 0) << installed.err;
        auto seen = runProcess({kTool, "run", root, "--", "/Developer/usr/bin/kind-probe"});
        EXPECT_EQ(seen.status, 0) << seen.err;
        EXPECT_EQ(seen.out, c.seen);
    }
}

// A copy of the tool in a build folder of the test's making, so that it reads our placement list.
class DeviceInstall : public DeviceTool {
  protected:
    void SetUp() override {
        DeviceTool::SetUp();
        fs::create_directories(scratch_ / "build/bin");
        tool_ = scratch_ / "build/bin/glintmere-device";
        fs::copy_file(kTool, tool_);
        fs::copy_file(kSetup, tool_.parent_path() / kSetup.filename());
    }
    void writeManifest(const std::string& text) {
        spill(scratch_ / "build/device-manifest.txt", text);
        spill(scratch_ / "build/packages.txt", ""); // a build that made no package
    }

    fs::path tool_;
};

TEST_F(DeviceInstall, PlacesBuiltFilesAtTheirDevicePathsKeepingModes) {
    const fs::path built = scratch_ / "built";
    spill(built / "Probe", "#!/bin/sh\necho probe\n");
    fs::permissions(built / "Probe", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    spill(built / "Info.plist", "<plist/>\n");
    spill(built / "Probe.bundle/Probe", "code\n");
    spill(built / "Probe.bundle/en.lproj/Probe.strings", "\"a\" = \"b\";\n");
    writeManifest(built.string() + "/Probe\t/Applications/Probe.app/Probe\n" + built.string() +
                  "/Info.plist\t/Applications/Probe.app/Info.plist\n" + built.string() +
                  "/Probe.bundle\t/Library/PreferenceBundles/Probe.bundle\n" + built.string() +
                  "/NotBuilt\t/Applications/NotBuilt.app/NotBuilt\n" + built.string() +
                  "/Info.plist\t/User/Library/Preferences/probe.plist\n");
    const fs::path root = makeDevice();
    auto installed = runProcess({tool_, "install", root});
    ASSERT_EQ(installed.status, 0) << installed.err;

    const fs::path app = root / "Applications/Probe.app/Probe";
    EXPECT_EQ(readAll(app), "#!/bin/sh\necho probe\n");
    EXPECT_EQ(fs::status(app).permissions(), fs::status(built / "Probe").permissions());
    EXPECT_FALSE(fs::is_symlink(app));
    EXPECT_EQ(readAll(root / "Library/PreferenceBundles/Probe.bundle/en.lproj/Probe.strings"),
              "\"a\" = \"b\";\n");
    EXPECT_FALSE(fs::exists(root / "Applications/NotBuilt.app"));
    EXPECT_EQ(readAll(root / "private/var/mobile/Library/Preferences/probe.plist"), "<plist/>\n");

    // The placed program runs inside; a second install replaces what the first placed.
    EXPECT_EQ(runProcess({tool_, "run", root, "--", "/Applications/Probe.app/Probe"}).out, "probe\n");
    spill(built / "Probe", "#!/bin/sh\necho rebuilt\n");
    ASSERT_EQ(runProcess({tool_, "install", root}).status, 0);
    EXPECT_EQ(runProcess({tool_, "run", root, "--", "/Applications/Probe.app/Probe"}).out, "rebuilt\n");
    for (const auto& entry : fs::directory_iterator(root / "Applications/Probe.app")) {
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
    }
}

TEST_F(DeviceInstall, RejectsBadPlacementLists) {
    const fs::path root = makeDevice();
    auto missing = runProcess({tool_, "install", root});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("no placement list"), std::string::npos) << missing.err;

    spill(scratch_ / "file", "x");
    writeManifest((scratch_ / "file").string() + "\t/Applications/A\n" + "no tab here\n");
    auto malformed = runProcess({tool_, "install", root});
    EXPECT_NE(malformed.status, 0);
    EXPECT_NE(malformed.err.find("device-manifest.txt:2"), std::string::npos) << malformed.err;

    for (const char* bad : {"/usr/lib/evil", "/../outside", "/bin/evil"}) {
        writeManifest((scratch_ / "file").string() + "\t" + bad + "\n");
        auto refused = runProcess({tool_, "install", root});
        EXPECT_NE(refused.status, 0) << bad;
        EXPECT_NE(refused.err.find(bad), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(fs::exists(scratch_ / "outside"));
    EXPECT_FALSE(fs::exists(root / "usr/lib/evil"));
}

// Links inside the device mean what they mean to the device, so no link made there, by a command
// or a package, leads an install outside the device root.
TEST_F(DeviceInstall, FollowsTheDevicesLinksWithinTheDevice) {
    const fs::path built = scratch_ / "built";
    spill(built / "Probe", "probe\n");
    spill(built / "Probe.bundle/Probe", "code\n");
    spill(built / "Probe.bundle/Resources/icon", "icon\n");
    const fs::path outside = scratch_ / "outside";
    fs::create_directories(outside);
    const fs::path root = makeDevice();
    // Absolute links, written inside the device, naming the folder above on the host.
    auto linked = runProcess({tool_, "run", root, "--", "sh", "-c",
                              "mkdir -p /Library/Tweak.bundle /Library/Stash && "
                              "ln -s \"$0\" /Applications/Probe.app && "
                              "ln -s \"$0\" /Library/Tweak.bundle/Resources && "
                              "ln -s /Library/Stash /Library/Linked",
                              outside.string()});
    ASSERT_EQ(linked.status, 0) << linked.err;
    writeManifest(built.string() + "/Probe\t/Applications/Probe.app/Probe\n" + built.string() +
                  "/Probe.bundle\t/Library/Tweak.bundle\n" + built.string() +
                  "/Probe\t/Library/Linked/Probe\n");
    auto installed = runProcess({tool_, "install", root});
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_TRUE(fs::is_empty(outside)) << "install wrote outside the device";
    EXPECT_EQ(readAll(root / fs::path(outside).relative_path() / "Probe"), "probe\n");
    EXPECT_EQ(readAll(root / fs::path(outside).relative_path() / "icon"), "icon\n");
    EXPECT_EQ(readAll(root / "Library/Stash/Probe"), "probe\n");
    EXPECT_EQ(readAll(root / "Library/Tweak.bundle/Probe"), "code\n");
}

// The two ways the tool resolves a path below a device root: openat2 where the kernel has it, and
// one part at a time with O_NOFOLLOW.
const std::pair<std::string, testing_support::EnvChanges> kResolutions[] = {
    {"openat2", {{"GLINTMERE_DEVICE_WITHOUT_OPENAT2", std::nullopt}}},
    {"part-by-part", {{"GLINTMERE_DEVICE_WITHOUT_OPENAT2", "1"}}},
};

// Links planted where the tool is about to write (at the staging name beside a file, at the file
// itself) name a file of the host; the install replaces them inside the device and leaves the host
// file alone.
TEST_F(DeviceInstall, WritesNothingThroughALinkPlantedAtAFile) {
    const fs::path built = scratch_ / "built";
    spill(built / "Probe", "probe\n");
    const fs::path victim = scratch_ / "outside/victim";
    spill(victim, "untouched\n");
    fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
    writeManifest(built.string() + "/Probe\t/Applications/Probe.app/Probe\n" + built.string() +
                  "/Probe\t/Library/Other/Probe\n");
    for (const auto& [mode, env] : kResolutions) {
        const fs::path root = makeDevice(mode);
        // The staging name once held the writer's process id: the ids the tool may take next are
        // all covered.
        int lastPid = 0;
        std::ifstream("/proc/sys/kernel/ns_last_pid") >> lastPid;
        ASSERT_GT(lastPid, 0);
        fs::create_directories(root / "Applications/Probe.app");
        for (int pid = lastPid + 1; pid < lastPid + 1000; ++pid) {
            fs::create_symlink(victim,
                               root / "Applications/Probe.app" / (".Probe.partial-" + std::to_string(pid)));
        }
        fs::create_directories(root / "Library/Other");
        fs::create_symlink(victim, root / "Library/Other/Probe");

        auto installed = runProcess({tool_, "install", root}, "", env);
        EXPECT_EQ(installed.status, 0) << mode << ": " << installed.err;
        EXPECT_EQ(readAll(victim), "untouched\n") << mode;
        EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_read | fs::perms::owner_write) << mode;
        for (const char* placed : {"Applications/Probe.app/Probe", "Library/Other/Probe"}) {
            EXPECT_FALSE(fs::is_symlink(root / placed)) << mode << ": " << placed;
            EXPECT_EQ(readAll(root / placed), "probe\n") << mode << ": " << placed;
        }
    }
}

// A process of the device turns a folder into a link to the host and back while the tool writes
// into it. Whatever the timing, nothing lands outside: a write that meets the link fails.
TEST_F(DeviceInstall, WritesNothingThroughAFolderTurnedIntoALink) {
    const fs::path built = scratch_ / "built";
    std::string manifest;
    for (int i = 0; i < 200; ++i) {
        spill(built / ("file" + std::to_string(i)), "content\n");
        manifest += built.string() + "/file" + std::to_string(i) + "\t/Library/Flip/Deep/file" +
                    std::to_string(i) + "\n";
    }
    writeManifest(manifest);
    const fs::path outside = scratch_ / "outside";
    fs::create_directories(outside / "Deep");
    const fs::path root = makeDevice();
    // Swapped by renameat2's exchange, the folder is at every moment either a folder or a link; it
    // stays one or the other for anything from a microsecond to a few milliseconds.
    testing_support::Child flipper({tool_, "run", root, "--", "python3", "-c",
                                    "import ctypes, os, random, sys, time\n"
                                    "libc = ctypes.CDLL(None)\n"
                                    "os.makedirs('/Library/Real/Deep')\n"
                                    "os.symlink(sys.argv[1], '/Library/Flip')\n"
                                    "print('started', flush=True)\n"
                                    "while True:\n"
                                    "    libc.renameat2(-100, b'/Library/Real', -100, b'/Library/Flip', 2)\n"
                                    "    time.sleep(random.choice((0, 0, 0.0001, 0.001, 0.003)))\n",
                                    outside.string()});
    ASSERT_EQ(flipper.readLine().value_or(""), "started") << flipper.err();
    for (int round = 0; round < 16; ++round) {
        auto installed = runProcess({tool_, "install", root}, "", kResolutions[round % 2].second);
        // Failing is fine, failing silently is not.
        EXPECT_TRUE(installed.status == 0 || !installed.err.empty());
    }
    kill(flipper.pid(), SIGTERM);
    flipper.waitFor(std::chrono::seconds(10));
    EXPECT_TRUE(fs::is_empty(outside / "Deep")) << "install wrote outside the device";
}

TEST_F(DeviceInstall, TestRunsAProgramInAFreshDeviceAndRemovesIt) {
    const fs::path built = scratch_ / "built";
    spill(built / "Probe", "#!/bin/sh\necho probe\n");
    fs::permissions(built / "Probe", fs::perms::owner_all);
    writeManifest(built.string() + "/Probe\t/Applications/Probe.app/Probe\n");
    const fs::path program = scratch_ / "probe_tests";
    spill(program, "#!/bin/sh\necho \"$0 $*\"; /Applications/Probe.app/Probe; readlink /User; exit 3\n");
    fs::permissions(program, fs::perms::owner_all);
    const fs::path temp = scratch_ / "temp";
    fs::create_directories(temp);

    auto ran = runProcess({tool_, "test", program, "--gtest_brief=1"}, "",
                          {{"TMPDIR", temp.string()}, {"GLINTMERE_KEEP_DEVICE", std::nullopt}});
    EXPECT_EQ(ran.status, 3) << ran.err;
    EXPECT_EQ(ran.out, "/private/var/tmp/tests/probe_tests --gtest_brief=1\nprobe\nvar/mobile\n");
    EXPECT_TRUE(fs::is_empty(temp));

    auto kept =
        runProcess({tool_, "test", program}, "", {{"TMPDIR", temp.string()}, {"GLINTMERE_KEEP_DEVICE", "1"}});
    EXPECT_EQ(kept.status, 3);
    ASSERT_FALSE(fs::is_empty(temp));
    const fs::path device = fs::directory_iterator(temp)->path();
    EXPECT_NE(kept.err.find(device.string()), std::string::npos) << kept.err;
    EXPECT_TRUE(fs::exists(device / ".glintmere-device"));
    EXPECT_TRUE(fs::exists(device / "private/var/tmp/tests/probe_tests"));

    // Stopping the tool ends everything the program started inside, and the device goes.
    spill(program, "#!/bin/sh\nsleep 30 &\necho started\nwait\n");
    testing_support::Child stopped({tool_, "test", program},
                                   {{"TMPDIR", temp.string()}, {"GLINTMERE_KEEP_DEVICE", std::nullopt}});
    ASSERT_EQ(stopped.readLine().value_or(""), "started") << stopped.err();
    kill(stopped.pid(), SIGTERM);
    const auto status = stopped.waitFor(std::chrono::seconds(10));
    ASSERT_TRUE(status) << "a process of the sandbox outlived it";
    EXPECT_EQ(*status, 128 + SIGTERM);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp), fs::directory_iterator()), 1);

    // Stopped while the device is still being made, the tool removes what it made.
    fs::remove_all(device);
    for (int delayMs : {0, 5, 20, 60, 150}) {
        testing_support::Child early({tool_, "test", program},
                                     {{"TMPDIR", temp.string()}, {"GLINTMERE_KEEP_DEVICE", std::nullopt}});
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(early.pid(), SIGTERM);
        const auto ended = early.waitFor(std::chrono::seconds(10));
        // Ended means its output closed too: nothing of the sandbox kept it open.
        ASSERT_TRUE(ended) << "stopped after " << delayMs << " ms: " << early.err();
        EXPECT_EQ(*ended, 128 + SIGTERM) << "stopped after " << delayMs << " ms";
        EXPECT_TRUE(fs::is_empty(temp)) << "stopped after " << delayMs << " ms left a device behind";
    }

    auto absent = runProcess({tool_, "test", scratch_ / "absent"});
    EXPECT_NE(absent.status, 0);
    EXPECT_NE(absent.err.find("no test program"), std::string::npos);
}

// Glintmere's own package, as the build made it, in devices made by the build's tool.
class GlintmerePackage : public DeviceTool {
  protected:
    static constexpr const char* kPackage = "com.brightmoth.glintmere";
    static constexpr const char* kBrowser = "/Applications/MobileSafari.app/MobileSafari";
    static constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
    static constexpr const char* kPreferences =
        "private/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";

    static fs::path builtPackage() {
        std::string line;
        std::getline(std::ifstream(fs::path(kTool).parent_path().parent_path() / "packages.txt"), line);
        return line;
    }
    static std::string field(const fs::path& deb, const std::string& name) {
        auto got = runProcess({"dpkg-deb", "--field", deb, name});
        EXPECT_EQ(got.status, 0) << got.err;
        return got.out.empty() ? got.out : got.out.substr(0, got.out.size() - 1);
    }
    // The package's version as the device's dpkg has it installed; empty when it is not installed.
    std::string installedVersion(const fs::path& root) {
        auto got = runProcess({kTool, "run", root, "--", "dpkg-query", "--show",
                               "--showformat=${db:Status-Abbrev}${Version}", kPackage});
        return got.out.starts_with("ii ") ? got.out.substr(3) : "";
    }
    fs::path installedDevice() {
        const fs::path root = makeDevice();
        auto installed = runProcess({kTool, "install", root});
        EXPECT_EQ(installed.status, 0) << installed.err;
        EXPECT_EQ(installed.out, "");
        EXPECT_TRUE(
            testing_support::writePng(testing_support::makePicture(6, 4), (root / "tmp/image.png").string()));
        return root;
    }
    // What the browser's sheet offers for a long-pressed image.
    std::string sheet(const fs::path& root) {
        auto pressed = runProcess({kTool, "run", root, "--", kBrowser, "long-press", "/tmp/image.png"});
        EXPECT_EQ(pressed.status, 0) << pressed.err;
        return pressed.out;
    }
    testing_support::Outcome settings(const fs::path& root, const std::vector<std::string>& words) {
        std::vector<std::string> command = {kTool, "run", root, "--", kSettings};
        command.insert(command.end(), words.begin(), words.end());
        return runProcess(command);
    }
    // A package of ours at another version, as an older build would have made it: same files,
    // and one that newer versions no longer ship.
    fs::path packageAtVersion(const std::string& version) {
        const fs::path tree = scratch_ / ("package-" + version);
        EXPECT_EQ(runProcess({"dpkg-deb", "--raw-extract", builtPackage(), tree}).status, 0);
        std::string control = readAll(tree / "DEBIAN/control");
        const auto at = control.find("Version: ");
        control.replace(at, control.find('\n', at) - at, "Version: " + version);
        spill(tree / "DEBIAN/control", control);
        spill(tree / "Library/PreferenceBundles/Glintmere.bundle/Retired.txt", "gone in newer versions\n");
        const fs::path deb = scratch_ / (std::string(kPackage) + "_" + version + ".deb");
        auto built = runProcess({"dpkg-deb", "--root-owner-group", "--build", tree, deb});
        EXPECT_EQ(built.status, 0) << built.err;
        return deb;
    }
};

// A device's package tools are a phone's: its dpkg names the device's architecture, and apt there,
// given the source in one step, picks the package of that architecture.
TEST_F(GlintmerePackage, AnArm64DevicesDpkgAndAptAreAPhones) {
    const fs::path phone = scratch_ / "phone";
    ASSERT_EQ(runProcess({kTool, "create", phone, "--arch", "arm64"}).status, 0);
    EXPECT_EQ(runProcess({kTool, "run", phone, "--", "dpkg", "--print-architecture"}).out, "iphoneos-arm\n");
    const fs::path native = makeDevice();
    EXPECT_EQ(runProcess({kTool, "run", native, "--", "dpkg", "--print-architecture"}).out,
              std::string(GLINTMERE_ARCHITECTURE) + "\n");

    ASSERT_EQ(runProcess({kTool, "install", phone}).status, 0);
    ASSERT_EQ(runProcess({kTool, "remove", phone, kPackage}).status, 0);
    auto added = runProcess({kTool, "add-source", phone, kRepo});
    ASSERT_EQ(added.status, 0) << added.err;
    auto updated = runProcess({kTool, "run", phone, "--as-root", "--", "apt-get", "-q", "update"});
    ASSERT_EQ(updated.status, 0) << updated.out << updated.err;
    auto installed =
        runProcess({kTool, "run", phone, "--as-root", "--", "apt-get", "-q", "-y", "install", kPackage});
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    auto architecture = runProcess(
        {kTool, "run", phone, "--", "dpkg-query", "--show", "--showformat=${Architecture}", kPackage});
    EXPECT_EQ(architecture.out, "iphoneos-arm");
    ASSERT_TRUE(
        testing_support::writePng(testing_support::makePicture(6, 4), (phone / "tmp/image.png").string()));
    EXPECT_NE(sheet(phone).find("Set As Wallpaper"), std::string::npos);

    auto nothing = runProcess({kTool, "add-source", phone, scratch_});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_NE(nothing.err.find("no Packages index"), std::string::npos) << nothing.err;
}

// What install refuses, the device's dpkg refuses too, whoever hands it the package: apt from a
// source, or a person running dpkg inside.
TEST_F(GlintmerePackage, ThePackageCheckStandsBeforeTheDevicesOwnDpkg) {
    const fs::path root = makeDevice();
    const fs::path source = scratch_ / "pipes";
    fs::create_directories(source / "debs");
    ASSERT_NO_FATAL_FAILURE(
        writePackage(source / "debs/pipe.deb", "com.example.pipe", {"dir:./tmp", "fifo:./tmp/pipe"}));
    const fs::path script = fs::path(GLINTMERE_SOURCE_DIR) / "scripts/build-repo";
    ASSERT_EQ(runProcess({script, source / "debs", source / "repo"}).status, 0);
    ASSERT_EQ(runProcess({kTool, "add-source", root, source / "repo"}).status, 0);
    ASSERT_EQ(runProcess({kTool, "run", root, "--as-root", "--", "apt-get", "-q", "update"}).status, 0);
    auto byApt = runProcess(
        {kTool, "run", root, "--as-root", "--", "apt-get", "-q", "-y", "install", "com.example.pipe"});
    EXPECT_NE(byApt.status, 0);
    EXPECT_NE((byApt.out + byApt.err).find("it holds a named pipe at /tmp/pipe"), std::string::npos)
        << byApt.out << byApt.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "tmp/pipe")));

    fs::copy_file(source / "debs/pipe.deb", root / "tmp/pipe.deb");
    auto byHand = runProcess({kTool, "run", root, "--as-root", "--", "dpkg", "-i", "/tmp/pipe.deb"});
    EXPECT_NE(byHand.status, 0);
    EXPECT_NE(byHand.err.find("refused /tmp/pipe.deb: it holds a named pipe"), std::string::npos)
        << byHand.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "tmp/pipe")));
}

// A device with a phone's processor takes the phone's package, and its browser runs the phone's build
// of the hook library: the title changes there too.
TEST_F(GlintmerePackage, AnArm64DeviceInstallsThePhonesPackageAndRunsItsLibrary) {
    const fs::path root = scratch_ / "phone";
    auto made = runProcess({kTool, "create", root, "--arch", "arm64"});
    ASSERT_EQ(made.status, 0) << made.err;
    auto installed = runProcess({kTool, "install", root});
    ASSERT_EQ(installed.status, 0) << installed.err;
    for (const char* package : {kPackage, "mobilesubstrate", "firmware"}) {
        auto architecture = runProcess(
            {kTool, "run", root, "--", "dpkg-query", "--show", "--showformat=${Architecture}", package});
        EXPECT_EQ(architecture.out, "iphoneos-arm") << package;
    }
    EXPECT_EQ(readAll(root / "Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib").substr(0, 4),
              std::string("\xcf\xfa\xed\xfe", 4));
    ASSERT_TRUE(
        testing_support::writePng(testing_support::makePicture(6, 4), (root / "tmp/image.png").string()));
    EXPECT_NE(sheet(root).find("Set As Wallpaper"), std::string::npos);

    auto unknown = runProcess({kTool, "create", scratch_ / "other", "--arch", "armv7"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown architecture armv7"), std::string::npos) << unknown.err;
}

TEST_F(GlintmerePackage, HoldsTheDeliverablesAndTheFieldsOfATweak) {
    const fs::path deb = builtPackage();
    ASSERT_TRUE(fs::is_regular_file(deb)) << deb;
    const std::string architecture = runProcess({"dpkg", "--print-architecture"}).out;
    std::string version;
    std::istringstream control(readAll(fs::path(GLINTMERE_SOURCE_DIR) / "control"));
    for (std::string line; std::getline(control, line);) {
        if (line.starts_with("Version: ")) {
            version = line.substr(9);
        }
    }
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(deb.filename().string(), std::string(kPackage) + "_" + version + "_" +
                                           architecture.substr(0, architecture.size() - 1) + ".deb");
    EXPECT_EQ(field(deb, "Package"), kPackage);
    EXPECT_EQ(field(deb, "Name"), "Glintmere");
    EXPECT_EQ(field(deb, "Version"), version);
    EXPECT_EQ(field(deb, "Architecture") + "\n", architecture);
    EXPECT_EQ(field(deb, "Section"), "Tweaks");
    EXPECT_EQ(field(deb, "Depends"),
              "mobilesubstrate (>= 0.9.5000), preferenceloader (>= 2.2.3), firmware (>= 7.0)");
    for (const char* name : {"Description", "Maintainer", "Author"}) {
        EXPECT_FALSE(field(deb, name).empty()) << name;
    }

    // Exactly the deliverables, owned by root, and the installed size they add up to.
    std::set<std::string> expected = {
        "./Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib",
        "./Library/MobileSubstrate/DynamicLibraries/Glintmere.plist",
        "./Library/PreferenceBundles/Glintmere.bundle/Glintmere",
        "./Library/PreferenceLoader/Preferences/Glintmere.plist",
    };
    const fs::path resources = fs::path(GLINTMERE_SOURCE_DIR) / "settings/resources";
    for (const auto& entry : fs::recursive_directory_iterator(resources)) {
        const fs::path relative = entry.path().lexically_relative(resources);
        if (entry.is_regular_file() && *relative.begin() != "loader") {
            expected.insert("./Library/PreferenceBundles/Glintmere.bundle/" + relative.string());
        }
    }
    auto listed = runProcess({"dpkg-deb", "--contents", deb});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::set<std::string> files;
    long kibibytes = 0;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string mode, owner, date, time, path;
        long size = 0;
        words >> mode >> owner >> size >> date >> time >> path;
        EXPECT_EQ(owner, "root/root") << path;
        if (mode[0] == '-') {
            files.insert(path);
            EXPECT_TRUE(mode == "-rw-r--r--" || mode == "-rwxr-xr-x") << path << " " << mode;
            kibibytes += (size + 1023) / 1024;
        } else if (path != "./") {
            EXPECT_EQ(mode, "drwxr-xr-x") << path;
            kibibytes += 1;
        }
    }
    EXPECT_EQ(files, expected);
    EXPECT_EQ(field(deb, "Installed-Size"), std::to_string(kibibytes));
}

TEST_F(GlintmerePackage, InstallsThroughTheDevicesDpkgAndComesAndGoesWithTheUsersSetting) {
    const fs::path root = installedDevice();
    auto listed = runProcess({kTool, "run", root, "--", "dpkg", "-l"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    for (const char* package : {kPackage, "mobilesubstrate", "preferenceloader", "firmware"}) {
        EXPECT_NE(listed.out.find(std::string("ii  ") + package + " "), std::string::npos) << listed.out;
    }
    EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version"));
    auto firmware =
        runProcess({kTool, "run", root, "--", "dpkg-query", "--show", "--showformat=${Version}", "firmware"});
    EXPECT_EQ(firmware.out, "8.4");
    // The settings bundle carries the package's version.
    EXPECT_NE(
        readAll(root / "Library/PreferenceBundles/Glintmere.bundle/Info.plist")
            .find("<key>CFBundleVersion</key>\n\t<string>" + field(builtPackage(), "Version") + "</string>"),
        std::string::npos);
    EXPECT_NE(sheet(root).find("Set As Wallpaper"), std::string::npos);
    ASSERT_EQ(settings(root, {"set", "isEnabled", "false"}).status, 0);
    const std::string stored = readAll(root / kPreferences);
    ASSERT_FALSE(stored.empty());

    // Removed: the browser's sheet is its own again, Settings has no pane, the setting stays.
    auto removed = runProcess({kTool, "remove", root, kPackage});
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.err, "");
    EXPECT_EQ(installedVersion(root), "");
    for (const char* gone : {"Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib",
                             "Library/MobileSubstrate/DynamicLibraries/Glintmere.plist",
                             "Library/PreferenceBundles/Glintmere.bundle",
                             "Library/PreferenceLoader/Preferences/Glintmere.plist"}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(root / gone))) << gone;
    }
    EXPECT_TRUE(fs::is_directory(root / "Library/MobileSubstrate/DynamicLibraries"));
    EXPECT_EQ(readAll(root / kPreferences), stored);
    settings(root, {"set", "isEnabled", "true"}); // no pane to take it
    EXPECT_EQ(readAll(root / kPreferences), stored);
    const std::string own = sheet(root);
    EXPECT_NE(own.find("Copy"), std::string::npos) << own;
    EXPECT_EQ(own.find("Set As Wallpaper"), std::string::npos) << own;
    // Settings names no package of its own: the pane is asked for by name.
    auto noPane = settings(root, {"list", "Glintmere"});
    EXPECT_NE(noPane.status, 0);
    EXPECT_NE(noPane.err.find("no pane \"Glintmere\""), std::string::npos) << noPane.err;
    // Unnamed, there is no package's pane to take; a look shows the top list alone.
    auto noneAtAll = settings(root, {"list"});
    EXPECT_NE(noneAtAll.status, 0);
    EXPECT_NE(noneAtAll.err.find("Settings lists no package's pane"), std::string::npos) << noneAtAll.err;
    auto look = settings(root, {"views"});
    EXPECT_EQ(look.status, 0) << look.err;
    EXPECT_TRUE(look.out.starts_with("statusBarStyle = 0\n")) << look.out;
    EXPECT_NE(look.out.find("text = 'Wi-Fi'"), std::string::npos);
    EXPECT_EQ(look.out.find("Glintmere"), std::string::npos);

    // Installed again, both come back with the stored setting.
    ASSERT_EQ(runProcess({kTool, "install", root}).status, 0);
    EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version"));
    auto pane = settings(root, {"list"});
    EXPECT_EQ(pane.status, 0) << pane.err;
    EXPECT_NE(pane.out.find("Enabled: off"), std::string::npos) << pane.out;
    EXPECT_NE(sheet(root).find("Copy"), std::string::npos);
    ASSERT_EQ(settings(root, {"set", "isEnabled", "true"}).status, 0);
    EXPECT_NE(sheet(root).find("Set As Wallpaper"), std::string::npos);

    // As dpkg has it, removing what is not installed is done, with a warning.
    auto unknown = runProcess({kTool, "remove", root, "com.example.absent"});
    EXPECT_NE(unknown.err.find("com.example.absent"), std::string::npos) << unknown.err;
    auto notAName = runProcess({kTool, "remove", root, "../Glintmere"});
    EXPECT_NE(notAName.status, 0);
    spill(scratch_ / "notes.deb", "not a package\n");
    auto notAPackage = runProcess({kTool, "install", root, scratch_ / "notes.deb"});
    EXPECT_NE(notAPackage.status, 0);
    EXPECT_NE(notAPackage.err.find("is not a package"), std::string::npos) << notAPackage.err;
    EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version"));
}

TEST_F(GlintmerePackage, UpgradesFromAnOlderVersionKeepingTheUsersSetting) {
    const fs::path root = makeDevice();
    auto older = runProcess({kTool, "install", root, packageAtVersion("0.9.1")});
    ASSERT_EQ(older.status, 0) << older.err;
    EXPECT_EQ(installedVersion(root), "0.9.1");
    EXPECT_TRUE(fs::exists(root / "Library/PreferenceBundles/Glintmere.bundle/Retired.txt"));
    ASSERT_EQ(settings(root, {"set", "isEnabled", "false"}).status, 0);

    auto upgraded = runProcess({kTool, "install", root});
    ASSERT_EQ(upgraded.status, 0) << upgraded.err;
    EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version"));
    EXPECT_FALSE(fs::exists(root / "Library/PreferenceBundles/Glintmere.bundle/Retired.txt"));
    auto pane = settings(root, {"list"});
    EXPECT_NE(pane.out.find("Enabled: off"), std::string::npos) << pane.out << pane.err;
}

// dpkg checks the dependencies against the device's own system, and a refused Glintmere is not
// left behind half installed, where the browser would still load it.
TEST_F(GlintmerePackage, IsRefusedByAnOldFirmwareAndWithoutSubstrate) {
    const fs::path old = makeDevice("old");
    const fs::path status = old / "private/var/lib/dpkg/status";
    std::string database = readAll(status);
    const auto firmware = database.find("Package: firmware\n");
    ASSERT_NE(firmware, std::string::npos);
    const auto version = database.find("Version: ", firmware);
    database.replace(version, database.find('\n', version) - version, "Version: 6.1");
    spill(status, database);

    const fs::path bare = makeDevice("bare");
    auto unregistered = runProcess({kTool, "run", bare, "--", "dpkg", "--remove", "mobilesubstrate"});
    ASSERT_EQ(unregistered.status, 0) << unregistered.err;

    for (const auto& [root, message] : {std::pair{old, std::string("Version of firmware on system is 6.1")},
                                        std::pair{bare, std::string("mobilesubstrate")}}) {
        auto refused = runProcess({kTool, "install", root});
        EXPECT_NE(refused.status, 0) << root;
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find(std::string("dpkg did not install ") + kPackage), std::string::npos)
            << refused.err;
        auto listed = runProcess({kTool, "run", root, "--", "dpkg", "-l"});
        EXPECT_EQ(listed.out.find(kPackage), std::string::npos) << listed.out;
        EXPECT_FALSE(fs::exists(root / "Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib")) << root;
        for (const auto& entry : fs::directory_iterator(root)) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".glintmere-packages")) << entry.path();
        }
    }
}

// The package source that `make repo` writes, as a device's package manager takes it: every package
// the build made, an index of them and a Release that vouches for the index.
TEST_F(GlintmerePackage, TheSourceHoldsEveryBuiltPackageWithItsIndexAndTheirHashes) {
    const fs::path source = kRepo;
    const std::string index = readAll(source / "Packages");
    ASSERT_FALSE(index.empty()) << source;
    int built = 0;
    for (const auto& entry : fs::directory_iterator(builtPackage().parent_path())) {
        if (entry.path().extension() != ".deb") {
            continue;
        }
        ++built;
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(readAll(source / name), readAll(entry.path())) << name;
        EXPECT_NE(index.find("\nFilename: ./" + name + "\n"), std::string::npos) << index;
    }
    EXPECT_GE(built, 1);
    auto unpacked = runProcess({"gzip", "-dc", source / "Packages.gz"});
    EXPECT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(unpacked.out, index);

    // The Release names both index files with their sizes and hashes, and the packages' architectures.
    const std::string release = readAll(source / "Release");
    EXPECT_NE(release.find("Architectures: " + field(builtPackage(), "Architecture")), std::string::npos)
        << release;
    const auto sha256 = release.find("\nSHA256:\n");
    ASSERT_NE(sha256, std::string::npos) << release;
    for (const char* file : {"Packages", "Packages.gz"}) {
        auto summed = runProcess({"sha256sum", source / file});
        ASSERT_EQ(summed.status, 0) << summed.err;
        const std::string hash = summed.out.substr(0, summed.out.find(' '));
        const std::string line = " " + hash + " " +
                                 std::string(16 - std::to_string(fs::file_size(source / file)).size(), ' ') +
                                 std::to_string(fs::file_size(source / file)) + " " + file + "\n";
        EXPECT_NE(release.find(line, sha256), std::string::npos) << line << release;
    }

    // Written again from a folder without packages, or with a file that is no package, the source
    // already there stays as it was, and the reason is given.
    const fs::path script = fs::path(GLINTMERE_SOURCE_DIR) / "scripts/build-repo";
    const fs::path kept = scratch_ / "repo";
    ASSERT_EQ(runProcess({script, builtPackage().parent_path(), kept}).status, 0);
    const std::string keptIndex = readAll(kept / "Packages");
    EXPECT_EQ(keptIndex, index);
    fs::create_directories(scratch_ / "empty");
    spill(scratch_ / "broken/notes.deb", "not a package\n");
    // A field the Release repeats would carry its continuation lines in ahead of the real hashes.
    fs::create_directories(scratch_ / "forged");
    ASSERT_NO_FATAL_FAILURE(writePackage(scratch_ / "forged/forged.deb", "com.example.forged", {},
                                         "all\n MD5Sum:\n  d41d8cd98f00b204e9800998ecf8427e 0 Packages"));
    for (const auto& [folder, reason] :
         {std::pair{scratch_ / "empty", "no .deb in"},
          std::pair{scratch_ / "broken", "is not a package dpkg can read"},
          std::pair{scratch_ / "forged", "forged.deb: its Architecture is not one word on one line"}}) {
        auto refused = runProcess({script, folder, kept});
        EXPECT_NE(refused.status, 0);
        EXPECT_NE(refused.err.find(reason), std::string::npos) << refused.err;
        EXPECT_EQ(readAll(kept / "Packages"), keptIndex);
    }
    for (const auto& entry : fs::directory_iterator(scratch_)) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".repo-")) << entry.path();
    }
}

// apt inside the device takes Glintmere from the source that add-source put there, resolving its
// dependencies from the device's own database (the host's knows no mobilesubstrate), and removes it
// again. It runs as dpkg does, as the device's root, with the device's own configuration: the host's
// /etc/apt has no say.
TEST_F(GlintmerePackage, InstallsFromTheSourceWithTheDevicesAptAndIsRemovedAgain) {
    const fs::path root = installedDevice();
    ASSERT_EQ(runProcess({kTool, "remove", root, kPackage}).status, 0);
    ASSERT_EQ(installedVersion(root), "");
    auto added = runProcess({kTool, "add-source", root, kRepo});
    ASSERT_EQ(added.status, 0) << added.err;
    const auto apt = [&](const std::vector<std::string>& words) {
        std::vector<std::string> command = {kTool, "run", root, "--as-root", "--", "apt-get", "-q", "-y"};
        command.insert(command.end(), words.begin(), words.end());
        return runProcess(command);
    };
    auto updated = apt({"update"});
    ASSERT_EQ(updated.status, 0) << updated.out << updated.err;

    // A device whose Settings loader is older than Glintmere asks for is refused, with nothing left.
    const auto database = testing_support::setInstalledVersion(root, "preferenceloader", "2.0");
    ASSERT_TRUE(database);
    auto refused = apt({"install", kPackage});
    EXPECT_NE(refused.status, 0);
    EXPECT_NE((refused.out + refused.err).find("preferenceloader"), std::string::npos)
        << refused.out << refused.err;
    EXPECT_EQ(installedVersion(root), "");
    spill(testing_support::dpkgStatusOf(root), *database);

    auto installed = apt({"install", kPackage});
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version"));
    EXPECT_NE(sheet(root).find("Set As Wallpaper"), std::string::npos);
    auto pane = settings(root, {"list"});
    EXPECT_NE(pane.out.find("Enabled: on"), std::string::npos) << pane.out << pane.err;
    struct stat owned {};
    ASSERT_EQ(lstat((root / "Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib").c_str(), &owned), 0);
    EXPECT_EQ(owned.st_uid, getuid()) << "the device's root is the caller outside";

    auto removed = apt({"remove", kPackage});
    ASSERT_EQ(removed.status, 0) << removed.out << removed.err;
    EXPECT_EQ(installedVersion(root), "");
    EXPECT_FALSE(fs::exists(root / "Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib"));
    const std::string own = sheet(root);
    EXPECT_NE(own.find("Copy"), std::string::npos) << own;
    EXPECT_EQ(own.find("Set As Wallpaper"), std::string::npos) << own;
}

// dpkg runs inside the device, so the links planted there mean what they mean to the device: one
// where dpkg unpacks and one where it keeps its records lead nowhere outside it.
TEST_F(GlintmerePackage, DpkgWritesNothingThroughLinksPlantedInTheDevice) {
    const fs::path outside = scratch_ / "outside";
    fs::create_directories(outside);
    for (const char* planted : {"/Library/PreferenceBundles", "/var/lib/dpkg/updates"}) {
        const fs::path root = makeDevice(fs::path(planted).filename());
        auto linked = runProcess({kTool, "run", root, "--", "sh", "-c",
                                  "mkdir -p \"$0\" && rm -rf \"$1\" && ln -s \"$0\" \"$1\"", outside.string(),
                                  planted});
        ASSERT_EQ(linked.status, 0) << linked.err;
        auto installed = runProcess({kTool, "install", root});
        EXPECT_EQ(installed.status, 0) << installed.err;
        EXPECT_TRUE(fs::is_empty(outside)) << "dpkg wrote outside the device through " << planted;
        EXPECT_EQ(installedVersion(root), field(builtPackage(), "Version")) << planted;
    }
    EXPECT_TRUE(fs::is_regular_file(scratch_ / "PreferenceBundles" / outside.relative_path() /
                                    "Glintmere.bundle/Info.plist"));
}

} // namespace
