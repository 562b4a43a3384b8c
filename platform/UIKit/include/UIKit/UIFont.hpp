// UIFont: a font by its iOS name and a size in points, drawn with the device face that the
// device's font file maps the name to.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class GLINTMERE_EXPORT Font : public NS::Referencing<Font, "UIFont"> {
  public:
    // An autoreleased font; nil when the device has no font of that name, as on iOS.
    OBJC_CLASS_MESSAGE_NAMED(fontWithName, fontWithNameSize_,
                             "fontWithName:size:", Font*(NS::String*, CGFloat))
    // The system's fonts: Helvetica Neue's interface faces up to iOS 8, San Francisco's after.
    OBJC_CLASS_MESSAGE(systemFontOfSize, "systemFontOfSize:", Font*(CGFloat))
    OBJC_CLASS_MESSAGE(boldSystemFontOfSize, "boldSystemFontOfSize:", Font*(CGFloat))

    // The iOS name asked for, not the face that draws it.
    OBJC_MESSAGE(fontName, "fontName", NS::String*())
    OBJC_MESSAGE(pointSize, "pointSize", CGFloat())
    OBJC_MESSAGE(fontWithSize, "fontWithSize:", Font*(CGFloat))
};

} // namespace UI
