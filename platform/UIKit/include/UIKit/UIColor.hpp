// UIColor: an RGBA colour, and the Core Graphics colour it hands to layers.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

#include <optional>

// A Core Graphics colour: components from 0 to 1, not premultiplied. A colour's CGColor belongs to
// the colour; a layer that is given one keeps a copy of its own.
struct CGColor {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
    CGFloat alpha = 1;
    friend bool operator==(const CGColor&, const CGColor&) = default;
};
using CGColorRef = CGColor*;

template <> struct objc::StructEncoding<CGColor> {
    static std::string value() { return "{CGColor=dddd}"; }
};

namespace UI {

class GLINTMERE_EXPORT Color : public NS::Referencing<Color, "UIColor"> {
  public:
    // Autoreleased colours. Components are clamped to [0, 1]; what is not a number counts as 0.
    OBJC_CLASS_MESSAGE_NAMED(colorWithRed, colorWithRedGreenBlueAlpha_,
                             "colorWithRed:green:blue:alpha:", Color*(CGFloat, CGFloat, CGFloat, CGFloat))
    OBJC_CLASS_MESSAGE_NAMED(colorWithWhite, colorWithWhiteAlpha_,
                             "colorWithWhite:alpha:", Color*(CGFloat, CGFloat))
    OBJC_CLASS_MESSAGE(whiteColor, "whiteColor", Color*())
    OBJC_CLASS_MESSAGE(blackColor, "blackColor", Color*())
    OBJC_CLASS_MESSAGE(grayColor, "grayColor", Color*())
    OBJC_CLASS_MESSAGE(lightGrayColor, "lightGrayColor", Color*())
    OBJC_CLASS_MESSAGE(darkGrayColor, "darkGrayColor", Color*())
    OBJC_CLASS_MESSAGE(redColor, "redColor", Color*())
    OBJC_CLASS_MESSAGE(greenColor, "greenColor", Color*())
    OBJC_CLASS_MESSAGE(blueColor, "blueColor", Color*())
    // Fully transparent black.
    OBJC_CLASS_MESSAGE(clearColor, "clearColor", Color*())

    OBJC_MESSAGE_NAMED(initWithRed, initWithRedGreenBlueAlpha_,
                       "initWithRed:green:blue:alpha:", Color*(CGFloat, CGFloat, CGFloat, CGFloat))
    OBJC_MESSAGE(colorWithAlphaComponent, "colorWithAlphaComponent:", Color*(CGFloat))
    // The colour as Core Graphics has it; valid as long as the colour lives.
    OBJC_MESSAGE(CGColor, "CGColor", CGColorRef())
};

} // namespace UI
