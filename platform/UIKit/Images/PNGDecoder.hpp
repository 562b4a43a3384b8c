// Pictures from PNG files and bytes, decoded only within bounds that no picture of the device nears.
#pragma once

#include "objc/Runtime.hpp"

#include <cairo.h>

#include <cstddef>
#include <cstdint>

namespace UI {

// The most pixels a decoded picture may have: 4096 by 4096, 64 MiB as cairo holds them. The largest
// screen (2048 by 2732) and a 12-megapixel camera photo (4032 by 3024) fit with room to spare; a
// picture beyond it is no wallpaper or logo, and decoding it would cost four bytes a pixel before
// anything could look at it.
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{4096} * 4096;

// The picture of the PNG file at `path`, as a new image surface owned by the caller; null when the
// file is missing, anything but a regular file, no whole PNG, or beyond the bounds: more pixels than
// kMaxPicturePixels, a chunk longer than what follows it in the file, more image data than its
// pixels can take, or more than a thousand chunks of other data.
GLINTMERE_EXPORT cairo_surface_t* decodePNGFile(const char* path);
// The same, from bytes in memory.
GLINTMERE_EXPORT cairo_surface_t* decodePNGBytes(const void* bytes, std::size_t length);

} // namespace UI
