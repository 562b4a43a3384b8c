// Social's imports: the variables of the device's stand-in.
#include "dyld/Bindings.hpp"

#include <array>

namespace dyld {

namespace {

constexpr char kSocial[] = "/System/Library/Frameworks/Social.framework/Social";

const std::array bindings{
    Binding{"_SLServiceTypeTwitter", standInData<kSocial>},
};

} // namespace

std::span<const Binding> socialBindings() { return bindings; }

} // namespace dyld
