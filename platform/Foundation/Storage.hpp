// What Foundation's value classes share: their entries, their reading from files, their errors.
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
