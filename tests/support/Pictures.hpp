// Small pictures for tests: made pixel by pixel, written as PNG, read back and compared.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Pixels as opaque 0xAARRGGBB words, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    friend bool operator==(const Picture&, const Picture&) = default;
};

// A picture whose every pixel differs from its neighbours, so a shifted, scaled or flipped copy
// never matches. `seed` varies the colours between pictures of one test.
inline Picture makePicture(int width, int height, std::uint32_t seed = 0) {
    Picture p{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t r = (x * 37 + seed * 11) & 0xff;
            const std::uint32_t g = (y * 53 + seed * 7) & 0xff;
            const std::uint32_t b = (x * 17 + y * 29 + seed * 3) & 0xff;
            p.pixels.push_back(0xff000000u | r << 16 | g << 8 | b);
        }
    }
    return p;
}

// Reads the pixels of a cairo image surface of either pixel format.
inline Picture pictureOf(cairo_surface_t* surface) {
    Picture p;
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return p;
    }
    cairo_surface_flush(surface);
    p.width = cairo_image_surface_get_width(surface);
    p.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const bool opaqueFormat = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < p.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < p.width; ++x) {
            p.pixels.push_back(opaqueFormat ? (row[x] | 0xff000000u) : row[x]);
        }
    }
    return p;
}

// Writes the picture as a PNG file; false when cairo cannot.
inline bool writePng(const Picture& p, const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height);
    cairo_surface_flush(s);
    const int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < p.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < p.width; ++x) {
            row[x] = p.pixels[static_cast<std::size_t>(y * p.width + x)];
        }
    }
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

// The pixels of a PNG file; nullopt when it is missing or not a PNG.
inline std::optional<Picture> readPng(const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    std::optional<Picture> result;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        result = pictureOf(s);
    }
    cairo_surface_destroy(s);
    return result;
}

} // namespace testing_support
