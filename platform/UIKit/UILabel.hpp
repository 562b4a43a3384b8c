// UILabel: a view that shows one text in one colour and font.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class GLINTMERE_EXPORT Label : public NS::Referencing<Label, "UILabel", View> {
  public:
    NS::String* text() { return objc::send<NS::String*>(this, objc::Selector<"text">()); }
    void setText(NS::String* text) { objc::send<void>(this, objc::Selector<"setText:">(), text); }
    id textColor() { return objc::send<id>(this, objc::Selector<"textColor">()); }
    void setTextColor(id color) { objc::send<void>(this, objc::Selector<"setTextColor:">(), color); }
    id font() { return objc::send<id>(this, objc::Selector<"font">()); }
    void setFont(id font) { objc::send<void>(this, objc::Selector<"setFont:">(), font); }
};

} // namespace UI
