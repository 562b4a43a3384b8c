#include "Foundation/NSObject.hpp"

#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

using objc::operator""_sel;

// The root keeps its extra-owner count in a word after `isa`: 0 means one owner.
std::atomic_ref<std::uintptr_t> extraOwners(id self) {
    static const std::ptrdiff_t offset =
        ivar_getOffset(class_getInstanceVariable(objc_lookUpClass("NSObject"), "_extraOwners"));
    return std::atomic_ref<std::uintptr_t>(
        *reinterpret_cast<std::uintptr_t*>(reinterpret_cast<char*>(self) + offset));
}

// Instances come from the C heap rather than the runtime's allocator, so that a leaked object is
// reported at the place that made it (the runtime's own allocations are exempt from leak reports).
id allocInstance(Class cls, SEL) {
    id object = static_cast<id>(std::calloc(1, class_getInstanceSize(cls)));
    if (object != nil) {
        object_setClass(object, cls);
    }
    return object;
}
id newInstance(Class cls, SEL) { return objc::send<id>(objc::send<id>(cls, "alloc"_sel), "init"_sel); }
id self(id self, SEL) { return self; }
Class classOfClass(Class cls, SEL) { return cls; }
Class classOfInstance(id self, SEL) { return object_getClass(self); }
Class superclassOfClass(Class cls, SEL) { return class_getSuperclass(cls); }
void doNothing(id, SEL) {}
unsigned long classRetainCount(id, SEL) { return ~0UL; }

id retain(id self, SEL) {
    extraOwners(self).fetch_add(1, std::memory_order_relaxed);
    return self;
}

// Where the count stands while dealloc runs: far from zero, so that a reference that dealloc's callees
// take and drop again cannot start a second dealloc.
constexpr std::uintptr_t deallocating = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 2);

void release(id self, SEL) {
    std::uintptr_t before = extraOwners(self).fetch_sub(1, std::memory_order_acq_rel);
    if (before == 0) {
        extraOwners(self).store(deallocating, std::memory_order_relaxed);
        objc::send(self, "dealloc"_sel);
    }
}

unsigned long retainCount(id self, SEL) { return extraOwners(self).load(std::memory_order_relaxed) + 1; }

id autorelease(id self, SEL) {
    NS::AutoreleasePool::addObject(self);
    return self;
}

void dealloc(id self, SEL) {
    objc::releaseOwnedIvars(self);
    std::free(self);
}

bool isKindOfClass(id self, SEL, Class cls) {
    for (Class c = object_getClass(self); c != Nil; c = class_getSuperclass(c)) {
        if (c == cls) {
            return true;
        }
    }
    return false;
}

bool isMemberOfClass(id self, SEL, Class cls) { return object_getClass(self) == cls; }
bool respondsToSelector(id self, SEL, SEL sel) {
    return class_respondsToSelector(object_getClass(self), sel);
}
bool instancesRespondToSelector(Class cls, SEL, SEL sel) { return class_respondsToSelector(cls, sel); }
bool isSubclassOfClass(Class cls, SEL, Class other) {
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
        if (c == other) {
            return true;
        }
    }
    return false;
}
bool isEqual(id self, SEL, id other) { return self == other; }
unsigned long hash(id self, SEL) { return reinterpret_cast<std::uintptr_t>(self); }
id copy(id self, SEL) { return objc::send<id>(self, "copyWithZone:"_sel, static_cast<void*>(nullptr)); }
id mutableCopy(id self, SEL) {
    return objc::send<id>(self, "mutableCopyWithZone:"_sel, static_cast<void*>(nullptr));
}
id performSelector(id self, SEL, SEL sel) { return objc::send<id>(self, sel); }
id performSelectorWithObject(id self, SEL, SEL sel, id object) { return objc::send<id>(self, sel, object); }
bool conformsToProtocolNamed(id self, SEL, const char* name) {
    return objc::conformsToProtocol(object_getClass(self), name);
}

// "<ClassName: 0x...>", what Cocoa prints for an object that says nothing better of itself.
id describe(id self, SEL) {
    char text[256];
    std::snprintf(text, sizeof text, "<%s: %p>", class_getName(object_getClass(self)),
                  static_cast<void*>(self));
    return objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel,
                          static_cast<const char*>(text));
}
id describeClass(Class cls, SEL) {
    return objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, class_getName(cls));
}

// A message that no class in the chain answers is a programming error, as on the device: say
// which and stop, rather than run whatever the runtime's default forwarder does.
[[noreturn]] void unrecognizedSelector(id self, SEL sel) {
    Class cls = object_getClass(self);
    std::fprintf(stderr, "%c[%s %s]: unrecognized selector sent to %s %p\n",
                 class_isMetaClass(cls) ? '+' : '-', class_getName(cls), sel_getName(sel),
                 class_isMetaClass(cls) ? "class" : "instance", static_cast<void*>(self));
    std::abort();
}

IMP forwardLookup(id, SEL) { return objc::toImp(&unrecognizedSelector); }

GLINTMERE_REGISTER_CLASSES(0) {
    __objc_msg_forward2 = &forwardLookup;
    objc::ClassBuilder("NSObject", nullptr)
        .ivar<Class>("isa")
        .ivar<std::uintptr_t>("_extraOwners")
        .classMethod<&allocInstance>("alloc")
        .classMethod<&newInstance>("new")
        .classMethod<&classOfClass>("class")
        .classMethod<&superclassOfClass>("superclass")
        .classMethod<&instancesRespondToSelector>("instancesRespondToSelector:")
        .classMethod<&isSubclassOfClass>("isSubclassOfClass:")
        .classMethod<&describeClass>("description")
        // A class object is not reference counted: these would write into the class itself.
        .classMethod<&self>("retain")
        .classMethod<&doNothing>("release")
        .classMethod<&self>("autorelease")
        .classMethod<&classRetainCount>("retainCount")
        .method<&self>("init")
        .method<&self>("self")
        .method<&classOfInstance>("class")
        .method<&retain>("retain")
        .method<&release>("release")
        .method<&autorelease>("autorelease")
        .method<&retainCount>("retainCount")
        .method<&dealloc>("dealloc")
        .method<&isKindOfClass>("isKindOfClass:")
        .method<&isMemberOfClass>("isMemberOfClass:")
        .method<&respondsToSelector>("respondsToSelector:")
        .method<&isEqual>("isEqual:")
        .method<&hash>("hash")
        .method<&copy>("copy")
        .method<&mutableCopy>("mutableCopy")
        .method<&performSelector>("performSelector:")
        .method<&performSelectorWithObject>("performSelector:withObject:")
        .method<&conformsToProtocolNamed>("conformsToProtocolNamed:")
        .method<&describe>("description")
        .build();
}

} // namespace
