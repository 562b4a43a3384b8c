#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSRunLoopInternals.hpp"

#include "Foundation/Foundation.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }
NS::RunLoop* mainLoop() { return NS::RunLoop::mainRunLoop(); }
CFNotificationCenterRef darwin() { return CFNotificationCenterGetDarwinNotifyCenter(); }

// What one observer saw.
struct Seen {
    int count = 0;
    std::string name;
    CFNotificationCenterRef center = nullptr;
    bool payloadEmpty = true;
    pid_t thread = 0;
    std::vector<std::uint64_t> at;
};

void record(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
            CFDictionaryRef userInfo) {
    auto* seen = static_cast<Seen*>(observer);
    ++seen->count;
    seen->name = name->utf8String();
    seen->center = center;
    seen->payloadEmpty = seen->payloadEmpty && object == nullptr && userInfo == nullptr;
    seen->thread = gettid();
    seen->at.push_back(now());
}

void recordAgain(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
                 CFDictionaryRef userInfo) {
    record(center, observer, name, object, userInfo);
}

void observe(Seen& seen, const char* name, CFNotificationCallback callback = &record) {
    CFNotificationCenterAddObserver(darwin(), &seen, callback, NS::String::string(name), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
}

void post(const char* name) {
    CFNotificationCenterPostNotification(darwin(), NS::String::string(name), nullptr, nullptr, true);
}

// Runs the main loop until `done` holds or `seconds` have passed.
bool runUntil(const std::function<bool()>& done, double seconds) {
    const std::uint64_t limit = now() + static_cast<std::uint64_t>(seconds * 1e9);
    while (!done() && now() < limit) {
        NS::RunLoopInternals::of(mainLoop())->runFor(0.01);
    }
    return done();
}

class DarwinNotificationTest : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
};

TEST_F(DarwinNotificationTest, PostReachesObserverInTheSameProcessOnTheMainLoop) {
    Seen seen;
    observe(seen, "com.brightmoth.glintmere/settingschanged");
    post("com.brightmoth.glintmere/settingschanged");
    EXPECT_EQ(seen.count, 0) << "delivered inside the post rather than on the run loop";
    EXPECT_TRUE(runUntil([&] { return seen.count > 0; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.name, "com.brightmoth.glintmere/settingschanged");
    EXPECT_EQ(seen.center, darwin());
    EXPECT_TRUE(seen.payloadEmpty);
    EXPECT_EQ(seen.thread, getpid());
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

TEST_F(DarwinNotificationTest, OnlyObserversOfThePostedNameAreCalled) {
    Seen slash, escapedLookalike, other;
    observe(slash, "test.names/a");
    observe(escapedLookalike, "test.names%2Fa");
    observe(other, "test.names.b");
    post("test.names/a");
    EXPECT_TRUE(runUntil([&] { return slash.count > 0; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(slash.count, 1);
    EXPECT_EQ(escapedLookalike.count, 0);
    EXPECT_EQ(other.count, 0);
    for (Seen* s : {&slash, &escapedLookalike, &other}) {
        CFNotificationCenterRemoveEveryObserver(darwin(), s);
    }
}

TEST_F(DarwinNotificationTest, LongAndOddNamesStillArrive) {
    const std::string longName = "test.long." + std::string(300, 'x') + "/end";
    Seen seen, dotted;
    observe(seen, longName.c_str());
    observe(dotted, "..");
    post(longName.c_str());
    post("..");
    EXPECT_TRUE(runUntil([&] { return seen.count > 0 && dotted.count > 0; }, 5.0));
    EXPECT_EQ(seen.name, longName);
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
    CFNotificationCenterRemoveEveryObserver(darwin(), &dotted);
}

TEST_F(DarwinNotificationTest, MissingNameCallbackOrCentreIsRefused) {
    Seen seen;
    CFNotificationCenterAddObserver(darwin(), &seen, &record, nullptr, nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    CFNotificationCenterAddObserver(darwin(), &seen, &record, NS::String::string(""), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    CFNotificationCenterAddObserver(darwin(), &seen, nullptr, NS::String::string("test.refused"), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    CFNotificationCenterAddObserver(nullptr, &seen, &record, NS::String::string("test.refused"), nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    CFNotificationCenterPostNotification(darwin(), nullptr, nullptr, nullptr, true);
    CFNotificationCenterPostNotification(nullptr, NS::String::string("test.refused"), nullptr, nullptr, true);
    post("test.refused");
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(seen.count, 0);
}

TEST_F(DarwinNotificationTest, RemovedObserversAreNoLongerCalled) {
    Seen seen, stays;
    observe(seen, "test.remove.a");
    observe(seen, "test.remove.b");
    observe(stays, "test.remove.a");
    post("test.remove.a");
    EXPECT_TRUE(runUntil([&] { return seen.count == 1 && stays.count == 1; }, 5.0));

    CFNotificationCenterRemoveObserver(darwin(), &seen, NS::String::string("test.remove.a"), nullptr);
    post("test.remove.a");
    post("test.remove.b");
    EXPECT_TRUE(runUntil([&] { return stays.count == 2 && seen.count == 2; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(seen.count, 2) << "still called for the removed name";
    EXPECT_EQ(seen.name, "test.remove.b");

    CFNotificationCenterRemoveObserver(darwin(), &seen, nullptr, nullptr);
    post("test.remove.b");
    post("test.remove.a");
    EXPECT_TRUE(runUntil([&] { return stays.count == 3; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(seen.count, 2);
    CFNotificationCenterRemoveEveryObserver(darwin(), &stays);
}

Seen* removeTarget = nullptr;
void removeOtherThenRecord(CFNotificationCenterRef center, void* observer, CFStringRef name,
                           const void* object, CFDictionaryRef userInfo) {
    CFNotificationCenterRemoveEveryObserver(center, removeTarget);
    record(center, observer, name, object, userInfo);
}

TEST_F(DarwinNotificationTest, ObserverRemovedDuringADeliveryIsSkipped) {
    Seen first, second;
    removeTarget = &second;
    observe(first, "test.remove.during", &removeOtherThenRecord);
    observe(second, "test.remove.during");
    post("test.remove.during");
    EXPECT_TRUE(runUntil([&] { return first.count == 1; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(second.count, 0);
    CFNotificationCenterRemoveEveryObserver(darwin(), &first);
}

TEST_F(DarwinNotificationTest, RegistrationsCountOncePerObserverCallbackAndName) {
    Seen seen;
    observe(seen, "test.twice");
    observe(seen, "test.twice");
    observe(seen, "test.twice", &recordAgain);
    post("test.twice");
    EXPECT_TRUE(runUntil([&] { return seen.count >= 2; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(seen.count, 2);
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

TEST_F(DarwinNotificationTest, BurstWhileTheObserverIsBusyIsDeliveredOnce) {
    constexpr int posts = 5000;
    Seen seen;
    observe(seen, "test.burst.busy");
    // The main loop does not run during the burst, as when the observer's process is busy.
    for (int i = 0; i < posts; ++i) {
        NS::AutoreleaseScope inner;
        post("test.burst.busy");
    }
    EXPECT_TRUE(runUntil([&] { return seen.count > 0; }, 5.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(seen.count, 1);
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

void recordSlowly(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
                  CFDictionaryRef userInfo) {
    record(center, observer, name, object, userInfo);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
}

TEST_F(DarwinNotificationTest, SlowObserverKeepsUpWithABurstAndSeesTheLastPost) {
    constexpr int posts = 3000;
    Seen seen;
    observe(seen, "test.burst.slow", &recordSlowly);
    std::atomic<std::uint64_t> lastPostStart{0};
    std::atomic<bool> finished{false};
    std::thread poster([&] {
        for (int i = 0; i < posts; ++i) {
            if (i == posts - 1) {
                lastPostStart = now();
            }
            NS::AutoreleaseScope inner;
            post("test.burst.slow");
        }
        finished = true;
    });
    const bool delivered = runUntil(
        [&] { return finished.load() && !seen.at.empty() && seen.at.back() >= lastPostStart.load(); }, 30.0);
    poster.join();
    EXPECT_TRUE(delivered) << "no delivery followed the last post";
    EXPECT_LT(seen.count, posts / 2) << "posts were queued rather than coalesced";
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

TEST_F(DarwinNotificationTest, AFloodOfTwoNamesReachesTheirObserversAFewTimesAndNoOther) {
    Seen a, b, quiet;
    observe(a, "test.flood.a");
    observe(b, "test.flood.b");
    observe(quiet, "test.flood.quiet");
    // Alternating names, far more posts than any queue holds, while the loop does not run.
    for (int i = 0; i < 2000; ++i) {
        NS::AutoreleaseScope inner;
        post(i % 2 == 0 ? "test.flood.a" : "test.flood.b");
    }
    EXPECT_TRUE(runUntil([&] { return a.count > 0 && b.count > 0; }, 10.0));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_LE(a.count, 4);
    EXPECT_LE(b.count, 4);
    EXPECT_EQ(quiet.count, 0) << "an unposted name was delivered";
    for (Seen* s : {&a, &b, &quiet}) {
        CFNotificationCenterRemoveEveryObserver(darwin(), s);
    }
}

const fs::path notifyFolder = "/private/var/run/notifyd";

std::size_t entriesIn(const fs::path& folder) {
    std::error_code ec;
    std::size_t n = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        ++n;
    }
    return n;
}

TEST_F(DarwinNotificationTest, ALinkInPlaceOfTheNotificationFolderIsNeverFollowed) {
    const fs::path target = "/tmp/notify-link-target";
    const fs::path aside = "/private/var/run/notifyd.aside";
    fs::remove_all(target);
    fs::create_directories(target);
    fs::create_directories(notifyFolder);
    fs::rename(notifyFolder, aside);
    fs::create_directory_symlink(target, notifyFolder);

    Seen seen;
    observe(seen, "test.link.folder");
    post("test.link.folder");
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(entriesIn(target), 0u) << "a post or an observer wrote through the link";
    EXPECT_EQ(seen.count, 0);
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);

    fs::remove(notifyFolder);
    fs::rename(aside, notifyFolder);
    fs::remove_all(target);
}

TEST_F(DarwinNotificationTest, LinksInsideTheNotificationFolderAreNeverFollowed) {
    Seen real;
    observe(real, "test.link.real");
    const fs::path realFolder = notifyFolder / "test.link.real";
    ASSERT_EQ(entriesIn(realFolder), 1u);
    const fs::path socket = fs::directory_iterator(realFolder)->path();

    // A name whose folder is a link to the real one, and a name whose folder holds a link to its socket.
    fs::create_directory_symlink(realFolder, notifyFolder / "test.link.byname");
    fs::create_directories(notifyFolder / "test.link.entry");
    fs::create_symlink(socket, notifyFolder / "test.link.entry" / "planted");
    post("test.link.byname");
    post("test.link.entry");
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(real.count, 0) << "a post went through a link";
    EXPECT_TRUE(fs::is_symlink(notifyFolder / "test.link.entry" / "planted"));

    post("test.link.real");
    EXPECT_TRUE(runUntil([&] { return real.count > 0; }, 5.0));
    CFNotificationCenterRemoveEveryObserver(darwin(), &real);
    EXPECT_EQ(entriesIn(realFolder), 0u) << "the socket outlived its last observer";
    fs::remove(notifyFolder / "test.link.byname");
    fs::remove_all(notifyFolder / "test.link.entry");
}

TEST_F(DarwinNotificationTest, ObserverAddedOnAnotherThreadIsCalledOnTheMainThread) {
    Seen seen;
    std::thread([&] {
        NS::AutoreleaseScope inner;
        observe(seen, "test.thread");
        post("test.thread");
    }).join();
    EXPECT_TRUE(runUntil([&] { return seen.count > 0; }, 5.0));
    EXPECT_EQ(seen.thread, getpid());
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

// A socket bound by hand in a name's folder, as an observer binds one, to count exactly what posts
// send to it.
class HandSocket {
  public:
    explicit HandSocket(const fs::path& path) : path_(path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    HandSocket(const HandSocket&) = delete;
    HandSocket& operator=(const HandSocket&) = delete;
    ~HandSocket() { shut(); }
    bool bound() const { return bound_; }
    ino_t inode() const {
        struct stat st {};
        return lstat(path_.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    // The datagrams queued since the last call.
    int received() {
        int n = 0;
        char byte;
        while (recv(fd_, &byte, sizeof byte, MSG_DONTWAIT) >= 0) {
            ++n;
        }
        return n;
    }
    // As when its process dies: the socket is gone, its file stays.
    void shut() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    fs::path path_;
    int fd_ = -1;
    bool bound_ = false;
};

fs::path freshNameFolder(const char* name) {
    const fs::path folder = notifyFolder / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST_F(DarwinNotificationTest, EveryPostReachesEachSocketListedExactlyOnceIncludingOnesBoundSinceTheLast) {
    const fs::path folder = freshNameFolder("test.exact");
    HandSocket first(folder / "first");
    ASSERT_TRUE(first.bound());
    post("test.exact");
    post("test.exact");
    EXPECT_EQ(first.received(), 2);

    HandSocket second(folder / "second");
    ASSERT_TRUE(second.bound());
    post("test.exact");
    EXPECT_EQ(first.received(), 1);
    EXPECT_EQ(second.received(), 1) << "a socket bound after a post was not reached by the next";

    // Posts from several threads at once: each still sends once to each socket.
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([] {
            NS::AutoreleaseScope inner;
            post("test.exact");
            post("test.exact");
        });
    }
    for (std::thread& t : posters) {
        t.join();
    }
    EXPECT_EQ(first.received(), 8);
    EXPECT_EQ(second.received(), 8);
    fs::remove_all(folder);
}

TEST_F(DarwinNotificationTest, MoreSocketsThanAPosterKeepsConnectedAreEachReachedOncePerPost) {
    const fs::path folder = freshNameFolder("test.many");
    std::vector<std::unique_ptr<HandSocket>> sockets;
    for (int i = 0; i < 300; ++i) {
        sockets.push_back(std::make_unique<HandSocket>(folder / ("s" + std::to_string(i))));
        ASSERT_TRUE(sockets.back()->bound());
    }
    for (int round = 0; round < 3; ++round) {
        post("test.many");
        int reachedOnce = 0;
        for (auto& socket : sockets) {
            reachedOnce += socket->received() == 1 ? 1 : 0;
        }
        EXPECT_EQ(reachedOnce, 300) << "round " << round;
    }
    sockets.clear();
    post("test.many");
    EXPECT_EQ(entriesIn(folder), 0u) << "the closed sockets stayed";
    fs::remove_all(folder);
}

TEST_F(DarwinNotificationTest, APosterOutOfDescriptorsRemovesNoLiveSocket) {
    const fs::path folder = freshNameFolder("test.nofd");
    HandSocket live(folder / "live");
    ASSERT_TRUE(live.bound());
    // One descriptor left: the post opens the folder, and nothing more.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        tight.rlim_cur = std::max<rlim_t>(tight.rlim_cur, std::stoul(entry.path().filename().string()) + 8);
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
        fillers.push_back(fd);
    }
    close(fillers.back());
    fillers.pop_back();
    post("test.nofd");
    for (int fd : fillers) {
        close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(fs::exists(fs::symlink_status(folder / "live"))) << "a live observer's socket was removed";
    post("test.nofd");
    EXPECT_GE(live.received(), 1);
    fs::remove_all(folder);
}

TEST_F(DarwinNotificationTest, ASocketThatDiedIsRemovedAndWhateverTakesItsNameIsReached) {
    const fs::path folder = freshNameFolder("test.reborn");
    auto old = std::make_unique<HandSocket>(folder / "a");
    ASSERT_TRUE(old->bound());
    post("test.reborn");
    EXPECT_EQ(old->received(), 1);

    // Its process died: the next post removes its file.
    old->shut();
    post("test.reborn");
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "a")));

    // A new socket under the same name, then another after the last one went away by itself; the
    // file system may give it the inode number the last one had.
    auto next = std::make_unique<HandSocket>(folder / "a");
    ASSERT_TRUE(next->bound());
    post("test.reborn");
    EXPECT_EQ(next->received(), 1);
    const ino_t inode = next->inode();
    next.reset();
    fs::remove(folder / "a");
    HandSocket again(folder / "a");
    ASSERT_TRUE(again.bound());
    post("test.reborn");
    EXPECT_EQ(again.received(), 1) << (again.inode() == inode ? "same inode number" : "new inode number");
    post("test.reborn");
    EXPECT_EQ(again.received(), 1);
    fs::remove_all(folder);
}

TEST_F(DarwinNotificationTest, ASocketThatLeavesTheFolderHearsAtMostOneMorePostAndNoneThroughALink) {
    const fs::path folder = freshNameFolder("test.link.known");
    const fs::path aside = notifyFolder / "test.link.known.aside";
    fs::remove(aside);
    HandSocket known(folder / "known");
    ASSERT_TRUE(known.bound());
    post("test.link.known");
    EXPECT_EQ(known.received(), 1);

    // Renamed inside the folder, it is still reached once per post.
    fs::rename(folder / "known", folder / "renamed");
    post("test.link.known");
    post("test.link.known");
    EXPECT_EQ(known.received(), 2);
    fs::rename(folder / "renamed", folder / "known");

    // The socket leaves the folder, and a link under its old name points at it: the post that finds
    // it gone may still reach it, no later one does.
    fs::rename(folder / "known", aside);
    fs::create_symlink(aside, folder / "known");
    post("test.link.known");
    EXPECT_LE(known.received(), 1);
    post("test.link.known");
    post("test.link.known");
    EXPECT_EQ(known.received(), 0) << "a post followed a link";
    EXPECT_TRUE(fs::is_symlink(folder / "known"));

    // Back in place, it is reached again.
    fs::remove(folder / "known");
    fs::rename(aside, folder / "known");
    post("test.link.known");
    EXPECT_EQ(known.received(), 1);

    // Another live socket takes its name while it lives on elsewhere: the name's holder is reached.
    const fs::path newcomerPath = notifyFolder / "test.link.known.newcomer";
    fs::remove(newcomerPath);
    HandSocket newcomer(newcomerPath);
    ASSERT_TRUE(newcomer.bound());
    fs::rename(folder / "known", aside);
    fs::rename(newcomerPath, folder / "known");
    post("test.link.known");
    EXPECT_EQ(newcomer.received(), 1);
    EXPECT_LE(known.received(), 1);
    post("test.link.known");
    EXPECT_EQ(newcomer.received(), 1);
    EXPECT_EQ(known.received(), 0) << "posts still reach a socket no longer in the folder";
    fs::remove(aside);
    fs::remove_all(folder);
}

// Another process: this test binary again, told through its environment to post or to observe.
int runChild(const char* role, const char* name) {
    std::string variable = std::string("NOTIFICATION_TEST_") + role + "=" + name;
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    env.push_back(variable.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, env.data()) != 0) {
        return -1;
    }
    return pid;
}

int waitChild(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(DarwinNotificationTest, PostFromAnotherProcessArrives) {
    Seen seen;
    observe(seen, "test.process.in");
    const pid_t child = runChild("POST", "test.process.in");
    ASSERT_GT(child, 0);
    EXPECT_EQ(waitChild(child), 0);
    EXPECT_TRUE(runUntil([&] { return seen.count > 0; }, 5.0));
    CFNotificationCenterRemoveEveryObserver(darwin(), &seen);
}

TEST_F(DarwinNotificationTest, PostReachesAnotherProcess) {
    const pid_t child = runChild("OBSERVE", "test.process.out");
    ASSERT_GT(child, 0);
    // The child says when it observes by posting back; until then a post could come too early.
    Seen ready;
    observe(ready, "test.process.out.ready");
    ASSERT_TRUE(runUntil([&] { return ready.count > 0; }, 10.0));
    post("test.process.out");
    EXPECT_EQ(waitChild(child), 0) << "the other process did not receive the post";
    CFNotificationCenterRemoveEveryObserver(darwin(), &ready);
}

TEST_F(DarwinNotificationTest, AnObserverThatDiedIsCleanedUpByTheNextPost) {
    const pid_t child = runChild("OBSERVE", "test.process.died");
    ASSERT_GT(child, 0);
    Seen ready;
    observe(ready, "test.process.died.ready");
    ASSERT_TRUE(runUntil([&] { return ready.count > 0; }, 10.0));
    CFNotificationCenterRemoveEveryObserver(darwin(), &ready);
    kill(child, SIGKILL);
    EXPECT_EQ(waitChild(child), 128 + SIGKILL);

    const fs::path folder = notifyFolder / "test.process.died";
    EXPECT_EQ(entriesIn(folder), 1u) << "the observer's socket";
    post("test.process.died");
    EXPECT_EQ(entriesIn(folder), 0u) << "the dead observer's socket stayed";
}

TEST_F(DarwinNotificationTest, ObserversThatStartAfterAPostAreReachedAndThoseThatDiedAreRemoved) {
    const char* name = "test.process.later";
    const fs::path folder = notifyFolder / name;
    Seen ready;
    observe(ready, "test.process.later.ready");
    for (int round = 1; round <= 3; ++round) {
        // Each observer sees one post and exits without removing its socket, as a killed one would.
        const pid_t child = runChild("OBSERVE", name);
        ASSERT_GT(child, 0);
        ASSERT_TRUE(runUntil([&] { return ready.count == round; }, 10.0));
        post(name);
        EXPECT_EQ(waitChild(child), 0) << "observer " << round << " did not receive the post";
        EXPECT_EQ(entriesIn(folder), 1u) << "the sockets of earlier observers stayed";
    }
    post(name);
    EXPECT_EQ(entriesIn(folder), 0u) << "the last observer's socket stayed";
    CFNotificationCenterRemoveEveryObserver(darwin(), &ready);
}

// The other side of the two tests above, run before any test when the environment asks for it.
int childMain() {
    NS::AutoreleaseScope pool;
    if (const char* name = std::getenv("NOTIFICATION_TEST_POST")) {
        post(name);
        return 0;
    }
    const char* name = std::getenv("NOTIFICATION_TEST_OBSERVE");
    Seen seen;
    observe(seen, name);
    post((std::string(name) + ".ready").c_str());
    return runUntil([&] { return seen.count > 0; }, 10.0) ? 0 : 1;
}

[[maybe_unused]] const bool childRole = [] {
    if (std::getenv("NOTIFICATION_TEST_POST") != nullptr ||
        std::getenv("NOTIFICATION_TEST_OBSERVE") != nullptr) {
        std::_Exit(childMain());
    }
    return false;
}();

TEST(CoreFoundationBase, VersionNumberAndConstantStrings) {
    // The tests run in a default device: an 8.4 system.
    EXPECT_DOUBLE_EQ(kCFCoreFoundationVersionNumber, 1145.15);
    CFStringRef a = CFSTR("com.brightmoth.glintmere");
    EXPECT_EQ(a, CFSTR("com.brightmoth.glintmere"));
    EXPECT_STREQ(a->utf8String(), "com.brightmoth.glintmere");
    EXPECT_NE(CFSTR("other"), a);
}

} // namespace
