// PNG bytes of a picture, made fast enough that a screen-size photo is ready within a frame budget
// of a few hundred milliseconds.
#pragma once

#include "objc/Runtime.hpp"

#include <cairo.h>

#include <string>

namespace UI {

// The picture in `surface` (an image surface, ARGB32 or RGB24) as a PNG file's bytes; empty when it
// cannot be encoded. Opaque pictures are written without an alpha channel; the colours read back are
// those of the surface, un-premultiplied as every PNG reader expects.
GLINTMERE_EXPORT std::string encodePNG(cairo_surface_t* surface);

} // namespace UI
