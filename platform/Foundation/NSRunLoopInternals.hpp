// The inner workings of NSRunLoop: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSRunLoop.hpp"
#include "objc/Internals.hpp"

namespace NS {

class GLINTMERE_EXPORT RunLoopInternals : public objc::Internals<RunLoopInternals, RunLoop> {
  public:
    OBJC_IVAR(_state, void*)

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

// Mode names. Every mode runs the same sources: nothing on this platform runs a loop in a
// restricted mode, so modes are accepted and otherwise ignored.
GLINTMERE_EXPORT String* DefaultRunLoopMode();

GLINTMERE_EXPORT String* RunLoopCommonModes();

} // namespace NS
