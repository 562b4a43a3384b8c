// How Apple's runtime spells `long` in type encodings on arm64: as the 64-bit integer it is ("q"),
// since "l" there means 32 bits.
#pragma once

namespace objc::runtime {

inline constexpr const char* longEncoding = "q";
inline constexpr const char* unsignedLongEncoding = "Q";

} // namespace objc::runtime
