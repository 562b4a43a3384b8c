// NSRunLoop: one event loop per thread, running timers, main-queue work and file-descriptor sources.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstdint>
#include <functional>

namespace NS {

class Date;
class String;
class Timer;

// Mode names. Every mode runs the same sources: nothing on this platform runs a loop in a
// restricted mode, so modes are accepted and otherwise ignored.
GLINTMERE_EXPORT String* DefaultRunLoopMode();
GLINTMERE_EXPORT String* RunLoopCommonModes();

class GLINTMERE_EXPORT RunLoop : public Referencing<RunLoop, "NSRunLoop"> {
  public:
    // The loop of the calling thread, made on first use.
    OBJC_CLASS_MESSAGE(currentRunLoop, "currentRunLoop", RunLoop*())
    // The loop of the process's main thread (the one whose thread id is the process id), from any thread.
    OBJC_CLASS_MESSAGE(mainRunLoop, "mainRunLoop", RunLoop*())

    // Runs while anything is attached, until nothing is.
    OBJC_MESSAGE(run, "run", void())
    // Runs until `limit`, whether or not anything is attached.
    OBJC_MESSAGE(runUntilDate, "runUntilDate:", void(Date*))
    // Waits for one event or `limit`, handles what is ready and returns true; returns false at once
    // when no timer, work or source is attached.
    OBJC_MESSAGE(runModeBeforeDate, "runMode:beforeDate:", bool(String*, Date*))
    OBJC_MESSAGE_NAMED(addTimer, addTimerForMode_, "addTimer:forMode:", void(Timer*, String*))

    // Calls `onReadable` on this loop's thread whenever `fd` is readable (or hung up). Returns the
    // source's id, or -1 when the fd cannot be watched. Safe from any thread.
    int addFileDescriptor(int fd, std::function<void()> onReadable);
    // Stops watching; the callable is gone when this returns, unless it is running right now.
    void removeSource(int id);
    // Runs `work` once on this loop, not before `dueNanoseconds` on the monotonic clock. Work and
    // timers run in order of due time, first scheduled first among equal times. Safe from any thread.
    void scheduleWork(std::uint64_t dueNanoseconds, std::function<void()> work);

    // Work this loop's thread set going on another thread: until it ends, the loop is not idle.
    // Both are safe from any thread; every begin is ended once.
    void beginBackgroundWork();
    void endBackgroundWork();

    void runFor(double seconds);
    // Runs until no timer, no scheduled work and no background work remains (sources do not count)
    // or `maxSeconds` have passed; true when it stopped because nothing was left.
    bool runUntilIdle(double maxSeconds);
    // Whether the calling thread is this loop's thread.
    bool isCurrent();

    // Nanoseconds on CLOCK_MONOTONIC, the clock of every due time.
    static std::uint64_t monotonicNow();
};

} // namespace NS
