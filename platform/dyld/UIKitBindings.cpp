// UIKit's imports: the variables of the device's stand-in.
#include "dyld/Bindings.hpp"

#include <array>

namespace dyld {

namespace {

constexpr char kUIKit[] = "/System/Library/Frameworks/UIKit.framework/UIKit";

const std::array bindings{
    Binding{"_NSForegroundColorAttributeName", standInData<kUIKit>},
};

} // namespace

std::span<const Binding> uiKitBindings() { return bindings; }

} // namespace dyld
