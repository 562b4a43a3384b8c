// Text helpers that Foundation's strings, bundles and property lists share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace NS::detail {

// Appends the code point `cp` to `out` in UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

// A path without repeated slashes and without a trailing one (except the root itself).
std::string tidyPath(std::string_view path);

} // namespace NS::detail
