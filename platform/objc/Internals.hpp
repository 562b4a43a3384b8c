// The inner view of a stand-in's class: what the stand-in keeps and sends beside what iOS declares.
#pragma once

#include "objc/InstanceVariable.hpp"
#include "objc/Runtime.hpp"

namespace objc {

// `Self`, the inner view of the class that the interface view `Interface` stands for, declares the
// instance variables and messages of the stand-in's own, which no iOS header has: the product sees
// only `Interface`. `this` is the object, as in any view; the stand-in's code reaches the inner view
// of an object with `Self::of(object)`. A variable declared here is read and written through the
// interface's view (or a subclass's) as through its own.
template <class Self, class Interface> class Internals : public Interface {
  public:
    using DeclaringView = Self;
    using InterfaceView = Interface;
    using InternalsView = Self;

    static Ptr<Self> of(const Interface* object) {
        return reinterpret_cast<Self*>(const_cast<Interface*>(object));
    }
    template <class U> static Ptr<Self> of(const Ref<U>& object) { return of(object.get()); }
};

} // namespace objc
