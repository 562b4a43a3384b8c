// UIPasteboard: the process's general pasteboard, holding the last copied image and text.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
}

namespace UI {

class Image;

class GLINTMERE_EXPORT Pasteboard : public NS::Referencing<Pasteboard, "UIPasteboard"> {
  public:
    // The one general pasteboard of the process; it lives as long as the process.
    OBJC_CLASS_MESSAGE(generalPasteboard, "generalPasteboard", Pasteboard*())

    // The image last copied, autoreleased; nullptr when the pasteboard holds none.
    OBJC_MESSAGE(image, "image", Image*())
    // Replaces the pasteboard's contents by `image` (nullptr empties it).
    OBJC_MESSAGE(setImage, "setImage:", void(Image*))
    OBJC_MESSAGE(string, "string", NS::String*())
    OBJC_MESSAGE(setString, "setString:", void(NS::String*))
    // Goes up by one with every change of the contents.
    OBJC_MESSAGE(changeCount, "changeCount", long())
};

} // namespace UI
