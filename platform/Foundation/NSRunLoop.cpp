#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"

#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDate.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSTimer.hpp"
#include "Foundation/RunLoopInternal.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace NS::detail {

struct FdSource {
    int fd;
    std::function<void()> onReadable;
};

// A timer (owned reference) or a piece of scheduled work.
struct Entry {
    Timer* timer = nullptr;
    std::function<void()> work;
};

struct LoopState {
    pid_t tid = 0;
    int epfd = -1;
    int wakefd = -1; // epoll data 0; sources count from 1
    std::map<DueKey, Entry> queue;
    std::map<int, std::shared_ptr<FdSource>> sources;
    int nextSourceId = 1;
    int backgroundWork = 0; // begun for this loop on other threads and not yet ended
};

std::mutex& scheduleMutex() {
    static std::mutex mutex;
    return mutex;
}

namespace {

// Order of scheduling, across all loops; a tie-breaker between equal due times.
std::atomic<std::uint64_t> nextSeq{1};

constexpr std::uint64_t farFuture = ~0ull / 2;

LoopState* loopState(const RunLoop* loop) {
    return static_cast<LoopState*>(objc::ivar(loop, NS::RunLoopInternals::_state));
}

pid_t currentTid() { return static_cast<pid_t>(gettid()); }

void wake(LoopState* state) {
    std::uint64_t one = 1;
    // A full counter already means a pending wake-up; nothing more is needed.
    [[maybe_unused]] ssize_t n = write(state->wakefd, &one, sizeof one);
}

void drainWake(LoopState* state) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = read(state->wakefd, &count, sizeof count);
}

std::uint64_t deadlineOf(objc::Ptr<Date> date) { return dueAfter(date->timeIntervalSinceNow()); }

// The next fire time of a repeating timer after one that was due at `due`: the first multiple of
// the interval past `now`, so a loop that fell behind fires once rather than catching up.
std::uint64_t nextRepeat(const TimerState* timer, std::uint64_t now) {
    auto step = static_cast<std::uint64_t>(timer->interval * 1e9);
    step = std::max<std::uint64_t>(step, 1);
    if (timer->due > farFuture - step) {
        return farFuture;
    }
    std::uint64_t next = timer->due + step;
    if (next <= now) {
        next += ((now - next) / step + 1) * step;
    }
    return next;
}

// Runs every entry that is due now and was scheduled before this call. Entries scheduled by the
// callouts wait for the next pass, so that work which schedules more work cannot starve the loop.
void runDue(LoopState* state) {
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    const std::uint64_t seqLimit = nextSeq.load();
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(scheduleMutex());
            auto it = state->queue.begin();
            while (it != state->queue.end() && it->first.due <= now && it->first.seq >= seqLimit) {
                ++it;
            }
            if (it == state->queue.end() || it->first.due > now) {
                break;
            }
            entry = std::move(it->second);
            state->queue.erase(it);
            if (entry.timer != nullptr) {
                // A repeating timer goes back in line before its callout, which may invalidate it.
                TimerState* timer = timerState(entry.timer);
                if (timer->repeats && timer->valid) {
                    timer->due = nextRepeat(timer, now);
                    timer->key = DueKey{timer->due, nextSeq++};
                    state->queue.emplace(timer->key, Entry{entry.timer->retain(), {}});
                }
            }
        }
        if (entry.timer != nullptr) {
            timerFireAndRelease(entry.timer);
        } else {
            entry.work();
        }
    }
}

// Waits for events up to `nanoseconds`, or none at all when it ends early. Kernels without
// epoll_pwait2 wait whole milliseconds, rounded up: waking a little late is allowed, firing early
// is not.
int waitOnce(int epfd, epoll_event* events, int capacity, std::uint64_t nanoseconds) {
    static std::atomic<bool> precise{true};
    if (precise.load(std::memory_order_relaxed)) {
        const timespec timeout{static_cast<time_t>(nanoseconds / 1000000000ull),
                               static_cast<long>(nanoseconds % 1000000000ull)};
        const int count = epoll_pwait2(epfd, events, capacity, &timeout, nullptr);
        if (count >= 0 || errno != ENOSYS) {
            return count;
        }
        precise.store(false, std::memory_order_relaxed);
    }
    return epoll_wait(epfd, events, capacity, static_cast<int>((nanoseconds + 999999) / 1000000));
}

// Waits for events up to `nanoseconds`, and for the whole of it when none come.
int waitForEvents(int epfd, epoll_event* events, int capacity, std::uint64_t nanoseconds) {
    // The kernel may let a sleeping thread's wake-up slip by its timer slack (50 µs by default) to
    // bunch it with others; a loop's timers are to fire on time, so its thread allows none.
    thread_local const bool onTime = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)onTime;
    // A virtual machine's timers can run slow against its clock, late in proportion to the wait
    // (about a tenth of a percent: a quarter of a millisecond on 200 ms). So a long wait ends a
    // little early, and what is left is waited again: a few more wake-ups, each wait shorter and
    // so less late, until the last lands within tens of microseconds.
    constexpr std::uint64_t shortWait = 100'000;
    const std::uint64_t deadline = NS::RunLoopInternals::monotonicNow() + nanoseconds;
    for (;;) {
        const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
        const std::uint64_t left = deadline > now ? deadline - now : 0;
        const std::uint64_t wait = left > shortWait ? left - left / 256 - shortWait / 2 : left;
        const int count = waitOnce(epfd, events, capacity, wait);
        if (count != 0 || wait == left) {
            return count;
        }
    }
}

// One pass: waits for an event, the first due entry or `limit`, whichever comes first, then runs
// the ready sources and the due entries, all inside one autorelease pool.
void runPass(LoopState* state, std::uint64_t limit) {
    AutoreleaseScope pool;
    std::uint64_t wakeAt = limit;
    {
        std::lock_guard lock(scheduleMutex());
        if (!state->queue.empty()) {
            wakeAt = std::min(wakeAt, state->queue.begin()->first.due);
        }
    }
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    // To the nanosecond, so that a timer wakes its loop within the scheduler's slack of its time.
    constexpr std::uint64_t longestWait = 3600ull * 1000000000ull;
    const std::uint64_t wait = wakeAt > now ? std::min(wakeAt - now, longestWait) : 0;
    epoll_event events[32];
    int count = waitForEvents(state->epfd, events, 32, wait);
    for (int i = 0; i < count; ++i) {
        const auto id = static_cast<int>(events[i].data.u64);
        if (id == 0) {
            drainWake(state);
            continue;
        }
        std::shared_ptr<FdSource> source;
        {
            std::lock_guard lock(scheduleMutex());
            auto it = state->sources.find(id);
            if (it != state->sources.end()) {
                source = it->second;
            }
        }
        // A source removed by an earlier callout of this pass is skipped.
        if (source) {
            source->onReadable();
        }
    }
    runDue(state);
}

bool onOwnThread(LoopState* state, const char* what) {
    if (state->tid == currentTid()) {
        return true;
    }
    std::fprintf(stderr, "NSRunLoop: %s called from a thread that does not own the loop; ignored\n", what);
    return false;
}

RunLoop* makeLoop(pid_t tid) {
    RunLoop* loop = RunLoop::alloc()->init();
    auto* state = new LoopState;
    state->tid = tid;
    state->epfd = epoll_create1(EPOLL_CLOEXEC);
    state->wakefd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (state->epfd < 0 || state->wakefd < 0) {
        std::fprintf(stderr, "NSRunLoop: cannot create the loop's descriptors: %s\n", std::strerror(errno));
        std::abort();
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = 0;
    epoll_ctl(state->epfd, EPOLL_CTL_ADD, state->wakefd, &ev);
    objc::setIvar(loop, NS::RunLoopInternals::_state, state);
    return loop;
}

// The main thread's loop lives as long as the process.
RunLoop* mainLoop() {
    static RunLoop* const loop = makeLoop(static_cast<pid_t>(getpid()));
    return loop;
}

struct ThreadLoop {
    objc::Ref<RunLoop> loop;
};

RunLoop* currentLoop() {
    if (currentTid() == static_cast<pid_t>(getpid())) {
        return mainLoop();
    }
    thread_local ThreadLoop holder;
    if (holder.loop == nullptr) {
        holder.loop = objc::adopt(makeLoop(currentTid()));
    }
    return holder.loop.get();
}

void runUntilDate(RunLoop* self, Date* date) {
    LoopState* state = loopState(self);
    if (date == nullptr || !onOwnThread(state, "runUntilDate:")) {
        return;
    }
    const std::uint64_t limit = deadlineOf(date);
    while (NS::RunLoopInternals::monotonicNow() < limit) {
        runPass(state, limit);
    }
}

bool runModeBeforeDate(RunLoop* self, String*, Date* date) {
    LoopState* state = loopState(self);
    if (!onOwnThread(state, "runMode:beforeDate:")) {
        return false;
    }
    {
        std::lock_guard lock(scheduleMutex());
        if (state->queue.empty() && state->sources.empty()) {
            return false;
        }
    }
    runPass(state, date == nullptr ? 0 : deadlineOf(date));
    return true;
}

void run(RunLoop* self) {
    for (;;) {
        AutoreleaseScope pool;
        if (!self->runModeBeforeDate(DefaultRunLoopMode(), Date::distantFuture())) {
            return;
        }
    }
}

void addTimer(RunLoop* self, Timer* timer, String*) {
    if (timer == nullptr) {
        std::fprintf(stderr, "NSRunLoop: addTimer:forMode: given no timer; ignored\n");
        return;
    }
    LoopState* state = loopState(self);
    {
        std::lock_guard lock(scheduleMutex());
        TimerState* t = timerState(timer);
        if (!t->valid || t->loop == state) {
            return;
        }
        if (t->loop != nullptr) {
            std::fprintf(stderr, "NSRunLoop: timer %p is already scheduled on another loop; ignored\n",
                         static_cast<void*>(timer));
            return;
        }
        t->loop = state;
        t->key = DueKey{t->due, nextSeq++};
        state->queue.emplace(t->key, Entry{timer->retain(), {}});
    }
    if (state->tid != currentTid()) {
        wake(state);
    }
}

void dealloc(RunLoop* self) {
    LoopState* state = loopState(self);
    if (state != nullptr) {
        std::map<DueKey, Entry> queue;
        std::map<int, std::shared_ptr<FdSource>> sources;
        {
            std::lock_guard lock(scheduleMutex());
            queue.swap(state->queue);
            sources.swap(state->sources);
            for (auto& [key, entry] : queue) {
                if (entry.timer != nullptr) {
                    timerState(entry.timer)->loop = nullptr;
                }
            }
        }
        for (auto& [key, entry] : queue) {
            objc::Ptr(entry.timer)->release();
        }
        close(state->epfd);
        close(state->wakefd);
        delete state;
    }
    Object::dealloc_.super<RunLoop>(self);
}

RunLoop* currentRunLoop(Class) { return currentLoop(); }

RunLoop* mainRunLoop(Class) { return mainLoop(); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<RunLoop>()
        .ivar(RunLoopInternals::_state)
        .method<&currentRunLoop>(RunLoop::currentRunLoop_)
        .method<&mainRunLoop>(RunLoop::mainRunLoop_)
        .method<&run>(RunLoop::run_)
        .method<&runUntilDate>(RunLoop::runUntilDate_)
        .method<&runModeBeforeDate>(RunLoop::runModeBeforeDate_)
        .method<&addTimer>(RunLoop::addTimerForMode_)
        .method<&dealloc>(Object::dealloc_)
        .build();
}

} // namespace

Timer* unscheduleLocked(const Timer* timer, TimerState* state) {
    LoopState* loop = std::exchange(state->loop, nullptr);
    if (loop == nullptr) {
        return nullptr;
    }
    auto it = loop->queue.find(state->key);
    if (it == loop->queue.end() || it->second.timer != timer) {
        return nullptr; // firing right now: the pass holds the reference
    }
    Timer* held = it->second.timer;
    loop->queue.erase(it);
    return held;
}

std::uint64_t dueAfter(double seconds) {
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    if (!(seconds > 0)) {
        return now;
    }
    if (seconds > 1e9) {
        return farFuture;
    }
    return now + static_cast<std::uint64_t>(std::ceil(seconds * 1e9));
}

} // namespace NS::detail

namespace NS {

using detail::loopState;

String* DefaultRunLoopMode() {
    static String* mode = String::alloc()->initWithUTF8String("kCFRunLoopDefaultMode");
    return mode;
}

String* RunLoopCommonModes() {
    static String* mode = String::alloc()->initWithUTF8String("kCFRunLoopCommonModes");
    return mode;
}

std::uint64_t NS::RunLoopInternals::monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

bool NS::RunLoopInternals::isCurrent() { return loopState(this)->tid == detail::currentTid(); }

int NS::RunLoopInternals::addFileDescriptor(int fd, std::function<void()> onReadable) {
    detail::LoopState* state = loopState(this);
    std::lock_guard lock(detail::scheduleMutex());
    const int id = state->nextSourceId;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = static_cast<std::uint64_t>(id);
    if (epoll_ctl(state->epfd, EPOLL_CTL_ADD, fd, &ev) != 0) {
        std::fprintf(stderr, "NSRunLoop: cannot watch descriptor %d: %s\n", fd, std::strerror(errno));
        return -1;
    }
    ++state->nextSourceId;
    state->sources.emplace(id,
                           std::make_shared<detail::FdSource>(detail::FdSource{fd, std::move(onReadable)}));
    return id;
}

void NS::RunLoopInternals::removeSource(int id) {
    detail::LoopState* state = loopState(this);
    std::shared_ptr<detail::FdSource> source;
    {
        std::lock_guard lock(detail::scheduleMutex());
        auto it = state->sources.find(id);
        if (it == state->sources.end()) {
            return;
        }
        source = std::move(it->second);
        state->sources.erase(it);
        // Fails harmlessly when the descriptor was closed first: the kernel dropped it then.
        epoll_ctl(state->epfd, EPOLL_CTL_DEL, source->fd, nullptr);
    }
}

void NS::RunLoopInternals::scheduleWork(std::uint64_t dueNanoseconds, std::function<void()> work) {
    detail::LoopState* state = loopState(this);
    {
        std::lock_guard lock(detail::scheduleMutex());
        state->queue.emplace(detail::DueKey{dueNanoseconds, detail::nextSeq++},
                             detail::Entry{nullptr, std::move(work)});
    }
    if (state->tid != detail::currentTid()) {
        detail::wake(state);
    }
}

void NS::RunLoopInternals::beginBackgroundWork() {
    std::lock_guard lock(detail::scheduleMutex());
    ++loopState(this)->backgroundWork;
}

void NS::RunLoopInternals::endBackgroundWork() {
    detail::LoopState* state = loopState(this);
    {
        std::lock_guard lock(detail::scheduleMutex());
        if (state->backgroundWork > 0) {
            --state->backgroundWork;
        }
    }
    detail::wake(state);
}

void NS::RunLoopInternals::runFor(double seconds) {
    detail::LoopState* state = loopState(this);
    if (!detail::onOwnThread(state, "runFor")) {
        return;
    }
    const std::uint64_t limit = detail::dueAfter(seconds);
    while (monotonicNow() < limit) {
        detail::runPass(state, limit);
    }
}

bool NS::RunLoopInternals::runUntilIdle(double maxSeconds) {
    detail::LoopState* state = loopState(this);
    if (!detail::onOwnThread(state, "runUntilIdle")) {
        return false;
    }
    const std::uint64_t limit = detail::dueAfter(maxSeconds);
    for (;;) {
        {
            std::lock_guard lock(detail::scheduleMutex());
            if (state->queue.empty() && state->backgroundWork == 0) {
                return true;
            }
        }
        if (monotonicNow() >= limit) {
            return false;
        }
        detail::runPass(state, limit);
    }
}

} // namespace NS
