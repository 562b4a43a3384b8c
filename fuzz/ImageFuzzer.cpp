// Fuzzes the PNG reader: any bytes, read from a file or given as data, make the same image or none
// alike, never one beyond the pixel bound; an image that was read encodes and reads back whole.
#include "FuzzScratch.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "Foundation/Foundation.hpp"
#include "UIKit/Images/PNGDecoder.hpp"
#include "UIKit/UIImage.hpp"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

// The pixel at (x, y) as 0xAARRGGBB; an opaque surface keeps no alpha, and reads as opaque.
std::uint32_t pixelAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(surface) +
                               static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(x) * 4, sizeof pixel);
    return cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24 ? (pixel | 0xff000000u) : pixel;
}

// Whether two image surfaces hold the same pixels, whichever of cairo's two formats each is in: an
// opaque picture may be encoded without alpha, and come back without it.
bool samePixels(cairo_surface_t* a, cairo_surface_t* b) {
    const int width = cairo_image_surface_get_width(a);
    const int height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b)) {
        return false;
    }
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixelAt(a, x, y) != pixelAt(b, x, y)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Scratch scratch;
    NS::AutoreleaseScope pool;
    NS::String* path = NS::String::string(std::string_view(scratch.write("input.png", data, size)));
    auto fromFile = objc::adopt(UI::Image::alloc()->initWithContentsOfFile(path));
    auto fromData = objc::adopt(UI::Image::alloc()->initWithData(NS::Data::dataWithBytes(data, size)));
    if ((fromFile == nullptr) != (fromData == nullptr)) {
        fail("the same bytes made an image from a file and none as data, or the other way round");
    }
    if (fromFile == nullptr) {
        return 0;
    }
    cairo_surface_t* pixels = UI::ImageInternals::of(fromFile)->cairoSurface();
    const auto width = static_cast<std::uint64_t>(cairo_image_surface_get_width(pixels));
    const auto height = static_cast<std::uint64_t>(cairo_image_surface_get_height(pixels));
    if (width * height > UI::kMaxPicturePixels) {
        fail("an image beyond the pixel bound was decoded");
    }
    if (!samePixels(pixels, UI::ImageInternals::of(fromData)->cairoSurface())) {
        fail("the same bytes made different images from a file and as data");
    }
    const std::string encoded = UI::pngBytes(fromFile.get());
    cairo_surface_t* again = UI::decodePNGBytes(encoded.data(), encoded.size());
    if (again == nullptr) {
        fail("an image that was read was encoded unreadable");
    }
    const bool same = samePixels(pixels, again);
    cairo_surface_destroy(again);
    if (!same) {
        fail("an image that was read came back from its encoding with other pixels");
    }
    return 0;
}
