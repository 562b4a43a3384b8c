// View animations: what the screen shows between the old values and the new, stepped by the main run
// loop, and when the completion runs.
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIView.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using UI::Color;
using UI::View;

NS::RunLoop* mainLoop() { return NS::RunLoop::mainRunLoop(); }

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }

double secondsSince(std::uint64_t start) { return static_cast<double>(now() - start) / 1e9; }

// Runs the main run loop until `seconds` after `start`.
void runUntil(std::uint64_t start, double seconds) {
    const double left = seconds - secondsSince(start);
    if (left > 0) {
        NS::RunLoopInternals::of(mainLoop())->runFor(left);
    }
}

// Every call of a completion block: its finished flag.
struct Calls {
    std::vector<bool> finished;
};

objc::Ref<NS::Block> recordInto(const std::shared_ptr<Calls>& calls) {
    return NS::Block::create([calls](bool finished) { calls->finished.push_back(finished); });
}

class ViewAnimations : public ::testing::Test {
  protected:
    void SetUp() override { view = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 100, 100))); }
    // Nothing of one test's animations reaches into the next.
    void TearDown() override { NS::RunLoopInternals::of(mainLoop())->runUntilIdle(2); }

    NS::AutoreleaseScope pool;
    objc::Ref<View> view;
    std::shared_ptr<Calls> calls = std::make_shared<Calls>();
};

TEST_F(ViewAnimations, AFadeStepsTheAlphaOnTheRunLoopAndCompletesOnceAtTheEnd) {
    view->setAlpha(0);
    View* v = view.get().get();
    const std::uint64_t start = now();
    View::animateWithDuration(0.5, 0.0, UI::ViewAnimationOptionCurveLinear,
                              NS::Block::create([v] { v->setAlpha(1); }), recordInto(calls));
    EXPECT_EQ(view->alpha(), 0) << "the old value shows until the run loop steps it";
    EXPECT_TRUE(calls->finished.empty());

    std::vector<double> seen;
    for (int step = 1; step <= 9; ++step) {
        const double at = step * 0.05;
        runUntil(start, at);
        seen.push_back(view->alpha());
        // Linear: never ahead of the time that has passed.
        EXPECT_LE(seen.back(), secondsSince(start) / 0.5 + 1e-9) << at;
        EXPECT_TRUE(calls->finished.empty()) << at;
    }
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]) << "the fade never goes back";
    }
    EXPECT_LT(seen.front(), 1);
    bool between = false;
    for (double a : seen) {
        between = between || (a > 0 && a < 1);
    }
    EXPECT_TRUE(between) << "the screen shows values between the old and the new";

    runUntil(start, 0.6);
    EXPECT_EQ(view->alpha(), 1);
    EXPECT_EQ(calls->finished, std::vector<bool>{true});
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(calls->finished.size(), 1u) << "the completion runs once";
}

TEST_F(ViewAnimations, FramesAndColoursGoFromTheOldToTheNewAndANilColourFadesAsClear) {
    View* v = view.get().get();
    const std::uint64_t start = now();
    View::animateWithDuration(0.3, NS::Block::create([v] {
                                  v->setFrame(CGRectMake(100, 50, 200, 300));
                                  v->setBackgroundColor(Color::colorWithRed(1, 0, 0, 1));
                              }),
                              recordInto(calls));
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 100, 100));
    EXPECT_EQ(view->backgroundColor(), nullptr);
    runUntil(start, 0.15);
    const CGRect middle = view->frame();
    EXPECT_GE(middle.origin.x, 0);
    EXPECT_LE(middle.origin.x, 100);
    EXPECT_NEAR(middle.size.width, 100 + middle.origin.x, 1e-6) << "every edge moves on the same curve";
    const auto colour = UI::rgbaOf(view->backgroundColor());
    ASSERT_TRUE(colour.has_value());
    // From no colour, as clear black, to red: red and alpha rise together, on the frame's curve.
    EXPECT_NEAR(colour->red, middle.origin.x / 100, 1e-6);
    EXPECT_NEAR(colour->alpha, middle.origin.x / 100, 1e-6);
    EXPECT_EQ(colour->green, 0);

    runUntil(start, 0.4);
    EXPECT_EQ(view->frame(), CGRectMake(100, 50, 200, 300));
    EXPECT_EQ(UI::rgbaOf(view->backgroundColor()), (CGColor{1, 0, 0, 1}));
    EXPECT_EQ(calls->finished, std::vector<bool>{true});
}

TEST_F(ViewAnimations, AValueSetAgainTakesOverAndTheAnimationCompletesUnfinished) {
    View* v = view.get().get();
    View::animateWithDuration(10.0, NS::Block::create([v] { v->setAlpha(0); }), recordInto(calls));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    view->setAlpha(0.25);
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(view->alpha(), 0.25) << "the value set shows at once and stays";
    EXPECT_EQ(calls->finished, std::vector<bool>{false}) << "told at once, not after ten seconds";

    // A newer animation of the same property takes over from where the screen is.
    auto second = std::make_shared<Calls>();
    View::animateWithDuration(10.0, NS::Block::create([v] { v->setAlpha(1); }), recordInto(calls));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    View::animateWithDuration(0.1, NS::Block::create([v] { v->setAlpha(0.5); }), recordInto(second));
    NS::RunLoopInternals::of(mainLoop())->runFor(0.3);
    EXPECT_EQ(view->alpha(), 0.5);
    EXPECT_EQ(calls->finished, (std::vector<bool>{false, false}));
    EXPECT_EQ(second->finished, std::vector<bool>{true});
}

TEST_F(ViewAnimations, ADelayHoldsTheOldValueAndNothingToStepStillCompletesOnTheRunLoop) {
    View* v = view.get().get();
    const std::uint64_t start = now();
    View::animateWithDuration(0.1, 0.3, UI::ViewAnimationOptionCurveEaseInOut,
                              NS::Block::create([v] { v->setAlpha(0); }), recordInto(calls));
    runUntil(start, 0.25);
    EXPECT_EQ(view->alpha(), 1) << "still waiting out the delay";
    runUntil(start, 0.5);
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(calls->finished, std::vector<bool>{true});

    // No duration, and a block that animates nothing: the value shows at once, the completion
    // follows on the run loop, never inside the call.
    auto instant = std::make_shared<Calls>();
    View::animateWithDuration(0, NS::Block::create([v] { v->setAlpha(0.75); }), recordInto(instant));
    EXPECT_EQ(view->alpha(), 0.75);
    EXPECT_TRUE(instant->finished.empty());
    View::animateWithDuration(0.5, NS::Block::create([] {}), recordInto(instant));
    View::animateWithDuration(0.5, nullptr);
    NS::RunLoopInternals::of(mainLoop())->runFor(0.05);
    EXPECT_EQ(instant->finished, (std::vector<bool>{true, true}));
}

} // namespace
