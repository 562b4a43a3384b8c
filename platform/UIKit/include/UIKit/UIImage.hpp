// UIImage: an immutable bitmap picture, decoded from PNG and encoded back to PNG.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"
#include "objc/TypeEncoding.hpp"

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
    // Pixels per point: 1, or what the file read for the screen was drawn for.
    OBJC_MESSAGE(scale, "scale", CGFloat())
};

} // namespace UI

// The image as PNG data, autoreleased; nullptr for nil.
GLINTMERE_EXPORT NS::Data* UIImagePNGRepresentation(UI::Image* image);

// Adds the image to the device's photo library (/var/mobile/Media/DCIM/100APPLE/IMG_nnnn.PNG, the
// next free number). When a target is given, it is sent `completionSelector` with the image, nil
// (or, when the picture could not be saved, the path it was meant for) and `contextInfo`.
GLINTMERE_EXPORT void UIImageWriteToSavedPhotosAlbum(UI::Image* image, id completionTarget,
                                                     SEL completionSelector, void* contextInfo);
