// The root class NSObject: reference counting, allocation, identity and introspection.
#pragma once

#include "objc/Runtime.hpp"

namespace NS {

class String;

// A C++ view of any runtime object: `this` is the object, member functions are message sends.
class Object {
  public:
    id self() const { return reinterpret_cast<id>(const_cast<Object*>(this)); }

    Object* retain() { return objc::send<Object*>(this, objc::Selector<"retain">()); }
    void release() { objc::send<void>(this, objc::Selector<"release">()); }
    Object* autorelease() { return objc::send<Object*>(this, objc::Selector<"autorelease">()); }
    unsigned long retainCount() { return objc::send<unsigned long>(this, objc::Selector<"retainCount">()); }
    Class getClass() { return objc::send<Class>(this, objc::Selector<"class">()); }
    bool isKindOfClass(Class cls) { return objc::send<bool>(this, objc::Selector<"isKindOfClass:">(), cls); }
    bool isMemberOfClass(Class cls) {
        return objc::send<bool>(this, objc::Selector<"isMemberOfClass:">(), cls);
    }
    bool respondsToSelector(SEL sel) {
        return objc::send<bool>(this, objc::Selector<"respondsToSelector:">(), sel);
    }
    bool isEqual(const Object* other) { return objc::send<bool>(this, objc::Selector<"isEqual:">(), other); }
    unsigned long hash() { return objc::send<unsigned long>(this, objc::Selector<"hash">()); }
    String* description() { return objc::send<String*>(this, objc::Selector<"description">()); }
    Object* copy() { return objc::send<Object*>(this, objc::Selector<"copy">()); }
    Object* mutableCopy() { return objc::send<Object*>(this, objc::Selector<"mutableCopy">()); }
};

// Gives a view type its runtime class and typed allocation: `T::alloc()->init()` as in Cocoa.
template <class Self, objc::FixedString Name, class Base = Object> class Referencing : public Base {
  public:
    static Class runtimeClass() { return objc_lookUpClass(Name.text); }
    static Self* alloc() { return objc::send<Self*>(runtimeClass(), objc::Selector<"alloc">()); }
    static Self* make() { return objc::send<Self*>(runtimeClass(), objc::Selector<"new">()); }
    Self* init() { return objc::send<Self*>(this, objc::Selector<"init">()); }
    Self* retain() { return objc::send<Self*>(this, objc::Selector<"retain">()); }
    Self* autorelease() { return objc::send<Self*>(this, objc::Selector<"autorelease">()); }
};

// `object` as a T when it is a kind of T's runtime class, else nullptr. Views must not be called
// through a null pointer, so this is the one place that checks for nil before a typed call.
template <class T, class U> T* cast(U* object) {
    return objc::send<bool>(object, objc::Selector<"isKindOfClass:">(), T::runtimeClass())
               ? reinterpret_cast<T*>(object)
               : nullptr;
}

class RootObject : public Referencing<RootObject, "NSObject"> {};

} // namespace NS
