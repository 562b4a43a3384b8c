#include "HostApp.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "substrate/Loader.hpp"

#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDate.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "dispatch/dispatch.h"
#include "substrate/substrate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace host {
namespace {

constexpr int kUsageStatus = 2;
// The longest wait the main run loop counts; one beyond it would never end.
constexpr double kLongestWait = 1e9;

void flushOutput() {
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

// Runs the main run loop until standard input has something to read (or has ended), so that
// timers, main-queue work and notifications are served while a script waits for its next line.
void waitForInput() {
    struct stat st {};
    // A file never blocks, nor does a device other than a terminal (/dev/null); neither can be
    // watched. A closed descriptor reads as the end.
    if (fstat(STDIN_FILENO, &st) != 0 || S_ISREG(st.st_mode) ||
        (S_ISCHR(st.st_mode) && isatty(STDIN_FILENO) == 0)) {
        return;
    }
    NS::RunLoop* loop = NS::RunLoop::mainRunLoop();
    bool ready = false;
    const int source =
        NS::RunLoopInternals::of(loop)->addFileDescriptor(STDIN_FILENO, [&ready] { ready = true; });
    if (source < 0) {
        return; // the read blocks instead
    }
    while (!ready) {
        NS::AutoreleaseScope pool;
        loop->runModeBeforeDate(NS::DefaultRunLoopMode(), NS::Date::distantFuture());
    }
    NS::RunLoopInternals::of(loop)->removeSource(source);
}

} // namespace

std::optional<double> parseAmount(const std::string& text) {
    std::size_t used = 0;
    double amount = -1;
    try {
        amount = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(amount) || amount < 0) {
        return std::nullopt;
    }
    return amount;
}

double parseSeconds(const std::string& text) {
    if (auto seconds = parseAmount(text)) {
        return *seconds;
    }
    throw UsageError("not a number of seconds: \"" + text + "\"");
}

Args splitWords(const std::string& line) {
    Args words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                word += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        throw UsageError("unterminated quote in: " + line);
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

HostApp::HostApp(std::string bundleIdentifier) : bundleIdentifier_(std::move(bundleIdentifier)) {
    addCommand({"wait", "wait SECONDS", [](const Args& args) {
                    if (args.size() != 1) {
                        throw UsageError("wait takes one number of seconds");
                    }
                    const double seconds = parseSeconds(args[0]);
                    if (seconds > kLongestWait) {
                        throw UsageError("wait takes at most " +
                                         std::to_string(static_cast<long long>(kLongestWait)) +
                                         " seconds, not " + args[0]);
                    }
                    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(seconds);
                    return 0;
                }});
    addCommand({"echo", "echo [WORD...]", [](const Args& args) {
                    std::string text;
                    for (const std::string& a : args) {
                        text += (text.empty() ? "" : " ") + a;
                    }
                    std::cout << text << "\n";
                    return 0;
                }});
    addCommand({"after", "after SECONDS [WORD...]", [](const Args& args) {
                    if (args.empty()) {
                        throw UsageError("after takes a number of seconds");
                    }
                    const double seconds = parseSeconds(args[0]);
                    std::string text;
                    for (auto it = args.begin() + 1; it != args.end(); ++it) {
                        text += (text.empty() ? "" : " ") + *it;
                    }
                    const std::uint64_t start = NS::RunLoopInternals::monotonicNow();
                    // The words appear from the main queue with the time that really passed, in whole
                    // microseconds rounded down, so that the output never hides an early run.
                    // Whole nanoseconds rounded up; a delay beyond their range is never.
                    const double nanoseconds = std::ceil(seconds * 1e9);
                    const dispatch_time_t due =
                        nanoseconds >= 0x1p63
                            ? DISPATCH_TIME_FOREVER
                            : dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(nanoseconds));
                    dispatch_after(due, dispatch_get_main_queue(), [text, start] {
                        const unsigned long long us = (NS::RunLoopInternals::monotonicNow() - start) / 1000;
                        char took[64];
                        std::snprintf(took, sizeof took, "%llu.%06llu", us / 1000000, us % 1000000);
                        std::cout << text << " (after " << took << " s)" << std::endl;
                    });
                    return 0;
                }});
    addCommand({"help", "help", [this](const Args&) {
                    printCommands();
                    return 0;
                }});
    addCommand({"script", "script  (commands from standard input, one a line)", [this](const Args& args) {
                    if (!args.empty()) {
                        throw UsageError("script takes no words; it reads its commands from standard input");
                    }
                    if (inScript_) {
                        throw UsageError("a script cannot start another script");
                    }
                    return runScript();
                }});
}

void HostApp::addCommand(Command command) {
    auto it = std::find_if(commands_.begin(), commands_.end(),
                           [&](const Command& c) { return c.name == command.name; });
    if (it != commands_.end()) {
        *it = std::move(command);
    } else {
        commands_.push_back(std::move(command));
    }
}

const Command* HostApp::find(const std::string& name) const {
    auto it =
        std::find_if(commands_.begin(), commands_.end(), [&](const Command& c) { return c.name == name; });
    return it != commands_.end() ? &*it : nullptr;
}

void HostApp::printUsage(const Command& command) const {
    std::cerr << "usage: " << program_ << " " << command.usage << "\n";
}

void HostApp::printCommands() const {
    std::cout << program_ << " (" << bundleIdentifier_ << ") commands:\n";
    for (const Command& c : commands_) {
        std::cout << "  " << c.usage << "\n";
    }
}

int HostApp::runCommand(const Args& words) {
    if (words.empty()) {
        return 0;
    }
    const Command* command = find(words[0]);
    int status = kUsageStatus;
    if (command == nullptr) {
        std::cerr << program_ << ": unknown command \"" << words[0] << "\"\n";
        std::cerr << "usage: " << program_ << " COMMAND [WORD...]; `help` lists the commands\n";
    } else {
        NS::AutoreleaseScope pool;
        try {
            status = command->run(Args(words.begin() + 1, words.end()));
        } catch (const UsageError& e) {
            std::cerr << program_ << ": " << e.what() << "\n";
            printUsage(*command);
            status = kUsageStatus;
        } catch (const std::exception& e) {
            std::cerr << program_ << ": " << words[0] << ": " << e.what() << "\n";
            status = 1;
        }
    }
    flushOutput();
    return status;
}

int HostApp::runScript() {
    inScript_ = true;
    bool failed = false;
    std::string pending;
    bool ended = false;
    while (!ended || !pending.empty()) {
        auto newline = pending.find('\n');
        if (newline == std::string::npos && !ended) {
            flushOutput();
            waitForInput();
            char chunk[4096];
            const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
            if (n > 0) {
                pending.append(chunk, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ended = true;
            }
            continue;
        }
        if (newline == std::string::npos) {
            newline = pending.size(); // a last line without its newline
        }
        const std::string line = pending.substr(0, newline);
        pending.erase(0, std::min(newline + 1, pending.size()));

        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        ++scriptCommands_;
        int status;
        try {
            status = runCommand(splitWords(line));
        } catch (const UsageError& e) {
            std::cerr << program_ << ": " << e.what() << "\n";
            status = kUsageStatus;
        }
        failed = failed || status != 0;
    }
    inScript_ = false;
    flushOutput();
    return failed ? 1 : 0;
}

void HostApp::atEnd(std::function<void()> done) { atEnd_.push_back(std::move(done)); }

int HostApp::main(int argc, char** argv) {
    const int status = mainWithoutEnd(argc, argv);
    for (const auto& done : atEnd_) {
        NS::AutoreleaseScope pool;
        done();
    }
    flushOutput();
    return status;
}

int HostApp::mainWithoutEnd(int argc, char** argv) {
    const std::string invoked = argc > 0 && argv[0] != nullptr ? argv[0] : "host";
    program_ = invoked.substr(invoked.rfind('/') + 1);
    // Line by line even into a pipe: what callbacks print during a wait is seen as it happens.
    std::fflush(stdout);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    NS::AutoreleaseScope pool;
    NS::RunLoop::mainRunLoop();

    MSLoadDynamicLibraries();

    if (argc < 2) {
        scriptCommands_ = 0;
        const int status = runCommand({"script"});
        if (scriptCommands_ == 0) {
            // Nothing on the command line and nothing on standard input: nothing was asked for.
            std::cerr << program_ << ": no command given, and standard input held none\n";
            std::cerr << "usage: " << program_ << " COMMAND [WORD...]; `help` lists the commands\n";
            flushOutput();
            return kUsageStatus;
        }
        return status;
    }
    return runCommand(Args(argv + 1, argv + argc));
}

} // namespace host
