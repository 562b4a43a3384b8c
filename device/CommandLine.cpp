#include "CommandLine.hpp"

#include "Packages.hpp"
#include "Sandbox.hpp"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace device {

const char* const kUsage =
    "usage: glintmere-device create ROOT [--model MODEL] [--ios VERSION] [--arch arm64]\n"
    "                                     [--no-mail-account] [--no-twitter-account]\n"
    "       glintmere-device install ROOT [PACKAGE.deb...]\n"
    "       glintmere-device remove ROOT PACKAGE\n"
    "       glintmere-device add-source ROOT FOLDER\n"
    "       glintmere-device run ROOT [--as-root] -- CMD [ARG...]\n"
    "       glintmere-device test [--arch arm64] [--ios VERSION] BINARY [ARG...]\n"
    "A verb's options go before or after ROOT; a test's go before BINARY, whose own follow it.\n";

bool isOption(const std::string& word) { return word.starts_with("-"); }

bool among(const std::vector<std::string>& names, const std::string& word) {
    return std::find(names.begin(), names.end(), word) != names.end();
}

Words sortWords(const std::vector<std::string>& words, const Grammar& grammar) {
    Words sorted;
    const bool runsCommand = grammar.wordsBeforeCommand.has_value();
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (runsCommand && word == "--") {
            if (sorted.operands.size() < *grammar.wordsBeforeCommand) {
                throw Usage("missing device root before --");
            }
            sorted.command.assign(words.begin() + static_cast<long>(i) + 1, words.end());
            break;
        }
        if (isOption(word)) {
            if (among(grammar.flags, word)) {
                sorted.options.push_back(word);
            } else if (among(grammar.valued, word)) {
                if (i + 1 >= words.size() || isOption(words[i + 1])) {
                    throw Usage(word + " needs a value");
                }
                sorted.options.push_back(word);
                sorted.options.push_back(words[++i]);
            } else {
                throw Usage("unknown option " + word +
                            (runsCommand ? " (a command that starts with - goes after --)" : ""));
            }
            continue;
        }
        if (runsCommand && sorted.operands.size() == *grammar.wordsBeforeCommand) {
            sorted.command.assign(words.begin() + static_cast<long>(i), words.end());
            break;
        }
        sorted.operands.push_back(word);
    }
    if (sorted.operands.empty() || sorted.operands.front().empty()) {
        throw Usage("missing device root");
    }
    return sorted;
}

int runVerb(const std::vector<std::string>& rest) {
    // As the device's root, as dpkg runs, with --as-root: a package manager run by hand owns what it
    // unpacks to root, as on the phone. It is still confined to the device, with no capability.
    const Words sorted = sortWords(rest, {{"--as-root"}, {}, 1});
    auto identity = Identity::Caller;
    if (among(sorted.options, "--as-root")) {
        identity = Identity::DeviceRoot;
        setenv("PATH", dpkgPath().c_str(), 1);
    }
    if (sorted.command.empty()) {
        throw Usage("missing command to run in the device");
    }
    const fs::path root = open(sorted.operands[0]);
    return run(root, sorted.command, identity);
}

int runCommandLine(int argc, char** argv, int (*dispatch)(const std::vector<std::string>& words)) {
    constexpr int kUsageError = 2;
    constexpr int kFailure = 1;
    try {
        return dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Usage& e) {
        std::fprintf(stderr, "glintmere-device: %s\n%s", e.what(), kUsage);
        return kUsageError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glintmere-device: %s\n", e.what());
        return kFailure;
    }
}

} // namespace device
