#include "Foundation/NSObject.hpp"

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
    static const std::ptrdiff_t offset =
        ivar_getOffset(class_getInstanceVariable(NS::RootObject::runtimeClass(), "_extraOwners"));
    return std::atomic_ref<std::uintptr_t>(
        *reinterpret_cast<std::uintptr_t*>(reinterpret_cast<char*>(self) + offset));
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

GLINTMERE_REGISTER_CLASSES {
    objc::runtime::setUnrecognizedSelectorHandler(&unrecognizedSelector);
    objc::ClassDefinition<RootObject>(nullptr)
        .ivar<Class>("isa")
        .ivar<std::uintptr_t>("_extraOwners")
        // Instances come from the C heap rather than the runtime's allocator, so that a leaked object
        // is reported at the place that made it (the runtime's own allocations are exempt from leak
        // reports).
        .method(RootObject::alloc_,
                [](Class cls) -> RootObject* {
                    id object = static_cast<id>(std::calloc(1, class_getInstanceSize(cls)));
                    if (object != nil) {
                        object_setClass(object, cls);
                    }
                    return reinterpret_cast<RootObject*>(object);
                })
        .method(RootObject::make_,
                [](Class cls) -> RootObject* { return RootObject::alloc_.send(cls)->init(); })
        .method(RootObject::classOfClass_, [](Class cls) -> Class { return cls; })
        .method(RootObject::superclass_, [](Class cls) -> Class { return class_getSuperclass(cls); })
        .method(RootObject::instancesRespondToSelector_,
                [](Class cls, SEL sel) -> bool { return class_respondsToSelector(cls, sel); })
        .method(RootObject::isSubclassOfClass_,
                [](Class cls, Class other) -> bool { return isSubclass(cls, other); })
        .method(RootObject::classDescription_,
                [](Class cls) -> String* { return String::string(class_getName(cls)); })
        // A class object is not reference counted: these would write into the class itself.
        .method(RootObject::classRetain_, [](Class cls) -> Class { return cls; })
        .method(RootObject::classRelease_, [](Class) {})
        .method(RootObject::classAutorelease_, [](Class cls) -> Class { return cls; })
        .method(RootObject::classRetainCount_, [](Class) -> unsigned long { return ~0UL; })
        .method(RootObject::init_, [](RootObject* self) -> RootObject* { return self; })
        .method(RootObject::self_, [](Object* self) -> Object* { return self; })
        .method(Object::getClass_, [](Object* self) -> Class { return object_getClass(self->self()); })
        .method(Object::retain_,
                [](Object* self) -> Object* {
                    extraOwners(self->self()).fetch_add(1, std::memory_order_relaxed);
                    return self;
                })
        .method(Object::release_,
                [](Object* self) {
                    std::uintptr_t before = extraOwners(self->self()).fetch_sub(1, std::memory_order_acq_rel);
                    if (before == 0) {
                        extraOwners(self->self()).store(deallocating, std::memory_order_relaxed);
                        self->dealloc();
                    }
                })
        .method(Object::autorelease_,
                [](Object* self) -> Object* {
                    NS::AutoreleasePool::addObject(self->self());
                    return self;
                })
        .method(Object::retainCount_,
                [](Object* self) -> unsigned long {
                    return extraOwners(self->self()).load(std::memory_order_relaxed) + 1;
                })
        .method(Object::dealloc_,
                [](Object* self) {
                    objc::releaseOwnedIvars(self->self());
                    std::free(self);
                })
        .method(
            Object::isKindOfClass_,
            [](Object* self, Class cls) -> bool { return isSubclass(object_getClass(self->self()), cls); })
        .method(Object::isMemberOfClass_,
                [](Object* self, Class cls) -> bool { return object_getClass(self->self()) == cls; })
        .method(Object::respondsToSelector_,
                [](Object* self, SEL sel) -> bool {
                    return class_respondsToSelector(object_getClass(self->self()), sel);
                })
        .method(Object::isEqual_, [](Object* self, const Object* other) -> bool { return self == other; })
        .method(Object::hash_,
                [](Object* self) -> unsigned long { return reinterpret_cast<std::uintptr_t>(self); })
        .method(Object::copy_, [](Object* self) -> Object* { return self->copyWithZone(nullptr); })
        .method(Object::mutableCopy_,
                [](Object* self) -> Object* { return self->mutableCopyWithZone(nullptr); })
        .method(RootObject::performSelector_,
                [](Object* self, SEL sel) -> Object* {
                    // The selector is data here: there is no declared message to send.
                    return objc::send<Object*>(self, sel);
                })
        .method(RootObject::performSelectorWithObject_,
                [](Object* self, SEL sel, Object* object) -> Object* {
                    // As above: a selector that came as an argument.
                    return objc::send<Object*>(self, sel, object);
                })
        .method(RootObject::conformsToProtocolNamed_,
                [](Object* self, const char* name) -> bool {
                    return objc::conformsToProtocol(object_getClass(self->self()), name);
                })
        // "<ClassName: 0x...>", what Cocoa prints for an object that says nothing better of itself.
        .method(Object::description_,
                [](Object* self) -> String* {
                    char text[256];
                    std::snprintf(text, sizeof text, "<%s: %p>", class_getName(object_getClass(self->self())),
                                  static_cast<void*>(self));
                    return String::string(static_cast<const char*>(text));
                })
        .build();
}

} // namespace
