// UILabel: a view that shows one text in one colour and font.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class Font;

// NSTextAlignment.
enum TextAlignment : long {
    TextAlignmentLeft = 0,
    TextAlignmentCenter = 1,
    TextAlignmentRight = 2,
    TextAlignmentJustified = 3,
    TextAlignmentNatural = 4,
};

class GLINTMERE_EXPORT Label : public NS::Referencing<Label, "UILabel", View> {
  public:
    OBJC_MESSAGE(text, "text", NS::String*())
    OBJC_MESSAGE(setText, "setText:", void(NS::String*))
    // Black, and the system font at 17 points, until set; setting nil gives the default back.
    OBJC_MESSAGE(textColor, "textColor", Color*())
    OBJC_MESSAGE(setTextColor, "setTextColor:", void(Color*))
    OBJC_MESSAGE(font, "font", Font*())
    OBJC_MESSAGE(setFont, "setFont:", void(Font*))
    OBJC_MESSAGE(textAlignment, "textAlignment", TextAlignment())
    OBJC_MESSAGE(setTextAlignment, "setTextAlignment:", void(TextAlignment))
    // 1 until set; 0 takes as many lines as the text needs.
    OBJC_MESSAGE(numberOfLines, "numberOfLines", long())
    OBJC_MESSAGE(setNumberOfLines, "setNumberOfLines:", void(long))
    // The width a label of several lines wraps its text at to find its intrinsic size; 0: none.
    OBJC_MESSAGE(preferredMaxLayoutWidth, "preferredMaxLayoutWidth", CGFloat())
    OBJC_MESSAGE(setPreferredMaxLayoutWidth, "setPreferredMaxLayoutWidth:", void(CGFloat))
};

} // namespace UI
