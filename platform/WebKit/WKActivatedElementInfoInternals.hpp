// What the stand-in keeps in each _WKActivatedElementInfo beside what iOS declares: its instance variables.
#pragma once

#include "WebKit/WKActivatedElementInfo.hpp"
#include "objc/Internals.hpp"

namespace WK {

class ActivatedElementInfoInternals
    : public objc::Internals<ActivatedElementInfoInternals, ActivatedElementInfo> {
  public:
    OBJC_IVAR(_type, ActivatedElementType)
    OBJC_IVAR(_image, UI::Image*, Owning)
    OBJC_IVAR(_imagePath, NS::String*, Owning)
};

} // namespace WK
