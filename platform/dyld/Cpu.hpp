// The arm64 processor that runs loaded images: one Unicorn engine per thread, over the host's memory.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace dyld {

// The registers a call passes and returns values in, as the arm64 calling convention uses them.
struct Registers {
    std::uint64_t x[9] = {}; // x0-x7 arguments and results, x8 the address of a large result
    std::uint64_t d[8] = {}; // the low 64 bits of v0-v7
    std::uint64_t sp = 0;    // where the caller's stack arguments begin
};

// The registers a call passes values in, where it uses fewer than all: x0 up to x[x-1] (x8 with x at
// 9) and d0 up to d[d-1] for its arguments, sp where some of them lie on the stack, and likewise its
// results. The engine copies only these between itself and the host.
struct RegisterUse {
    std::uint8_t x = 9, d = 8;
    bool stack = true;
    std::uint8_t resultX = 9, resultD = 8;
};

class GLINTMERE_EXPORT Cpu {
  public:
    // Host code that guest code calls: it reads the arguments from `registers` (and the stack at
    // registers.sp) and leaves its results there.
    using Handler = std::function<void(Registers& registers)>;

    // The engine of the calling thread, made on first use.
    static Cpu& current();

    // A guest address which, branched to with `bl`, runs `handler` on the host and returns to the
    // caller. Made once and kept for the life of the process; `name` says what it is in messages. The
    // handler sees only the registers `use` names; the others it leaves as they were.
    static std::uint64_t trampoline(Handler handler, std::string name, RegisterUse use = {});

    // Makes the image's memory (host addresses [start, start+size)) executable guest memory in every
    // engine, now and later made.
    static void addCode(std::uint64_t start, std::uint64_t size);

    // The lowest guest stack address in use: a call into the guest puts its stack arguments below it.
    std::uint64_t stackPointer() const;

    // Runs the guest function at `function` to its return: `registers` holds the arguments (sp where
    // the stack arguments lie, at or below stackPointer()) and receives the results. Calls nest: a
    // host function the guest calls may call into the guest again, to a fixed depth. Only the registers
    // `use` names are passed in and out (sp always).
    void run(std::uint64_t function, Registers& registers, RegisterUse use = {});

    // Whether [address, address+size) lies within this engine's stack, where a caller's stack arguments
    // are: a host function reading variadic arguments stops at its end.
    bool onStack(std::uint64_t address, std::size_t size) const;

    // Lets guest code on other threads run while this thread's host code waits (for a lock, a child, a
    // descriptor): held by a host function the guest called, for as long as it may block.
    class GLINTMERE_EXPORT Waiting {
      public:
        Waiting();
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

      private:
        int released_;
    };

    // Whether guest code on the calling thread reads (or also writes) every byte of [address,
    // address+size) without a fault: its engine maps the range so already, or maps it now from the
    // host's memory, as it would on the guest's first touch. False says only that no one region of the
    // engine holds the range; the kernel is asked then.
    static bool reaches(std::uint64_t address, std::size_t size, bool writing);

    // How deep guest and host calls are nested on this thread (0 outside the guest).
    int depth() const { return depth_; }

    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;
    ~Cpu();

  private:
    Cpu();
    struct State;
    State* state_;
    int depth_ = 0;
    friend struct CpuHooks;
};

// Stops the process with a message when guest code cannot go on (a fault, a runaway nesting): like a
// crash on a device, with what went wrong said first.
[[noreturn]] GLINTMERE_EXPORT void guestFault(const std::string& message);

} // namespace dyld
