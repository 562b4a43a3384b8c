// The inner workings of UIImage: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIImage.hpp"
#include "objc/Internals.hpp"
#include "objc/TypeEncoding.hpp"

#include <functional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
template <> inline constexpr bool objc::isOpaqueHandle<cairo_surface_t> = true;

namespace UI {

class GLINTMERE_EXPORT ImageInternals : public objc::Internals<ImageInternals, Image> {
  public:
    OBJC_IVAR(_surface, void*)
    OBJC_IVAR(_png, void*)
    OBJC_IVAR(_renderingMode, ImageRenderingMode)
    OBJC_IVAR(_fileName, NS::String*, Owning)
    OBJC_IVAR(_scale, CGFloat)

    // A new (owned) image sharing the pixels of `surface` (which the image references, not copies).
    static Image* newImageWithCairoSurface(cairo_surface_t* surface);
    // The name of the file the image was read from (its last path component); empty for an image
    // made otherwise.
    OBJC_MESSAGE_NAMED(fileName, fileName_, "_fileName", NS::String*())
    // The pixels as a cairo image surface (ARGB32 or RGB24), owned by the image.
    OBJC_MESSAGE_NAMED(cairoSurface, cairoSurface_, "_cairoSurface", cairo_surface_t*())
};

// The image encoded as PNG file bytes; empty for nil or when encoding fails. An image is encoded
// once: every later call, and every writer below, uses the same bytes.
GLINTMERE_EXPORT std::string pngBytes(Image* image);

// Starts encoding the image on a background thread, unless that has begun already, so that a later
// writer finds the bytes ready. With a staging folder, the bytes then also go to disk there, flushed
// and under no name, and files later written from them on that folder's filesystem are links to
// them: in place without a wait for the disk. Does nothing for nil.
GLINTMERE_EXPORT void beginPNGEncoding(Image* image, const std::string& stagingFolder = {});

// Writes `image` as a PNG file at `path`, making missing parent folders. The file is replaced whole
// (written beside it, then renamed), so no reader ever sees half a picture. False when nothing was
// written: nil image, or a folder or file that cannot be made.
GLINTMERE_EXPORT bool writePNGFile(Image* image, const std::string& path);

// Writes `image` as PNG to each of `paths` as writePNGFile does, on a background thread, then calls
// `done` there with whether every file was written; files linked from bytes staged already are put
// in place on the caller's thread, and `done` is called before this returns. The image may go away meanwhile;
// a process that exits waits for the files first.
GLINTMERE_EXPORT void writePNGFilesInBackground(Image* image, std::vector<std::string> paths,
                                                std::function<void(bool)> done);

} // namespace UI
