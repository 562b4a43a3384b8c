// UILabel: a view that shows one text in one colour and font.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class GLINTMERE_EXPORT Label : public NS::Referencing<Label, "UILabel", View> {
  public:
    OBJC_MESSAGE(text, "text", NS::String*())
    OBJC_MESSAGE(setText, "setText:", void(NS::String*))
    OBJC_MESSAGE(textColor, "textColor", id())
    OBJC_MESSAGE(setTextColor, "setTextColor:", void(id))
    OBJC_MESSAGE(font, "font", id())
    OBJC_MESSAGE(setFont, "setFont:", void(id))
};

} // namespace UI
