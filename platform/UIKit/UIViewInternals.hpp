// The inner workings of UIView: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIView.hpp"
#include "objc/Internals.hpp"

namespace draw {
struct Node;
} // namespace draw

namespace UI {

// Where a view's baselines are, from its top: heightFactor × height + offset.
struct BaselineMetrics {
    double heightFactor = 1;
    double firstOffset = 0;
    double lastOffset = 0;
};

class ViewInternals : public objc::Internals<ViewInternals, View> {
  public:
    OBJC_IVAR(_frame, CGRect)
    OBJC_IVAR(_alpha, CGFloat)
    OBJC_IVAR(_subviews, NS::MutableArray*, Owning)
    OBJC_IVAR(_superview, View*)
    OBJC_IVAR(_layer, CA::Layer*, Owning)
    OBJC_IVAR(_translatesAutoresizingMaskIntoConstraints, bool)
    OBJC_IVAR(_backgroundColor, Color*, Owning)
    OBJC_IVAR(_tintColor, Color*, Owning)
    OBJC_IVAR(_constraints, NS::MutableArray*, Owning)
    OBJC_IVAR(_layoutGeneration, unsigned long)
    OBJC_IVAR(_needsLayout, bool)
    OBJC_IVAR(_checkedGeneration, unsigned long)
    OBJC_IVAR(_huggingH, float)
    OBJC_IVAR(_huggingV, float)
    OBJC_IVAR(_compressionH, float)
    OBJC_IVAR(_compressionV, float)
    OBJC_IVAR(_hidden, bool)

    // Where the view's baselines are, for constraints on first and last baselines.
    OBJC_MESSAGE_NAMED(baselineMetrics, baselineMetrics_, "_baselineMetrics", BaselineMetrics())
    // Fills `node` with what this view shows (see SceneSnapshot.hpp); a subclass that shows more
    // calls super first, then adds its own part.
    OBJC_MESSAGE_NAMED(fillSceneNode, fillSceneNode_, "_fillSceneNode:", void(draw::Node*))
};

} // namespace UI

template <> struct objc::StructEncoding<UI::BaselineMetrics> {
    static std::string value() { return "{BaselineMetrics=ddd}"; }
};
