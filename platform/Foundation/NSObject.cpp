#include "Foundation/NSObject.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSObjectInternals.hpp"

#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"
#include "runtime/Classes.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// The root keeps its extra-owner count in a word after `isa`: 0 means one owner.
std::atomic_ref<std::uintptr_t> extraOwners(id self) {
    return std::atomic_ref<std::uintptr_t>(
        objc::storage(reinterpret_cast<NS::RootObject*>(self), NS::RootObjectInternals::_extraOwners));
}

using NS::Object;
using NS::RootObject;
using NS::String;

// Where the count stands while dealloc runs: far from zero, so that a reference that dealloc's callees
// take and drop again cannot start a second dealloc.
constexpr std::uintptr_t deallocating = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 2);

bool isSubclass(Class cls, Class other) {
    for (Class c = cls; c != Nil; c = class_getSuperclass(c)) {
        if (c == other) {
            return true;
        }
    }
    return false;
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

// Instances come from the C heap rather than the runtime's allocator, so that a leaked object
// is reported at the place that made it (the runtime's own allocations are exempt from leak
// reports).
RootObject* alloc(Class cls) {
    id object = static_cast<id>(std::calloc(1, class_getInstanceSize(cls)));
    if (object != nil) {
        object_setClass(object, cls);
    }
    return reinterpret_cast<RootObject*>(object);
}

RootObject* make(Class cls) { return RootObject::alloc_.send(cls)->init(); }

Class superclass(Class cls) { return class_getSuperclass(cls); }

bool instancesRespondToSelector(Class cls, SEL sel) { return class_respondsToSelector(cls, sel); }

bool isSubclassOfClass(Class cls, Class other) { return isSubclass(cls, other); }

String* classDescription(Class cls) { return String::string(class_getName(cls)); }

// A class object is not reference counted (a count would be written into the class itself): +retain
// and +autorelease answer the class, as +class does, and +release does nothing.
Class theClass(Class cls) { return cls; }

void classRelease(Class) {}

unsigned long classRetainCount(Class) { return ~0UL; }

RootObject* init(RootObject* self) { return self; }

Object* self(Object* self) { return self; }

Class getClass(Object* self) { return object_getClass(self->self()); }

Object* retain(Object* self) {
    extraOwners(self->self()).fetch_add(1, std::memory_order_relaxed);
    return self;
}

void release(Object* self) {
    std::uintptr_t before = extraOwners(self->self()).fetch_sub(1, std::memory_order_acq_rel);
    if (before == 0) {
        extraOwners(self->self()).store(deallocating, std::memory_order_relaxed);
        self->dealloc();
    }
}

Object* autorelease(Object* self) {
    NS::AutoreleasePoolInternals::addObject(self->self());
    return self;
}

unsigned long retainCount(Object* self) {
    return extraOwners(self->self()).load(std::memory_order_relaxed) + 1;
}

void dealloc(Object* self) {
    objc::releaseOwnedIvars(self->self());
    std::free(self);
}

bool isKindOfClass(Object* self, Class cls) { return isSubclass(object_getClass(self->self()), cls); }

bool isMemberOfClass(Object* self, Class cls) { return object_getClass(self->self()) == cls; }

bool respondsToSelector(Object* self, SEL sel) {
    return class_respondsToSelector(object_getClass(self->self()), sel);
}

bool isEqual(Object* self, const Object* other) { return self == other; }

unsigned long hash(Object* self) { return reinterpret_cast<std::uintptr_t>(self); }

Object* copy(Object* self) { return self->copyWithZone(nullptr); }

Object* mutableCopy(Object* self) { return self->mutableCopyWithZone(nullptr); }

Object* performSelector(Object* self, SEL sel) {
    // The selector is data here: there is no declared message to send.
    return objc::send<Object*>(self, sel);
}

Object* performSelectorWithObject(Object* self, SEL sel, Object* object) {
    // As above: a selector that came as an argument.
    return objc::send<Object*>(self, sel, object);
}

bool conformsToProtocolNamed(Object* self, const char* name) {
    return objc::conformsToProtocol(object_getClass(self->self()), name);
}

// "<ClassName: 0x...>", what Cocoa prints for an object that says nothing better of itself.
String* description(Object* self) {
    char text[256];
    std::snprintf(text, sizeof text, "<%s: %p>", class_getName(object_getClass(self->self())),
                  static_cast<void*>(self));
    return String::string(static_cast<const char*>(text));
}

GLINTMERE_REGISTER_CLASSES {
    objc::runtime::setUnrecognizedSelectorHandler(&unrecognizedSelector);
    objc::ClassDefinition<RootObject>(nullptr)
        .ivar(NS::RootObjectInternals::isa)
        .ivar(NS::RootObjectInternals::_extraOwners)
        .method<&alloc>(RootObject::alloc_)
        .method<&make>(RootObject::make_)
        .method<&theClass>(RootObject::classOfClass_)
        .method<&superclass>(RootObject::superclass_)
        .method<&instancesRespondToSelector>(RootObject::instancesRespondToSelector_)
        .method<&isSubclassOfClass>(RootObject::isSubclassOfClass_)
        .method<&classDescription>(RootObject::classDescription_)
        .method<&theClass>(RootObject::classRetain_)
        .method<&classRelease>(RootObject::classRelease_)
        .method<&theClass>(RootObject::classAutorelease_)
        .method<&classRetainCount>(RootObject::classRetainCount_)
        .method<&init>(RootObject::init_)
        .method<&self>(RootObject::self_)
        .method<&getClass>(Object::getClass_)
        .method<&retain>(Object::retain_)
        .method<&release>(Object::release_)
        .method<&autorelease>(Object::autorelease_)
        .method<&retainCount>(Object::retainCount_)
        .method<&dealloc>(Object::dealloc_)
        .method<&isKindOfClass>(Object::isKindOfClass_)
        .method<&isMemberOfClass>(Object::isMemberOfClass_)
        .method<&respondsToSelector>(Object::respondsToSelector_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copy>(Object::copy_)
        .method<&mutableCopy>(Object::mutableCopy_)
        .method<&performSelector>(RootObject::performSelector_)
        .method<&performSelectorWithObject>(RootObject::performSelectorWithObject_)
        .method<&conformsToProtocolNamed>(NS::RootObjectInternals::conformsToProtocolNamed_)
        .method<&description>(Object::description_)
        .build();
}

} // namespace
