// glintmere-device-setup: the whole of glintmere-device, whose every verb but run is handed here:
// makes simulated devices, fills them from the build and runs programs and tests inside.
#include "CommandLine.hpp"
#include "Device.hpp"
#include "Packages.hpp"
#include "Sandbox.hpp"

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using device::isOption;
using device::sortWords;
using device::Usage;
using device::Words;

// The build folder the tool belongs to: the parent of its own folder of programs.
fs::path buildFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        throw device::Error("cannot find the tool's own program: " + ec.message());
    }
    return self.parent_path().parent_path();
}

// The packages the build made for a device of `architecture`, as its list names them: what a device
// gets when none is named.
std::vector<fs::path> builtPackages(const std::string& architecture) {
    const fs::path list =
        buildFolder() /
        (architecture == device::kPhoneArchitecture ? "packages-iphoneos-arm.txt" : "packages.txt");
    std::ifstream in(list);
    if (!in) {
        throw device::Error("no package list at " + list.string() + " (build the project first)");
    }
    std::vector<fs::path> packages;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            packages.emplace_back(line);
        }
    }
    return packages;
}

// The device's system files from the build's placement list, then `packages` (the build's own
// when none is named) through the device's dpkg. The packages are checked first: one that is
// refused leaves the device as it was.
void install(const fs::path& root, std::vector<fs::path> packages = {}) {
    const std::vector<device::Placement> placements =
        device::readManifest(buildFolder() / "device-manifest.txt");
    const std::vector<device::CheckedPackage> checked = device::checkPackages(
        root, packages.empty() ? builtPackages(device::packageArchitecture(root)) : packages);
    device::install(root, placements);
    device::installPackages(root, checked);
}

bool keepDevice() {
    const char* keep = std::getenv("GLINTMERE_KEEP_DEVICE");
    return keep != nullptr && *keep != '\0' && std::string(keep) != "0";
}

// Holds back the stop signals (interrupt, terminate, hang-up) while a test device is being made, so
// that a stop then ends the tool through its cleanup rather than leaving a half-made device behind.
// The sandbox opens them while it runs and passes them on.
class StopSignalsHeld {
  public:
    StopSignalsHeld() {
        sigemptyset(&stops_);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&stops_, sig);
        }
        pthread_sigmask(SIG_BLOCK, &stops_, &previous_);
    }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
    ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

    // The stop signal that arrived meanwhile, taken off the pending set; 0 when none did. Signals
    // the caller ignores are discarded by the kernel and never show up here.
    int takeArrived() {
        const timespec now{};
        const int sig = sigtimedwait(&stops_, nullptr, &now);
        return sig > 0 ? sig : 0;
    }

  private:
    sigset_t stops_;
    sigset_t previous_;
};

// Removes a test device. A sandbox stopped just as it started may still have its inner processes
// setting up mount points in the device for a moment after it ended (they die with it), so removal
// is tried again until the folder is gone, for a few seconds at most.
void removeDevice(const fs::path& root) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::error_code error;
    while (fs::remove_all(root, error), error || fs::exists(root, error)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "glintmere-device: could not remove the test device %s\n", root.c_str());
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A fresh device holding the build and the test program; removed afterwards unless asked to keep it.
int test(const fs::path& binary, const std::vector<std::string>& args, const device::Kind& kind) {
    std::error_code ec;
    if (!fs::is_regular_file(binary, ec)) {
        throw device::Error("no test program at " + binary.string());
    }
    StopSignalsHeld held;
    std::string pattern = (fs::temp_directory_path(ec) / "glintmere-device-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw device::Error("cannot make a temporary device folder at " + pattern);
    }
    const fs::path root = pattern;
    struct Cleanup {
        fs::path root;
        ~Cleanup() {
            if (keepDevice()) {
                std::fprintf(stderr, "glintmere-device: kept device at %s\n", root.c_str());
            } else {
                removeDevice(root);
            }
        }
    } cleanup{root};

    const std::string devicePath = "/private/var/tmp/tests/" + binary.filename().string();
    device::create(root, kind);
    install(root);
    device::copyInto(root, binary, devicePath);
    if (const int sig = held.takeArrived()) {
        std::fprintf(stderr, "glintmere-device: stopped (signal %d) before the test ran\n", sig);
        return 128 + sig;
    }
    // Still held: the sandbox opens them once it can pass them on to the test.
    std::vector<std::string> command = {devicePath};
    command.insert(command.end(), args.begin(), args.end());
    return device::run(root, command);
}

// The kind of device that the options of `create` (or of `test`) ask for.
device::Kind kindFrom(const std::vector<std::string>& options) {
    device::Kind kind;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const std::string& option = options[i];
        if (option == "--no-mail-account") {
            kind.mailAccount = false;
        } else if (option == "--no-twitter-account") {
            kind.twitterAccount = false;
        } else if (option == "--arch") {
            if (i + 1 >= options.size() || isOption(options[i + 1])) {
                throw Usage(option + " needs a value");
            }
            if (options[++i] != "arm64") {
                throw Usage("unknown architecture " + options[i] + " (arm64 is the one besides the host's)");
            }
            kind.arm64 = true;
        } else if (option == "--model" || option == "--ios") {
            if (i + 1 >= options.size() || isOption(options[i + 1])) {
                throw Usage(option + " needs a value");
            }
            const std::string& value = options[++i];
            if (option == "--model") {
                kind.model = &device::model(value);
            } else {
                kind.system = &device::systemVersion(value);
            }
        } else {
            throw Usage(option.starts_with("-") ? "unknown option " + option
                                                : "create takes one device root");
        }
    }
    return kind;
}

int dispatch(const std::vector<std::string>& words) {
    if (words.empty()) {
        throw Usage("missing command");
    }
    const std::string& verb = words[0];
    if (verb == "help" || verb == "--help" || verb == "-h") {
        std::fputs(device::kUsage, stdout);
        return 0;
    }
    if (verb == "check-packages") {
        // Run by the device's dpkg, inside the device, with the words it was given: each package
        // file among them is checked as install checks it, whoever started dpkg (apt, say).
        std::vector<fs::path> packages;
        std::error_code ec;
        for (auto word = words.begin() + 1; word != words.end(); ++word) {
            if (word->ends_with(".deb") && fs::is_regular_file(*word, ec)) {
                packages.emplace_back(*word);
            }
        }
        device::checkPackages("/", packages);
        return 0;
    }
    if (verb == "add-source") {
        if (words.size() != 3 || words[2].empty() || isOption(words[2])) {
            throw Usage("add-source takes a device root and a package source folder");
        }
        const std::string name = device::addSource(device::open(words[1]), words[2]);
        std::printf("added the package source %s; run apt-get update inside the device\n", name.c_str());
        return 0;
    }
    if (verb != "create" && verb != "install" && verb != "remove" && verb != "run" && verb != "test") {
        throw Usage("unknown command \"" + verb + "\"");
    }
    if (verb == "test" && words.size() > 1 && (words[1] == "--arch" || words[1] == "--ios")) {
        // The test's device is of the kind the options name; they go before the program.
        std::size_t first = 1;
        while (first + 1 < words.size() && (words[first] == "--arch" || words[first] == "--ios")) {
            first += 2;
        }
        const device::Kind kind = kindFrom({words.begin() + 1, words.begin() + static_cast<long>(first)});
        if (first >= words.size() || words[first].empty() || isOption(words[first])) {
            throw Usage("missing test program");
        }
        return test(words[first], {words.begin() + static_cast<long>(first) + 1, words.end()}, kind);
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (verb == "test") {
        if (rest.empty() || rest[0].empty() || isOption(rest[0])) {
            throw Usage(rest.empty() || rest[0].empty() ? "missing test program"
                                                        : "missing test program before " + rest[0]);
        }
        return test(rest[0], {rest.begin() + 1, rest.end()}, device::Kind{});
    }
    if (verb == "create") {
        const Words sorted = sortWords(
            rest, {{"--no-mail-account", "--no-twitter-account"}, {"--model", "--ios", "--arch"}, {}});
        if (sorted.operands.size() != 1) {
            throw Usage("create takes one device root");
        }
        device::create(sorted.operands[0], kindFrom(sorted.options));
        return 0;
    }
    if (verb == "install") {
        const Words sorted = sortWords(rest, {});
        const fs::path root = device::open(sorted.operands[0]);
        install(root, {sorted.operands.begin() + 1, sorted.operands.end()});
        return 0;
    }
    if (verb == "remove") {
        const Words sorted = sortWords(rest, {});
        if (sorted.operands.size() != 2 || sorted.operands[1].empty()) {
            throw Usage("remove takes a device root and one package name");
        }
        device::removePackage(device::open(sorted.operands[0]), sorted.operands[1]);
        return 0;
    }
    return device::runVerb(rest);
}

} // namespace

int main(int argc, char** argv) { return device::runCommandLine(argc, argv, dispatch); }
