// The root class NSObject: reference counting, allocation, identity and introspection.
#pragma once

#include "objc/InstanceVariable.hpp"
#include "objc/Message.hpp"

#include <atomic>

namespace NS {

class String;

// A C++ view of any runtime object: `this` is the object, member functions are message sends.
// Hold views in `objc::Ptr` (what sends return) or `objc::Ref`, so that calls on nil are sends to nil.
class Object : public objc::ObjectView {
  public:
    id self() const { return objc::isNil(this) ? nil : reinterpret_cast<id>(const_cast<Object*>(this)); }

    OBJC_MESSAGE(retain, "retain", Object*())
    OBJC_MESSAGE(release, "release", void())
    OBJC_MESSAGE(autorelease, "autorelease", Object*())
    OBJC_MESSAGE(retainCount, "retainCount", unsigned long())
    OBJC_MESSAGE(dealloc, "dealloc", void())
    OBJC_MESSAGE(getClass, "class", Class())
    OBJC_MESSAGE(isKindOfClass, "isKindOfClass:", bool(Class))
    OBJC_MESSAGE(isMemberOfClass, "isMemberOfClass:", bool(Class))
    OBJC_MESSAGE(respondsToSelector, "respondsToSelector:", bool(SEL))
    OBJC_MESSAGE(isEqual, "isEqual:", bool(const Object*))
    OBJC_MESSAGE(hash, "hash", unsigned long())
    OBJC_MESSAGE(description, "description", String*())
    OBJC_MESSAGE(copy, "copy", Object*())
    OBJC_MESSAGE(mutableCopy, "mutableCopy", Object*())
    OBJC_MESSAGE(copyWithZone, "copyWithZone:", Object*(void*))
    OBJC_MESSAGE(mutableCopyWithZone, "mutableCopyWithZone:", Object*(void*))

    // True when the object is a T (an instance of T's class or of a subclass); false for nil.
    template <class T> bool isKindOf() const { return isKindOfClass(T::runtimeClass()); }
};

// Gives a view type its runtime class and typed allocation: `T::alloc()->init()` as in Cocoa.
template <class Self, objc::FixedString Name, class Base = Object> class Referencing : public Base {
  public:
    // Whose instance variables OBJC_IVAR declares in the view's body.
    using DeclaringView = Self;
    static constexpr const char* className() { return Name.text; }
    // The superclass a class defined for this view gets: the class of the base view.
    static constexpr const char* superclassName() {
        if constexpr (std::is_same_v<Base, Object>) {
            return "NSObject";
        } else {
            return Base::className();
        }
    }
    // Looked up once it exists: classes are never taken away, and a kind test on every value of a
    // large property list would otherwise look the name up each time.
    static Class runtimeClass() {
        static std::atomic<Class> found{Nil};
        Class cls = found.load(std::memory_order_relaxed);
        if (cls == Nil) {
            cls = objc_lookUpClass(Name.text);
            found.store(cls, std::memory_order_relaxed);
        }
        return cls;
    }

    // The caller owns what alloc, make (new) and init give.
    OBJC_CLASS_MESSAGE(alloc, "alloc", Self*())
    OBJC_CLASS_MESSAGE(make, "new", Self*())
    OBJC_MESSAGE(init, "init", Self*())
    OBJC_MESSAGE(retain, "retain", Self*())
    OBJC_MESSAGE(autorelease, "autorelease", Self*())
};

// `object` as a T when it is a kind of T's runtime class, else nil.
template <class T, class U> objc::Ptr<T> cast(U object) {
    id self = objc::toId(object);
    return Object::isKindOfClass_.send(self, T::runtimeClass()) ? reinterpret_cast<T*>(self) : nullptr;
}

// NSObject itself, with what only the root class answers.
class RootObject : public Referencing<RootObject, "NSObject"> {
  public:
    OBJC_CLASS_MESSAGE(superclass, "superclass", Class())
    OBJC_CLASS_MESSAGE(instancesRespondToSelector, "instancesRespondToSelector:", bool(SEL))
    OBJC_CLASS_MESSAGE(isSubclassOfClass, "isSubclassOfClass:", bool(Class))
    OBJC_MESSAGE(performSelector, "performSelector:", Object*(SEL))
    OBJC_MESSAGE(performSelectorWithObject, "performSelector:withObject:", Object*(SEL, Object*))

    // A class object answers these too; it is not reference counted.
    OBJC_CLASS_MESSAGE(classOfClass, "class", Class())
    OBJC_CLASS_MESSAGE(classDescription, "description", String*())
    OBJC_CLASS_MESSAGE(classRetain, "retain", Class())
    OBJC_CLASS_MESSAGE(classRelease, "release", void())
    OBJC_CLASS_MESSAGE(classAutorelease, "autorelease", Class())
    OBJC_CLASS_MESSAGE(classRetainCount, "retainCount", unsigned long())
    // The member `self` is Object's accessor, so the message is sent through `selfObject`.
    OBJC_MESSAGE_NAMED(selfObject, self_, "self", Object*())
};

} // namespace NS
