// printf's formats as Darwin's C library reads them, over the 8-byte argument slots of a variadic call.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace dyld {

// Formats `format`, taking each argument's 64 bits from `next` and handing each piece of text to `out`.
// False, with `error` saying what and where, for a format it cannot follow: an unknown conversion or
// length, `%n` (which writes through a pointer), positional or wide arguments, or a width or precision
// beyond any real text's; or output of more than 16 MB in all, which it stops at.
GLINTMERE_EXPORT bool formatGuest(const char* format, const std::function<std::uint64_t()>& next,
                                  const std::function<void(std::string_view)>& out, std::string& error);

} // namespace dyld
