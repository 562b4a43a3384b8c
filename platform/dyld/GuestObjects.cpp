#include "dyld/GuestObjects.hpp"

#include "dyld/Blocks.hpp"
#include "dyld/Darwin.hpp"

#include <objc/runtime.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_set>

namespace dyld {

namespace {

// What the runtime reads of a class as it looks a method up: the thirteen words of its record (isa,
// superclass, name, version, info, size, ivars, methods, dispatch table and the rest).
constexpr std::size_t kClassBytes = 13 * sizeof(void*);
// A selector's record: its number and its types.
constexpr std::size_t kSelectorBytes = 2 * sizeof(void*);
// Longer than any class's name; a name without an end within it is no class's.
constexpr std::size_t kLongestName = 4096;

std::mutex& knownLock() {
    static auto* const lock = new std::mutex();
    return *lock;
}
// Classes seen to be the runtime's, and the pairs guest code made: classes are never unmade here.
std::unordered_set<Class>& known() {
    static auto* const classes = new std::unordered_set<Class>();
    return *classes;
}

std::string hex(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(address));
    return text;
}

} // namespace

void classPairMade(Class cls) {
    if (cls == Nil) {
        return;
    }
    std::lock_guard<std::mutex> hold(knownLock());
    known().insert(cls);
    known().insert(object_getClass(reinterpret_cast<id>(cls)));
}

bool isKnownClass(Class cls) {
    if (cls == Nil) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(knownLock());
        if (known().contains(cls)) {
            return true;
        }
    }
    if (!darwin::readableInGuest(cls, kClassBytes)) {
        return false;
    }
    const char* name = class_getName(cls);
    if (!darwin::stringLengthInGuest(name, kLongestName)) {
        return false;
    }
    // The class of that name, or for a metaclass the class whose metaclass it is.
    Class named = objc_lookUpClass(name);
    const bool found = named != Nil && (named == cls || object_getClass(reinterpret_cast<id>(named)) == cls);
    if (found) {
        std::lock_guard<std::mutex> hold(knownLock());
        known().insert(cls);
    }
    return found;
}

void requireClass(const char* function, Class cls, const char* what) {
    if (!isKnownClass(cls)) {
        guestFault(std::string(function) + ": guest code passed " + what + " that is no class (" +
                   hex(reinterpret_cast<std::uint64_t>(cls)) + ")");
    }
}

void requireObject(const char* function, std::uint64_t object, const char* what) {
    std::uint64_t isa = 0;
    if (object == 0 || !darwin::copyFromGuest(isa, reinterpret_cast<const void*>(object))) {
        guestFault(std::string(function) + ": guest code passed " + what + " it cannot read (" + hex(object) +
                   ")");
    }
    if (isa == globalBlockClass() || isa == stackBlockClass()) {
        if (!readableLiteral(object)) {
            guestFault(std::string(function) + ": guest code passed " + what +
                       " that is a block it cannot read (" + hex(object) + ")");
        }
        return;
    }
    if (!isKnownClass(reinterpret_cast<Class>(isa))) {
        guestFault(std::string(function) + ": guest code passed " + what + " that is no object (" +
                   hex(object) + ")");
    }
}

void requireSelector(const char* function, SEL selector) {
    // Selectors are registered for good: one seen once is known after. A send checks its selector,
    // so the common case costs a lookup, not a read through the kernel.
    static auto* const seen = new std::unordered_set<SEL>();
    {
        std::lock_guard<std::mutex> hold(knownLock());
        if (seen->contains(selector)) {
            return;
        }
    }
    if (selector == nullptr || !darwin::readableInGuest(selector, kSelectorBytes) ||
        sel_getName(selector) == nullptr) {
        guestFault(std::string(function) + ": guest code passed a selector it cannot read (" +
                   hex(reinterpret_cast<std::uint64_t>(selector)) + ")");
    }
    std::lock_guard<std::mutex> hold(knownLock());
    seen->insert(selector);
}

} // namespace dyld
