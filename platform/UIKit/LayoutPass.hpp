// The layout pass of a tree of views: every view and constraint of the tree handed to the layout
// engine at once, and the frames it finds written back.
#pragma once

#include "UIKit/LayoutEngine.hpp"
#include "objc/Runtime.hpp"

#include <vector>

namespace UI {

class View;

// Tells the layout passes that something deciding frames changed (a constraint, a subview, an
// intrinsic size): the next layoutIfNeeded of any tree lays it out again.
GLINTMERE_EXPORT void layoutChanged();

struct LayoutPassOptions {
    // Looking for views that constraints leave loose costs a few solves per view: a picture or a
    // dump of the screen asks for it, an ordinary pass does not.
    bool findAmbiguity = false;
    // Whether problems are written to standard error (each one once per process), as UIKit does.
    bool report = true;
};

// Lays out the whole tree that `view` belongs to, from its topmost superview down: solves the
// constraints of every view, each in the coordinates of the view it is installed on, writes the
// frames that changed, then sends layoutSubviews to every view, top down (again, a few times at most,
// while those move views that constraints depend on). Returns the problems found; never throws.
GLINTMERE_EXPORT std::vector<layout::Problem> layoutViewTree(View* view,
                                                             const LayoutPassOptions& options = {});

// Whether the tree of `view` was laid out since the last change.
GLINTMERE_EXPORT bool layoutIsCurrent(View* view);

} // namespace UI
