#include "Foundation/NSObject.hpp"
#include "objc/ClassBuilder.hpp"
#include "substrate/substrate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using objc::operator""_sel;

// The messages of the test classes, as a view of the base class declares them.
struct Base : NS::Referencing<Base, "SubstrateTestBase"> {
    OBJC_MESSAGE(title, "title", const char*())
    OBJC_MESSAGE(name, "name", const char*())
    OBJC_MESSAGE(count, "count:", int(int))
    OBJC_CLASS_MESSAGE(kind, "kind", const char*())
};

const char* baseTitle(NS::Object*) { return "base"; }
const char* derivedName(NS::Object*) { return "derived"; }
int baseCount(NS::Object*, int n) { return n; }
const char* factoryKind(Class) { return "factory"; }

// An implementation handed back by a hook, called with its method's own signature.
template <class F> F as(IMP imp) { return reinterpret_cast<F>(reinterpret_cast<void (*)()>(imp)); }

IMP originalTitle = nullptr;
IMP originalName = nullptr;
IMP originalCount = nullptr;
IMP originalKind = nullptr;
IMP originalNameAgain = nullptr;

const char* hookedTitle(id self, SEL sel) {
    static thread_local std::string text;
    text = std::string("hooked ") + as<const char* (*)(id, SEL)>(originalTitle)(self, sel);
    return text.c_str();
}
const char* hookedName(id self, SEL sel) {
    static thread_local std::string text;
    text = std::string("[") + as<const char* (*)(id, SEL)>(originalName)(self, sel) + "]";
    return text.c_str();
}
const char* hookedNameAgain(id self, SEL sel) {
    static thread_local std::string text;
    text = std::string("{") + as<const char* (*)(id, SEL)>(originalNameAgain)(self, sel) + "}";
    return text.c_str();
}
int hookedCount(id self, SEL sel, int n) {
    return 10 * as<int (*)(id, SEL, int)>(originalCount)(self, sel, n);
}
const char* hookedKind(id, SEL) { return "hooked factory"; }

// Base defines `title` and `count:`; Middle inherits them and defines `name`; Leaf inherits all.
class Hooking : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<NS::Object>("SubstrateTestBase", "NSObject")
            .method<&baseTitle>(Base::title_)
            .method<&baseCount>(Base::count_)
            .method<&factoryKind>(Base::kind_)
            .build();
        objc::ClassDefinition<NS::Object>("SubstrateTestMiddle", "SubstrateTestBase")
            .method<&derivedName>(Base::name_)
            .build();
        objc::ClassBuilder("SubstrateTestLeaf", "SubstrateTestMiddle").build();
        objc::ClassBuilder("SubstrateTestOther", "SubstrateTestBase").build();
        objc::ClassBuilder("SubstrateTestSpare", "SubstrateTestBase").build();
    }

    static id make(const char* cls) { return objc::send<id>(objc_lookUpClass(cls), "new"_sel); }
    static std::string title(id object) { return objc::send<const char*>(object, "title"_sel); }
    static std::string name(id object) { return objc::send<const char*>(object, "name"_sel); }
};

TEST_F(Hooking, InheritedMethodGetsAnOverrideAndTheSuperclassKeepsItsOwn) {
    id base = make("SubstrateTestBase");
    id middle = make("SubstrateTestMiddle");
    id leaf = make("SubstrateTestLeaf");
    id other = make("SubstrateTestOther");
    // Every class has answered once, so each has a filled dispatch table that the hook must reach.
    ASSERT_EQ(title(base) + title(middle) + title(leaf) + title(other), "basebasebasebase");

    const IMP baseImp = class_getMethodImplementation(objc_lookUpClass("SubstrateTestBase"), "title"_sel);
    MSHookMessageEx(objc_lookUpClass("SubstrateTestMiddle"), "title"_sel, objc::toImp(&hookedTitle),
                    &originalTitle);

    EXPECT_EQ(originalTitle, baseImp);
    EXPECT_EQ(title(middle), "hooked base");
    EXPECT_EQ(title(leaf), "hooked base");
    EXPECT_EQ(title(base), "base");
    EXPECT_EQ(title(other), "base");
    EXPECT_EQ(class_getMethodImplementation(objc_lookUpClass("SubstrateTestBase"), "title"_sel), baseImp);
    // The override carries the inherited method's types, so it is called the same way.
    EXPECT_STREQ(
        method_getTypeEncoding(class_getInstanceMethod(objc_lookUpClass("SubstrateTestMiddle"), "title"_sel)),
        method_getTypeEncoding(class_getInstanceMethod(objc_lookUpClass("SubstrateTestBase"), "title"_sel)));
    for (id object : {base, middle, leaf, other}) {
        objc::send(object, "release"_sel);
    }
}

TEST_F(Hooking, OwnMethodIsReplacedAndTheOriginalHandedBack) {
    id middle = make("SubstrateTestMiddle");
    id leaf = make("SubstrateTestLeaf");
    ASSERT_EQ(name(middle), "derived");
    const IMP own = class_getMethodImplementation(objc_lookUpClass("SubstrateTestMiddle"), "name"_sel);

    MSHookMessageEx(objc_lookUpClass("SubstrateTestMiddle"), "name"_sel, objc::toImp(&hookedName),
                    &originalName);
    EXPECT_EQ(originalName, own);
    EXPECT_EQ(name(middle), "[derived]");
    EXPECT_EQ(name(leaf), "[derived]");

    // A second hook wraps the first: its slot receives the first replacement.
    MSHookMessageEx(objc_lookUpClass("SubstrateTestMiddle"), "name"_sel, objc::toImp(&hookedNameAgain),
                    &originalNameAgain);
    EXPECT_EQ(originalNameAgain, objc::toImp(&hookedName));
    EXPECT_EQ(name(middle), "{[derived]}");
    objc::send(middle, "release"_sel);
    objc::send(leaf, "release"_sel);
}

TEST_F(Hooking, ArgumentsReachTheReplacementAndTheOriginal) {
    id other = make("SubstrateTestOther");
    ASSERT_EQ(objc::send<int>(other, "count:"_sel, 4), 4);
    MSHookMessageEx(objc_lookUpClass("SubstrateTestOther"), "count:"_sel, objc::toImp(&hookedCount),
                    &originalCount);
    EXPECT_EQ(objc::send<int>(other, "count:"_sel, 4), 40);
    id base = make("SubstrateTestBase");
    EXPECT_EQ(objc::send<int>(base, "count:"_sel, 4), 4);
    objc::send(other, "release"_sel);
    objc::send(base, "release"_sel);
}

TEST_F(Hooking, ClassMethodsAreHookedThroughTheMetaclass) {
    Class leaf = objc_lookUpClass("SubstrateTestLeaf");
    ASSERT_EQ(std::string(objc::send<const char*>(leaf, "kind"_sel)), "factory");
    const IMP inherited = class_getMethodImplementation(
        object_getClass(reinterpret_cast<id>(objc_lookUpClass("SubstrateTestBase"))), "kind"_sel);
    MSHookMessageEx(object_getClass(reinterpret_cast<id>(leaf)), "kind"_sel, objc::toImp(&hookedKind),
                    &originalKind);
    EXPECT_EQ(originalKind, inherited);
    EXPECT_EQ(std::string(objc::send<const char*>(leaf, "kind"_sel)), "hooked factory");
    EXPECT_EQ(std::string(objc::send<const char*>(objc_lookUpClass("SubstrateTestMiddle"), "kind"_sel)),
              "factory");
}

TEST_F(Hooking, NothingToHookChangesNothingAndClearsTheSlot) {
    Class base = objc_lookUpClass("SubstrateTestBase");
    const IMP before = class_getMethodImplementation(base, "title"_sel);
    const IMP stale = objc::toImp(&hookedTitle);

    IMP slot = stale;
    MSHookMessageEx(Nil, "title"_sel, objc::toImp(&hookedTitle), &slot);
    EXPECT_EQ(slot, nullptr);

    slot = stale;
    MSHookMessageEx(base, "noSuchSelectorAnywhere"_sel, objc::toImp(&hookedTitle), &slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(class_getInstanceMethod(base, "noSuchSelectorAnywhere"_sel), nullptr);

    slot = stale;
    MSHookMessageEx(base, "title"_sel, nullptr, &slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(class_getMethodImplementation(base, "title"_sel), before);

    // No slot at all is allowed: the hook is installed, the original just not handed back.
    MSHookMessageEx(objc_lookUpClass("SubstrateTestSpare"), "title"_sel, objc::toImp(&hookedKind), nullptr);
    id object = make("SubstrateTestSpare");
    EXPECT_EQ(title(object), "hooked factory");
    EXPECT_EQ(class_getMethodImplementation(base, "title"_sel), before);
    objc::send(object, "release"_sel);
}

} // namespace
