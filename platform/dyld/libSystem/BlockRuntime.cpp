// libSystem's blocks runtime: the classes of block literals, and _Block_copy, whose copy guest code
// gets back as the NSBlock that runs it.
#include "dyld/Bindings.hpp"
#include "dyld/Blocks.hpp"
#include "dyld/GuestObjects.hpp"

#include <array>

namespace dyld {

namespace {

std::uint64_t blockCopy(std::uint64_t block) {
    if (block != 0) {
        requireObject("_Block_copy", block, "a block");
    }
    return copyBlock(block);
}

const std::array bindings{
    Binding{"__NSConcreteGlobalBlock", [](std::string_view) { return globalBlockClass(); }},
    Binding{"__NSConcreteStackBlock", [](std::string_view) { return stackBlockClass(); }},
    Binding{"__Block_copy", call<blockCopy>},
};

} // namespace

std::span<const Binding> libSystem::blockRuntime() { return bindings; }

} // namespace dyld
