// Blocks across the boundary: a phone's block literals, made by guest code, as the NSBlock objects host
// code takes and calls.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>

namespace dyld {

// The classes guest block literals name: guest code only takes their addresses, to mark its blocks.
std::uint64_t globalBlockClass();
std::uint64_t stackBlockClass();

// Whether `object` is a block literal of guest code (global, or on the guest's stack), not a host object;
// false for an address that cannot be read.
GLINTMERE_EXPORT bool isGuestLiteral(std::uint64_t object);

// Whether a guest literal can be read whole: itself, its descriptor, the size the descriptor gives (at
// most a guest stack's) and its signature.
GLINTMERE_EXPORT bool readableLiteral(std::uint64_t literal);

// `_Block_copy`: a stack literal is copied (its copy helper runs) into a new NSBlock that runs it and
// owns the copy, disposing of it when the NSBlock goes; a global literal is itself; a host block
// gains an owner.
GLINTMERE_EXPORT std::uint64_t copyBlock(std::uint64_t block);

// The host object for a block guest code hands over as an object: a global literal's NSBlock (one per
// literal, kept for the process), a copy of a stack literal (autoreleased), anything else unchanged.
GLINTMERE_EXPORT std::uint64_t objectForHost(std::uint64_t object);

// The guest literal behind a block, or 0 when it is a host block.
GLINTMERE_EXPORT std::uint64_t guestLiteralOf(std::uint64_t block);

// The type encoding a guest literal carries, or null when it has none.
GLINTMERE_EXPORT const char* literalSignature(std::uint64_t literal);
// Where a guest literal's code is.
GLINTMERE_EXPORT std::uint64_t literalInvoke(std::uint64_t literal);

// Runs a block of either kind that takes nothing and returns nothing.
GLINTMERE_EXPORT void runBlock(std::uint64_t block);

} // namespace dyld
