// What the stand-in views draw their screens from: colours, labels, boxes and UIKit's artwork.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace UI {

class Color;
class View;
class Label;

// The origin of `view` in the coordinates of the outermost view above it, as the screen shows it
// (moved by the content offset of any scroll view it lies in).
GLINTMERE_EXPORT CGPoint originInWindow(View* view);

// Colours the stand-ins draw with, as `colorWithRed:green:blue:alpha:` of UIColor makes them, from
// components in 0–255 (alpha in 0–1); autoreleased.
GLINTMERE_EXPORT Color* colorRGB(double red, double green, double blue, double alpha = 1);

// A new label (autoreleased) showing `text` in the iOS font `fontName` at `size` points, coloured
// `color`, sized to its text (at most `width` points wide, wrapping, when `width` is positive) and
// placed at `origin`.
GLINTMERE_EXPORT View* makeLabel(const char* text, const char* fontName, double size, Color* color,
                                 CGPoint origin = {}, double width = -1);

// A new plain view (autoreleased) at `frame`, filled with `color` (clear for nil): the boxes and
// rules the stand-ins draw their screens from.
GLINTMERE_EXPORT objc::Ptr<View> makeBox(CGRect frame, Color* color);

// A new image view (autoreleased) of UIKit's artwork `file` (in the framework's Artwork folder),
// drawn as a template in `tint` and `size` points big.
GLINTMERE_EXPORT objc::Ptr<View> artworkView(const char* file, CGSize size, Color* tint);

// The system's colours: the default tint (buttons, links) and the gray of secondary texts.
GLINTMERE_EXPORT Color* systemTintColor();

} // namespace UI
