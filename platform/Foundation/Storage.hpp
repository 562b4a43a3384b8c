// Where Foundation's value classes keep their state: typed access to their instance variables.
#pragma once

#include "Foundation/NSObject.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/PropertyList.hpp"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace NS {
class Dictionary;
} // namespace NS

namespace NS::detail {

// A dictionary's keys and values, in its order, without a send per entry; valid while it is unchanged.
std::vector<std::pair<Object*, Object*>> entriesOf(const Dictionary* dictionary);

// The instance variable `Ivar` of the class named `Cls`, found once: subclasses share the offset, so
// one lookup serves every instance of the class family.
template <class T, objc::FixedString Cls, objc::FixedString Ivar> T& slot(id self) {
    static const std::ptrdiff_t offset =
        ivar_getOffset(class_getInstanceVariable(objc_lookUpClass(Cls.text), Ivar.text));
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(self) + offset);
}

// initWithContentsOfFile: of a collection: `self`, read into, or filled by `fill(self, root)` from
// the property list at `path` when its root is a `Kind`; otherwise `self` is released and nil is the
// result.
template <class Kind, class Self, class Fill>
Self* initWithContentsOfFile(Self* self, String* path, Fill fill) {
    id read = readPropertyList(objc::Ptr(path)->utf8String(), self);
    if (read == objc::toId(self)) {
        return self;
    }
    auto root = objc::adopt(reinterpret_cast<Object*>(read));
    auto contents = cast<Kind>(root.get());
    if (contents == nullptr) {
        self->release();
        return nullptr;
    }
    fill(self, contents);
    return self;
}

// A programming error that Cocoa raises an exception for (an index out of range): say so the way the
// device's log would, and stop.
[[noreturn]] inline void raise(const char* exception, const char* reason) {
    std::fprintf(stderr, "*** Terminating app due to uncaught exception '%s', reason: '%s'\n", exception,
                 reason);
    std::abort();
}

} // namespace NS::detail
