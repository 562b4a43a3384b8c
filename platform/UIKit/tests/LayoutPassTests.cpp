// Layout passes over trees of real views: frames worked out by hand, labels sized by their text,
// and broken layouts reported by name without stopping anything.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using NS::LayoutConstraint;
using UI::Label;
using UI::View;
using NS::literals::operator""_ns;

objc::Ptr<View> addView(View* parent, CGRect frame, bool constrained) {
    auto v = View::alloc()->initWithFrame(frame)->autorelease();
    v->setTranslatesAutoresizingMaskIntoConstraints(!constrained);
    parent->addSubview(v);
    return v;
}

objc::Ptr<Label> addLabel(View* parent, const char* text, const char* font, double size) {
    auto label = Label::alloc()->initWithFrame(CGRectZero)->autorelease().as<Label>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setText(NS::String::string(text));
    label->setFont(UI::Font::fontWithName(NS::String::string(font), size));
    parent->addSubview(label);
    return label;
}

LayoutConstraint* pin(View* a, NS::LayoutAttribute x, View* b, NS::LayoutAttribute y, double m = 1,
                      double c = 0, NS::LayoutRelation r = NS::LayoutRelationEqual) {
    return LayoutConstraint::constraintWithItem(a, x, r, b, y, m, c);
}

void expectFrame(CGRect got, CGRect want) {
    EXPECT_NEAR(got.origin.x, want.origin.x, 1e-6);
    EXPECT_NEAR(got.origin.y, want.origin.y, 1e-6);
    EXPECT_NEAR(got.size.width, want.size.width, 1e-6);
    EXPECT_NEAR(got.size.height, want.size.height, 1e-6);
}

class LayoutPasses : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
    objc::Ref<View> window = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 320, 568)));
};

// A pane's custom header: 140 points high, its title a fifth of the way down, centred, and a
// subtitle half the header's width under it.
TEST_F(LayoutPasses, HeaderFramesAreTheOnesWorkedOutByHand) {
    auto header = addView(window.get(), CGRectMake(0, 64, 320, 140), false);
    auto title = addLabel(header, "Glintmere", "HelveticaNeue-Light", 36);
    auto subtitle = addView(header, CGRectZero, true);
    header->addConstraint(pin(title, NS::LayoutAttributeTop, header, NS::LayoutAttributeBottom, 0.2, 0));
    header->addConstraint(pin(title, NS::LayoutAttributeCenterX, header, NS::LayoutAttributeCenterX));
    header->addConstraints(NS::Array::arrayWithObjects(
        {pin(subtitle, NS::LayoutAttributeWidth, header, NS::LayoutAttributeWidth, 0.5, 0),
         pin(subtitle, NS::LayoutAttributeHeight, nullptr, NS::LayoutAttributeNotAnAttribute, 1, 20),
         pin(subtitle, NS::LayoutAttributeTop, title, NS::LayoutAttributeBottom, 1, 4),
         pin(subtitle, NS::LayoutAttributeCenterX, header, NS::LayoutAttributeCenterX)}));
    window->layoutIfNeeded();

    const CGSize size = title->intrinsicContentSize();
    // The bottom of the header is 140 in its own coordinates, wherever the header sits.
    expectFrame(title->frame(), CGRectMake(160 - size.width / 2, 28, size.width, size.height));
    expectFrame(subtitle->frame(), CGRectMake(80, 28 + size.height + 4, 160, 20));
    expectFrame(header->frame(), CGRectMake(0, 64, 320, 140));
    EXPECT_TRUE(UI::layoutIsCurrent(title));

    // A changed constant is solved again at the next pass.
    header->constraints()->objectAtIndex(4).as<LayoutConstraint>()->setConstant(10);
    EXPECT_FALSE(UI::layoutIsCurrent(title));
    title->layoutIfNeeded();
    EXPECT_NEAR(subtitle->frame().origin.y, 28 + size.height + 10, 1e-6);
}

TEST_F(LayoutPasses, LabelsAreAsBigAsTheirTextSetInTheirFont) {
    auto label = addLabel(window.get(), "Glintmere", "Helvetica", 17);
    const CGSize small = label->intrinsicContentSize();
    // Nine letters of a 17-point grotesque: wider than they are high, narrower than 9 em.
    EXPECT_GT(small.width, 50);
    EXPECT_LT(small.width, 9 * 17);
    EXPECT_GT(small.height, 17);
    EXPECT_LT(small.height, 2 * 17);
    label->setFont(UI::Font::fontWithName("Helvetica"_ns, 34));
    const CGSize big = label->intrinsicContentSize();
    EXPECT_NEAR(big.width, 2 * small.width, 2);
    EXPECT_NEAR(big.height, 2 * small.height, 2);
    label->setText("Glintmere Glintmere"_ns);
    EXPECT_GT(label->intrinsicContentSize().width, 1.9 * big.width);
    // Wrapped at a width, a label of several lines grows down instead.
    label->setNumberOfLines(0);
    label->setPreferredMaxLayoutWidth(big.width + 10);
    EXPECT_LE(label->intrinsicContentSize().width, big.width + 10);
    EXPECT_NEAR(label->intrinsicContentSize().height, 2 * big.height, 2);
    label->setText(nullptr);
    EXPECT_EQ(label->intrinsicContentSize(), (CGSize{0, 0}));

    // Fonts keep the name asked for; a name the device has no font for is no font.
    auto font = UI::Font::fontWithName("HelveticaNeue-Light"_ns, 36);
    EXPECT_EQ(font->fontName()->str(), "HelveticaNeue-Light");
    EXPECT_EQ(font->pointSize(), 36);
    EXPECT_EQ(UI::Font::fontWithName("NoSuchFont-Regular"_ns, 12), nullptr);
    EXPECT_EQ(UI::Font::boldSystemFontOfSize(20)->pointSize(), 20);
    EXPECT_NE(UI::Font::systemFontOfSize(20)->fontName()->str(),
              UI::Font::boldSystemFontOfSize(20)->fontName()->str());
    // A label with no font set shows the system font at 17 points.
    EXPECT_EQ(Label::alloc()->init()->autorelease().as<Label>()->font()->pointSize(), 17);
}

TEST_F(LayoutPasses, ConflictsAreReportedByViewAndTheLayoutGoesOn) {
    auto box = addView(window.get(), CGRectMake(0, 0, 10, 10), true);
    box->addConstraint(
        pin(box, NS::LayoutAttributeWidth, nullptr, NS::LayoutAttributeNotAnAttribute, 1, 100));
    box->addConstraint(
        pin(box, NS::LayoutAttributeWidth, nullptr, NS::LayoutAttributeNotAnAttribute, 1, 200));
    window->addConstraint(pin(box, NS::LayoutAttributeLeft, window.get(), NS::LayoutAttributeLeft, 1, 5));
    window->addConstraint(pin(box, NS::LayoutAttributeTop, window.get(), NS::LayoutAttributeTop, 1, 5));
    // A constraint that names a view outside the tree is left out, not followed.
    auto stranger = objc::adopt(View::alloc()->init());
    window->addConstraint(pin(box, NS::LayoutAttributeHeight, stranger.get(), NS::LayoutAttributeHeight));

    ::testing::internal::CaptureStderr();
    const auto problems = UI::layoutViewTree(window.get(), {true, true});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_GE(problems.size(), 2U);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(box.get()));
    EXPECT_NE(said.find(std::string("UIView:") + address), std::string::npos) << said;
    // One of the two widths wins; the view is placed all the same.
    const CGRect f = box->frame();
    EXPECT_TRUE(f.size.width == 100 || f.size.width == 200) << f.size.width;
    EXPECT_EQ(f.origin, (CGPoint{5, 5}));
}

TEST_F(LayoutPasses, AViewLeavingItsSuperviewTakesItsConstraintsAlong) {
    auto header = addView(window.get(), CGRectMake(0, 0, 320, 100), false);
    auto inner = addView(header, CGRectZero, true);
    auto leaf = addView(inner, CGRectZero, true);
    window->addConstraint(pin(leaf, NS::LayoutAttributeWidth, window.get(), NS::LayoutAttributeWidth));
    window->addConstraint(pin(header, NS::LayoutAttributeWidth, window.get(), NS::LayoutAttributeWidth));
    header->addConstraint(pin(inner, NS::LayoutAttributeTop, header, NS::LayoutAttributeTop));
    inner->addConstraint(
        pin(leaf, NS::LayoutAttributeWidth, nullptr, NS::LayoutAttributeNotAnAttribute, 1, 5));
    {
        objc::Ref<View> keep = objc::retain(inner.get());
        inner->removeFromSuperview();
        // What named the subtree above it is gone; what the subtree holds itself stays.
        EXPECT_EQ(window->constraints()->count(), 1U);
        EXPECT_EQ(header->constraints()->count(), 0U);
        EXPECT_EQ(inner->constraints()->count(), 1U);
    }
    window->layoutIfNeeded();
    expectFrame(header->frame(), CGRectMake(0, 0, 320, 100));
}

// A view that places a subview itself, after the constraints placed the rest.
void placeFirstSubview(View* view) {
    auto first = view->subviews()->objectAtIndex(0).as<View>();
    first->setFrame(CGRectMake(0, 0, view->bounds().size.width, 30));
}

TEST_F(LayoutPasses, LayoutSubviewsRunsAfterTheConstraintsAndTheirViewsFollow) {
    objc::ClassDefinition<View>("TestSelfPlacingView", "UIView")
        .method<&placeFirstSubview>(View::layoutSubviews_)
        .build();
    auto holder = View::make_.send(objc_lookUpClass("TestSelfPlacingView"))->autorelease();
    holder->setFrame(CGRectMake(0, 0, 200, 200));
    window->addSubview(holder);
    auto bar = addView(holder, CGRectMake(0, 0, 10, 10), false);
    auto below = addView(holder, CGRectZero, true);
    holder->addConstraints(NS::Array::arrayWithObjects(
        {pin(below, NS::LayoutAttributeTop, bar, NS::LayoutAttributeBottom),
         pin(below, NS::LayoutAttributeLeft, holder, NS::LayoutAttributeLeft),
         pin(below, NS::LayoutAttributeWidth, bar, NS::LayoutAttributeWidth),
         pin(below, NS::LayoutAttributeHeight, nullptr, NS::LayoutAttributeNotAnAttribute, 1, 5)}));
    window->layoutIfNeeded();
    expectFrame(bar->frame(), CGRectMake(0, 0, 200, 30));
    expectFrame(below->frame(), CGRectMake(0, 30, 200, 5));
}

} // namespace
