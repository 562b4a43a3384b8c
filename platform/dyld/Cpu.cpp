#include "dyld/Cpu.hpp"
#include "dyld/PerThread.hpp"

#include <sys/mman.h>
#include <unicorn/unicorn.h>

#include <array>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace dyld {

namespace {

constexpr std::uint64_t kSlotSize = 8;
constexpr std::size_t kSlots = 8192;
constexpr std::uint64_t kTrampolineBytes = kSlots * kSlotSize;
// Unicorn aborts the process past about 1,020 mapped regions and slows down long before: host regions
// are mapped on demand up to this many, then all let go and mapped again as touched.
constexpr std::size_t kLazyRegionBudget = 256;
// Unicorn's translator crashes past 63 nested runs; this leaves room for what each level maps.
constexpr int kMaxDepth = 48;
constexpr std::uint64_t kStackSize = 1u << 20;
constexpr std::uint64_t kThreadBlockSize = 4096;
// Apple's arm64 code may use 128 bytes below its stack pointer without moving it.
constexpr std::uint64_t kRedZone = 128;

constexpr std::uint32_t kSvc0 = 0xd4000001;
constexpr std::uint32_t kRet = 0xd65f03c0;
constexpr std::uint32_t kBrk = 0xd4200000;

struct Trampolines {
    std::uint32_t* code = nullptr;
    // Slot 0 is where a run from the host returns to (its `svc` stops the engine); slots from 1 hold
    // the handlers, each an `svc` whose interrupt runs the handler, then a `ret`: the host function runs
    // within the engine's run and the guest goes on at its return address.
    std::deque<Cpu::Handler> handlers;
    std::deque<RegisterUse> uses;
    std::deque<std::string> names;
    std::atomic<std::size_t> count{1};
    std::mutex lock;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> codeRegions;

    Trampolines() {
        void* page =
            mmap(nullptr, kTrampolineBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) {
            guestFault("no memory for the call trampolines");
        }
        code = static_cast<std::uint32_t*>(page);
        code[0] = kSvc0;
        code[1] = kBrk;
        for (std::size_t i = 1; i < kSlots; ++i) {
            code[2 * i] = kSvc0;
            code[2 * i + 1] = kRet;
        }
        handlers.resize(kSlots);
        uses.resize(kSlots);
        names.resize(kSlots);
    }
    std::uint64_t base() const { return reinterpret_cast<std::uint64_t>(code); }
    std::uint64_t returnAddress() const { return base(); }
    // Where the engine stands once a run has returned: past slot 0's `svc`.
    std::uint64_t returned() const { return base() + 4; }
};

Trampolines& trampolines() {
    static Trampolines* const shared = new Trampolines();
    return *shared;
}

// Guest code runs on one thread at a time: Unicorn's exclusive loads and stores are not atomic
// across engines. Held by the outermost run of each thread.
std::recursive_mutex& guestLock() {
    static std::recursive_mutex* const lock = new std::recursive_mutex();
    return *lock;
}

struct HostRegion {
    std::uint64_t start, end;
    bool writable;
};

std::optional<HostRegion> hostRegionAt(std::uint64_t address) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::uint64_t start = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%" SCNx64 "-%" SCNx64 " %4s", &start, &end, perms) != 3) {
            continue;
        }
        if (address >= start && address < end) {
            if (perms[0] != 'r') {
                return std::nullopt;
            }
            return HostRegion{start, end, perms[1] == 'w'};
        }
    }
    return std::nullopt;
}

void check(uc_err err, const char* what) {
    if (err != UC_ERR_OK) {
        guestFault(std::string(what) + ": " + uc_strerror(err));
    }
}

} // namespace

[[noreturn]] void guestFault(const std::string& message) {
    std::fprintf(stderr, "dyld: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

struct Cpu::State {
    uc_engine* uc = nullptr;
    void* stack = nullptr;
    void* threadBlock = nullptr;
    // Every range mapped into the engine, by start; the lazy ones are also listed apart.
    struct Range {
        std::uint64_t end;
        bool writable; // as host code may write it too: the engine's own stack, or a writable host region
    };
    std::map<std::uint64_t, Range> mapped;
    std::vector<std::uint64_t> lazy;
    std::size_t codeRegionsSeen = 0;
    std::vector<uc_context*> contexts;
    // The depth of the run that slot 0 last stopped, 0 once that run has seen it.
    int ended = 0;
    uc_hook intrHook = 0, memHook = 0;

    void mapFixed(std::uint64_t start, std::uint64_t size, std::uint32_t perms, bool writable) {
        check(uc_mem_map_ptr(uc, start, size, perms, reinterpret_cast<void*>(start)),
              "cannot map guest memory");
        mapped[start] = {start + size, writable};
    }

    // Whether one mapped range holds [address, address+size).
    bool holds(std::uint64_t address, std::size_t size, bool writing) const {
        auto it = mapped.upper_bound(address);
        if (it == mapped.begin()) {
            return false;
        }
        --it;
        return address < it->second.end && size <= it->second.end - address &&
               (!writing || it->second.writable);
    }

    void syncCode() {
        auto& t = trampolines();
        std::lock_guard<std::mutex> hold(t.lock);
        for (; codeRegionsSeen < t.codeRegions.size(); ++codeRegionsSeen) {
            const auto [start, size] = t.codeRegions[codeRegionsSeen];
            // An image's pages may be read-only to the host whatever the engine is allowed.
            mapFixed(start, size, UC_PROT_ALL, false);
        }
    }

    void forgetLazy() {
        for (std::uint64_t start : lazy) {
            auto it = mapped.find(start);
            uc_mem_unmap(uc, start, it->second.end - start);
            mapped.erase(it);
        }
        lazy.clear();
    }

    // Maps the part of the host region around `address` that the engine does not map yet.
    bool mapHost(std::uint64_t address) {
        const auto region = hostRegionAt(address);
        if (!region) {
            return false;
        }
        if (lazy.size() >= kLazyRegionBudget) {
            forgetLazy();
        }
        std::uint64_t start = region->start, end = region->end;
        auto next = mapped.upper_bound(address);
        if (next != mapped.end()) {
            end = std::min(end, next->first);
        }
        if (next != mapped.begin()) {
            start = std::max(start, std::prev(next)->second.end);
        }
        if (start >= end || address < start) {
            return false;
        }
        const std::uint32_t perms = UC_PROT_READ | (region->writable ? UC_PROT_WRITE : 0);
        if (uc_mem_map_ptr(uc, start, end - start, perms, reinterpret_cast<void*>(start)) != UC_ERR_OK) {
            return false;
        }
        mapped[start] = {end, region->writable};
        lazy.push_back(start);
        return true;
    }
};

struct CpuHooks {
    // An `svc`: slot 0's ends a run, a handler's slot calls its handler, and any other is guest code
    // raising an exception.
    static void interrupt(uc_engine* uc, std::uint32_t, void* data) {
        std::uint64_t pc = 0;
        uc_reg_read(uc, UC_ARM64_REG_PC, &pc);
        auto& t = trampolines();
        if (pc == t.returned()) {
            auto* cpu = static_cast<Cpu*>(data);
            cpu->state_->ended = cpu->depth_;
            uc_emu_stop(uc);
            return;
        }
        const std::uint64_t slot = (pc - 4 - t.base()) / kSlotSize;
        if (pc < t.base() + 4 || slot >= t.count.load(std::memory_order_acquire)) {
            char text[96];
            std::snprintf(text, sizeof text, "guest code raised an exception at 0x%" PRIx64, pc - 4);
            guestFault(text);
        }
        const RegisterUse& use = t.uses[slot];
        Registers registers;
        read(uc, registers, use.x, use.d, use.stack);
        t.handlers[slot](registers);
        write(uc, registers, use.resultX, use.resultD, false);
    }

    static bool unmapped(uc_engine* uc, uc_mem_type type, std::uint64_t address, int, std::int64_t,
                         void* data) {
        auto* cpu = static_cast<Cpu*>(data);
        // Host code is never guest code: a branch to a host address is a fault, not a call.
        if (type == UC_MEM_FETCH_UNMAPPED) {
            return false;
        }
        (void)uc;
        return cpu->state_->mapHost(address);
    }

    // Unicorn's names of x0 up to x[x-1], d0 up to d[d-1] and, with `stack`, sp, and where each lives
    // in `r`; how many there are. Two more places are left for the caller.
    static int locate(Registers& r, int x, int d, bool stack, int (&ids)[20], void* (&values)[20]) {
        int count = 0;
        for (int i = 0; i < x; ++i, ++count) {
            ids[count] = UC_ARM64_REG_X0 + i;
            values[count] = &r.x[i];
        }
        for (int i = 0; i < d; ++i, ++count) {
            ids[count] = UC_ARM64_REG_D0 + i;
            values[count] = &r.d[i];
        }
        if (stack) {
            ids[count] = UC_ARM64_REG_SP;
            values[count++] = &r.sp;
        }
        return count;
    }

    static void read(uc_engine* uc, Registers& r, int x, int d, bool stack) {
        int ids[20];
        void* values[20];
        uc_reg_read_batch(uc, ids, values, locate(r, x, d, stack, ids, values));
    }

    static void write(uc_engine* uc, const Registers& r, int x, int d, bool stack) {
        int ids[20];
        void* values[20];
        Registers copy = r;
        uc_reg_write_batch(uc, ids, values, locate(copy, x, d, stack, ids, values));
    }

    // The arguments and sp of a run from the host, with the link register at `back` and no frame
    // above the callee's, in one write: each register written costs the engine alike.
    static void start(uc_engine* uc, const Registers& r, const RegisterUse& use, std::uint64_t back) {
        int ids[20];
        void* values[20];
        Registers copy = r;
        std::uint64_t frame = 0;
        int count = locate(copy, use.x, use.d, true, ids, values);
        ids[count] = UC_ARM64_REG_LR;
        values[count++] = &back;
        ids[count] = UC_ARM64_REG_FP;
        values[count++] = &frame;
        uc_reg_write_batch(uc, ids, values, count);
    }
};

Cpu::Cpu() : state_(new State()) {
    auto& s = *state_;
    check(uc_open(UC_ARCH_ARM64, UC_MODE_ARM, &s.uc), "cannot start the arm64 engine");
    s.stack = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    s.threadBlock =
        mmap(nullptr, kThreadBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (s.stack == MAP_FAILED || s.threadBlock == MAP_FAILED) {
        guestFault("no memory for a guest thread's stack");
    }
    s.mapFixed(reinterpret_cast<std::uint64_t>(s.threadBlock), kThreadBlockSize, UC_PROT_READ | UC_PROT_WRITE,
               true);
    s.mapFixed(reinterpret_cast<std::uint64_t>(s.stack), kStackSize, UC_PROT_READ | UC_PROT_WRITE, true);
    s.mapFixed(trampolines().base(), kTrampolineBytes, UC_PROT_READ | UC_PROT_EXEC, false);
    // Apple's arm64 code finds its thread's data through TPIDRRO_EL0.
    std::uint64_t thread = reinterpret_cast<std::uint64_t>(s.threadBlock);
    check(uc_reg_write(s.uc, UC_ARM64_REG_TPIDRRO_EL0, &thread), "cannot set the thread pointer");
    std::uint64_t sp = reinterpret_cast<std::uint64_t>(s.stack) + kStackSize;
    uc_reg_write(s.uc, UC_ARM64_REG_SP, &sp);
    // A run ends where slot 0 stops it, never at an address given to uc_emu_start: for one given,
    // Unicorn drops and translates again the code there on every run.
    check(uc_ctl_exits_enable(s.uc), "cannot set up the engine's exits");
    check(uc_ctl_set_exits(s.uc, nullptr, 0), "cannot set up the engine's exits");
    // The engine's floating-point unit starts switched off (CPACR_EL1.FPEN); Apple's code uses it.
    std::uint64_t cpacr = 3ull << 20;
    uc_reg_write(s.uc, UC_ARM64_REG_CPACR_EL1, &cpacr);
    check(uc_hook_add(s.uc, &s.intrHook, UC_HOOK_INTR, reinterpret_cast<void*>(&CpuHooks::interrupt), this, 1,
                      0),
          "cannot hook the engine's calls");
    check(uc_hook_add(s.uc, &s.memHook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void*>(&CpuHooks::unmapped),
                      this, 1, 0),
          "cannot hook the engine's memory");
}

Cpu::~Cpu() {
    for (uc_context* context : state_->contexts) {
        uc_context_free(context);
    }
    uc_close(state_->uc);
    munmap(state_->stack, kStackSize);
    munmap(state_->threadBlock, kThreadBlockSize);
    delete state_;
}

Cpu& Cpu::current() {
    auto& cpu = perThread<std::unique_ptr<Cpu>>();
    if (!cpu) {
        cpu.reset(new Cpu());
    }
    return *cpu;
}

std::uint64_t Cpu::trampoline(Handler handler, std::string name, RegisterUse use) {
    auto& t = trampolines();
    std::lock_guard<std::mutex> hold(t.lock);
    const std::size_t slot = t.count.load(std::memory_order_relaxed);
    if (slot >= kSlots) {
        guestFault("out of call trampolines (" + name + ")");
    }
    t.handlers[slot] = std::move(handler);
    t.uses[slot] = use;
    t.names[slot] = std::move(name);
    t.count.store(slot + 1, std::memory_order_release);
    return t.base() + slot * kSlotSize;
}

void Cpu::addCode(std::uint64_t start, std::uint64_t size) {
    auto& t = trampolines();
    std::lock_guard<std::mutex> hold(t.lock);
    t.codeRegions.emplace_back(start, size);
}

std::uint64_t Cpu::stackPointer() const {
    if (depth_ == 0) {
        return reinterpret_cast<std::uint64_t>(state_->stack) + kStackSize;
    }
    std::uint64_t sp = 0;
    uc_reg_read(state_->uc, UC_ARM64_REG_SP, &sp);
    return (sp - kRedZone) & ~15ull;
}

bool Cpu::reaches(std::uint64_t address, std::size_t size, bool writing) {
    const auto& cpu = perThread<std::unique_ptr<Cpu>>();
    if (!cpu) {
        return false;
    }
    State& s = *cpu->state_;
    return s.holds(address, size, writing) || (s.mapHost(address) && s.holds(address, size, writing));
}

bool Cpu::onStack(std::uint64_t address, std::size_t size) const {
    const auto start = reinterpret_cast<std::uint64_t>(state_->stack);
    return address >= start && address <= start + kStackSize && size <= start + kStackSize - address;
}

// Each level of Cpu::run holds the guest lock once.
Cpu::Waiting::Waiting() : released_(Cpu::current().depth()) {
    for (int i = 0; i < released_; ++i) {
        guestLock().unlock();
    }
}

Cpu::Waiting::~Waiting() {
    for (int i = 0; i < released_; ++i) {
        guestLock().lock();
    }
}

void Cpu::run(std::uint64_t function, Registers& registers, RegisterUse use) {
    auto& s = *state_;
    if (depth_ >= kMaxDepth) {
        guestFault("guest and host calls nest deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    std::unique_lock<std::recursive_mutex> hold(guestLock());
    s.syncCode();
    if (static_cast<std::size_t>(depth_) >= s.contexts.size()) {
        uc_context* context = nullptr;
        check(uc_context_alloc(s.uc, &context), "cannot save the engine's state");
        s.contexts.push_back(context);
    }
    uc_context* saved = s.contexts[static_cast<std::size_t>(depth_)];
    if (depth_ > 0) {
        uc_context_save(s.uc, saved);
    }
    CpuHooks::start(s.uc, registers, use, trampolines().returnAddress());
    // The run ends in slot 0's `svc`, which stops the engine: nothing else does.
    const int level = ++depth_;
    uc_err err = uc_emu_start(s.uc, function, 0, 0, 0);
    if (err == UC_ERR_OK && s.ended != level) {
        std::uint64_t pc = 0;
        uc_reg_read(s.uc, UC_ARM64_REG_PC, &pc);
        char text[128];
        std::snprintf(text, sizeof text,
                      "the engine stopped at 0x%" PRIx64 " before the call at 0x%" PRIx64 " returned", pc,
                      function);
        guestFault(text);
    }
    s.ended = 0;
    --depth_;
    if (err != UC_ERR_OK) {
        std::uint64_t pc = 0;
        uc_reg_read(s.uc, UC_ARM64_REG_PC, &pc);
        char text[160];
        std::snprintf(text, sizeof text, "guest code stopped at 0x%" PRIx64 " (called at 0x%" PRIx64 "): %s",
                      pc, function, uc_strerror(err));
        guestFault(text);
    }
    CpuHooks::read(s.uc, registers, use.resultX, use.resultD, false);
    if (depth_ > 0) {
        uc_context_restore(s.uc, saved);
    }
}

} // namespace dyld
