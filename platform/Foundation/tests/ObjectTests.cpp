#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSObject.hpp"
#include "objc/ClassBuilder.hpp"
#include "runtime/Classes.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using objc::operator""_sel;

struct Rect {
    double x, y, w, h;
};

int deallocations = 0;

// A small class family built the way the product builds its classes.
struct Animal : NS::Referencing<Animal, "TestAnimal"> {
    OBJC_MESSAGE_NAMED(soundText, sound_, "sound", const char*())
    std::string sound() const { return soundText(); }
    OBJC_MESSAGE(legs, "legs", int())
    OBJC_MESSAGE(weight, "weight", double())
    OBJC_MESSAGE(frame, "frame", Rect())
    OBJC_CLASS_MESSAGE(kind, "kind", const char*())
};
struct Puppy : NS::Referencing<Puppy, "TestPuppy", Animal> {};
struct Counted : NS::Referencing<Counted, "TestCounted"> {};
struct Lending : NS::Referencing<Lending, "TestLending"> {};

const char* animalSound(Animal*, SEL) { return "..."; }
const char* dogSound(Animal*, SEL) { return "woof"; }
int animalLegs(Animal*) { return 4; }
double animalWeight(Animal*) { return 12.5; }
Rect animalFrame(Animal*) { return Rect{1, 2, 3, 4}; }
const char* puppySound(Animal* self) {
    static std::string s;
    s = std::string("small ") + Animal::sound_.super<Puppy>(self);
    return s.c_str();
}
const char* animalKind(Class) { return "animal"; }
const char* puppyKind(Class cls) {
    static std::string s;
    s = std::string("young ") + Animal::kind_.super<Puppy>(cls);
    return s.c_str();
}
void countingDealloc(NS::Object* self) {
    ++deallocations;
    NS::Object::dealloc_.super<Counted>(self);
}

// Hands itself to code that takes and drops a reference while it goes, as an observer list might.
void lendingDealloc(NS::Object* self) {
    ++deallocations;
    { objc::Ref<NS::Object> lent = objc::retain(self); }
    NS::Object::dealloc_.super<Lending>(self);
}

struct Counter {
    int hits = 0;
};

class ObjectFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<Animal>()
            .method<&animalSound>(Animal::sound_)
            .method<&animalLegs>(Animal::legs_)
            .method<&animalWeight>(Animal::weight_)
            .method<&animalFrame>(Animal::frame_)
            .property<id>("friend")
            .property<id>("owner", objc::Ownership::Plain)
            .property<double>("age")
            .property<int>("UTF8Length")
            .property<id>("URL")
            .method<&animalKind>(Animal::kind_)
            .protocol("TestBarking")
            .build();
        objc::ClassDefinition<Animal>("TestDog", "TestAnimal").method<&dogSound>(Animal::sound_).build();
        objc::ClassDefinition<Animal>("TestPuppy", "TestDog")
            .method<&puppySound>(Animal::sound_)
            .method<&puppyKind>(Animal::kind_)
            .build();
        objc::ClassDefinition<NS::Object>("TestCounted", "NSObject")
            .method<&countingDealloc>(NS::Object::dealloc_)
            .build();
        objc::ClassDefinition<NS::Object>("TestLending", "NSObject")
            .method<&lendingDealloc>(NS::Object::dealloc_)
            .build();
    }
    void SetUp() override { deallocations = 0; }
};

id make(const char* cls) { return objc::send<id>(objc_lookUpClass(cls), "new"_sel); }

TEST_F(ObjectFixture, SendsToNilYieldZeroOfEveryResultKind) {
    id nothing = nil;
    EXPECT_EQ(objc::send<int>(nothing, "legs"_sel), 0);
    EXPECT_EQ(objc::send<double>(nothing, "weight"_sel), 0.0);
    EXPECT_EQ(objc::send<float>(nothing, "weight"_sel), 0.0f);
    EXPECT_EQ(objc::send<id>(nothing, "friend"_sel), nil);
    Rect r = objc::send<Rect>(nothing, "frame"_sel);
    EXPECT_EQ(r.x + r.y + r.w + r.h, 0.0);
    objc::send(nothing, "release"_sel);
}

TEST_F(ObjectFixture, SubclassesInheritAndOverride) {
    id dog = make("TestDog");
    id puppy = make("TestPuppy");
    EXPECT_EQ(reinterpret_cast<Animal*>(dog)->sound(), "woof");
    EXPECT_EQ(reinterpret_cast<Animal*>(puppy)->sound(), "small woof");
    EXPECT_EQ(objc::send<int>(puppy, "legs"_sel), 4);
    EXPECT_STREQ(objc::send<const char*>(objc_lookUpClass("TestPuppy"), "kind"_sel), "young animal");
    EXPECT_STREQ(objc::send<const char*>(objc_lookUpClass("TestDog"), "kind"_sel), "animal");
    EXPECT_DOUBLE_EQ(objc::send<double>(dog, "weight"_sel), 12.5);
    Rect r = objc::send<Rect>(dog, "frame"_sel);
    EXPECT_EQ(r.w, 3);
    EXPECT_TRUE(objc::send<bool>(puppy, "isKindOfClass:"_sel, objc_lookUpClass("TestAnimal")));
    EXPECT_FALSE(objc::send<bool>(dog, "isKindOfClass:"_sel, objc_lookUpClass("TestPuppy")));
    EXPECT_TRUE(objc::conformsToProtocol(objc_lookUpClass("TestPuppy"), "TestBarking"));
    EXPECT_FALSE(objc::conformsToProtocol(objc_lookUpClass("NSObject"), "TestBarking"));
    objc::send(dog, "release"_sel);
    objc::send(puppy, "release"_sel);
}

TEST_F(ObjectFixture, ALaterDefinitionOfASelectorWins) {
    Class cls = objc::ClassDefinition<Animal>("TestRedefined", "NSObject")
                    .property<id>("sound")
                    .method<&dogSound>(Animal::sound_)
                    .build();
    id object = objc::send<id>(cls, "new"_sel);
    EXPECT_STREQ(objc::send<const char*>(object, "sound"_sel), "woof");
    objc::send(object, "release"_sel);
}

TEST_F(ObjectFixture, SelectorLiteralsTravelAsSelectors) {
    id dog = make("TestDog");
    EXPECT_TRUE(objc::send<bool>(dog, "respondsToSelector:"_sel, "legs"_sel));
    EXPECT_FALSE(objc::send<bool>(dog, "respondsToSelector:"_sel, "fly"_sel));
    objc::send(dog, "release"_sel);
}

TEST_F(ObjectFixture, BuildingAnExistingClassKeepsTheLiveOne) {
    Class before = objc_lookUpClass("TestDog");
    Class again =
        objc::ClassDefinition<Animal>("TestDog", "NSObject").method<&animalSound>(Animal::sound_).build();
    EXPECT_EQ(again, before);
    id dog = make("TestDog");
    EXPECT_EQ(reinterpret_cast<Animal*>(dog)->sound(), "woof");
    objc::send(dog, "release"_sel);
}

TEST_F(ObjectFixture, OwningPropertiesRetainAndReleaseOnDealloc) {
    id animal = make("TestAnimal");
    id counted = make("TestCounted");
    objc::send(animal, "setFriend:"_sel, counted);
    EXPECT_EQ(objc::send<unsigned long>(counted, "retainCount"_sel), 2u);
    objc::send(animal, "setOwner:"_sel, counted);
    EXPECT_EQ(objc::send<unsigned long>(counted, "retainCount"_sel), 2u);
    EXPECT_EQ(objc::send<id>(animal, "owner"_sel), counted);
    objc::send(animal, "setAge:"_sel, 3.5);
    EXPECT_DOUBLE_EQ(objc::send<double>(animal, "age"_sel), 3.5);
    // Names that start with capitals keep them in the setter: URL, setURL:.
    objc::send(animal, "setUTF8Length:"_sel, 7);
    EXPECT_EQ(objc::send<int>(animal, "UTF8Length"_sel), 7);
    objc::send(animal, "setURL:"_sel, counted);
    EXPECT_EQ(objc::send<id>(animal, "URL"_sel), counted);
    EXPECT_EQ(objc::send<unsigned long>(counted, "retainCount"_sel), 3u);
    objc::send(counted, "release"_sel);
    EXPECT_EQ(deallocations, 0);
    objc::send(animal, "release"_sel);
    EXPECT_EQ(deallocations, 1);
}

TEST_F(ObjectFixture, RefFollowsOwnershipRules) {
    {
        auto owned = objc::adopt(reinterpret_cast<NS::Object*>(make("TestCounted")));
        EXPECT_EQ(owned->retainCount(), 1u);
        objc::Ref<NS::Object> second = owned;
        EXPECT_EQ(owned->retainCount(), 2u);
        objc::Ref<NS::Object> moved = std::move(second);
        EXPECT_EQ(owned->retainCount(), 2u);
    }
    EXPECT_EQ(deallocations, 1);
}

TEST_F(ObjectFixture, ReferencesTakenDuringDeallocDoNotDeallocAgain) {
    id object = make("TestLending");
    objc::send(object, "release"_sel);
    EXPECT_EQ(deallocations, 1);
}

TEST_F(ObjectFixture, AutoreleasePoolsNestAndDrainInnermostFirst) {
    NS::AutoreleaseScope outer;
    id kept = make("TestCounted");
    objc::send(kept, "autorelease"_sel);
    {
        NS::AutoreleaseScope inner;
        objc::send(make("TestCounted"), "autorelease"_sel);
        EXPECT_EQ(NS::AutoreleasePoolInternals::pendingCount(), 1u);
    }
    EXPECT_EQ(deallocations, 1);
    EXPECT_EQ(NS::AutoreleasePoolInternals::pendingCount(), 1u);
}

TEST_F(ObjectFixture, DrainingAnOuterPoolDrainsForgottenInnerOnes) {
    auto outer = NS::AutoreleasePool::alloc()->init();
    objc::send(make("TestCounted"), "autorelease"_sel);
    NS::AutoreleasePool::alloc()->init(); // never drained by its owner
    objc::send(make("TestCounted"), "autorelease"_sel);
    outer->drain();
    EXPECT_EQ(deallocations, 2);
    EXPECT_EQ(NS::AutoreleasePoolInternals::pendingCount(), 0u);
}

TEST_F(ObjectFixture, BlocksCarryCallablesAndFreeThem) {
    auto counter = std::make_shared<Counter>();
    {
        auto block = NS::Block::create([counter](int n) { counter->hits += n; });
        block->invoke<void, int>(3);
        block->invoke<void, int>(4);
        EXPECT_EQ(counter.use_count(), 2);
        objc::Ref<NS::Object> copy = objc::adopt(block->copy());
        EXPECT_EQ(copy.get(), block.get().as<NS::Object>());
    }
    EXPECT_EQ(counter->hits, 7);
    EXPECT_EQ(counter.use_count(), 1);
}

TEST_F(ObjectFixture, ClassObjectsIgnoreReferenceCounting) {
    Class cls = objc_lookUpClass("TestAnimal");
    objc::send(cls, "release"_sel);
    objc::send(cls, "retain"_sel);
    id animal = make("TestAnimal");
    EXPECT_NE(animal, nil);
    objc::send(animal, "release"_sel);
}

// +class, +retain and +autorelease all answer the class itself, and its count never runs out.
TEST_F(ObjectFixture, ClassObjectsAnswerThemselves) {
    Class cls = objc_lookUpClass("TestAnimal");
    EXPECT_EQ(objc::send<Class>(cls, "class"_sel), cls);
    EXPECT_EQ(objc::send<Class>(cls, "retain"_sel), cls);
    EXPECT_EQ(objc::send<Class>(cls, "autorelease"_sel), cls);
    EXPECT_EQ(objc::send<unsigned long>(cls, "retainCount"_sel), ~0UL);
}

TEST(ObjectDeathTest, UnknownSelectorNamesTheClass) {
    id object = objc::send<id>(objc_lookUpClass("NSObject"), "new"_sel);
    EXPECT_DEATH(objc::send(object, "noSuchThing"_sel), "-\\[NSObject noSuchThing\\]: unrecognized selector");
    objc::send(object, "release"_sel);
}

} // namespace
