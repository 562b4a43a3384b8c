// _WKActivatedElementInfo: what the user long-pressed in a page, handed to the sheet's actions (from
// iOS 8.0).
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
}
namespace UI {
class Image;
}

namespace WK {

enum ActivatedElementType : long {
    ActivatedElementTypeLink = 0,
    ActivatedElementTypeImage = 1,
};

class GLINTMERE_EXPORT ActivatedElementInfo
    : public NS::Referencing<ActivatedElementInfo, "_WKActivatedElementInfo"> {
  public:
    OBJC_MESSAGE(type, "type", ActivatedElementType())
};

} // namespace WK
