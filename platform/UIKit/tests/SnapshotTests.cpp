// Runtime views taken as a scene: what the dump says of each view and what the picture shows.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/UIAlertController.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UIViewController.hpp"
#include "UIKit/UIWindow.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace {

using UI::Color;
using UI::View;
using NS::literals::operator""_ns;

// The pixel at (x, y) of an ARGB32 surface as (r, g, b), alpha ignored.
std::array<int, 3> pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                             y * cairo_image_surface_get_stride(s));
    const std::uint32_t p = row[x];
    return {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
            static_cast<int>(p & 0xff)};
}

::testing::AssertionResult near(std::array<int, 3> got, std::array<int, 3> want, int tolerance = 6) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(got[i] - want[i]) > tolerance) {
            return ::testing::AssertionFailure()
                   << "(" << got[0] << " " << got[1] << " " << got[2] << ") is not near (" << want[0] << " "
                   << want[1] << " " << want[2] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// A black square with a transparent border, as a PNG file.
std::string writeSquare(const char* path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    cairo_t* cr = cairo_create(s);
    cairo_rectangle(cr, 5, 5, 10, 10);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path);
    cairo_surface_destroy(s);
    return path;
}

TEST(Snapshots, TheDumpAndThePictureShowTheViewsAsSet) {
    NS::AutoreleaseScope pool;
    auto window = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 320, 200)));
    window->setBackgroundColor(Color::whiteColor());
    window->setTintColor(Color::colorWithRed(0, 1, 0, 1));

    auto header = View::alloc()->initWithFrame(CGRectMake(0, 0, 320, 140))->autorelease();
    window->addSubview(header);
    auto title = UI::Label::alloc()->initWithFrame(CGRectZero)->autorelease().as<UI::Label>();
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    title->setText("Glintmere"_ns);
    title->setFont(UI::Font::fontWithName("HelveticaNeue-Light"_ns, 36));
    title->setTextColor(Color::grayColor());
    header->addSubview(title);
    header->addConstraint(NS::LayoutConstraint::constraintWithItem(
        title, NS::LayoutAttributeTop, NS::LayoutRelationEqual, header, NS::LayoutAttributeBottom, 0.2, 0));
    header->addConstraint(NS::LayoutConstraint::constraintWithItem(title, NS::LayoutAttributeCenterX,
                                                                   NS::LayoutRelationEqual, header,
                                                                   NS::LayoutAttributeCenterX, 1, 0));

    auto shadowed = View::alloc()->initWithFrame(CGRectMake(20, 150, 40, 40))->autorelease();
    shadowed->setBackgroundColor(Color::colorWithRed(1, 0, 0, 1));
    shadowed->layer()->setShadowOpacity(0.5);
    shadowed->layer()->setShadowOffset(CGSize{0, 2});
    window->addSubview(shadowed);

    auto image = UI::Image::imageWithContentsOfFile(NS::String::string(writeSquare("/tmp/square.png")));
    ASSERT_NE(image, nullptr);
    auto templated = UI::ImageView::alloc()
                         ->initWithImage(image->imageWithRenderingMode(UI::ImageRenderingModeAlwaysTemplate))
                         ->autorelease();
    EXPECT_EQ(templated->frame(), CGRectMake(0, 0, 20, 20));
    templated->setFrame(CGRectMake(100, 160, 20, 20));
    window->addSubview(templated);
    auto empty = UI::ImageView::alloc()->initWithImage(nullptr)->autorelease();
    EXPECT_EQ(empty->frame(), CGRectZero);
    window->addSubview(empty);

    const draw::Node scene = UI::snapshotScene(window.get());
    const std::string dump = draw::describe(scene);
    const double x = 160 - title->frame().size.width / 2;
    EXPECT_NE(
        dump.find("    <UILabel: frame = (" + draw::number(x) + " 28; " +
                  draw::number(title->frame().size.width) + " " + draw::number(title->frame().size.height) +
                  "); text = 'Glintmere'; font = HelveticaNeue-Light 36; textColor = (128 128 128 255)>"),
        std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UIView: frame = (0 0; 320 200); backgroundColor = (255 255 255 255); "
                        "tintColor = (0 255 0 255)>"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UIView: frame = (20 150; 40 40); backgroundColor = (255 0 0 255); "
                        "shadow = (0 0 0 255) offset (0 2) opacity 0.5 radius 3>"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UIImageView: frame = (100 160; 20 20); image = 'square.png'>"), std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UIImageView: frame = (0 0; 0 0); image = nil>"), std::string::npos) << dump;

    draw::Canvas canvas(320, 200, 1);
    draw::render(scene, canvas, text::Typesetter::shared());
    // The template square takes the tint it inherits; its transparent border shows the window.
    EXPECT_TRUE(near(pixel(canvas.surface(), 110, 170), {0, 255, 0}));
    EXPECT_TRUE(near(pixel(canvas.surface(), 102, 162), {255, 255, 255}));
    EXPECT_TRUE(near(pixel(canvas.surface(), 40, 170), {255, 0, 0}));
    // The shadow falls two points below the red square, greyer than the window around it.
    const auto below = pixel(canvas.surface(), 40, 190);
    EXPECT_LT(below[0], 250);
    EXPECT_GT(below[0], 60);
    // Grey text ink somewhere in the title's box, white outside it.
    bool ink = false;
    for (int px = static_cast<int>(x); px < static_cast<int>(x + title->frame().size.width); ++px) {
        ink = ink || near(pixel(canvas.surface(), px, 28 + static_cast<int>(title->frame().size.height / 2)),
                          {128, 128, 128}, 40);
    }
    EXPECT_TRUE(ink);
    EXPECT_TRUE(near(pixel(canvas.surface(), 5, 100), {255, 255, 255}));
}

// 0–255 components, as the dump writes them.
Color* rgb(int red, int green, int blue) {
    return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1);
}

TEST(Snapshots, BarsAndSwitchesAddTheColoursTheyAreDrawnWith) {
    NS::AutoreleaseScope pool;
    auto window = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 320, 200)));
    window->setTintColor(rgb(0, 255, 0));
    auto bar = UI::NavigationBar::alloc()
                   ->initWithFrame(CGRectMake(0, 20, 320, 44))
                   ->autorelease()
                   .as<UI::NavigationBar>();
    window->addSubview(bar);
    auto toggle =
        UI::Switch::alloc()->initWithFrame(CGRectMake(10, 100, 0, 0))->autorelease().as<UI::Switch>();
    window->addSubview(toggle);

    // Nothing set: the bar shows the tint around it, the switch the system's green.
    std::string dump = draw::describe(UI::snapshotScene(window.get()));
    EXPECT_NE(dump.find("\n  <UINavigationBar: frame = (0 20; 320 44); tintColor = (0 255 0 255)>\n"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UISwitch: frame = (10 100; 51 31); onTintColor = (76 217 100 255)>"),
              std::string::npos)
        << dump;

    bar->setTintColor(rgb(238, 238, 238));
    bar->setBarTintColor(rgb(36, 55, 71));
    bar->setTitleTextAttributes(
        NS::Dictionary::dictionaryWithObject(Color::whiteColor(), NSForegroundColorAttributeName));
    toggle->setOnTintColor(rgb(65, 169, 214));
    dump = draw::describe(UI::snapshotScene(window.get()));
    EXPECT_NE(dump.find("<UINavigationBar: frame = (0 20; 320 44); tintColor = (238 238 238 255); "
                        "barTintColor = (36 55 71 255); titleColor = (255 255 255 255)>"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("<UISwitch: frame = (10 100; 51 31); onTintColor = (65 169 214 255)>"),
              std::string::npos)
        << dump;

    // A bar handed back nil has no tint of its own again, and draws with the one around it.
    bar->setTintColor(nullptr);
    EXPECT_EQ(bar->tintColor(), nullptr);
    dump = draw::describe(UI::snapshotScene(window.get()));
    EXPECT_NE(dump.find("<UINavigationBar: frame = (0 20; 320 44); tintColor = (0 255 0 255); barTintColor"),
              std::string::npos)
        << dump;
}

TEST(Snapshots, ASwitchShowsItsTrackInTheOnColourAndItsKnobAtTheEndItIsTurnedTo) {
    NS::AutoreleaseScope pool;
    auto window = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 100, 60)));
    window->setBackgroundColor(Color::blackColor());
    auto toggle =
        UI::Switch::alloc()->initWithFrame(CGRectMake(10, 10, 0, 0))->autorelease().as<UI::Switch>();
    window->addSubview(toggle);
    toggle->setOnTintColor(rgb(65, 169, 214));
    const int middle = 10 + 31 / 2;

    auto draw = [&] {
        window->layoutIfNeeded();
        auto canvas = std::make_unique<draw::Canvas>(100, 60, 1);
        draw::render(UI::snapshotScene(window.get()), *canvas, text::Typesetter::shared());
        return canvas;
    };
    toggle->setOn(true);
    auto on = draw();
    EXPECT_TRUE(near(pixel(on->surface(), 18, middle), {65, 169, 214}))
        << "the track's left end, in the on colour";
    EXPECT_TRUE(near(pixel(on->surface(), 46, middle), {255, 255, 255})) << "the knob, at the right";
    EXPECT_TRUE(near(pixel(on->surface(), 80, middle), {0, 0, 0})) << "nothing beyond the switch";

    toggle->setOn(false);
    auto off = draw();
    EXPECT_TRUE(near(pixel(off->surface(), 24, middle), {255, 255, 255})) << "the knob, at the left";
    EXPECT_TRUE(near(pixel(off->surface(), 50, middle), {255, 255, 255})) << "the white track";
    EXPECT_FALSE(near(pixel(off->surface(), 50, middle), {65, 169, 214}, 40));
}

// The line of the dump that shows `text`, and the frame's x and width written in it.
std::pair<double, double> labelSpan(const std::string& dump, const std::string& text) {
    const auto at = dump.find("text = '" + text + "'");
    if (at == std::string::npos) {
        return {-1, -1};
    }
    const auto frame = dump.rfind("frame = (", at) + 9;
    double x = 0;
    double y = 0;
    double w = 0;
    std::sscanf(dump.c_str() + frame, "%lf %lf; %lf", &x, &y, &w);
    return {x, w};
}

TEST(Snapshots, ABackButtonLeavesTheTitleRoomInTheMiddleOfTheBar) {
    NS::AutoreleaseScope pool;
    auto bar = objc::adopt(
        UI::NavigationBar::alloc()->initWithFrame(CGRectMake(0, 0, 320, 44)).as<UI::NavigationBar>());
    auto show = [&](const char* below, const char* top) {
        auto lower = objc::adopt(UI::NavigationItem::alloc()->initWithTitle(NS::String::string(below)));
        auto upper = objc::adopt(UI::NavigationItem::alloc()->initWithTitle(NS::String::string(top)));
        bar->setItems(NS::Array::arrayWithObjects({lower.get(), upper.get()}), false);
        bar->layoutIfNeeded();
        return draw::describe(UI::snapshotScene(bar.get()));
    };
    // Room enough: the back button names the controller below, the title is centred.
    std::string dump = show("Settings", "Glintmere");
    EXPECT_GT(labelSpan(dump, "Settings").second, 0) << dump;
    auto [x, width] = labelSpan(dump, "Glintmere");
    EXPECT_NEAR(x + width / 2, 160, 1) << dump;

    // A long title: the back button says "Back" and the title starts clear of it.
    dump = show("Glintmere", "ZeridOvuvoru");
    EXPECT_EQ(labelSpan(dump, "Glintmere").first, -1) << dump;
    const auto back = labelSpan(dump, "Back");
    ASSERT_GT(back.second, 0) << dump;
    EXPECT_GE(labelSpan(dump, "ZeridOvuvoru").first, 8 + back.first + back.second + 8) << dump;

    // No room even for that: the chevron alone.
    dump = show("Glintmere", "A title far too long for any back button");
    EXPECT_EQ(labelSpan(dump, "Back").first, -1) << dump;
    EXPECT_EQ(labelSpan(dump, "Glintmere").first, -1) << dump;
}

TEST(Snapshots, AnAlertDimsTheScreenAndShowsItsBoxInTheMiddle) {
    NS::AutoreleaseScope pool;
    auto window =
        objc::adopt(UI::Window::alloc()->initWithFrame(CGRectMake(0, 0, 320, 480)).as<UI::Window>());
    auto root = objc::adopt(UI::ViewController::alloc()->init());
    root->view()->setBackgroundColor(Color::whiteColor());
    window->setRootViewController(root.get());
    auto alert = UI::AlertController::alertControllerWithTitle("Cannot Send Mail"_ns, "No account."_ns,
                                                               UI::UIAlertControllerStyleAlert);
    alert->addAction(UI::AlertAction::actionWithTitle("OK"_ns, UI::UIAlertActionStyleCancel, nullptr));
    root->presentViewController(alert, false, nullptr);

    window->layoutIfNeeded();
    const draw::Node scene = UI::snapshotScene(window.get());
    const std::string dump = draw::describe(scene);
    EXPECT_NE(dump.find("text = 'Cannot Send Mail'"), std::string::npos) << dump;
    EXPECT_NE(dump.find("text = 'OK'"), std::string::npos) << dump;
    draw::Canvas canvas(320, 480, 1);
    draw::render(scene, canvas, text::Typesetter::shared());
    // The white page under it, dimmed; the box's light gray in the middle, as wide as an alert.
    EXPECT_TRUE(near(pixel(canvas.surface(), 10, 240), {153, 153, 153}, 10));
    EXPECT_TRUE(near(pixel(canvas.surface(), 30, 240), {247, 247, 247}));
    EXPECT_TRUE(near(pixel(canvas.surface(), 20, 240), {153, 153, 153}, 10));
    EXPECT_TRUE(near(pixel(canvas.surface(), 290, 240), {247, 247, 247}));
    EXPECT_TRUE(near(pixel(canvas.surface(), 160, 10), {153, 153, 153}, 10)) << "above the box";
}

} // namespace

// A developer asks for views that constraints leave loose; in ordinary use a picture says nothing
// of them, as UIKit says nothing.
TEST(Snapshots, LooseViewsAreReportedOnlyWhenTheEnvironmentAsks) {
    NS::AutoreleaseScope pool;
    unsetenv(UI::kReportLooseViews);
    auto window = objc::adopt(View::alloc()->initWithFrame(CGRectMake(0, 0, 320, 200)));
    auto loose = View::alloc()->initWithFrame(CGRectMake(10, 20, 30, 40))->autorelease();
    loose->setTranslatesAutoresizingMaskIntoConstraints(false);
    window->addSubview(loose);
    loose->addConstraint(NS::LayoutConstraint::constraintWithItem(loose, NS::LayoutAttributeWidth,
                                                                  NS::LayoutRelationEqual, nullptr,
                                                                  NS::LayoutAttributeNotAnAttribute, 1, 30));

    ::testing::internal::CaptureStderr();
    std::string dump = draw::describe(UI::snapshotScene(window.get()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(dump.find("<UIView: frame = (10 20; 30 40)"), std::string::npos) << dump;

    setenv(UI::kReportLooseViews, "0", 1);
    ::testing::internal::CaptureStderr();
    UI::snapshotScene(window.get());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "0 asks for nothing";

    setenv(UI::kReportLooseViews, "1", 1);
    ::testing::internal::CaptureStderr();
    dump = draw::describe(UI::snapshotScene(window.get()));
    const std::string said = ::testing::internal::GetCapturedStderr();
    unsetenv(UI::kReportLooseViews);
    EXPECT_NE(said.find("Ambiguous layout: UIView:"), std::string::npos) << said;
    EXPECT_NE(said.find("has no constraint that fixes its x, y, height"), std::string::npos) << said;
    EXPECT_NE(dump.find("<UIView: frame = (10 20; 30 40)"), std::string::npos) << "it keeps its frame";
}
