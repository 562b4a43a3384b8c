// libdispatch as far as this platform uses it: the main queue, delayed work and once-guards.
#pragma once

#include "Foundation/NSBlock.hpp"
#include "objc/Runtime.hpp"

#include <cstdint>
#include <type_traits>
#include <utility>

// Nanoseconds on the monotonic clock; DISPATCH_TIME_NOW and DISPATCH_TIME_FOREVER are markers.
typedef std::uint64_t dispatch_time_t;
typedef struct dispatch_queue_s* dispatch_queue_t;
// A block made with NS::Block::create taking no arguments and returning nothing.
typedef NS::Block* dispatch_block_t;
typedef long dispatch_once_t;
typedef void (*dispatch_function_t)(void*);

#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull
#define NSEC_PER_USEC 1000ull
#define USEC_PER_SEC 1000000ull

extern "C" {

// The queue whose work runs on the main thread's run loop, one item at a time. As in libdispatch, it
// is an exported object, not a function: dispatch_get_main_queue() is its address.
GLINTMERE_EXPORT extern struct dispatch_queue_s _dispatch_main_q;

// `when` (or now, for DISPATCH_TIME_NOW) moved by `delta` nanoseconds. FOREVER stays FOREVER, and so
// does any time past the signed 64-bit range.
GLINTMERE_EXPORT dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

// Runs the work on the queue, not before `when`, in order of due time and first come first among
// equal times. Work due at DISPATCH_TIME_FOREVER never runs. The queue keeps a block until it has
// run. Callable from any thread; a null queue or null work is refused.
GLINTMERE_EXPORT void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
GLINTMERE_EXPORT void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void* context,
                                       dispatch_function_t work);
GLINTMERE_EXPORT void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
GLINTMERE_EXPORT void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);

// Runs the work exactly once per predicate (which starts at 0) in the process; concurrent callers
// wait until it has finished. A run that throws leaves the predicate for the next caller to retry.
GLINTMERE_EXPORT void dispatch_once(dispatch_once_t* predicate, dispatch_block_t block);
GLINTMERE_EXPORT void dispatch_once_f(dispatch_once_t* predicate, void* context,
                                      dispatch_function_t function);
}

inline dispatch_queue_t dispatch_get_main_queue(void) { return &_dispatch_main_q; }

// The same for C++ callables: a callable becomes a block, which the queue keeps until it has run.
template <class F>
requires std::is_class_v<F> && std::is_invocable_v<F&>
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, F work) {
    if constexpr (std::is_constructible_v<bool, F&>) {
        if (!static_cast<bool>(work)) {
            return; // an empty std::function: nothing to run
        }
    }
    dispatch_after(when, queue, NS::Block::create(std::move(work)).get());
}
template <class F>
requires std::is_class_v<F> && std::is_invocable_v<F&>
void dispatch_async(dispatch_queue_t queue, F work) {
    dispatch_after(DISPATCH_TIME_NOW, queue, std::move(work));
}
template <class F>
requires std::is_class_v<F> && std::is_invocable_v<F&>
void dispatch_once(dispatch_once_t* predicate, F work) {
    dispatch_once_f(predicate, &work, [](void* context) { (*static_cast<F*>(context))(); });
}
