#include "UIKit/UIView.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "UIKit/Animation/ViewAnimation.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cmath>
#include <unordered_set>
#include <vector>

namespace UI {
namespace {

// Subviews are kept in an NSMutableArray made on first use; the superview link is not owning.
objc::Ptr<NS::MutableArray> subviewList(View* self) { return objc::ivar(self, UI::ViewInternals::_subviews); }

objc::Ptr<CA::Layer> layerOf(View* self) {
    auto layer = objc::ivar(self, UI::ViewInternals::_layer);
    if (layer == nullptr) {
        // A view made without initWithFrame: (a subclass's own initialiser) gets its layer here.
        layer = CA::Layer::alloc()->init();
        objc::setIvar(self, UI::ViewInternals::_layer, layer);
    }
    return layer;
}

objc::Ptr<NS::MutableArray> constraintList(View* self) {
    return objc::ivar(self, UI::ViewInternals::_constraints);
}

// Priorities are kept as their distance from UIKit's defaults, so that a view whose ivars were
// never set (one made without initWithFrame:) has the defaults.
constexpr float kDefaultHugging = NS::LayoutPriorityDefaultLow;
constexpr float kDefaultCompression = NS::LayoutPriorityDefaultHigh;

// The priority kept for `axis`, of the pair `horizontal`, `vertical`.
template <class Horizontal, class Vertical>
float onAxis(View* self, LayoutConstraintAxis axis, const Horizontal& horizontal, const Vertical& vertical) {
    return axis == LayoutConstraintAxisVertical ? objc::ivar(self, vertical) : objc::ivar(self, horizontal);
}
template <class Horizontal, class Vertical> void setOnAxis(View* self, LayoutConstraintAxis axis,
                                                           const Horizontal& horizontal,
                                                           const Vertical& vertical, float value) {
    if (axis == LayoutConstraintAxisVertical) {
        objc::setIvar(self, vertical, value);
    } else {
        objc::setIvar(self, horizontal, value);
    }
}

// A view leaving its superview takes along every constraint of its old ancestors that names it or
// one of its subviews, as UIKit does: those could no longer be solved, and they would otherwise
// keep pointing at views that may soon be gone.
void dropConstraintsNaming(View* leaving, View* oldParent) {
    std::unordered_set<const void*> subtree;
    std::vector<View*> pending{leaving};
    while (!pending.empty()) {
        View* v = pending.back();
        pending.pop_back();
        subtree.insert(v);
        for (NS::Object* child : subviewList(v)) {
            pending.push_back(reinterpret_cast<View*>(child));
        }
    }
    for (objc::Ptr<View> up = oldParent; up != nullptr; up = up->superview()) {
        auto list = constraintList(up);
        for (unsigned long i = list->count(); i-- > 0;) {
            auto c = list->objectAtIndex(i).as<NS::LayoutConstraint>();
            if (subtree.count(c->firstItem()) != 0 || subtree.count(c->secondItem()) != 0) {
                list->removeObjectAtIndex(i);
            }
        }
    }
}

View* init(View* self) { return self->initWithFrame(CGRectZero); }

View* initWithFrame(View* self, CGRect frame) {
    auto view = View::init_.super<View>(self);
    if (view == nullptr) {
        return nullptr;
    }
    objc::setIvar(view, UI::ViewInternals::_frame, frame);
    objc::setIvar(view, UI::ViewInternals::_alpha, 1.0);
    objc::setIvar(view, UI::ViewInternals::_translatesAutoresizingMaskIntoConstraints, true);
    layerOf(view);
    markNeedsLayout(view);
    return view;
}

void animateWithDuration(Class, double duration, NS::Block* animations) {
    animation::animate(duration, 0, 0, animations, nullptr);
}

void animateWithDurationCompletion(Class, double duration, NS::Block* animations, NS::Block* completion) {
    animation::animate(duration, 0, 0, animations, completion);
}

void animateWithDurationDelayOptions(Class, double duration, double delay, ViewAnimationOptions options,
                                     NS::Block* animations, NS::Block* completion) {
    animation::animate(duration, delay, options, animations, completion);
}

CGRect frame(View* self) { return objc::ivar(self, UI::ViewInternals::_frame); }

void setFrame(View* self, CGRect frame) {
    if (!(objc::ivar(self, UI::ViewInternals::_frame) == frame)) {
        animation::willSet(self, animation::Property::Frame);
        objc::setIvar(self, UI::ViewInternals::_frame, frame);
        layoutChanged();
        // What a view shows inside may hang on where it is, not only on its size (a bar reaches up
        // behind the status bar above it).
        markNeedsLayout(self);
    }
}

CGRect bounds(View* self) {
    const CGRect f = self->frame();
    return CGRectMake(0, 0, f.size.width, f.size.height);
}

void setBounds(View* self, CGRect bounds) {
    const CGPoint c = self->center();
    self->setFrame(CGRectMake(c.x - bounds.size.width / 2, c.y - bounds.size.height / 2, bounds.size.width,
                              bounds.size.height));
}

CGPoint center(View* self) {
    const CGRect f = self->frame();
    return CGPoint{f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2};
}

void setCenter(View* self, CGPoint center) {
    CGRect f = self->frame();
    f.origin = CGPoint{center.x - f.size.width / 2, center.y - f.size.height / 2};
    self->setFrame(f);
}

CGFloat alpha(View* self) { return objc::ivar(self, UI::ViewInternals::_alpha); }

// Alpha is a fraction of opacity: values outside [0, 1] are clamped, as on the device.
void setAlpha(View* self, CGFloat alpha) {
    animation::willSet(self, animation::Property::Alpha);
    objc::setIvar(self, UI::ViewInternals::_alpha, !(alpha > 0) ? 0 : (alpha > 1 ? 1 : alpha));
}

Color* backgroundColor(View* self) { return objc::ivar(self, UI::ViewInternals::_backgroundColor); }

void setBackgroundColor(View* self, Color* color) {
    animation::willSet(self, animation::Property::BackgroundColor);
    objc::storeOwned(self, UI::ViewInternals::_backgroundColor, color);
}

bool isHidden(View* self) { return objc::ivar(self, ViewInternals::_hidden); }

Color* tintColor(View* self) {
    // Walks up rather than recursing through sends, so that a deep tree costs no stack.
    for (objc::Ptr<View> v = self; v != nullptr; v = v->superview()) {
        if (auto own = objc::ivar(v, UI::ViewInternals::_tintColor); own != nullptr) {
            return own;
        }
    }
    const CGColor blue = defaultTintColor();
    return Color::colorWithRed(blue.red, blue.green, blue.blue, blue.alpha);
}

void setTintColor(View* self, Color* color) {
    objc::Ref<Color> keep = objc::retain(color);
    auto old = objc::ivar(self, UI::ViewInternals::_tintColor);
    objc::setIvar(self, UI::ViewInternals::_tintColor, keep.leak());
    objc::Ptr(old)->release();
}

CA::Layer* layer(View* self) { return layerOf(self); }

bool translatesAutoresizingMaskIntoConstraints(View* self) {
    return objc::ivar(self, UI::ViewInternals::_translatesAutoresizingMaskIntoConstraints);
}

void setTranslatesAutoresizingMaskIntoConstraints(View* self, bool translates) {
    objc::setIvar(self, UI::ViewInternals::_translatesAutoresizingMaskIntoConstraints, translates);
    layoutChanged();
}

NS::Array* constraints(View* self) {
    auto list = constraintList(self);
    if (list == nullptr) {
        return NS::Array::array();
    }
    return list->copy()->autorelease().as<NS::Array>();
}

void addConstraint(View* self, NS::LayoutConstraint* constraint) {
    if (constraint == nullptr) {
        return;
    }
    auto list = constraintList(self);
    if (list == nullptr) {
        list = NS::MutableArray::alloc()->init();
        objc::setIvar(self, UI::ViewInternals::_constraints, list);
    }
    if (!list->containsObject(constraint)) {
        list->addObject(constraint);
    }
    layoutChanged();
}

void addConstraints(View* self, NS::Array* constraints) {
    for (NS::Object* c : objc::Ptr(constraints)) {
        if (NS::cast<NS::LayoutConstraint>(c) != nullptr) {
            self->addConstraint(reinterpret_cast<NS::LayoutConstraint*>(c));
        }
    }
}

void removeConstraint(View* self, NS::LayoutConstraint* constraint) {
    constraintList(self)->removeObject(constraint);
    layoutChanged();
}

CGSize intrinsicContentSize(View*) { return CGSize{ViewNoIntrinsicMetric, ViewNoIntrinsicMetric}; }

void invalidateIntrinsicContentSize(View*) { layoutChanged(); }

float contentHuggingPriorityForAxis(View* self, LayoutConstraintAxis axis) {
    return kDefaultHugging + onAxis(self, axis, ViewInternals::_huggingH, ViewInternals::_huggingV);
}

void setContentHuggingPriority(View* self, float priority, LayoutConstraintAxis axis) {
    setOnAxis(self, axis, ViewInternals::_huggingH, ViewInternals::_huggingV, priority - kDefaultHugging);
    layoutChanged();
}

float contentCompressionResistancePriorityForAxis(View* self, LayoutConstraintAxis axis) {
    return kDefaultCompression +
           onAxis(self, axis, ViewInternals::_compressionH, ViewInternals::_compressionV);
}

void setContentCompressionResistancePriority(View* self, float priority, LayoutConstraintAxis axis) {
    setOnAxis(self, axis, ViewInternals::_compressionH, ViewInternals::_compressionV,
              priority - kDefaultCompression);
    layoutChanged();
}

CGSize sizeThatFits(View* self, CGSize) { return self->bounds().size; }

void sizeToFit(View* self) {
    CGRect f = self->frame();
    f.size = self->sizeThatFits(f.size);
    self->setFrame(f);
}

void setNeedsLayout(View* self) { markNeedsLayout(self); }

void layoutIfNeeded(View* self) {
    if (treeNeedsLayout(self)) {
        layoutViewTree(self);
    }
}

void layoutSubviews(View*) {}

void fillSceneNode(View* self, draw::Node* node) {
    if (node == nullptr) {
        return;
    }
    node->className = class_getName(object_getClass(objc::toId(self)));
    const CGRect f = self->frame();
    // A frame that is not a number is drawn, and written, at zero.
    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    node->frame = {finite(f.origin.x), finite(f.origin.y), finite(f.size.width), finite(f.size.height)};
    node->alpha = self->alpha();
    node->hidden = self->isHidden();
    if (auto background = rgbaOf(self->backgroundColor())) {
        node->background = sceneColor(*background);
    }
    node->clipsToBounds = self->clipsToBounds();
    auto layer = self->layer();
    if (layer->shadowOpacity() > 0 && layer->shadowColor() != nullptr) {
        draw::Shadow shadow;
        shadow.color = sceneColor(*layer->shadowColor());
        shadow.offsetX = layer->shadowOffset().width;
        shadow.offsetY = layer->shadowOffset().height;
        shadow.opacity = layer->shadowOpacity();
        shadow.radius = layer->shadowRadius();
        node->shadow = shadow;
    }
    // Only a tint the view sets itself: an inherited one is its superview's to show.
    if (auto own = rgbaOf(objc::ivar(self, UI::ViewInternals::_tintColor))) {
        node->colors.emplace_back("tintColor", sceneColor(*own));
    }
}

BaselineMetrics baselineMetrics(View*) { return BaselineMetrics{}; }

NS::Array* subviews(View* self) {
    auto list = subviewList(self);
    if (list == nullptr) {
        return NS::Array::array();
    }
    return list->copy()->autorelease().as<NS::Array>();
}

View* superview(View* self) { return objc::ivar(self, UI::ViewInternals::_superview); }

void removeFromSuperview(View* self) {
    auto parent = objc::ivar(self, UI::ViewInternals::_superview);
    if (parent == nullptr) {
        return;
    }
    dropConstraintsNaming(self, parent);
    objc::setIvar(self, UI::ViewInternals::_superview, nullptr);
    layoutChanged();
    markNeedsLayout(parent);
    // The parent's list holds the only ownership the tree has of `self`.
    subviewList(parent)->removeObject(self);
}

// Puts `view` just behind `sibling` among the subviews of `self`, or in front of all.
void insert(View* self, View* view, View* sibling) {
    if (view == nullptr || view == self) {
        return;
    }
    // A view cannot hold one of its own superviews: the tree would become a loop.
    for (objc::Ptr<View> up = self; up != nullptr; up = up->superview()) {
        if (up == view) {
            return;
        }
    }
    objc::Ref<View> keep = objc::retain(view);
    view->removeFromSuperview();
    auto list = subviewList(self);
    if (list == nullptr) {
        list = NS::MutableArray::alloc()->init();
        objc::setIvar(self, UI::ViewInternals::_subviews, list);
    }
    const unsigned long at = sibling != nullptr ? list->indexOfObjectIdenticalTo(sibling) : NS::NotFound;
    if (at == NS::NotFound) {
        list->addObject(view);
    } else {
        list->insertObject(view, at);
    }
    objc::setIvar(view, UI::ViewInternals::_superview, self);
    layoutChanged();
    markNeedsLayout(self);
    markNeedsLayout(view);
}

void addSubview(View* self, View* view) { insert(self, view, nullptr); }

void insertSubviewBelowSubview(View* self, View* view, View* sibling) { insert(self, view, sibling); }

void dealloc(View* self) {
    // Subviews that live on must not point at a freed superview.
    for (NS::Object* subview : subviewList(self)) {
        objc::setIvar(static_cast<View*>(subview), ViewInternals::_superview, nullptr);
    }
    View::dealloc_.super<View>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<View>()
        .ivar(ViewInternals::_frame)
        .ivar(ViewInternals::_alpha)
        .ivar(ViewInternals::_subviews)
        .ivar(ViewInternals::_superview)
        .ivar(ViewInternals::_layer)
        .ivar(ViewInternals::_translatesAutoresizingMaskIntoConstraints)
        .property(ViewInternals::_hidden)
        .property<bool>("clipsToBounds")
        .ivar(ViewInternals::_backgroundColor)
        .ivar(ViewInternals::_tintColor)
        .ivar(ViewInternals::_constraints)
        .ivar(ViewInternals::_layoutGeneration)
        .ivar(ViewInternals::_needsLayout)
        .ivar(ViewInternals::_checkedGeneration)
        .ivar(ViewInternals::_huggingH)
        .ivar(ViewInternals::_huggingV)
        .ivar(ViewInternals::_compressionH)
        .ivar(ViewInternals::_compressionV)
        .method<&init>(View::init_)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&animateWithDuration>(View::animateWithDurationAnimations_)
        .method<&animateWithDurationCompletion>(View::animateWithDurationAnimationsCompletion_)
        .method<&animateWithDurationDelayOptions>(View::animateWithDurationDelayOptionsAnimationsCompletion_)
        .method<&frame>(View::frame_)
        .method<&setFrame>(View::setFrame_)
        .method<&bounds>(View::bounds_)
        .method<&setBounds>(View::setBounds_)
        .method<&center>(View::center_)
        .method<&setCenter>(View::setCenter_)
        .method<&alpha>(View::alpha_)
        .method<&setAlpha>(View::setAlpha_)
        .method<&backgroundColor>(View::backgroundColor_)
        .method<&setBackgroundColor>(View::setBackgroundColor_)
        .method<&isHidden>(View::isHidden_)
        .method<&tintColor>(View::tintColor_)
        .method<&setTintColor>(View::setTintColor_)
        .method<&layer>(View::layer_)
        .method<&translatesAutoresizingMaskIntoConstraints>(View::translatesAutoresizingMaskIntoConstraints_)
        .method<&setTranslatesAutoresizingMaskIntoConstraints>(
            View::setTranslatesAutoresizingMaskIntoConstraints_)
        .method<&constraints>(View::constraints_)
        .method<&addConstraint>(View::addConstraint_)
        .method<&addConstraints>(View::addConstraints_)
        .method<&removeConstraint>(View::removeConstraint_)
        .method<&intrinsicContentSize>(View::intrinsicContentSize_)
        .method<&invalidateIntrinsicContentSize>(View::invalidateIntrinsicContentSize_)
        .method<&contentHuggingPriorityForAxis>(View::contentHuggingPriorityForAxis_)
        .method<&setContentHuggingPriority>(View::setContentHuggingPriority_)
        .method<&contentCompressionResistancePriorityForAxis>(
            View::contentCompressionResistancePriorityForAxis_)
        .method<&setContentCompressionResistancePriority>(View::setContentCompressionResistancePriority_)
        .method<&sizeThatFits>(View::sizeThatFits_)
        .method<&sizeToFit>(View::sizeToFit_)
        .method<&setNeedsLayout>(View::setNeedsLayout_)
        .method<&layoutIfNeeded>(View::layoutIfNeeded_)
        .method<&layoutSubviews>(View::layoutSubviews_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .method<&baselineMetrics>(ViewInternals::baselineMetrics_)
        .method<&subviews>(View::subviews_)
        .method<&superview>(View::superview_)
        .method<&removeFromSuperview>(View::removeFromSuperview_)
        .method<&addSubview>(View::addSubview_)
        .method<&insertSubviewBelowSubview>(View::insertSubviewBelowSubview_)
        .method<&dealloc>(View::dealloc_)
        .build();
}

} // namespace
} // namespace UI
