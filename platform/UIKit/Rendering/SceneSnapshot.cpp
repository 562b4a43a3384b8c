#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIView.hpp"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace UI {
namespace {

// Deeper than any screen nests its views: a tree past it is taken down to here only.
constexpr int kMaxDepth = 256;

draw::Node take(View* view, int depth) {
    draw::Node node;
    ViewInternals::of(view)->fillSceneNode(&node);
    if (depth >= kMaxDepth) {
        return node;
    }
    for (NS::Object* child : view->subviews()) {
        node.children.push_back(take(reinterpret_cast<View*>(child), depth + 1));
    }
    return node;
}

bool looseViewsAreReported() {
    const char* asked = std::getenv(kReportLooseViews);
    return asked != nullptr && *asked != '\0' && std::string_view(asked) != "0";
}

} // namespace

draw::Color sceneColor(const CGColor& c) { return draw::Color{c.red, c.green, c.blue, c.alpha}; }

draw::Node snapshotScene(View* root) {
    if (root == nullptr) {
        return {};
    }
    const bool reportLoose = looseViewsAreReported();
    if ((reportLoose && !ambiguityIsChecked(root)) || treeNeedsLayout(root)) {
        LayoutPassOptions options;
        options.findAmbiguity = reportLoose;
        layoutViewTree(root, options);
    }
    return take(root, 0);
}

} // namespace UI
