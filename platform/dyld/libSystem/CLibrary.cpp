// libSystem's C library, but for files, processes and formatted output (each a file of its own beside
// this one): errno, the environment, memory, bytes, strings and characters, error texts, the time of
// day, random numbers and abort.
#include "dyld/Bindings.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/PerThread.hpp"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace dyld {

namespace {

int* errorLocation() { return darwin::guestErrno(); }
void* environment() { return &environ; }

// Guest memory is checked before the host touches it: a bad pointer stops the process with the
// import's name, as a crash on a device names where it happened.

// Darwin's memcpy is its memmove: ranges that overlap copy as memmove copies them.
void* copyMemory(void* to, const void* from, std::size_t size) {
    darwin::requireReadable("memcpy", from, size, "a source");
    darwin::requireOverwritable("memcpy", to, size, "a destination");
    return std::memmove(to, from, size);
}
void* fillMemory(void* to, int value, std::size_t size) {
    darwin::requireOverwritable("memset", to, size, "memory");
    return std::memset(to, value, size);
}
std::size_t stringLength(const char* text) { return darwin::requireString("strlen", text); }
int compareStrings(const char* a, const char* b) {
    darwin::requireString("strcmp", a);
    darwin::requireString("strcmp", b);
    return std::strcmp(a, b);
}
void* allocate(std::size_t size) { return darwin::guestAllocate("malloc", size); }
void release(void* pointer) { darwin::guestRelease("free", pointer); }
[[noreturn]] void abortGuest() { guestFault("guest code called abort()"); }
// Reads only as far as the byte found, a page at a time, as memchr may.
void* findByte(const void* bytes, int byte, unsigned long size) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const std::size_t page = 4096 - reinterpret_cast<std::uintptr_t>(at) % 4096;
        const std::size_t part = std::min<std::size_t>(page, size);
        darwin::requireReadable("memchr", at, part, "memory");
        if (const void* found = std::memchr(at, byte, part); found != nullptr) {
            return const_cast<void*>(found);
        }
        at += part;
        size -= part;
    }
    return nullptr;
}
int compareBytes(const void* a, const void* b, unsigned long size) {
    darwin::requireReadable("memcmp", a, size, "memory");
    darwin::requireReadable("memcmp", b, size, "memory");
    return std::memcmp(a, b, size);
}
void* moveBytes(void* to, const void* from, unsigned long size) {
    darwin::requireReadable("memmove", from, size, "a source");
    darwin::requireOverwritable("memmove", to, size, "a destination");
    return std::memmove(to, from, size);
}
// The C locale's, for every int: the host's tables only take EOF and the unsigned chars.
int lowerCase(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
int upperCase(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

const char* errorText(int darwinError) {
    if (const auto host = darwin::errorToHost(darwinError)) {
        return std::strerror(*host);
    }
    struct Text {
        char unknown[48];
    };
    char* unknown = perThread<Text>().unknown;
    std::snprintf(unknown, sizeof(Text::unknown), "Unknown error: %d", darwinError);
    return unknown;
}

int timeOfDay(void* into, void* zone) {
    timeval now{};
    struct timezone here {};
    if (darwin::failing(::gettimeofday(&now, &here)) != 0) {
        return -1;
    }
    const darwin::Timeval time{now.tv_sec, static_cast<std::int32_t>(now.tv_usec)};
    // struct timezone is two ints on both sides.
    return (into == nullptr || darwin::copyToGuest(into, time)) &&
                   (zone == nullptr || darwin::copyToGuest(zone, here))
               ? 0
               : darwin::refuse(darwin::kEFAULT);
}

unsigned randomBelow(unsigned bound) { return ::arc4random_uniform(bound); }

const std::array bindings{
    Binding{"___error", call<errorLocation>},
    Binding{"__NSGetEnviron", call<environment>},
    Binding{"_memcpy", call<copyMemory>},
    Binding{"_memset", call<fillMemory>},
    Binding{"_memchr", call<findByte>},
    Binding{"_memcmp", call<compareBytes>},
    Binding{"_memmove", call<moveBytes>},
    Binding{"_tolower", call<lowerCase>},
    Binding{"_toupper", call<upperCase>},
    Binding{"_strlen", call<stringLength>},
    Binding{"_strcmp", call<compareStrings>},
    Binding{"_malloc", call<allocate>},
    Binding{"_free", call<release>},
    Binding{"_abort", call<abortGuest>},
    Binding{"_strerror", call<errorText>},
    Binding{"_gettimeofday", call<timeOfDay>},
    Binding{"_arc4random_uniform", call<randomBelow>},
};

} // namespace

std::span<const Binding> libSystem::cLibrary() { return bindings; }

} // namespace dyld
