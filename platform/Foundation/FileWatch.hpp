// A count of the changes the kernel has reported along watched paths, so that an answer taken from the
// disk can be kept until something it rests on changes.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>
#include <string>

namespace NS::detail {

// The process's one inotify descriptor. An answer read from the disk at one count still holds while
// the count stays the same; asking costs one read of the descriptor instead of a walk of every path.
// Where the kernel gives no descriptor (or too many paths are asked for), the count is always 0 and
// nothing is kept. A forked child starts with a descriptor of its own.
class GLINTMERE_EXPORT FileWatch {
  public:
    // The current count, after taking in what the kernel has reported; 0 when nothing is watched.
    static std::uint64_t count();

    // Watches every folder that holds a part of `path`, the path's own folder included: a part created,
    // removed, renamed, rewritten or given other permissions then moves the count on. Returns the
    // count to keep an answer about `path` under, read before the answer is: 0 when the path cannot
    // be watched.
    static std::uint64_t watch(const std::string& path);

    // Whether an answer kept under the count `checked` still holds at the count `now`.
    static bool holds(std::uint64_t checked, std::uint64_t now) { return checked != 0 && checked == now; }
};

} // namespace NS::detail
