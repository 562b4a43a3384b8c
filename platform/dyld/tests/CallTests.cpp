// Calls across the loader's boundary: the host calling guest functions with each kind of argument, and
// guest code sending messages to a host object (narrow integers, floats, a float aggregate in and out,
// a struct over 16 bytes, a variadic send, nil), nested both ways; classes and blocks guest code makes.
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSObject.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "GuestLibrary.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Dyld.hpp"
#include "dyld/Signature.hpp"
#include "objc/ClassBuilder.hpp"
#include "runtime/Classes.hpp"

#include <gtest/gtest.h>

#include <objc/message.h>

#include <cstdarg>

struct ProbeRect {
    double x, y, width, height;
    friend bool operator==(const ProbeRect&, const ProbeRect&) = default;
};
struct ProbeTriple {
    long a, b, c;
    friend bool operator==(const ProbeTriple&, const ProbeTriple&) = default;
};
template <> struct objc::StructEncoding<ProbeRect> {
    static std::string value() { return "{ProbeRect=dddd}"; }
};
template <> struct objc::StructEncoding<ProbeTriple> {
    static std::string value() { return "{ProbeTriple=qqq}"; }
};

namespace {

using objc::operator""_sel;

class Target : public NS::Referencing<Target, "DyldTestTarget"> {
  public:
    OBJC_MESSAGE(narrow, "narrow:wide:flag:", int(signed char, unsigned short, bool))
    OBJC_MESSAGE(scale, "scale:by:", double(float, double))
    OBJC_MESSAGE(inset, "inset:by:", ProbeRect(ProbeRect, double))
    OBJC_MESSAGE(twice, "twice:", ProbeTriple(ProbeTriple))
    OBJC_MESSAGE(nest, "nest:", long(int))
    OBJC_MESSAGE(run, "run:", long(NS::Block*))
    OBJC_MESSAGE(keep, "keep:", void(NS::Block*))
};

// The last block keep: was given.
objc::Ref<NS::Block> kept;

const dyld::MachOImage& probe() { return dyld::testing::loadedLibrary("/Developer/Library/Probe.dylib"); }

// A function of the probe, callable from here.
template <class F> F guest(const char* name) { return dyld::testing::function<F>(probe(), name); }

long countObjects(id, SEL, id first, ...) {
    long count = 0;
    va_list list;
    va_start(list, first);
    for (id next = first; next != nil; next = va_arg(list, id)) {
        ++count;
    }
    va_end(list);
    return count;
}

class Calls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Class cls =
            objc::ClassDefinition<Target>()
                .method(Target::narrow_,
                        [](Target*, signed char a, unsigned short b, bool flag) -> int {
                            return a * 100000 + b + (flag ? 1 : 0);
                        })
                .method(Target::scale_, [](Target*, float a, double b) -> double { return a * b; })
                .method(Target::inset_,
                        [](Target*, ProbeRect r, double by) -> ProbeRect {
                            return {r.x + by, r.y + by, r.width - 2 * by, r.height - 2 * by};
                        })
                .method(Target::twice_,
                        [](Target*, ProbeTriple t) -> ProbeTriple {
                            return {t.a * 2, t.b * 2, t.c * 2};
                        })
                .method(Target::run_, [](Target*, NS::Block* block) { return block->invoke<long>(4L); })
                .method(Target::keep_, [](Target*, NS::Block* block) { kept = objc::retain(block); })
                .method(Target::nest_,
                        [](Target* self, int depth) -> long {
                            return guest<long (*)(id, int)>("_probeSendNested")(self->self(), depth);
                        })
                .build();
        class_addMethod(cls, sel_registerName("arrayWithObjects:"), objc::toImp(&countObjects), "q@:@");
    }
    void SetUp() override { target = objc::adopt(Target::alloc()->init()); }
    objc::Ref<Target> target;
};

TEST_F(Calls, HostCallsGuestWithEachKindOfArgument) {
    EXPECT_EQ(guest<int (*)(signed char, unsigned short, short, bool)>("_probeNarrow")(-3, 65535, -2, true),
              -3 * 1000000 + 65535 - 2 + 7);
    EXPECT_DOUBLE_EQ(guest<double (*)(float, double, int, float)>("_probeFloats")(1.5f, 3.0, -4, 0.25f),
                     0.75);
    EXPECT_EQ(guest<ProbeRect (*)(ProbeRect, double)>("_probeRect")({1, 2, 3, 4}, 0.5),
              (ProbeRect{0.5, 1, 1.5, 2}));
    EXPECT_EQ(guest<ProbeTriple (*)(ProbeTriple, long)>("_probeTriple")({1, -2, 3}, 10),
              (ProbeTriple{11, 8, 13}));
    // Nine integers fill x0-x7; the char, short and int after them lie packed on the stack.
    EXPECT_EQ(guest<long (*)(long, long, long, long, long, long, long, long, char, short, int)>("_probeMany")(
                  1, 2, 3, 4, 5, 6, 7, 8, 9, -10, 11),
              36 + 900 - 10000 + 110000);
}

TEST_F(Calls, GuestSendsEachKindOfArgumentToTheHost) {
    const id self = target->self();
    EXPECT_EQ(guest<int (*)(id)>("_probeSendNarrow")(self), -5 * 100000 + 65000 + 1);
    EXPECT_DOUBLE_EQ(guest<double (*)(id)>("_probeSendFloats")(self), 6.0);
    EXPECT_EQ(guest<ProbeRect (*)(id, ProbeRect)>("_probeSendRect")(self, {10, 20, 30, 40}),
              (ProbeRect{12, 22, 26, 36}));
    EXPECT_EQ(guest<ProbeTriple (*)(id)>("_probeSendTriple")(self), (ProbeTriple{2, 4, 6}));
}

TEST_F(Calls, AStructPassedByAddressIsReadOnlyWhereItCanBe) {
    auto send = guest<ProbeTriple (*)(id, const void*)>("_probeSendTripleAt");
    const ProbeTriple given{1, 2, 3};
    EXPECT_EQ(send(target->self(), &given), (ProbeTriple{2, 4, 6}));
    EXPECT_DEATH(send(target->self(), reinterpret_cast<const void*>(16)),
                 "dyld: objc_msgSend: guest code passed a struct it cannot read");
}

TEST_F(Calls, AVariadicSendPassesTheListOnTheStack) {
    auto send = guest<long (*)(id, id, id, id)>("_probeSendList");
    const id self = target->self();
    EXPECT_EQ(send(self, self, self, self), 3);
    EXPECT_EQ(send(self, self, nil, self), 1);
    EXPECT_EQ(send(self, nil, self, self), 0);
}

TEST_F(Calls, ASendToNilYieldsZeros) {
    EXPECT_EQ(guest<int (*)(id)>("_probeSendNarrow")(nil), 0);
    EXPECT_EQ(guest<double (*)(id)>("_probeSendFloats")(nil), 0.0);
    EXPECT_EQ(guest<ProbeRect (*)(id, ProbeRect)>("_probeSendRect")(nil, {10, 20, 30, 40}),
              (ProbeRect{0, 0, 0, 0}));
    // A struct returned in memory is zeroed there, not left as the call before left it.
    EXPECT_EQ(guest<ProbeTriple (*)(id)>("_probeSendTriple")(target->self()), (ProbeTriple{2, 4, 6}));
    EXPECT_EQ(guest<ProbeTriple (*)(id)>("_probeSendTriple")(nil), (ProbeTriple{0, 0, 0}));
}

TEST_F(Calls, GuestCodeDefinesAClassTheHostUses) {
    Class shape = guest<Class (*)(long)>("_probeDefineShape")(3);
    ASSERT_NE(shape, Nil);
    EXPECT_EQ(objc_lookUpClass("ProbeShape"), shape);
    EXPECT_TRUE(objc::conformsToProtocol(shape, "ProbeDrawing"));
    id object = objc::send<id>(objc::send<id>(shape, "alloc"_sel), "init"_sel);
    objc::send(object, "setSide:"_sel, 2.5);
    EXPECT_EQ(objc::ivarByName<double>(object, "_side"), 2.5);
    EXPECT_EQ(objc::send<ProbeRect>(object, "bounds"_sel), (ProbeRect{1, 2, 2.5, 5}));
    // A method whose body is a block, which captured the factor.
    EXPECT_EQ(objc::send<long>(object, "scaled:"_sel, 7L), 21);
    // A method that takes a block and hands it on to the host, which calls it.
    auto tenfold = NS::Block::create([](long n) { return n * 10; });
    EXPECT_EQ(objc::send<long>(object, "apply:to:"_sel, tenfold.get(), target->self()), 40);
    objc::send(object, "release"_sel);
}

TEST_F(Calls, TheMainQueueRunsGuestBlocksCopiedOrNot) {
    // Guest code writes it: not on the host's stack.
    static long runs = 0;
    {
        NS::AutoreleaseScope pool;
        guest<void (*)(long*)>("_probeDispatchCounting")(&runs);
    }
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(2.0));
    EXPECT_EQ(runs, 2);
}

TEST_F(Calls, GuestBlocksRunOnTheHostAndLetGoOfWhatTheyKeep) {
    auto witness = objc::adopt(NS::RootObject::alloc()->init());
    guest<void (*)(id, id, long)>("_probeHandBlock")(target->self(), witness->self(), 100);
    ASSERT_TRUE(kept);
    EXPECT_EQ(object_getClass(kept->self()), NS::Block::runtimeClass());
    EXPECT_EQ(witness->retainCount(), 2u);
    EXPECT_EQ(kept->invoke<long>(5L), 105);
    EXPECT_DEATH(kept->invoke<long>(1.5), "which its own signature does not take");
    kept = nullptr;
    EXPECT_EQ(witness->retainCount(), 1u);

    // A global block: retain and release do nothing to it, and the host gets one NSBlock for it.
    const id literal = guest<id (*)(id)>("_probeHandGlobalBlock")(target->self());
    ASSERT_TRUE(kept);
    const id first = kept->self();
    EXPECT_NE(first, literal);
    EXPECT_EQ(kept->invoke<long>(7L), 14);
    EXPECT_EQ(guest<id (*)(id)>("_probeHandGlobalBlock")(target->self()), literal);
    EXPECT_EQ(kept->self(), first);
    kept = nullptr;
}

TEST_F(Calls, GuestAndHostCallsNest) {
    // Each level is guest code sending to the host, whose method calls the guest again.
    EXPECT_EQ(guest<long (*)(id, int)>("_probeSendNested")(target->self(), 20), 20);
    EXPECT_EQ(dyld::Cpu::current().depth(), 0);
}

TEST_F(Calls, RunawayNestingStopsWithAMessage) {
    EXPECT_DEATH(guest<long (*)(id, int)>("_probeSendNested")(target->self(), 60),
                 "nest deeper than 48 levels");
}

void hostOnly() {}

TEST(GuestFaults, ABranchToHostCodeStopsWithAMessage) {
    auto jump = dyld::hostFunction<void (*)()>(reinterpret_cast<std::uint64_t>(&hostOnly));
    EXPECT_DEATH(jump(), "guest code stopped at");
}

TEST(GuestFaults, ATypeEncodingNestedTooDeepStopsWithAMessage) {
    const std::string deep = std::string(5000, '^') + "q";
    auto addMethod = guest<BOOL (*)(Class, const char*)>("_probeAddMethodTyped");
    EXPECT_DEATH(addMethod(objc_lookUpClass("NSObject"), ("v@:" + deep).c_str()),
                 "dyld: class_addMethod typed: the type encoding \"v@:\\^{77}\\.\\.\\.\" nests its types "
                 "deeper than 32 levels");
    EXPECT_DEATH(guest<IMP (*)(const char*)>("_probeImplementationTyped")(("q@?" + deep).c_str()),
                 "dyld: imp_implementationWithBlock: the type encoding \"q@\\?\\^{77}\\.\\.\\.\" nests its "
                 "types deeper than 32 levels");
    // As deep as the frameworks' own go, a block's types are read.
    EXPECT_NE(guest<IMP (*)(const char*)>("_probeImplementationTyped")(
                  ("q@?@" + std::string(31, '^') + "v").c_str()),
              nullptr);
}

TEST(GuestFaults, PointersThatAreNoObjectsStopWithTheImportsMessage) {
    auto send = guest<id (*)(id, SEL)>("_probeSend");
    auto sendSuper = guest<id (*)(void*, SEL)>("_probeSendSuper");
    auto object = objc::adopt(NS::RootObject::alloc()->init());
    const id cls = reinterpret_cast<id>(object_getClass(object->self()));
    // What is an object, or a class, is sent to.
    EXPECT_EQ(send(object->self(), "self"_sel), object->self());
    EXPECT_EQ(send(cls, "self"_sel), cls);
    objc_super super{object->self(), object_getClass(object->self())};
    EXPECT_EQ(sendSuper(&super, "self"_sel), object->self());

    // Memory that cannot be read, and memory that can but holds no object.
    static long notAnObject[16] = {0x1234};
    const auto wild = reinterpret_cast<id>(16);
    EXPECT_DEATH(send(wild, "self"_sel),
                 "dyld: objc_msgSend: guest code passed a receiver it cannot read \\(0x10\\)");
    EXPECT_DEATH(send(reinterpret_cast<id>(notAnObject), "self"_sel),
                 "dyld: objc_msgSend: guest code passed a receiver that is no object");
    EXPECT_DEATH(send(object->self(), reinterpret_cast<SEL>(16)),
                 "dyld: objc_msgSend: guest code passed a selector it cannot read");
    EXPECT_DEATH(sendSuper(wild, "self"_sel),
                 "dyld: objc_msgSendSuper: guest code passed a superclass record it cannot read");
    objc_super badClass{object->self(), reinterpret_cast<Class>(notAnObject)};
    EXPECT_DEATH(sendSuper(&badClass, "self"_sel),
                 "dyld: objc_msgSendSuper: guest code passed a superclass that is no class");

    auto hook = guest<void (*)(Class, SEL, IMP*)>("_probeHook");
    EXPECT_DEATH(hook(object_getClass(object->self()), "self"_sel, reinterpret_cast<IMP*>(16)),
                 "dyld: MSHookMessageEx: guest code passed a result it cannot write");
    EXPECT_DEATH(hook(reinterpret_cast<Class>(notAnObject), "self"_sel, nullptr),
                 "dyld: MSHookMessageEx: guest code passed a class that is no class");

    auto once = guest<void (*)(long*, void*)>("_probeOnce");
    long predicate = 0;
    once(&predicate, nullptr);
    EXPECT_EQ(predicate, ~0l);
    static const long constant = 0;
    EXPECT_DEATH(once(reinterpret_cast<long*>(16), nullptr),
                 "dyld: dispatch_once: guest code passed a predicate it cannot read");
    EXPECT_DEATH(once(const_cast<long*>(&constant), nullptr),
                 "dyld: dispatch_once: guest code passed a predicate it cannot write");
    long fresh = 0;
    EXPECT_DEATH(once(&fresh, reinterpret_cast<void*>(16)),
                 "dyld: dispatch_once: guest code passed a block it cannot read");
}

TEST(Signatures, ReadTypeEncodings) {
    const auto& rect = dyld::Signature::of("{CGRect={CGPoint=dd}{CGSize=dd}}32@0:8");
    EXPECT_EQ(rect.result().floats, 4);
    EXPECT_EQ(rect.result().size, 32u);
    EXPECT_EQ(rect.arguments().size(), 2u);
    const auto& mixed = dyld::Signature::of("v@:{Mixed=fi}[4f]^{Opaque=ii}r*");
    EXPECT_EQ(mixed.arguments()[2].floats, 0);
    EXPECT_EQ(mixed.arguments()[2].size, 8u);
    EXPECT_EQ(mixed.arguments()[3].floats, 4);
    EXPECT_EQ(mixed.arguments()[4].size, 8u);
    EXPECT_EQ(mixed.arguments()[5].size, 8u);
    for (const char* bad : {"D@:", "v@:(Union=id)", "v@:{Open=ii", "v@:{Empty=}", "v@:[0i]", "vv", "v@:%"}) {
        std::string error;
        EXPECT_EQ(dyld::Signature::of(bad, error), nullptr) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

TEST(Signatures, ReadMembersAsTheRuntimeWritesThem) {
    // GNU names each member in quotes; qualifiers may stand before a member, atomic among them.
    const auto& named = dyld::Signature::of("v@:{CGPoint=\"x\"d\"y\"d}{Counter=Ai}{Text=r*}");
    EXPECT_EQ(named.arguments()[2].floats, 2);
    EXPECT_EQ(named.arguments()[2].size, 16u);
    EXPECT_EQ(named.arguments()[3].size, 4u);
    EXPECT_EQ(named.arguments()[4].size, 8u);
    // A pointer passes as a pointer whatever it points at, even what could not cross by value.
    const auto& pointers = dyld::Signature::of("^D@:^(Union=id)^b3^{Opaque}");
    EXPECT_EQ(pointers.result().size, 8u);
    for (const auto& argument : pointers.arguments()) {
        EXPECT_EQ(argument.size, 8u);
        EXPECT_EQ(argument.kind, dyld::ValueType::Kind::Integer);
    }
    // Arrays and structs within each other keep their layout.
    const auto& nested = dyld::Signature::of("v@:{Quad=[2{Pair=ff}]}{Padded=c[3s]q}");
    EXPECT_EQ(nested.arguments()[2].floats, 4);
    EXPECT_EQ(nested.arguments()[2].member, 4u);
    EXPECT_EQ(nested.arguments()[3].size, 16u);
    EXPECT_EQ(nested.arguments()[3].floats, 0);

    std::string error;
    EXPECT_EQ(dyld::Signature::of("v@:{Hollow=v}", error), nullptr);
    EXPECT_EQ(error, "the type encoding \"v@:{Hollow=v}\" has a struct with a member of type void");
    EXPECT_EQ(dyld::Signature::of("v@:[4v]", error), nullptr);
    EXPECT_EQ(error, "the type encoding \"v@:[4v]\" has a malformed array");
    EXPECT_EQ(dyld::Signature::of("v@:[5000i]", error), nullptr);
    EXPECT_EQ(error, "the type encoding \"v@:[5000i]\" has an array too long to pass");
    EXPECT_EQ(dyld::Signature::of("v@:[99999999999999999999999i]", error), nullptr);
    EXPECT_NE(error.find("has an array too long to pass"), std::string::npos) << error;
}

TEST(Signatures, RefuseTypesNestedTooDeep) {
    // Structs and arrays within each other count as pointers do: as deep as the frameworks go is read.
    const auto nest = [](int levels) {
        std::string type = "i";
        for (int i = 0; i < levels; ++i) {
            type = (i % 2 == 0 ? "{S=" + type + "}" : "[1" + type + "]");
        }
        return "v@:" + type;
    };
    std::string error;
    EXPECT_NE(dyld::Signature::of(nest(32), error), nullptr) << error;
    EXPECT_EQ(dyld::Signature::of(nest(33), error), nullptr);
    EXPECT_NE(error.find("nests its types deeper than 32 levels"), std::string::npos) << error;
    EXPECT_EQ(dyld::Signature::of(nest(5000), error), nullptr);
    EXPECT_NE(error.find("nests its types deeper than 32 levels"), std::string::npos) << error;
}

} // namespace
