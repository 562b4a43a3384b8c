// What a method costs through the runtime, what a pass-through hook adds on top of that, and what
// a typed call through a view costs against the raw send it stands for.
#include "Foundation/NSObject.hpp"
#include "objc/ClassBuilder.hpp"
#include "substrate/substrate.h"

#include <benchmark/benchmark.h>

namespace {

// What the method does, called directly: the floor of every send below.
__attribute__((noinline)) long addOne(long value) { return value + 1; }

// The view a typed call goes through.
class Counter : public NS::Referencing<Counter, "BenchPlain"> {
  public:
    OBJC_MESSAGE(addOne, "addOne:", long(long))
};

constexpr auto addOneMethod = [](Counter*, long value) -> long { return addOne(value); };

long (*originalAddOne)(id, SEL, long) = nullptr;
long hookedAddOne(id self, SEL sel, long value) { return originalAddOne(self, sel, value); }

struct Fixture {
    id plain = nil;
    id hooked = nil;
    Fixture() {
        objc::ClassDefinition<Counter>().method(Counter::addOne_, addOneMethod).build();
        Class hookedClass = objc::ClassDefinition<Counter>("BenchHooked", "NSObject")
                                .method(Counter::addOne_, addOneMethod)
                                .build();
        IMP saved = nullptr;
        MSHookMessageEx(hookedClass, Counter::addOne_.selector(), objc::toImp(&hookedAddOne), &saved);
        originalAddOne = reinterpret_cast<long (*)(id, SEL, long)>(reinterpret_cast<void (*)()>(saved));
        plain = objc::toId(Counter::make());
        hooked = objc::toId(Counter::make_.send(hookedClass));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void DirectCall(benchmark::State& state) {
    long value = 0;
    for (auto _ : state) {
        value = addOne(value);
        benchmark::DoNotOptimize(value);
    }
}

void Send(benchmark::State& state, id Fixture::*receiver) {
    id target = fixture().*receiver;
    long value = 0;
    for (auto _ : state) {
        value = objc::send<long>(target, Counter::addOne_.selector(), value);
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
