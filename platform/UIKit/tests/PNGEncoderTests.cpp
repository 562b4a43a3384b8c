// The wallpaper's PNG encoder: every picture reads back exactly as it was, whatever its size and
// transparency, and however many bands it was deflated in.
#include "UIKit/Images/PNGEncoder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

struct Reader {
    const std::string& bytes;
    std::size_t at = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->at + length > reader->bytes.size()) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(data, reader->bytes.data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

Surface decode(const std::string& bytes) {
    Reader reader{bytes};
    return Surface(cairo_image_surface_create_from_png_stream(&readBytes, &reader), &cairo_surface_destroy);
}

// A picture of noise; `alpha` chooses a translucent picture (premultiplied, as cairo keeps it).
Surface noise(cairo_format_t format, int width, int height, bool alpha, unsigned seed) {
    Surface surface(cairo_image_surface_create(format, width, height), &cairo_surface_destroy);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface.get()));
    const int stride = cairo_image_surface_get_stride(surface.get()) / 4;
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t a = alpha ? random() % 256 : 255;
            const std::uint32_t r = random() % (a + 1), g = random() % (a + 1), b = random() % (a + 1);
            data[y * stride + x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// The PNG's colour type, from its header (byte 25: 2 is RGB, 6 is RGB with alpha).
int colourType(const std::string& png) { return png.size() > 25 ? static_cast<unsigned char>(png[25]) : -1; }

void expectSamePixels(cairo_surface_t* original, cairo_surface_t* decoded) {
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    const int width = cairo_image_surface_get_width(original);
    const int height = cairo_image_surface_get_height(original);
    ASSERT_EQ(cairo_image_surface_get_width(decoded), width);
    ASSERT_EQ(cairo_image_surface_get_height(decoded), height);
    const bool opaqueFormat = cairo_image_surface_get_format(original) == CAIRO_FORMAT_RGB24;
    const auto* a = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(original));
    const auto* b = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(decoded));
    const int strideA = cairo_image_surface_get_stride(original) / 4;
    const int strideB = cairo_image_surface_get_stride(decoded) / 4;
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t expected =
                opaqueFormat ? a[y * strideA + x] | 0xff000000u : a[y * strideA + x];
            const std::uint32_t got = opaqueFormat ? b[y * strideB + x] | 0xff000000u : b[y * strideB + x];
            wrong += expected != got;
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << width * height << " pixels";
}

TEST(PNGEncoder, OpaquePicturesReadBackExactlyWithoutAnAlphaChannel) {
    // Large enough to be deflated in several bands on a machine of several cores.
    for (cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
        Surface picture = noise(format, 1001, 803, false, 1);
        const std::string png = UI::encodePNG(picture.get());
        EXPECT_EQ(colourType(png), 2);
        expectSamePixels(picture.get(), decode(png).get());
    }
}

TEST(PNGEncoder, TranslucentPicturesKeepTheirAlphaAndColours) {
    Surface picture = noise(CAIRO_FORMAT_ARGB32, 613, 977, true, 2);
    const std::string png = UI::encodePNG(picture.get());
    EXPECT_EQ(colourType(png), 6);
    expectSamePixels(picture.get(), decode(png).get());
}

TEST(PNGEncoder, TinyAndFlatPicturesEncode) {
    Surface dot = noise(CAIRO_FORMAT_ARGB32, 1, 1, false, 3);
    expectSamePixels(dot.get(), decode(UI::encodePNG(dot.get())).get());

    // A flat screen-size picture costs almost nothing to keep.
    Surface flat(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1170, 2532), &cairo_surface_destroy);
    cairo_t* cr = cairo_create(flat.get());
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
    cairo_paint(cr);
    cairo_destroy(cr);
    const std::string png = UI::encodePNG(flat.get());
    EXPECT_LT(png.size(), 200'000u);
    expectSamePixels(flat.get(), decode(png).get());
}

TEST(PNGEncoder, WhatCannotBeEncodedGivesNoBytes) {
    EXPECT_EQ(UI::encodePNG(nullptr), "");
    Surface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, 4, 4), &cairo_surface_destroy);
    EXPECT_EQ(UI::encodePNG(mask.get()), "");
}

} // namespace
