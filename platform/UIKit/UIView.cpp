#include "UIKit/UIView.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/ViewAnimation.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cmath>
#include <unordered_set>
#include <vector>

namespace UI {
namespace {

// Subviews are kept in an NSMutableArray made on first use; the superview link is not owning.
objc::Ptr<NS::MutableArray> subviewList(View* self) {
    return objc::ivar<NS::MutableArray*>(self, "_subviews");
}

objc::Ptr<CA::Layer> layerOf(View* self) {
    auto layer = objc::ivar<CA::Layer*>(self, "_layer");
    if (layer == nullptr) {
        // A view made without initWithFrame: (a subclass's own initialiser) gets its layer here.
        layer = CA::Layer::alloc()->init();
        objc::setIvar<CA::Layer*>(self, "_layer", layer);
    }
    return layer;
}

objc::Ptr<NS::MutableArray> constraintList(View* self) {
    return objc::ivar<NS::MutableArray*>(self, "_constraints");
}

// Priorities are kept as their distance from UIKit's defaults, so that a view whose ivars were
// never set (one made without initWithFrame:) has the defaults.
constexpr float kDefaultHugging = NS::LayoutPriorityDefaultLow;
constexpr float kDefaultCompression = NS::LayoutPriorityDefaultHigh;

const char* huggingIvar(LayoutConstraintAxis axis) {
    return axis == LayoutConstraintAxisVertical ? "_huggingV" : "_huggingH";
}
const char* compressionIvar(LayoutConstraintAxis axis) {
    return axis == LayoutConstraintAxisVertical ? "_compressionV" : "_compressionH";
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

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<View>()
        .ivar<CGRect>("_frame")
        .ivar<CGFloat>("_alpha")
        .ivar<NS::MutableArray*>("_subviews", objc::Ownership::Owning)
        .ivar<View*>("_superview")
        .ivar<CA::Layer*>("_layer", objc::Ownership::Owning)
        .ivar<bool>("_translatesAutoresizingMaskIntoConstraints")
        .property<bool>("hidden")
        .property<bool>("clipsToBounds")
        .ivar<Color*>("_backgroundColor", objc::Ownership::Owning)
        .ivar<Color*>("_tintColor", objc::Ownership::Owning)
        .ivar<NS::MutableArray*>("_constraints", objc::Ownership::Owning)
        .ivar<unsigned long>("_layoutGeneration")
        .ivar<float>("_huggingH")
        .ivar<float>("_huggingV")
        .ivar<float>("_compressionH")
        .ivar<float>("_compressionV")
        .method(View::init_, [](View* self) -> View* { return self->initWithFrame(CGRectZero); })
        .method(View::initWithFrame_,
                [](View* self, CGRect frame) -> View* {
                    auto view = View::init_.super<View>(self);
                    if (view == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar(view, "_frame", frame);
                    objc::setIvar<CGFloat>(view, "_alpha", 1.0);
                    objc::setIvar<bool>(view, "_translatesAutoresizingMaskIntoConstraints", true);
                    layerOf(view);
                    return view;
                })
        .method(View::animateWithDurationAnimations_,
                [](Class, double duration, NS::Block* animations) {
                    animation::animate(duration, 0, 0, animations, nullptr);
                })
        .method(View::animateWithDurationAnimationsCompletion_,
                [](Class, double duration, NS::Block* animations, NS::Block* completion) {
                    animation::animate(duration, 0, 0, animations, completion);
                })
        .method(View::animateWithDurationDelayOptionsAnimationsCompletion_,
                [](Class, double duration, double delay, ViewAnimationOptions options, NS::Block* animations,
                   NS::Block* completion) {
                    animation::animate(duration, delay, options, animations, completion);
                })
        .method(View::frame_, [](View* self) -> CGRect { return objc::ivar<CGRect>(self, "_frame"); })
        .method(View::setFrame_,
                [](View* self, CGRect frame) {
                    if (!(objc::ivar<CGRect>(self, "_frame") == frame)) {
                        animation::willSet(self, animation::Property::Frame);
                        objc::setIvar(self, "_frame", frame);
                        layoutChanged();
                    }
                })
        .method(View::bounds_,
                [](View* self) -> CGRect {
                    const CGRect f = self->frame();
                    return CGRectMake(0, 0, f.size.width, f.size.height);
                })
        .method(View::setBounds_,
                [](View* self, CGRect bounds) {
                    const CGPoint c = self->center();
                    self->setFrame(CGRectMake(c.x - bounds.size.width / 2, c.y - bounds.size.height / 2,
                                              bounds.size.width, bounds.size.height));
                })
        .method(View::center_,
                [](View* self) -> CGPoint {
                    const CGRect f = self->frame();
                    return CGPoint{f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2};
                })
        .method(View::setCenter_,
                [](View* self, CGPoint center) {
                    CGRect f = self->frame();
                    f.origin = CGPoint{center.x - f.size.width / 2, center.y - f.size.height / 2};
                    self->setFrame(f);
                })
        .method(View::alpha_, [](View* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_alpha"); })
        // Alpha is a fraction of opacity: values outside [0, 1] are clamped, as on the device.
        .method(View::setAlpha_,
                [](View* self, CGFloat alpha) {
                    animation::willSet(self, animation::Property::Alpha);
                    objc::setIvar<CGFloat>(self, "_alpha", !(alpha > 0) ? 0 : (alpha > 1 ? 1 : alpha));
                })
        .method(View::backgroundColor_,
                [](View* self) -> Color* { return objc::ivar<Color*>(self, "_backgroundColor"); })
        .method(View::setBackgroundColor_,
                [](View* self, Color* color) {
                    animation::willSet(self, animation::Property::BackgroundColor);
                    objc::storeOwned(self, "_backgroundColor", color);
                })
        .method(View::isHidden_, [](View* self) -> bool { return objc::ivar<bool>(self, "_hidden"); })
        .method(View::tintColor_,
                [](View* self) -> Color* {
                    // Walks up rather than recursing through sends, so that a deep tree costs no stack.
                    for (objc::Ptr<View> v = self; v != nullptr; v = v->superview()) {
                        if (auto own = objc::ivar<Color*>(v, "_tintColor"); own != nullptr) {
                            return own;
                        }
                    }
                    const CGColor blue = defaultTintColor();
                    return Color::colorWithRed(blue.red, blue.green, blue.blue, blue.alpha);
                })
        .method(View::setTintColor_,
                [](View* self, Color* color) {
                    objc::Ref<Color> keep = objc::retain(color);
                    auto old = objc::ivar<Color*>(self, "_tintColor");
                    objc::setIvar<Color*>(self, "_tintColor", keep.leak());
                    objc::Ptr(old)->release();
                })
        .method(View::layer_, [](View* self) -> CA::Layer* { return layerOf(self); })
        .method(View::translatesAutoresizingMaskIntoConstraints_,
                [](View* self) -> bool {
                    return objc::ivar<bool>(self, "_translatesAutoresizingMaskIntoConstraints");
                })
        .method(View::setTranslatesAutoresizingMaskIntoConstraints_,
                [](View* self, bool translates) {
                    objc::setIvar<bool>(self, "_translatesAutoresizingMaskIntoConstraints", translates);
                    layoutChanged();
                })
        .method(View::constraints_,
                [](View* self) -> NS::Array* {
                    auto list = constraintList(self);
                    if (list == nullptr) {
                        return NS::Array::array();
                    }
                    return list->copy()->autorelease().as<NS::Array>();
                })
        .method(View::addConstraint_,
                [](View* self, NS::LayoutConstraint* constraint) {
                    if (constraint == nullptr) {
                        return;
                    }
                    auto list = constraintList(self);
                    if (list == nullptr) {
                        list = NS::MutableArray::alloc()->init();
                        objc::setIvar<NS::MutableArray*>(self, "_constraints", list);
                    }
                    if (!list->containsObject(constraint)) {
                        list->addObject(constraint);
                    }
                    layoutChanged();
                })
        .method(View::addConstraints_,
                [](View* self, NS::Array* constraints) {
                    for (NS::Object* c : objc::Ptr(constraints)) {
                        if (NS::cast<NS::LayoutConstraint>(c) != nullptr) {
                            self->addConstraint(reinterpret_cast<NS::LayoutConstraint*>(c));
                        }
                    }
                })
        .method(View::removeConstraint_,
                [](View* self, NS::LayoutConstraint* constraint) {
                    constraintList(self)->removeObject(constraint);
                    layoutChanged();
                })
        .method(View::intrinsicContentSize_,
                [](View*) -> CGSize {
                    return CGSize{ViewNoIntrinsicMetric, ViewNoIntrinsicMetric};
                })
        .method(View::invalidateIntrinsicContentSize_, [](View*) { layoutChanged(); })
        .method(View::contentHuggingPriorityForAxis_,
                [](View* self, LayoutConstraintAxis axis) -> float {
                    return kDefaultHugging + objc::ivar<float>(self, huggingIvar(axis));
                })
        .method(View::setContentHuggingPriority_,
                [](View* self, float priority, LayoutConstraintAxis axis) {
                    objc::setIvar<float>(self, huggingIvar(axis), priority - kDefaultHugging);
                    layoutChanged();
                })
        .method(View::contentCompressionResistancePriorityForAxis_,
                [](View* self, LayoutConstraintAxis axis) -> float {
                    return kDefaultCompression + objc::ivar<float>(self, compressionIvar(axis));
                })
        .method(View::setContentCompressionResistancePriority_,
                [](View* self, float priority, LayoutConstraintAxis axis) {
                    objc::setIvar<float>(self, compressionIvar(axis), priority - kDefaultCompression);
                    layoutChanged();
                })
        .method(View::sizeThatFits_, [](View* self, CGSize) -> CGSize { return self->bounds().size; })
        .method(View::sizeToFit_,
                [](View* self) {
                    CGRect f = self->frame();
                    f.size = self->sizeThatFits(f.size);
                    self->setFrame(f);
                })
        .method(View::setNeedsLayout_, [](View*) { layoutChanged(); })
        .method(View::layoutIfNeeded_,
                [](View* self) {
                    if (!layoutIsCurrent(self)) {
                        layoutViewTree(self);
                    }
                })
        .method(View::layoutSubviews_, [](View*) {})
        .method(View::fillSceneNode_,
                [](View* self, draw::Node* node) {
                    if (node == nullptr) {
                        return;
                    }
                    node->className = class_getName(object_getClass(objc::toId(self)));
                    const CGRect f = self->frame();
                    // A frame that is not a number is drawn, and written, at zero.
                    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
                    node->frame = {finite(f.origin.x), finite(f.origin.y), finite(f.size.width),
                                   finite(f.size.height)};
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
                    if (auto own = rgbaOf(objc::ivar<Color*>(self, "_tintColor"))) {
                        node->colors.emplace_back("tintColor", sceneColor(*own));
                    }
                })
        .method(View::baselineMetrics_, [](View*) -> BaselineMetrics { return BaselineMetrics{}; })
        .method(View::subviews_,
                [](View* self) -> NS::Array* {
                    auto list = subviewList(self);
                    if (list == nullptr) {
                        return NS::Array::array();
                    }
                    return list->copy()->autorelease().as<NS::Array>();
                })
        .method(View::superview_, [](View* self) -> View* { return objc::ivar<View*>(self, "_superview"); })
        .method(View::removeFromSuperview_,
                [](View* self) {
                    auto parent = objc::ivar<View*>(self, "_superview");
                    if (parent == nullptr) {
                        return;
                    }
                    dropConstraintsNaming(self, parent);
                    objc::setIvar<View*>(self, "_superview", nullptr);
                    layoutChanged();
                    // The parent's list holds the only ownership the tree has of `self`.
                    subviewList(parent)->removeObject(self);
                })
        .method(View::addSubview_,
                [](View* self, View* view) {
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
                        objc::setIvar<NS::MutableArray*>(self, "_subviews", list);
                    }
                    list->addObject(view);
                    objc::setIvar<View*>(view, "_superview", self);
                    layoutChanged();
                })
        .method(View::dealloc_,
                [](View* self) {
                    // Subviews that live on must not point at a freed superview.
                    for (NS::Object* subview : subviewList(self)) {
                        objc::setIvar<View*>(subview, "_superview", nullptr);
                    }
                    View::dealloc_.super<View>(self);
                })
        .build();
}

} // namespace
} // namespace UI
