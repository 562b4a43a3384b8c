// UIImage: an immutable bitmap picture, decoded from PNG and encoded back to PNG.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"
#include "objc/TypeEncoding.hpp"

#include <functional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
template <> inline constexpr bool objc::isOpaqueHandle<cairo_surface_t> = true;

namespace NS {
class String;
class Data;
} // namespace NS

namespace UI {

// UIImageRenderingMode: a template image draws only its shape, in the tint colour of its view.
enum ImageRenderingMode : long {
    ImageRenderingModeAutomatic = 0,
    ImageRenderingModeAlwaysOriginal = 1,
    ImageRenderingModeAlwaysTemplate = 2,
};

class GLINTMERE_EXPORT Image : public NS::Referencing<Image, "UIImage"> {
  public:
    // An autoreleased image of the PNG file at `path`; nullptr when it is missing or not a PNG. On a
    // screen of scale 2 or 3, NAME@2x.png or NAME@3x.png beside NAME.png is read instead where it is
    // there, and the image has that scale (see initWithContentsOfFile:).
    OBJC_CLASS_MESSAGE(imageWithContentsOfFile, "imageWithContentsOfFile:", Image*(NS::String*))
    // A new (owned) image sharing the pixels of `surface` (which the image references, not copies).
    static Image* newImageWithCairoSurface(cairo_surface_t* surface);

    // As a device reads a picture file: the variant for the main screen's scale (@3x, then @2x) beside
    // the file named where one is there, else the file itself; a name ending in @2x or @3x gives
    // that scale.
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", Image*(NS::String*))
    OBJC_MESSAGE(initWithData, "initWithData:", Image*(NS::Data*))

    // In points: the pixels divided by the scale.
    OBJC_MESSAGE(size, "size", CGSize())
    OBJC_MESSAGE(renderingMode, "renderingMode", ImageRenderingMode())
    // An autoreleased image of the same pixels drawn in `mode`.
    OBJC_MESSAGE(imageWithRenderingMode, "imageWithRenderingMode:", Image*(ImageRenderingMode))
    // The name of the file the image was read from (its last path component); empty for an image
    // made otherwise.
    OBJC_MESSAGE_NAMED(fileName, fileName_, "_fileName", NS::String*())
    // Pixels per point: 1, or what the file read for the screen was drawn for.
    OBJC_MESSAGE(scale, "scale", CGFloat())

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

// The image as PNG data, autoreleased; nullptr for nil.
GLINTMERE_EXPORT NS::Data* UIImagePNGRepresentation(UI::Image* image);

// Adds the image to the device's photo library (/var/mobile/Media/DCIM/100APPLE/IMG_nnnn.PNG, the
// next free number). When a target is given, it is sent `completionSelector` with the image, nil
// (or, when the picture could not be saved, the path it was meant for) and `contextInfo`.
GLINTMERE_EXPORT void UIImageWriteToSavedPhotosAlbum(UI::Image* image, id completionTarget,
                                                     SEL completionSelector, void* contextInfo);
