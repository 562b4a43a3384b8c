// What a method costs through the runtime, what a pass-through hook adds on top of that, and what
// a typed call through a view costs against the raw send it stands for.
#include "Foundation/NSObject.hpp"
#include "objc/ClassBuilder.hpp"
#include "substrate/substrate.h"

#include <benchmark/benchmark.h>

namespace {

using objc::operator""_sel;

__attribute__((noinline)) long addOne(id, SEL, long value) { return value + 1; }

// The view a typed call goes through.
class Counter : public NS::Referencing<Counter, "BenchPlain"> {
  public:
    OBJC_MESSAGE(addOne, "addOne:", long(long))
};

long (*originalAddOne)(id, SEL, long) = nullptr;
long hookedAddOne(id self, SEL sel, long value) { return originalAddOne(self, sel, value); }

struct Fixture {
    id plain = nil;
    id hooked = nil;
    Fixture() {
        objc::ClassBuilder("BenchPlain", "NSObject").method<&addOne>("addOne:").build();
        Class hookedClass = objc::ClassBuilder("BenchHooked", "NSObject").method<&addOne>("addOne:").build();
        IMP saved = nullptr;
        MSHookMessageEx(hookedClass, "addOne:"_sel, objc::toImp(&hookedAddOne), &saved);
        originalAddOne = reinterpret_cast<long (*)(id, SEL, long)>(reinterpret_cast<void (*)()>(saved));
        plain = objc::send<id>(objc_lookUpClass("BenchPlain"), "new"_sel);
        hooked = objc::send<id>(hookedClass, "new"_sel);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void DirectCall(benchmark::State& state) {
    long value = 0;
    for (auto _ : state) {
        value = addOne(nil, nullptr, value);
        benchmark::DoNotOptimize(value);
    }
}

void Send(benchmark::State& state, id Fixture::*receiver) {
    id target = fixture().*receiver;
    long value = 0;
    for (auto _ : state) {
        value = objc::send<long>(target, "addOne:"_sel, value);
        benchmark::DoNotOptimize(value);
    }
}

// The same send as MessageSend, written as a typed call through a nil-safe reference.
void TypedSend(benchmark::State& state) {
    objc::Ptr<Counter> target = reinterpret_cast<Counter*>(fixture().plain);
    long value = 0;
    for (auto _ : state) {
        value = target->addOne(value);
        benchmark::DoNotOptimize(value);
    }
}

BENCHMARK(DirectCall);
BENCHMARK(TypedSend);
BENCHMARK_CAPTURE(Send, MessageSend, &Fixture::plain);
BENCHMARK_CAPTURE(Send, HookedMessageSend, &Fixture::hooked);

} // namespace

BENCHMARK_MAIN();
