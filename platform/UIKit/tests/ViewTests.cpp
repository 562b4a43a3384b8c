// Views as objects: geometry, colours, tint inheritance, the layer's shadow, and nil safety.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIView.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using UI::Color;
using UI::View;

objc::Ref<View> makeView(CGRect frame) { return objc::adopt(View::alloc()->initWithFrame(frame)); }

void expectColor(const Color* color, CGColor want) {
    const auto got = UI::rgbaOf(color);
    ASSERT_TRUE(got.has_value());
    EXPECT_NEAR(got->red, want.red, 1e-9);
    EXPECT_NEAR(got->green, want.green, 1e-9);
    EXPECT_NEAR(got->blue, want.blue, 1e-9);
    EXPECT_NEAR(got->alpha, want.alpha, 1e-9);
}

class ViewObjects : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
};

TEST_F(ViewObjects, ColoursKeepClampedComponentsAndHandThemToCoreGraphics) {
    expectColor(Color::colorWithRed(0.2, 0.4, 0.6, 0.8), {0.2, 0.4, 0.6, 0.8});
    expectColor(Color::colorWithRed(-1, 2, std::nan(""), 0.5), {0, 1, 0, 0.5});
    expectColor(Color::whiteColor(), {1, 1, 1, 1});
    expectColor(Color::blackColor(), {0, 0, 0, 1});
    expectColor(Color::grayColor(), {0.5, 0.5, 0.5, 1});
    expectColor(Color::darkGrayColor(), {1 / 3.0, 1 / 3.0, 1 / 3.0, 1});
    expectColor(Color::clearColor(), {0, 0, 0, 0});

    auto color = Color::colorWithRed(1, 0.5, 0, 1);
    CGColorRef cg = color->CGColor();
    ASSERT_NE(cg, nullptr);
    EXPECT_EQ(*cg, (CGColor{1, 0.5, 0, 1}));
    expectColor(color->colorWithAlphaComponent(0.25), {1, 0.5, 0, 0.25});

    EXPECT_FALSE(UI::rgbaOf(nullptr).has_value());
    // Something that is not a colour, passed where one goes as `id`, has no components.
    EXPECT_FALSE(UI::rgbaOf(reinterpret_cast<Color*>(makeView(CGRectZero).get().get())).has_value());
}

TEST_F(ViewObjects, FrameBoundsAndCenterAgree) {
    auto view = makeView(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(view->bounds(), CGRectMake(0, 0, 100, 50));
    EXPECT_EQ(view->center(), (CGPoint{60, 45}));
    view->setCenter(CGPoint{100, 100});
    EXPECT_EQ(view->frame(), CGRectMake(50, 75, 100, 50));
    // New bounds keep the centre where it was.
    view->setBounds(CGRectMake(0, 0, 40, 20));
    EXPECT_EQ(view->frame(), CGRectMake(80, 90, 40, 20));

    EXPECT_EQ(view->alpha(), 1);
    view->setAlpha(7);
    EXPECT_EQ(view->alpha(), 1);
    view->setAlpha(std::nan(""));
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_FALSE(view->clipsToBounds());
    view->setClipsToBounds(true);
    EXPECT_TRUE(view->clipsToBounds());
    EXPECT_TRUE(view->translatesAutoresizingMaskIntoConstraints());
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(view->backgroundColor(), nullptr);
    view->setBackgroundColor(Color::grayColor());
    expectColor(view->backgroundColor(), {0.5, 0.5, 0.5, 1});
}

TEST_F(ViewObjects, TintIsInheritedFromTheNearestViewThatSetsOne) {
    auto root = makeView(CGRectZero);
    auto middle = makeView(CGRectZero);
    auto leaf = makeView(CGRectZero);
    root->addSubview(middle);
    middle->addSubview(leaf);
    expectColor(leaf->tintColor(), UI::defaultTintColor());

    root->setTintColor(Color::colorWithRed(1, 0, 0, 1));
    expectColor(leaf->tintColor(), {1, 0, 0, 1});
    middle->setTintColor(Color::colorWithRed(0, 1, 0, 1));
    expectColor(leaf->tintColor(), {0, 1, 0, 1});
    expectColor(root->tintColor(), {1, 0, 0, 1});

    // Moved elsewhere, the leaf follows its new ancestors; nil gives inheritance back.
    root->addSubview(leaf);
    expectColor(leaf->tintColor(), {1, 0, 0, 1});
    leaf->setTintColor(Color::blueColor());
    expectColor(leaf->tintColor(), {0, 0, 1, 1});
    leaf->setTintColor(nullptr);
    expectColor(leaf->tintColor(), {1, 0, 0, 1});
}

TEST_F(ViewObjects, LayerKeepsItsOwnCopyOfTheShadowColour) {
    auto view = makeView(CGRectZero);
    auto layer = view->layer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(view->layer(), layer);
    EXPECT_EQ(*layer->shadowColor(), (CGColor{0, 0, 0, 1}));
    EXPECT_EQ(layer->shadowOffset(), (CGSize{0, -3}));
    EXPECT_EQ(layer->shadowOpacity(), 0);
    EXPECT_EQ(layer->shadowRadius(), 3);
    {
        NS::AutoreleaseScope inner;
        layer->setShadowColor(Color::colorWithRed(0.1, 0.2, 0.3, 1)->CGColor());
    }
    // The colour that gave the CGColor is gone; the layer's copy is not.
    EXPECT_EQ(*layer->shadowColor(), (CGColor{0.1, 0.2, 0.3, 1}));
    layer->setShadowOffset(CGSize{0, 2});
    layer->setShadowOpacity(3);
    layer->setShadowRadius(-4);
    EXPECT_EQ(layer->shadowOffset(), (CGSize{0, 2}));
    EXPECT_EQ(layer->shadowOpacity(), 1);
    EXPECT_EQ(layer->shadowRadius(), 0);
    layer->setShadowColor(nullptr);
    EXPECT_EQ(layer->shadowColor(), nullptr);
}

TEST_F(ViewObjects, ATreeCannotBeMadeIntoALoop) {
    auto root = makeView(CGRectZero);
    auto child = makeView(CGRectZero);
    root->addSubview(child);
    child->addSubview(root);
    EXPECT_EQ(root->superview(), nullptr);
    EXPECT_EQ(child->subviews()->count(), 0U);
    child->addSubview(child);
    EXPECT_EQ(child->superview(), root.get());
}

TEST_F(ViewObjects, NilAnswersZeroToEverything) {
    objc::Ptr<View> none;
    EXPECT_EQ(none->frame(), CGRectZero);
    EXPECT_EQ(none->center(), (CGPoint{}));
    EXPECT_EQ(none->tintColor(), nullptr);
    EXPECT_EQ(none->layer()->shadowColor(), nullptr);
    EXPECT_EQ(none->layer()->shadowOpacity(), 0);
    objc::Ptr<Color> noColor;
    EXPECT_EQ(noColor->CGColor(), nullptr);
    auto view = makeView(CGRectZero);
    view->addSubview(nullptr);
    view->setBackgroundColor(nullptr);
    EXPECT_EQ(view->subviews()->count(), 0U);
}

} // namespace
