// Getting a window's views ready to be looked at: bars, containers and tables arrange what they show.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace UI {

class View;
class Label;

// The message that views which arrange their own subviews (navigation bars, the containers of
// navigation controllers, tables, cells, the status bar) answer; sent top-down by prepareForDisplay,
// so that each finds its own frame already set by its superview.
struct Display {
    OBJC_DECLARE_MESSAGE(prepare_, "_prepareForDisplay", void())
};

// Sends `_prepareForDisplay` to `root` and every view below it that answers it, each before its
// subviews (as they are after it ran).
GLINTMERE_EXPORT void prepareForDisplay(View* root);

// The origin of `view` in the coordinates of the outermost view above it.
GLINTMERE_EXPORT CGPoint originInWindow(View* view);

// Colours the stand-ins draw with, as `colorWithRed:green:blue:alpha:` of UIColor makes them, from
// components in 0–255 (alpha in 0–1); autoreleased.
GLINTMERE_EXPORT id colorRGB(double red, double green, double blue, double alpha = 1);

// A new label (autoreleased) showing `text` in the iOS font `fontName` at `size` points, coloured
// `color`, sized to its text (at most `width` points wide, wrapping, when `width` is positive) and
// placed at `origin`.
GLINTMERE_EXPORT View* makeLabel(const char* text, const char* fontName, double size, id color,
                                 CGPoint origin = {}, double width = -1);

// The system's colours: the default tint (buttons, links) and the gray of secondary texts.
GLINTMERE_EXPORT id systemTintColor();

} // namespace UI
