// NSRunLoop: one event loop per thread, running timers, main-queue work and file-descriptor sources.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstdint>
#include <functional>

namespace NS {

class Date;
class String;
class Timer;

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
};

} // namespace NS
