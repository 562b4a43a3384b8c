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
    static Pasteboard* generalPasteboard() {
        return objc::send<Pasteboard*>(runtimeClass(), objc::Selector<"generalPasteboard">());
    }

    // The image last copied, autoreleased; nullptr when the pasteboard holds none.
    Image* image() { return objc::send<Image*>(this, objc::Selector<"image">()); }
    // Replaces the pasteboard's contents by `image` (nullptr empties it).
    void setImage(Image* image) { objc::send(this, objc::Selector<"setImage:">(), image); }
    NS::String* string() { return objc::send<NS::String*>(this, objc::Selector<"string">()); }
    void setString(NS::String* string) { objc::send(this, objc::Selector<"setString:">(), string); }
    // Goes up by one with every change of the contents.
    long changeCount() { return objc::send<long>(this, objc::Selector<"changeCount">()); }
};

} // namespace UI
