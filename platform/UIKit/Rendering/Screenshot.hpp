// Pictures of the screen: a tree of views, laid out as it stands, written as a PNG.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

#include <string>

namespace UI {

class View;

// Lays out what is pending in the tree of `root` and writes what `root` shows as a PNG of the
// screen's size in pixels at `path` (folders made as needed, the file replaced whole). Returns
// "WIDTHxHEIGHT" in pixels; throws std::runtime_error when the file cannot be written.
GLINTMERE_EXPORT std::string writeScreenshot(View* root, const std::string& path);
// The same for a picture of `points` (a window made taller than the screen, say), at the screen's
// scale.
GLINTMERE_EXPORT std::string writeScreenshot(View* root, const std::string& path, CGSize points);

} // namespace UI
