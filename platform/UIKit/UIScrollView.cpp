#include "UIKit/UIScrollView.hpp"
#include "UIKit/UIScrollViewInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/Rendering/Scene.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

CGPoint contentOffset(ScrollView* self) { return objc::ivar(self, UI::ScrollViewInternals::_contentOffset); }

void setContentOffset(ScrollView* self, CGPoint offset) {
    // An offset that is not a number would place every subview nowhere.
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y) || offset == contentOffset(self)) {
        return;
    }
    objc::setIvar(self, UI::ScrollViewInternals::_contentOffset, offset);
    // What the view shows changed: a table fills in the rows that came into view.
    layoutChanged();
    self->setNeedsLayout();
}

void setContentOffsetAnimated(ScrollView* self, CGPoint offset, bool) { self->setContentOffset(offset); }

CGSize contentSize(ScrollView* self) { return objc::ivar(self, UI::ScrollViewInternals::_contentSize); }

void setContentSize(ScrollView* self, CGSize size) {
    if (std::isfinite(size.width) && std::isfinite(size.height)) {
        objc::setIvar(self, UI::ScrollViewInternals::_contentSize, size);
    }
}

CGRect bounds(ScrollView* self) {
    const CGRect f = self->frame();
    return CGRect{self->contentOffset(), f.size};
}

void setBounds(ScrollView* self, CGRect bounds) {
    View::setBounds_.super<ScrollView>(self, bounds);
    self->setContentOffset(bounds.origin);
}

void fillSceneNode(ScrollView* self, draw::Node* node) {
    ViewInternals::fillSceneNode_.super<ScrollView>(self, node);
    if (node == nullptr) {
        return;
    }
    const CGPoint offset = self->contentOffset();
    const CGSize size = self->contentSize();
    node->scroll = draw::Node::Scroll{offset.x, offset.y, size.width, size.height};
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ScrollView>()
        .ivar(ScrollViewInternals::_contentOffset)
        .ivar(ScrollViewInternals::_contentSize)
        .method<&contentOffset>(ScrollView::contentOffset_)
        .method<&setContentOffset>(ScrollView::setContentOffset_)
        .method<&setContentOffsetAnimated>(ScrollView::setContentOffsetAnimated_)
        .method<&contentSize>(ScrollView::contentSize_)
        .method<&setContentSize>(ScrollView::setContentSize_)
        .method<&bounds>(View::bounds_)
        .method<&setBounds>(View::setBounds_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .build();
}

} // namespace

double bottomOffset(ScrollView* view) {
    const double bottom = view->contentSize().height - view->frame().size.height;
    return std::max(0.0, bottom);
}

} // namespace UI
