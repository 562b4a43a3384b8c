// The layout cycle: views marked by setNeedsLayout (or by what changes them) are laid out once by the
// next pass, which the main run loop runs for the windows on screen before it waits; and a pass only
// places the views that the stand-ins made once.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Screenshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIViewController.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using NS::literals::operator""_ns;
using UI::View;

// How many times each view had layoutSubviews sent.
std::map<const View*, int>& passes() {
    static std::map<const View*, int> counted;
    return counted;
}

// Counts its passes and stretches its first subview across its width, 30 points high.
void countAndPlace(View* self) {
    ++passes()[self];
    if (self->subviews()->count() > 0) {
        self->subviews()->objectAtIndex(0).as<View>()->setFrame(
            CGRectMake(0, 0, self->frame().size.width, 30));
    }
}

Class countingViewClass() {
    static Class cls = [] {
        objc::ClassDefinition<View>("TestCountingView", "UIView")
            .method<&countAndPlace>(View::layoutSubviews_)
            .build();
        return objc_lookUpClass("TestCountingView");
    }();
    return cls;
}

objc::Ptr<View> countingView(View* parent, CGRect frame) {
    auto view = View::make_.send(countingViewClass())->autorelease();
    view->setFrame(frame);
    parent->addSubview(view);
    return view;
}

// The pixel at (x, y) of a PNG file as (r, g, b).
std::array<int, 3> pixelOfFile(const std::string& path, int x, int y) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    std::array<int, 3> rgb{-1, -1, -1};
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        const auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(row)[x];
        rgb = {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
               static_cast<int>(p & 0xff)};
    }
    cairo_surface_destroy(s);
    return rgb;
}

::testing::AssertionResult near(std::array<int, 3> got, std::array<int, 3> want) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(got[i] - want[i]) > 6) {
            return ::testing::AssertionFailure()
                   << "(" << got[0] << " " << got[1] << " " << got[2] << ") is not near (" << want[0] << " "
                   << want[1] << " " << want[2] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// A view filled with `color` in `holder`, which places it.
objc::Ptr<View> stripIn(View* holder, UI::Color* color) {
    auto strip = View::alloc()->initWithFrame(CGRectZero)->autorelease();
    strip->setBackgroundColor(color);
    holder->addSubview(strip);
    return strip;
}

// A picture of `window` in a file of its own, gone with it.
struct Picture {
    explicit Picture(View* window, const char* name)
        : path((std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()) + ".png"))
                   .string()) {
        UI::writeScreenshot(window, path, CGSize{320, 480});
    }
    ~Picture() { std::filesystem::remove(path); }
    // The colour at (x, y) in points.
    std::array<int, 3> at(double x, double y) const {
        const double scale = UI::Screen::mainScreen()->scale();
        return pixelOfFile(path, static_cast<int>(x * scale), static_cast<int>(y * scale));
    }
    std::string path;
};

class LayoutCycle : public ::testing::Test {
  protected:
    void SetUp() override { passes().clear(); }
    // Nothing of one test is left for the run loop of the next.
    void TearDown() override { NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(2); }

    NS::AutoreleaseScope pool;
    objc::Ref<UI::Window> window =
        objc::adopt(UI::Window::alloc()->initWithFrame(CGRectMake(0, 0, 320, 480)).as<UI::Window>());
};

TEST_F(LayoutCycle, AMarkedViewIsLaidOutOnceAndAnUnmarkedOneNotAtAll) {
    auto marked = countingView(window.get(), CGRectMake(0, 0, 100, 100));
    auto quiet = countingView(window.get(), CGRectMake(0, 100, 100, 100));
    window->layoutIfNeeded();
    passes().clear();

    marked->setNeedsLayout();
    window->layoutIfNeeded();
    EXPECT_EQ(passes()[marked.get()], 1);
    EXPECT_EQ(passes()[quiet.get()], 0) << "only the marked view is laid out";

    window->layoutIfNeeded();
    marked->layoutIfNeeded();
    EXPECT_EQ(passes()[marked.get()], 1) << "nothing was marked since";

    // A new size, a new subview: the view is laid out again, once, and places the subview.
    marked->setFrame(CGRectMake(0, 0, 200, 100));
    auto strip = stripIn(marked, nullptr);
    window->layoutIfNeeded();
    EXPECT_EQ(passes()[marked.get()], 2);
    EXPECT_EQ(strip->frame(), CGRectMake(0, 0, 200, 30));
    EXPECT_EQ(passes()[quiet.get()], 0);
}

TEST_F(LayoutCycle, TheRunLoopLaysOutAWindowBeforeItWaits) {
    window->setBackgroundColor(UI::Color::whiteColor());
    auto holder = countingView(window.get(), CGRectMake(0, 100, 100, 100));
    auto strip = stripIn(holder, UI::Color::colorWithRed(0, 0, 1, 1));
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.05);
    ASSERT_EQ(passes()[holder.get()], 1) << "a new view is laid out without being asked";
    EXPECT_EQ(strip->frame(), CGRectMake(0, 0, 100, 30));

    // Wider: nothing but the run loop, run to a deadline, places the strip across the new width.
    holder->setFrame(CGRectMake(0, 100, 300, 100));
    EXPECT_EQ(strip->frame().size.width, 100) << "not laid out before the loop runs";
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.05);
    EXPECT_EQ(passes()[holder.get()], 2);
    EXPECT_EQ(strip->frame(), CGRectMake(0, 0, 300, 30));

    // The picture shows it, and drawing it lays out nothing more.
    const Picture picture(window.get(), "layout-cycle-");
    EXPECT_EQ(passes()[holder.get()], 2);
    EXPECT_TRUE(near(picture.at(250, 115), {0, 0, 255})) << "the strip, at its new width";
    EXPECT_TRUE(near(picture.at(250, 150), {255, 255, 255})) << "below the strip";
}

TEST_F(LayoutCycle, AScreenshotLaysOutWhatIsPending) {
    window->setBackgroundColor(UI::Color::whiteColor());
    auto holder = countingView(window.get(), CGRectMake(0, 0, 320, 100));
    stripIn(holder, UI::Color::colorWithRed(1, 0, 0, 1));
    const Picture picture(window.get(), "layout-pending-");
    EXPECT_EQ(passes()[holder.get()], 1);
    EXPECT_TRUE(near(picture.at(160, 15), {255, 0, 0})) << "the strip, placed before the picture was drawn";
    EXPECT_TRUE(near(picture.at(160, 45), {255, 255, 255}));
}

// The subviews of `view`, as objects.
std::vector<const void*> subviewsOf(View* view) {
    std::vector<const void*> list;
    for (NS::Object* child : view->subviews()) {
        list.push_back(child);
    }
    return list;
}

TEST_F(LayoutCycle, APassKeepsTheViewsThatTheStandInsMade) {
    auto root = objc::adopt(UI::ViewController::alloc()->init());
    root->navigationItem()->setTitle("Settings"_ns);
    auto navigation = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(root.get()));
    window->setRootViewController(navigation.get());
    window->makeKeyAndVisible();
    auto cell =
        objc::adopt(UI::TableViewCell::alloc()->initWithStyle(UI::TableViewCellStyleDefault, nullptr));
    cell->setAccessoryType(UI::UITableViewCellAccessoryDisclosureIndicator);
    root->view()->addSubview(cell.get());
    auto toggle = objc::adopt(UI::Switch::alloc()->init().as<UI::Switch>());
    root->view()->addSubview(toggle.get());
    window->layoutIfNeeded();

    auto bar = navigation->navigationBar();
    auto statusBar = window->subviews()->lastObject().as<View>();
    const auto barParts = subviewsOf(bar);
    const auto statusParts = subviewsOf(statusBar);
    const auto cellParts = subviewsOf(cell.get());
    const auto knob = toggle->subviews()->lastObject().get();
    ASSERT_GE(barParts.size(), 3u) << "background, hairline and title";
    ASSERT_EQ(statusParts.size(), 3u);
    ASSERT_EQ(cellParts.size(), 2u) << "content and chevron";

    // Every view marked and laid out again, twice: each keeps what it showed.
    for (int i = 0; i < 2; ++i) {
        const std::vector<View*> all = {
            window.get(), navigation->view().get(), bar.get(), statusBar.get(), cell.get(), toggle.get()};
        for (View* v : all) {
            v->setNeedsLayout();
        }
        window->layoutIfNeeded();
    }
    EXPECT_EQ(subviewsOf(bar), barParts);
    EXPECT_EQ(subviewsOf(statusBar), statusParts);
    EXPECT_EQ(subviewsOf(cell.get()), cellParts);
    EXPECT_EQ(toggle->subviews()->lastObject().get(), knob);

    // Turning the switch moves the same knob; it shows its outline while off.
    toggle->setOn(true);
    window->layoutIfNeeded();
    EXPECT_EQ(toggle->subviews()->lastObject().get(), knob);
    EXPECT_EQ(toggle->subviews()->count(), 2u) << "track and knob";
    EXPECT_GT(reinterpret_cast<View*>(knob)->frame().origin.x, 10);
    toggle->setOn(false);
    window->layoutIfNeeded();
    EXPECT_EQ(toggle->subviews()->lastObject().get(), knob);
    EXPECT_EQ(toggle->subviews()->count(), 3u) << "track, outline and knob";
    EXPECT_LT(reinterpret_cast<View*>(knob)->frame().origin.x, 10);
}

} // namespace
