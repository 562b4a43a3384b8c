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
    // Slot 0 is where a run from the host returns to; slots from 1 hold the handlers.
    std::deque<Cpu::Handler> handlers;
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
        code[0] = kBrk;
        code[1] = kBrk;
        for (std::size_t i = 1; i < kSlots; ++i) {
            code[2 * i] = kSvc0;
            code[2 * i + 1] = kRet;
        }
        handlers.resize(kSlots);
        names.resize(kSlots);
    }
    std::uint64_t base() const { return reinterpret_cast<std::uint64_t>(code); }
    std::uint64_t returnAddress() const { return base(); }
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
    // Every range mapped into the engine, start to end; the lazy ones are also listed apart.
    std::map<std::uint64_t, std::uint64_t> mapped;
    std::vector<std::uint64_t> lazy;
    std::size_t codeRegionsSeen = 0;
    std::vector<uc_context*> contexts;
    uc_hook intrHook = 0, memHook = 0;

    void mapFixed(std::uint64_t start, std::uint64_t size, std::uint32_t perms) {
        check(uc_mem_map_ptr(uc, start, size, perms, reinterpret_cast<void*>(start)),
              "cannot map guest memory");
        mapped[start] = start + size;
    }

    void syncCode() {
        auto& t = trampolines();
        std::lock_guard<std::mutex> hold(t.lock);
        for (; codeRegionsSeen < t.codeRegions.size(); ++codeRegionsSeen) {
            const auto [start, size] = t.codeRegions[codeRegionsSeen];
            mapFixed(start, size, UC_PROT_ALL);
        }
    }

    void forgetLazy() {
        for (std::uint64_t start : lazy) {
            auto it = mapped.find(start);
            uc_mem_unmap(uc, start, it->second - start);
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
            start = std::max(start, std::prev(next)->second);
        }
        if (start >= end || address < start) {
            return false;
        }
        const std::uint32_t perms = UC_PROT_READ | (region->writable ? UC_PROT_WRITE : 0);
        if (uc_mem_map_ptr(uc, start, end - start, perms, reinterpret_cast<void*>(start)) != UC_ERR_OK) {
            return false;
        }
        mapped[start] = end;
        lazy.push_back(start);
        return true;
    }
};

struct CpuHooks {
    static void interrupt(uc_engine* uc, std::uint32_t, void* data) {
        auto* cpu = static_cast<Cpu*>(data);
        std::uint64_t pc = 0;
        uc_reg_read(uc, UC_ARM64_REG_PC, &pc);
        auto& t = trampolines();
        const std::uint64_t slot = (pc - 4 - t.base()) / kSlotSize;
        if (pc < t.base() + 4 || slot >= t.count.load(std::memory_order_acquire)) {
            char text[96];
            std::snprintf(text, sizeof text, "guest code raised an exception at 0x%" PRIx64, pc - 4);
            guestFault(text);
        }
        Registers registers;
        read(uc, registers);
        t.handlers[slot](registers);
        (void)cpu;
        write(uc, registers, false);
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

    // Unicorn's names of x0-x8, d0-d7 and sp, and where each lives in `r`.
    static void locate(Registers& r, int (&ids)[18], void* (&values)[18]) {
        for (int i = 0; i < 9; ++i) {
            ids[i] = UC_ARM64_REG_X0 + i;
            values[i] = &r.x[i];
        }
        for (int i = 0; i < 8; ++i) {
            ids[9 + i] = UC_ARM64_REG_D0 + i;
            values[9 + i] = &r.d[i];
        }
        ids[17] = UC_ARM64_REG_SP;
        values[17] = &r.sp;
    }

    static void read(uc_engine* uc, Registers& r) {
        int ids[18];
        void* values[18];
        locate(r, ids, values);
        uc_reg_read_batch(uc, ids, values, 18);
    }

    static void write(uc_engine* uc, const Registers& r, bool withStack) {
        int ids[18];
        void* values[18];
        Registers copy = r;
        locate(copy, ids, values);
        uc_reg_write_batch(uc, ids, values, withStack ? 18 : 17);
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
    s.mapFixed(reinterpret_cast<std::uint64_t>(s.stack), kStackSize, UC_PROT_READ | UC_PROT_WRITE);
    s.mapFixed(reinterpret_cast<std::uint64_t>(s.threadBlock), kThreadBlockSize,
               UC_PROT_READ | UC_PROT_WRITE);
    s.mapFixed(trampolines().base(), kTrampolineBytes, UC_PROT_READ | UC_PROT_EXEC);
    // Apple's arm64 code finds its thread's data through TPIDRRO_EL0.
    std::uint64_t thread = reinterpret_cast<std::uint64_t>(s.threadBlock);
    check(uc_reg_write(s.uc, UC_ARM64_REG_TPIDRRO_EL0, &thread), "cannot set the thread pointer");
    std::uint64_t sp = reinterpret_cast<std::uint64_t>(s.stack) + kStackSize;
    uc_reg_write(s.uc, UC_ARM64_REG_SP, &sp);
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

std::uint64_t Cpu::trampoline(Handler handler, std::string name) {
    auto& t = trampolines();
    std::lock_guard<std::mutex> hold(t.lock);
    const std::size_t slot = t.count.load(std::memory_order_relaxed);
    if (slot >= kSlots) {
        guestFault("out of call trampolines (" + name + ")");
    }
    t.handlers[slot] = std::move(handler);
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

void Cpu::run(std::uint64_t function, Registers& registers) {
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
    const std::uint64_t back = trampolines().returnAddress();
    CpuHooks::write(s.uc, registers, true);
    uc_reg_write(s.uc, UC_ARM64_REG_LR, &back);
    const std::uint64_t zero = 0;
    uc_reg_write(s.uc, UC_ARM64_REG_FP, &zero);
    ++depth_;
    const uc_err err = uc_emu_start(s.uc, function, back, 0, 0);
    --depth_;
    if (err != UC_ERR_OK) {
        std::uint64_t pc = 0;
        uc_reg_read(s.uc, UC_ARM64_REG_PC, &pc);
        char text[160];
        std::snprintf(text, sizeof text, "guest code stopped at 0x%" PRIx64 " (called at 0x%" PRIx64 "): %s",
                      pc, function, uc_strerror(err));
        guestFault(text);
    }
    CpuHooks::read(s.uc, registers);
    if (depth_ > 0) {
        uc_context_restore(s.uc, saved);
    }
}

} // namespace dyld
