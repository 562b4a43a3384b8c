// A window's tree of views, drawn and written out.
#include "UIKit/Rendering/Scene.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>

namespace {

using draw::Color;
using draw::Node;

struct Rgb {
    int r, g, b;
};

Rgb at(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                             y * cairo_image_surface_get_stride(s));
    const std::uint32_t p = row[x];
    return {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
            static_cast<int>(p & 0xff)};
}

::testing::AssertionResult near(Rgb got, Rgb want, int tolerance = 3) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << got.r << " " << got.g << " " << got.b << ") is not near ("
                                         << want.r << " " << want.g << " " << want.b << ")";
}

Node view(const char* cls, draw::Rect frame) {
    Node n;
    n.className = cls;
    n.frame = frame;
    return n;
}

// A pane-like window: a header with a title, a hidden view, a faded view, a clipping view whose
// child reaches outside it, and a shadowed picture without an image.
Node window() {
    Node root = view("UIWindow", {0, 0, 320, 200});
    root.background = Color{1, 1, 1, 1};
    Node header = view("BMGlintmereCustomHeaderView", {0, 20, 320, 80});
    Node title = view("UILabel", {83.25, 16, 153.5, 43});
    title.text =
        Node::Text{"Glintmere", {"HelveticaNeue-Light", 36, 1, text::Alignment::Center}, {0.5, 0.5, 0.5, 1}};
    title.background = Color{0, 0, 0, 0};
    header.children.push_back(title);
    root.children.push_back(header);

    Node hidden = view("UIView", {0, 100, 100, 100});
    hidden.hidden = true;
    hidden.background = Color{1, 0, 0, 1};
    root.children.push_back(hidden);

    Node faded = view("UIView", {100, 100, 50, 50});
    faded.alpha = 0.5;
    faded.background = Color{0, 0, 1, 1};
    root.children.push_back(faded);

    Node clipper = view("UIView", {160, 100, 40, 40});
    clipper.clipsToBounds = true;
    Node inside = view("UIView", {20, 20, 100, 100});
    inside.background = Color{0, 1, 0, 1};
    clipper.children.push_back(inside);
    root.children.push_back(clipper);

    Node picture = view("UIImageView", {250, 110, 40, 40});
    picture.background = Color{1, 1, 1, 1};
    picture.image = Node::Picture{nullptr, "nil", std::nullopt};
    picture.shadow = draw::Shadow{{0, 0, 0, 1}, 0, 4, 0.5f, 0};
    picture.colors.push_back({"tintColor", Color{238 / 255.0, 238 / 255.0, 238 / 255.0, 1}});
    root.children.push_back(picture);
    return root;
}

TEST(Scene, WritesOneViewALineWithTheKeysThatApply) {
    EXPECT_EQ(
        draw::describe(window()),
        "<UIWindow: frame = (0 0; 320 200); backgroundColor = (255 255 255 255)>\n"
        "  <BMGlintmereCustomHeaderView: frame = (0 20; 320 80)>\n"
        "    <UILabel: frame = (83.25 16; 153.5 43); text = 'Glintmere'; font = HelveticaNeue-Light 36; "
        "textColor = (128 128 128 255); backgroundColor = (0 0 0 0)>\n"
        "  <UIView: frame = (0 100; 100 100); hidden = YES; backgroundColor = (255 0 0 255)>\n"
        "  <UIView: frame = (100 100; 50 50); alpha = 0.5; backgroundColor = (0 0 255 255)>\n"
        "  <UIView: frame = (160 100; 40 40)>\n"
        "    <UIView: frame = (20 20; 100 100); backgroundColor = (0 255 0 255)>\n"
        "  <UIImageView: frame = (250 110; 40 40); backgroundColor = (255 255 255 255); "
        "tintColor = (238 238 238 255); image = nil; shadow = (0 0 0 255) offset (0 4) opacity 0.5 "
        "radius 0>\n");
    EXPECT_EQ(draw::number(1.0 / 3), "0.33");
    EXPECT_EQ(draw::number(-0.001), "0");
    EXPECT_EQ(draw::number(0.2f), "0.2");
    EXPECT_EQ(draw::number(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(draw::number(1e300), "1e+300");

    Node lines = view("UILabel", {0, 0, 10, 10});
    lines.text = Node::Text{"a\nb", {"Helvetica", 12, 0, text::Alignment::Left}, {0, 0, 0, 1}};
    lines.image = Node::Picture{nullptr, "logo.png", std::nullopt};
    EXPECT_EQ(draw::describe(lines), "<UILabel: frame = (0 0; 10 10); text = 'a\\nb'; font = Helvetica 12; "
                                     "textColor = (0 0 0 255); image = 'logo.png'>\n");
}

TEST(Scene, DrawsWhatIsShownAndNothingElse) {
    draw::Canvas canvas(320, 200, 2);
    draw::render(window(), canvas, text::Typesetter::shared());
    if (const char* dir = std::getenv("GLINTMERE_TEST_PICTURES")) {
        std::ofstream(std::string(dir) + "/scene.png", std::ios::binary) << canvas.png();
    }
    cairo_surface_t* s = canvas.surface();
    EXPECT_TRUE(near(at(s, 20, 220), {255, 255, 255})) << "the hidden view is not drawn";
    EXPECT_TRUE(near(at(s, 250, 250), {128, 128, 255})) << "the faded view shows at half";
    EXPECT_TRUE(near(at(s, 390, 270), {0, 255, 0})) << "the clipped child inside its superview";
    EXPECT_TRUE(near(at(s, 410, 290), {255, 255, 255})) << "and not outside it";
    EXPECT_TRUE(near(at(s, 540, 260), {255, 255, 255})) << "the picture itself";
    EXPECT_TRUE(near(at(s, 540, 305), {128, 128, 128})) << "its shadow below it";
    // The title: grey ink inside its frame (header at 20, label at 16 in it), none above the header.
    int ink = 0;
    for (int y = 72; y < 158; ++y) {
        for (int x = 166; x < 474; ++x) {
            ink += at(s, x, y).r < 200 ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 500);
    for (int x = 0; x < 640; ++x) {
        ASSERT_TRUE(near(at(s, x, 30), {255, 255, 255})) << x;
    }
}

TEST(Scene, AScrollViewShowsItsContentFromItsOffsetWithinItsBounds) {
    // Content 300 points tall in a view 100 tall, scrolled 150 down: of three bands of 100 points,
    // the lower half of the second and the upper half of the third show.
    Node root = view("UIWindow", {0, 0, 100, 200});
    root.background = Color{1, 1, 1, 1};
    Node scroller = view("UIScrollView", {0, 50, 100, 100});
    scroller.clipsToBounds = true;
    scroller.scroll = Node::Scroll{0, 150, 100, 300};
    const Color bands[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    for (int i = 0; i < 3; ++i) {
        Node band = view("UIView", {0, 100.0 * i, 100, 100});
        band.background = bands[i];
        scroller.children.push_back(band);
    }
    root.children.push_back(scroller);

    const std::string described = draw::describe(scroller);
    EXPECT_EQ(described.substr(0, described.find('\n')),
              "<UIScrollView: frame = (0 50; 100 100); contentOffset = (0 150); contentSize = (100 300)>");
    draw::Canvas canvas(100, 200, 1);
    draw::render(root, canvas, text::Typesetter::shared());
    cairo_surface_t* s = canvas.surface();
    EXPECT_TRUE(near(at(s, 50, 60), {0, 255, 0})) << "the second band's lower half at the top";
    EXPECT_TRUE(near(at(s, 50, 140), {0, 0, 255})) << "the third band's upper half below it";
    EXPECT_TRUE(near(at(s, 50, 40), {255, 255, 255})) << "nothing above the bounds";
    EXPECT_TRUE(near(at(s, 50, 160), {255, 255, 255})) << "nor below them";
}

} // namespace
