// notify-probe: observes or posts Darwin notifications, for tests that need more than one process.
//
//   notify-probe observe NAME...   prints "ready", then "NAME NANOSECONDS" for each delivery (the
//                                  monotonic clock, which all processes share). Reads commands from
//                                  standard input meanwhile: "count" prints "count N" (deliveries so
//                                  far); "hold" prints "holding" and serves nothing more until a line
//                                  "release", as a busy process would. Ends with its input.
//   notify-probe post NAME [TIMES] posts NAME TIMES times (1 by default), then prints
//                                  "posted TIMES FIRST LAST", the times of the first and last post.
#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDate.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSString.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long deliveries = 0;
bool inputEnded = false;
std::string pending;

void delivered(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
    ++deliveries;
    std::printf("%s %llu\n", objc::send<const char*>(name, objc::Selector<"UTF8String">()),
                static_cast<unsigned long long>(NS::RunLoopInternals::monotonicNow()));
    std::fflush(stdout);
}

// Reads one line from standard input without the run loop; false at the end of input.
bool readLineBlocking(std::string& line) {
    for (;;) {
        if (const auto nl = pending.find('\n'); nl != std::string::npos) {
            line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            return true;
        }
        char chunk[256];
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
    }
}

void handle(const std::string& line) {
    if (line == "count") {
        std::printf("count %ld\n", deliveries);
    } else if (line == "hold") {
        std::printf("holding\n");
        std::fflush(stdout);
        std::string next;
        while (readLineBlocking(next) && next != "release") {
        }
        std::printf("released\n");
    } else {
        std::printf("unknown %s\n", line.c_str());
    }
    std::fflush(stdout);
}

void onInput() {
    char chunk[256];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        inputEnded = true;
        return;
    }
    pending.append(chunk, static_cast<std::size_t>(n));
    for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
        const std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        handle(line);
    }
}

int observe(int count, char** names) {
    CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
    for (int i = 0; i < count; ++i) {
        CFNotificationCenterAddObserver(center, nullptr, delivered, NS::String::string(names[i]), nullptr,
                                        CFNotificationSuspensionBehaviorCoalesce);
    }
    NS::RunLoop* loop = NS::RunLoop::mainRunLoop();
    NS::RunLoopInternals::of(loop)->addFileDescriptor(STDIN_FILENO, onInput);
    std::printf("ready\n");
    std::fflush(stdout);
    while (!inputEnded) {
        NS::AutoreleaseScope pool;
        loop->runModeBeforeDate(NS::DefaultRunLoopMode(), NS::Date::distantFuture());
    }
    CFNotificationCenterRemoveEveryObserver(center, nullptr);
    return 0;
}

int post(const char* name, long times) {
    CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
    NS::String* text = NS::String::string(name);
    const auto first = NS::RunLoopInternals::monotonicNow();
    auto last = first;
    for (long i = 0; i < times; ++i) {
        last = NS::RunLoopInternals::monotonicNow();
        CFNotificationCenterPostNotification(center, text, nullptr, nullptr, true);
    }
    std::printf("posted %ld %llu %llu\n", times, static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(last));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    NS::AutoreleaseScope pool;
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "observe" && argc > 2) {
        return observe(argc - 2, argv + 2);
    }
    if (verb == "post" && (argc == 3 || argc == 4)) {
        const long times = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 1;
        if (times > 0) {
            return post(argv[2], times);
        }
    }
    std::fprintf(stderr, "usage: notify-probe observe NAME...\n       notify-probe post NAME [TIMES]\n");
    return 2;
}
