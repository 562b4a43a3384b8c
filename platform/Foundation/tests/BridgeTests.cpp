// The typed bridge: declared messages, calls on nil, typed implementations and class registration order.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSObject.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace {

struct Box {
    double x, y, width, height;
    friend bool operator==(const Box&, const Box&) = default;
};

} // namespace

template <> struct objc::StructEncoding<Box> {
    static std::string value() { return "{Box=dddd}"; }
};

namespace {

// One message of each result kind.
class Probe : public NS::Referencing<Probe, "TestBridgeProbe"> {
  public:
    OBJC_IVAR(_nextProbe, Probe*, Owning)

    OBJC_MESSAGE(number, "number", int())
    OBJC_MESSAGE(flag, "flag", bool())
    OBJC_MESSAGE(real, "real", double())
    OBJC_MESSAGE(single, "single", float())
    OBJC_MESSAGE(box, "box", Box())
    OBJC_MESSAGE(next, "next", Probe*())
    OBJC_MESSAGE(name, "name", NS::String*())
    OBJC_MESSAGE(text, "text", const char*())
    OBJC_MESSAGE(touch, "touch", void())
    OBJC_MESSAGE(scaled, "scaledBox:by:", Box(Box, double))
    OBJC_MESSAGE(setNext, "setNext:", void(Probe*))
    OBJC_MESSAGE(setNextProbe, "setNextProbe:", void(Probe*))
    OBJC_MESSAGE(items, "items", NS::Array*())
    OBJC_MESSAGE(setItems, "setItems:", void(NS::Array*))
    OBJC_CLASS_MESSAGE(probe, "probe", Probe*())
};

int touches = 0;

class BridgeFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<Probe>()
            .property(Probe::_nextProbe)
            .property<NS::Array*>("items", objc::Ownership::Copying)
            .method(Probe::number_, [](Probe*) -> int { return 7; })
            .method(Probe::flag_, [](Probe*) -> bool { return true; })
            .method(Probe::real_, [](Probe*) -> double { return 2.5; })
            .method(Probe::single_, [](Probe*) -> float { return 1.5F; })
            .method(Probe::box_,
                    [](Probe*) -> Box {
                        return Box{1, 2, 3, 4};
                    })
            .method(Probe::next_, [](Probe* self) -> Probe* { return objc::ivar(self, Probe::_nextProbe); })
            .method(Probe::setNext_, [](Probe* self, objc::Ptr<Probe> next) { self->setNextProbe(next); })
            .method(Probe::name_, [](Probe*) -> NS::String* { return NS::String::string("probe"); })
            .method(Probe::text_, [](Probe*) -> const char* { return "text"; })
            .method(Probe::touch_, [](Probe*) { ++touches; })
            .method(Probe::scaled_,
                    [](Probe*, SEL sel, Box b, double by) -> Box {
                        EXPECT_EQ(std::string(sel_getName(sel)), "scaledBox:by:");
                        return Box{b.x * by, b.y * by, b.width * by, b.height * by};
                    })
            .method(Probe::probe_,
                    [](Class cls) -> Probe* { return Probe::alloc_.send(cls)->init()->autorelease(); })
            .build();
    }
};

TEST_F(BridgeFixture, TypedCallsReachTheirImplementations) {
    NS::AutoreleaseScope pool;
    objc::Ptr<Probe> probe = Probe::probe();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->number(), 7);
    EXPECT_TRUE(probe->flag());
    EXPECT_EQ(probe->real(), 2.5);
    EXPECT_EQ(probe->single(), 1.5F);
    EXPECT_EQ(probe->box(), (Box{1, 2, 3, 4}));
    EXPECT_EQ(probe->scaled(Box{1, 1, 2, 2}, 3.0), (Box{3, 3, 6, 6}));
    EXPECT_EQ(probe->name()->str(), "probe");
    EXPECT_STREQ(probe->text(), "text");
    touches = 0;
    probe->touch();
    EXPECT_EQ(touches, 1);
}

TEST_F(BridgeFixture, ACallOnNilYieldsTheZeroOfEveryResultKind) {
    NS::AutoreleaseScope pool;
    // A call that left non-zero values in the result registers comes first, so that a zero below is
    // one the send made rather than one left over.
    objc::Ptr<Probe> probe = Probe::probe();
    ASSERT_EQ(probe->box(), (Box{1, 2, 3, 4}));
    ASSERT_EQ(probe->real(), 2.5);

    objc::Ptr<Probe> none;
    EXPECT_EQ(none->number(), 0);
    EXPECT_FALSE(none->flag());
    EXPECT_EQ(none->real(), 0.0);
    EXPECT_EQ(none->single(), 0.0F);
    EXPECT_EQ(none->box(), (Box{0, 0, 0, 0}));
    EXPECT_EQ(none->scaled(Box{1, 1, 1, 1}, 2.0), (Box{0, 0, 0, 0}));
    EXPECT_EQ(none->next(), nullptr);
    EXPECT_EQ(none->name(), nullptr);
    EXPECT_EQ(none->text(), nullptr);
    touches = 0;
    none->touch();
    EXPECT_EQ(touches, 0);

    // A nil in the middle of a chain, as Objective-C code writes it.
    EXPECT_EQ(probe->next()->next()->box(), (Box{0, 0, 0, 0}));
    EXPECT_EQ(probe->next()->name()->length(), 0UL);
    EXPECT_EQ(none->self(), nil);

    // Members written in C++ over sends hold to the same rule.
    objc::Ptr<NS::Number> noNumber;
    EXPECT_FALSE(noNumber->isReal());
    EXPECT_FALSE(noNumber->isBoolean());
    objc::Ptr<NS::String> noString;
    EXPECT_EQ(noString->str(), "");
    EXPECT_EQ(noString->byteLength(), 0UL);

    // An owning reference to nothing behaves the same.
    objc::Ref<Probe> empty;
    EXPECT_EQ(empty->real(), 0.0);
    EXPECT_EQ(empty->next(), nullptr);
}

TEST_F(BridgeFixture, OwningReferencesPassToSendsAsTheObjectTheyHold) {
    NS::AutoreleaseScope pool;
    objc::Ref<Probe> first = objc::adopt(Probe::alloc()->init());
    objc::Ref<Probe> second = objc::adopt(Probe::alloc()->init());
    first->setNext(second);
    EXPECT_EQ(first->next(), second.get());
    // The owning property took its own reference.
    EXPECT_EQ(second->retainCount(), 2UL);
    first->setNext(nullptr);
    EXPECT_EQ(second->retainCount(), 1UL);
}

TEST_F(BridgeFixture, ACopyingPropertyKeepsWhatWasSetNotWhatItBecomes) {
    NS::AutoreleaseScope pool;
    objc::Ref<Probe> probe = objc::adopt(Probe::alloc()->init());
    auto list = NS::MutableArray::array();
    list->addObject(NS::String::string("first"));
    probe->setItems(list);
    list->addObject(NS::String::string("second"));
    EXPECT_EQ(probe->items()->count(), 1UL);
    EXPECT_NE(probe->items(), list.as<NS::Array>());
}

// What C++ may not do with a runtime object or an owning reference.
static_assert(!std::is_default_constructible_v<NS::String>);
static_assert(!std::is_copy_constructible_v<NS::String>);
static_assert(!std::is_copy_assignable_v<NS::String>);
static_assert(!std::is_destructible_v<NS::String>);
static_assert(!std::is_convertible_v<objc::Ref<NS::String>, NS::String*>);
static_assert(!std::is_convertible_v<objc::Ref<NS::String>, objc::Ptr<NS::String>>);
static_assert(sizeof(objc::Ptr<NS::String>) == sizeof(void*));
static_assert(std::is_trivially_copyable_v<objc::Ptr<NS::String>>);

class Late : public NS::Referencing<Late, "TestBridgeLateBase"> {
  public:
    OBJC_MESSAGE(answer, "answer", int())
};
class LateChild : public NS::Referencing<LateChild, "TestBridgeLateChild", Late> {};

TEST(ClassRegistration, ASubclassBuiltBeforeItsSuperclassWaitsForIt) {
    Class child = objc::ClassDefinition<LateChild>().build();
    EXPECT_EQ(child, Nil);
    EXPECT_EQ(objc_lookUpClass("TestBridgeLateChild"), Nil);

    Class base = objc::ClassDefinition<Late>().method(Late::answer_, [](Late*) -> int { return 42; }).build();
    ASSERT_NE(base, Nil);
    Class built = objc_lookUpClass("TestBridgeLateChild");
    ASSERT_NE(built, Nil);
    EXPECT_EQ(class_getSuperclass(built), base);
    objc::Ref<LateChild> object = objc::adopt(LateChild::alloc()->init());
    EXPECT_EQ(object->answer(), 42);
    // Nothing is left waiting.
    objc::requireClassesRegistered();
}

TEST(ClassRegistrationDeathTest, AMissingSuperclassStopsTheProgramNamingTheClass) {
    EXPECT_DEATH(
        {
            objc::ClassBuilder("TestBridgeOrphan", "TestBridgeNoSuchClass").build();
            objc::requireClassesRegistered();
        },
        "TestBridgeOrphan.*TestBridgeNoSuchClass");
}

// One instance variable of each kind, and one the class below never gets.
class Holder : public NS::Referencing<Holder, "TestBridgeHolder"> {
  public:
    OBJC_IVAR(_count, long)
    OBJC_IVAR(_extent, Box)
    OBJC_IVAR(_owned, NS::Object*, Owning)
    OBJC_IVAR(_missing, int)
};
class HolderChild : public NS::Referencing<HolderChild, "TestBridgeHolderChild", Holder> {
  public:
    OBJC_IVAR(_flag, bool)
};

class InstanceVariables : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<Holder>()
            .ivar(Holder::_count)
            .ivar(Holder::_extent)
            .ivar(Holder::_owned)
            .build();
        objc::ClassDefinition<HolderChild>().ivar(HolderChild::_flag).build();
    }
};

TEST_F(InstanceVariables, EachKindReadsBackWhatWasStoredAndNilReadsZero) {
    auto holder = objc::adopt(HolderChild::alloc()->init());
    EXPECT_EQ(objc::ivar(holder, Holder::_count), 0);
    objc::setIvar(holder, Holder::_count, -12);
    objc::setIvar(holder, Holder::_extent, Box{1.5, -2, 30, 40.25});
    objc::setIvar(holder, HolderChild::_flag, true);
    auto object = objc::adopt(NS::RootObject::alloc()->init());
    objc::storeOwned(holder.get(), Holder::_owned, object.get());
    EXPECT_EQ(objc::ivar(holder, Holder::_count), -12);
    EXPECT_EQ(objc::ivar(holder, Holder::_extent), (Box{1.5, -2, 30, 40.25}));
    EXPECT_TRUE(objc::ivar(holder, HolderChild::_flag));
    EXPECT_EQ(objc::toId(objc::ivar(holder, Holder::_owned)), objc::toId(object));
    // Stored owned: the holder's reference beside ours, given up when another value takes its place.
    EXPECT_EQ(object->retainCount(), 2U);
    objc::storeOwned(holder.get(), Holder::_owned, nullptr);
    EXPECT_EQ(object->retainCount(), 1U);
    // The variables do not overlap: each kept its own value.
    EXPECT_EQ(objc::ivar(holder, Holder::_count), -12);
    EXPECT_EQ(objc::ivar(holder, Holder::_extent), (Box{1.5, -2, 30, 40.25}));

    objc::Ptr<Holder> none;
    objc::setIvar(none, Holder::_count, 5);
    EXPECT_EQ(objc::ivar(none, Holder::_count), 0);
    EXPECT_EQ(objc::ivar(none, Holder::_extent), (Box{0, 0, 0, 0}));
    EXPECT_EQ(objc::ivar(none, Holder::_owned), nullptr);
}

TEST_F(InstanceVariables, TheClassDefinitionDeclaresThemWithTheirTypesAndOwnership) {
    Class cls = objc_lookUpClass("TestBridgeHolder");
    ASSERT_NE(cls, Nil);
    Ivar extent = class_getInstanceVariable(cls, "_extent");
    ASSERT_NE(extent, nullptr);
    EXPECT_STREQ(ivar_getTypeEncoding(extent), "{Box=dddd}");
    EXPECT_EQ(class_getInstanceVariable(cls, "_missing"), nullptr);
    // An owning variable is released with its object: the object outlives the holder only by our reference.
    auto object = objc::adopt(NS::RootObject::alloc()->init());
    {
        auto holder = objc::adopt(Holder::alloc()->init());
        objc::storeOwned(holder.get(), Holder::_owned, object.get());
        ASSERT_EQ(object->retainCount(), 2U);
    }
    EXPECT_EQ(object->retainCount(), 1U);
}

TEST_F(InstanceVariables, ADeclaredVariableTheClassLacksStopsTheProgramNamingBoth) {
    auto holder = objc::adopt(Holder::alloc()->init());
    EXPECT_DEATH(objc::ivar(holder, Holder::_missing),
                 "class TestBridgeHolder has no instance variable _missing");
}

TEST(InstanceVariablesDeathTest, AClassCannotDeclareAnotherViewsVariable) {
    EXPECT_DEATH(objc::ClassDefinition<HolderChild>().ivar(Holder::_count),
                 "class TestBridgeHolderChild cannot hold _count, an instance variable of TestBridgeHolder");
}

} // namespace
