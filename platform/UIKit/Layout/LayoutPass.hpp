// The layout pass of a tree of views: every view and constraint of the tree handed to the layout
// engine at once, and the frames it finds written back.
#pragma once

#include "UIKit/Layout/LayoutEngine.hpp"
#include "objc/Runtime.hpp"

#include <vector>

namespace UI {

class View;

// Tells the layout passes that something deciding frames changed (a constraint, a subview, an
// intrinsic size): the next layoutIfNeeded of any tree lays it out again.
GLINTMERE_EXPORT void layoutChanged();

// Marks `view` for the next pass of its tree to send it layoutSubviews (what setNeedsLayout does, and
// what a new frame or a new subview does). Nothing marks a view while its own layoutSubviews runs, so
// that the frames it sets and the subviews it adds do not have it laid out again and again.
GLINTMERE_EXPORT void markNeedsLayout(View* view);

// Whether a pass of the tree that `view` belongs to has anything to do: a view of it is marked, or
// something deciding frames changed since its last pass.
GLINTMERE_EXPORT bool treeNeedsLayout(View* view);

// The windows on screen, which the main run loop lays out before it waits whenever a view was marked
// or a constraint changed, as the device's does. A window is added while it lives.
GLINTMERE_EXPORT void addWindowToLayOut(View* window);
GLINTMERE_EXPORT void removeWindowToLayOut(View* window);
GLINTMERE_EXPORT const std::vector<View*>& windowsToLayOut();

struct LayoutPassOptions {
    // Looking for views that constraints leave loose costs a few solves per view: a picture or a
    // dump of the screen asks for it when the developer does (see snapshotScene), an ordinary pass
    // never.
    bool findAmbiguity = false;
    // Whether problems are written to standard error (each one once per process), as UIKit does.
    bool report = true;
};

// Lays out the whole tree that `view` belongs to, from its topmost superview down: solves the
// constraints of every view, each in the coordinates of the view it is installed on, writes the
// frames that changed, then sends layoutSubviews to each marked view, top down, so that each finds
// its own frame set by its superview (again, a few times at most, while those move views that
// constraints depend on or mark views already passed). Returns the problems found; never throws.
GLINTMERE_EXPORT std::vector<layout::Problem> layoutViewTree(View* view,
                                                             const LayoutPassOptions& options = {});

// Whether the tree of `view` was laid out since the last change.
GLINTMERE_EXPORT bool layoutIsCurrent(View* view);
// Whether the tree of `view` was laid out looking for loose views since the last change.
GLINTMERE_EXPORT bool ambiguityIsChecked(View* view);

} // namespace UI
