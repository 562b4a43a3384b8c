#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace NS {
namespace {

// One entry per live pool of this thread, innermost last. Draining a pool drains the pools
// nested in it first, so a pool that was never drained cannot outlive its parent.
struct PoolFrame {
    id pool;
    std::vector<id> objects;
};

std::vector<PoolFrame>& frames() {
    thread_local std::vector<PoolFrame> stack;
    return stack;
}

// A pool pushed for a scope has no object of its own: its frame carries an odd token, which no
// object's address is, made from its place in the stack.
bool isToken(id pool) { return (reinterpret_cast<std::uintptr_t>(pool) & 1) != 0; }

// Drains the frame of `pool` and the frames nested in it, innermost first; the pool objects of the
// nested frames are freed.
void drainFrames(id pool) {
    auto& stack = frames();
    bool found = false;
    for (const PoolFrame& frame : stack) {
        found = found || frame.pool == pool;
    }
    if (!found) {
        return;
    }
    for (;;) {
        // Releasing may autorelease more objects into this same frame, so take them out first.
        std::vector<id> objects = std::move(stack.back().objects);
        stack.back().objects.clear();
        if (objects.empty()) {
            const id innermost = stack.back().pool;
            stack.pop_back();
            if (innermost == pool) {
                return;
            }
            if (!isToken(innermost)) {
                std::free(innermost);
            }
            continue;
        }
        for (id object : objects) {
            Object::release_.send(object);
        }
    }
}

void drainPool(AutoreleasePool* pool) {
    drainFrames(objc::toId(pool));
    std::free(objc::toId(pool));
}

AutoreleasePool* init(AutoreleasePool* self) {
    frames().push_back(PoolFrame{objc::toId(self), {}});
    return self;
}

AutoreleasePool* retain(AutoreleasePool* self) {
    std::fprintf(stderr, "NSAutoreleasePool: a pool cannot be retained\n");
    return self;
}

AutoreleasePool* autorelease(AutoreleasePool* self) {
    std::fprintf(stderr, "NSAutoreleasePool: a pool cannot be autoreleased\n");
    return self;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<AutoreleasePool>()
        .method<&init>(AutoreleasePool::init_)
        .method<&drainPool>(AutoreleasePool::drain_)
        .method<&drainPool>(Object::release_)
        .method<&retain>(AutoreleasePool::retain_)
        .method<&autorelease>(AutoreleasePool::autorelease_)
        .build();
}

} // namespace

void NS::AutoreleasePoolInternals::addObject(id object) {
    auto& stack = frames();
    if (stack.empty()) {
        std::fprintf(stderr, "NSAutoreleasePool: %s %p autoreleased with no pool in place; leaking\n",
                     object_getClassName(object), static_cast<void*>(object));
        return;
    }
    stack.back().objects.push_back(object);
}

std::size_t NS::AutoreleasePoolInternals::pendingCount() {
    auto& stack = frames();
    return stack.empty() ? 0 : stack.back().objects.size();
}

} // namespace NS

void* objc_autoreleasePoolPush(void) {
    auto& stack = NS::frames();
    const id token = reinterpret_cast<id>((stack.size() << 1) | 1);
    stack.push_back(NS::PoolFrame{token, {}});
    return token;
}

void objc_autoreleasePoolPop(void* token) { NS::drainFrames(static_cast<id>(token)); }
