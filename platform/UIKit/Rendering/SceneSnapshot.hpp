// What a tree of runtime views shows, taken as the plain-data scene that draw::render draws and
// draw::describe writes out.
#pragma once

#include "UIKit/Rendering/Scene.hpp"
#include "UIKit/UIColor.hpp"
#include "objc/Runtime.hpp"

namespace UI {

class View;

// The environment variable that, set to 1, has the pictures and dumps of the screen look for views
// that constraints leave loose and report each once on standard error, as a developer asks UIKit to.
// Unset, as on a device, an ambiguous layout says nothing.
inline constexpr const char* kReportLooseViews = "GLINTMERE_LAYOUT_AMBIGUITY";

// Lays out the tree of `root` when anything is pending, or, when loose views are reported, when it
// was not looked over for them since its last change (reporting them, once each), then takes each view below
// `root`, back to front, as a node. Each view fills its own node by answering `_fillSceneNode:`
// (ViewInternals::fillSceneNode): UIView fills frame, alpha, hidden, background, clipping, shadow and its own
// tint; a subclass that shows more (a label's text, an image view's picture, a bar's colours) calls super,
// then adds its part, such as entries of `colors`. Image surfaces in the nodes belong to the images: use the
// scene while the views live.
GLINTMERE_EXPORT draw::Node snapshotScene(View* root);

// A colour as the scene takes it.
GLINTMERE_EXPORT draw::Color sceneColor(const CGColor& color);

} // namespace UI
