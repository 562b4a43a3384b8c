// glintmere-device: runs programs inside simulated devices, and hands every other verb (making,
// filling and changing devices) to glintmere-device-setup beside it, so that a run starts light.
#include "CommandLine.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The setup program takes the same words, and is the whole tool.
[[noreturn]] void handOver(const std::vector<std::string>& words) {
    const std::filesystem::path setup = device::setupProgram();
    std::vector<std::string> args = {setup.string()};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv(setup.c_str(), argv.data());
    throw device::Error("cannot start " + setup.string() + ": " + std::strerror(errno));
}

int dispatch(const std::vector<std::string>& words) {
    const std::string verb = words.empty() ? std::string() : words[0];
    if (verb == "help" || verb == "--help" || verb == "-h") {
        std::fputs(device::kUsage, stdout);
        return 0;
    }
    if (verb != "run") {
        handOver(words);
    }
    return device::runVerb({words.begin() + 1, words.end()});
}

} // namespace

int main(int argc, char** argv) { return device::runCommandLine(argc, argv, dispatch); }
