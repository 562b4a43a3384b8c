// Small pictures for tests: made pixel by pixel, written as PNG, read back and compared.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

// Whether two 0xRRGGBB colours differ by at most `tolerance` in each channel.
inline bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) >
            tolerance) {
            return false;
        }
    }
    return true;
}

// The pixel at (x, y) in points of a screenshot at scale 2, as 0xRRGGBB; points outside take the
// nearest edge.
inline std::uint32_t at(const Picture& p, double x, double y) {
    const int px = std::clamp(static_cast<int>(x * 2), 0, p.width - 1);
    const int py = std::clamp(static_cast<int>(y * 2), 0, p.height - 1);
    return p.pixels[static_cast<std::size_t>(py * p.width + px)] & 0xffffff;
}

// Of the pixels of a rectangle (points) of a screenshot at scale 2, the share within `tolerance`
// of `color`.
inline double shareNear(const Picture& p, double x, double y, double w, double h, std::uint32_t color,
                        int tolerance) {
    int total = 0;
    int hits = 0;
    for (int py = static_cast<int>(y * 2); py < static_cast<int>((y + h) * 2); ++py) {
        for (int px = static_cast<int>(x * 2); px < static_cast<int>((x + w) * 2); ++px) {
            ++total;
            hits += near(at(p, px / 2.0, py / 2.0), color, tolerance) ? 1 : 0;
        }
    }
    return total == 0 ? 0 : static_cast<double>(hits) / total;
}

} // namespace testing_support
