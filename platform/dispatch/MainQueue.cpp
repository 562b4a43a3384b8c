#include "Foundation/NSRunLoopInternals.hpp"
#include "dispatch/dispatch.h"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSRunLoop.hpp"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

struct dispatch_queue_s {
    const char* label;
};

extern "C" {
dispatch_queue_s _dispatch_main_q{"com.apple.main-thread"};
}

namespace {

// Times from here on are as good as never: nanosecond counts stay within the signed range.
constexpr std::uint64_t neverBefore = static_cast<std::uint64_t>(INT64_MAX);

constexpr long onceRunning = 1;
constexpr long onceDone = ~0l;

bool acceptQueue(dispatch_queue_t queue, const char* what) {
    if (queue == &_dispatch_main_q) {
        return true;
    }
    std::fprintf(stderr, "dispatch: %s given %s; only the main queue exists here; ignored\n", what,
                 queue == nullptr ? "no queue" : "an unknown queue");
    return false;
}

std::uint64_t dueTime(dispatch_time_t when) {
    return when == DISPATCH_TIME_NOW ? NS::RunLoopInternals::monotonicNow() : when;
}

void enqueue(dispatch_time_t when, std::function<void()> work) {
    if (when >= neverBefore) {
        return;
    }
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->scheduleWork(dueTime(when), std::move(work));
}

std::function<void()> blockWork(dispatch_block_t block) {
    // The queue's own reference, given up when the work has run and is destroyed.
    return [held = objc::retain(block)] { held->invoke<void>(); };
}

// Runs `work` once per predicate; see dispatch_once.
void runOnce(dispatch_once_t* predicate, const std::function<void()>& work) {
    if (predicate == nullptr || !work) {
        std::fprintf(stderr, "dispatch: dispatch_once given no %s; ignored\n",
                     predicate ? "work" : "predicate");
        return;
    }
    std::atomic_ref<long> state(*predicate);
    for (;;) {
        long seen = state.load(std::memory_order_acquire);
        if (seen == onceDone) {
            return;
        }
        if (seen == 0 && state.compare_exchange_strong(seen, onceRunning, std::memory_order_acq_rel)) {
            try {
                work();
            } catch (...) {
                state.store(0, std::memory_order_release);
                state.notify_all();
                throw;
            }
            state.store(onceDone, std::memory_order_release);
            state.notify_all();
            return;
        }
        if (seen == onceRunning) {
            state.wait(onceRunning, std::memory_order_acquire);
        } else if (seen != 0) {
            std::fprintf(stderr,
                         "dispatch: dispatch_once predicate holds %ld, not a value it ever sets; ignored\n",
                         seen);
            return;
        }
    }
}

} // namespace

extern "C" {

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta) {
    if (when >= neverBefore) {
        return DISPATCH_TIME_FOREVER;
    }
    const std::uint64_t base = dueTime(when);
    if (delta < 0) {
        const auto back = static_cast<std::uint64_t>(-(delta + 1)) + 1;
        // Never DISPATCH_TIME_NOW by accident: a time in the past is simply due.
        return back >= base ? 1 : base - back;
    }
    const auto forward = static_cast<std::uint64_t>(delta);
    return forward >= neverBefore - base ? DISPATCH_TIME_FOREVER : base + forward;
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
    if (!acceptQueue(queue, "dispatch_after")) {
        return;
    }
    if (block == nullptr) {
        std::fprintf(stderr, "dispatch: dispatch_after given no block; ignored\n");
        return;
    }
    enqueue(when, blockWork(block));
}

void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void* context, dispatch_function_t work) {
    if (!acceptQueue(queue, "dispatch_after_f")) {
        return;
    }
    if (work == nullptr) {
        std::fprintf(stderr, "dispatch: dispatch_after_f given no function; ignored\n");
        return;
    }
    enqueue(when, [work, context] { work(context); });
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
    dispatch_after(DISPATCH_TIME_NOW, queue, block);
}

void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work) {
    dispatch_after_f(DISPATCH_TIME_NOW, queue, context, work);
}

void dispatch_once(dispatch_once_t* predicate, dispatch_block_t block) {
    if (block == nullptr) {
        std::fprintf(stderr, "dispatch: dispatch_once given no block; ignored\n");
        return;
    }
    runOnce(predicate, std::function<void()>([block] { block->invoke<void>(); }));
}

void dispatch_once_f(dispatch_once_t* predicate, void* context, dispatch_function_t function) {
    if (function == nullptr) {
        std::fprintf(stderr, "dispatch: dispatch_once_f given no function; ignored\n");
        return;
    }
    runOnce(predicate, std::function<void()>([function, context] { function(context); }));
}

} // extern "C"
