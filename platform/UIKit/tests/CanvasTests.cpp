// Drawing: pictures made with the canvas, checked by the colours of their regions.
#include "UIKit/Rendering/Canvas.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace {

struct Rgba {
    int r, g, b, a;
};

// The colour at a point (in pixels), unpremultiplied, 0–255.
Rgba pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                             y * cairo_image_surface_get_stride(s));
    const std::uint32_t p = row[x];
    const int a = static_cast<int>(p >> 24);
    auto un = [&](int shift) {
        return a == 0 ? 0 : static_cast<int>(std::lround(((p >> shift) & 0xff) * 255.0 / a));
    };
    return {un(16), un(8), un(0), a};
}

::testing::AssertionResult near(Rgba got, Rgba want, int tolerance = 3) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << got.r << " " << got.g << " " << got.b << " " << got.a << ") is not near (" << want.r
           << " " << want.g << " " << want.b << " " << want.a << ")";
}

// Every pixel of the region (pixels) near one colour.
::testing::AssertionResult region(cairo_surface_t* s, int x0, int y0, int x1, int y1, Rgba want,
                                  int tolerance = 3) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (auto r = near(pixel(s, x, y), want, tolerance); !r) {
                return r << " at " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr draw::Color kWhiteColor{1, 1, 1, 1};

// Keeps the picture where a person can look at it, when asked to.
void keep(draw::Canvas& canvas, const char* name) {
    if (const char* dir = std::getenv("GLINTMERE_TEST_PICTURES")) {
        std::ofstream(std::string(dir) + "/" + name + ".png", std::ios::binary) << canvas.png();
    }
}

TEST(Canvas, FillsRectanglesInPointsWithTheirAlpha) {
    draw::Canvas canvas(40, 30, 2);
    ASSERT_EQ(canvas.pixelWidth(), 80);
    ASSERT_EQ(canvas.pixelHeight(), 60);
    cairo_surface_t* s = canvas.surface();
    EXPECT_TRUE(region(s, 0, 0, 80, 60, {0, 0, 0, 0})) << "a new canvas is transparent";
    canvas.fillRect({0, 0, 40, 30}, kWhiteColor);
    canvas.fillRect({10, 5, 20, 10}, {1, 0, 0, 0.5});
    keep(canvas, "rects");
    EXPECT_TRUE(region(s, 20, 10, 60, 30, {255, 128, 128, 255}));
    EXPECT_TRUE(region(s, 0, 0, 80, 10, kWhite));
    EXPECT_TRUE(region(s, 0, 30, 80, 60, kWhite));
    EXPECT_TRUE(region(s, 0, 10, 20, 30, kWhite));

    // Translation, clipping and a group's alpha, as a view tree uses them.
    canvas.save();
    canvas.translate(5, 20);
    canvas.clip({0, 0, 10, 5});
    canvas.group(0.25, std::nullopt, [&] { canvas.fillRect({-100, -100, 400, 400}, {0, 0, 1, 1}); });
    canvas.restore();
    canvas.restore(); // one too many: ignored
    EXPECT_TRUE(region(s, 10, 40, 30, 50, {191, 191, 255, 255}));
    EXPECT_TRUE(region(s, 30, 40, 80, 60, kWhite)) << "drawn outside the clip";
    canvas.fillRect({0, 0, 1, 1}, {0, 0, 0, 1});
    EXPECT_TRUE(near(pixel(s, 1, 1), {0, 0, 0, 255})) << "the scale was lost";

    // Nonsense draws nothing rather than failing.
    canvas.fillRect({NAN, 0, 10, 10}, {0, 1, 0, 1});
    canvas.fillRect({0, 0, -10, 10}, {0, 1, 0, 1});
    canvas.fillRect({0, 0, 10, INFINITY}, {0, 1, 0, 1});
    canvas.drawImage(nullptr, {0, 0, 10, 10});
    EXPECT_TRUE(region(s, 2, 2, 80, 10, kWhite));
}

// A 4 × 2 picture: left half opaque dark red, right half transparent.
cairo_surface_t* halfImage() {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 2);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 0.5, 0, 0);
    cairo_rectangle(cr, 0, 0, 2, 2);
    cairo_fill(cr);
    cairo_destroy(cr);
    return image;
}

TEST(Canvas, DrawsImagesScaledAndTemplatesInTheTint) {
    draw::Canvas canvas(40, 20, 1);
    cairo_surface_t* s = canvas.surface();
    canvas.fillRect({0, 0, 40, 20}, kWhiteColor);
    cairo_surface_t* image = halfImage();
    canvas.drawImage(image, {0, 0, 20, 10});
    canvas.drawImage(image, {20, 10, 20, 10}, draw::Color{0, 0.5, 1, 1});
    keep(canvas, "images");
    // Scaled five times; the smoothing blurs only the edge between the halves.
    EXPECT_TRUE(region(s, 0, 0, 8, 10, {128, 0, 0, 255}));
    EXPECT_TRUE(region(s, 12, 0, 20, 10, kWhite));
    EXPECT_TRUE(region(s, 20, 10, 28, 20, {0, 128, 255, 255})) << "a template draws its shape in the tint";
    EXPECT_TRUE(region(s, 32, 10, 40, 20, kWhite));
    EXPECT_TRUE(region(s, 20, 0, 40, 10, kWhite));
    EXPECT_TRUE(region(s, 0, 10, 20, 20, kWhite));
    cairo_surface_destroy(image);
}

TEST(Canvas, CastsShadowsOfWhatItDraws) {
    draw::Canvas canvas(60, 60, 2);
    cairo_surface_t* s = canvas.surface();
    canvas.fillRect({0, 0, 60, 60}, kWhiteColor);
    // A hard shadow: 4 points down, 6 right, half black.
    canvas.group(1, draw::Shadow{{0, 0, 0, 1}, 6, 4, 0.5, 0}, [&] {
        canvas.fillRect({10, 10, 20, 20}, {0, 0, 1, 1});
    });
    keep(canvas, "shadow");
    EXPECT_TRUE(region(s, 20, 20, 60, 60, {0, 0, 255, 255})) << "the square itself";
    EXPECT_TRUE(region(s, 32, 60, 72, 68, {128, 128, 128, 255})) << "the shadow below it";
    EXPECT_TRUE(region(s, 60, 28, 72, 60, {128, 128, 128, 255})) << "the shadow to its right";
    EXPECT_TRUE(region(s, 0, 0, 120, 20, kWhite)) << "no shadow above";
    EXPECT_TRUE(region(s, 20, 60, 30, 68, kWhite)) << "no shadow left of the offset";

    // The picture shadow of the panes: black, 0 by 1, opacity 0.2, radius 1 (soft).
    draw::Canvas soft(40, 40, 2);
    soft.fillRect({0, 0, 40, 40}, kWhiteColor);
    soft.group(1, draw::Shadow{{0, 0, 0, 1}, 0, 1, 0.2, 1}, [&] {
        soft.fillRect({10, 10, 20, 20}, {1, 1, 1, 1});
    });
    keep(soft, "soft-shadow");
    cairo_surface_t* t = soft.surface();
    // Straight below the picture, the shadow's middle: 20% black over white, give or take the blur.
    const Rgba below = pixel(t, 40, 60);
    EXPECT_LT(below.r, 240);
    EXPECT_GT(below.r, 195);
    // It fades out within a few pixels and none falls far away.
    EXPECT_GT(pixel(t, 40, 63).r, below.r);
    EXPECT_TRUE(region(t, 0, 0, 80, 16, kWhite, 1));
    EXPECT_TRUE(region(t, 0, 68, 80, 80, kWhite, 1));
    EXPECT_TRUE(region(t, 24, 24, 56, 56, kWhite, 1)) << "the shadow shows through the picture";
}

TEST(Canvas, SetsTextInTheLabelsBoxAndColour) {
    text::Typesetter& fonts = text::Typesetter::shared();
    const text::Style style{"HelveticaNeue-Light", 36, 1, text::Alignment::Center};
    const text::Extent extent = fonts.measure("Glintmere", style);
    draw::Canvas canvas(320, 100, 2);
    cairo_surface_t* s = canvas.surface();
    canvas.fillRect({0, 0, 320, 100}, kWhiteColor);
    canvas.drawText("Glintmere", style, {0.5, 0.5, 0.5, 1}, {0, 28, 320, extent.height}, fonts);
    keep(canvas, "text");
    // Ink only inside the text's box, centred: (320 - width) / 2 on both sides.
    const double left = (320 - extent.width) / 2;
    int inkLeft = 640, inkRight = -1, inkTop = 200, inkBottom = -1, darkest = 255;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 640; ++x) {
            const Rgba p = pixel(s, x, y);
            if (p.r < 250) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
                darkest = std::min(darkest, p.r);
                EXPECT_TRUE(p.r == p.g && p.g == p.b) << "grey text has grey ink";
            }
        }
    }
    ASSERT_GE(inkRight, 0) << "no text was drawn";
    EXPECT_NEAR(darkest, 128, 4) << "the text colour";
    EXPECT_GE(inkLeft, left * 2 - 4);
    EXPECT_LE(inkRight, (left + extent.width) * 2 + 4);
    EXPECT_NEAR((inkLeft + inkRight) / 2.0, 320, 8) << "centred";
    EXPECT_GE(inkTop, 28 * 2);
    EXPECT_LE(inkBottom, (28 + extent.height) * 2);
}

} // namespace
