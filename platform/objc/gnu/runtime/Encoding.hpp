// How GNU libobjc spells `long` in type encodings: "l", of the size of a C long.
#pragma once

namespace objc::runtime {

inline constexpr const char* longEncoding = "l";
inline constexpr const char* unsignedLongEncoding = "L";

} // namespace objc::runtime
