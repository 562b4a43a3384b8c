// Getting a window's views ready to be looked at: bars, containers and tables arrange what they show.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

#include <string>

namespace UI {

class Color;
class View;
class Label;

// The message that views which arrange their own subviews (navigation bars, the containers of
// navigation controllers, tables, cells, the status bar) answer; sent top-down by prepareForDisplay,
// so that each finds its own frame already set by its superview.
struct Display {
    OBJC_MESSAGE(prepare, "_prepareForDisplay", void())
};

// Sends `_prepareForDisplay` to `root` and every view below it that answers it, each before its
// subviews (as they are after it ran).
GLINTMERE_EXPORT void prepareForDisplay(View* root);

// Lays out what `root` shows for display and writes it as a PNG of the screen's size in pixels at
// `path` (folders made as needed, the file replaced whole). Returns "WIDTHxHEIGHT" in pixels; throws
// std::runtime_error when the file cannot be written.
GLINTMERE_EXPORT std::string writeScreenshot(View* root, const std::string& path);
// The same for a picture of `points` (a window made taller than the screen, say), at the screen's
// scale.
GLINTMERE_EXPORT std::string writeScreenshot(View* root, const std::string& path, CGSize points);

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
