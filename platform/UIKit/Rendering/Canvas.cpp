#include "UIKit/Rendering/Canvas.hpp"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace draw {
namespace {

bool usable(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height) &&
           r.width > 0 && r.height > 0;
}

double unit(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

void setColor(cairo_t* cr, const Color& c, double alpha = 1) {
    cairo_set_source_rgba(cr, unit(c.red), unit(c.green), unit(c.blue), unit(c.alpha) * unit(alpha));
}

// One pass of a running-sum box blur over rows (or columns) of an 8-bit alpha channel.
void boxBlur(std::vector<std::uint8_t>& a, int width, int height, int radius, bool horizontal) {
    if (radius <= 0) {
        return;
    }
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> std::uint8_t& {
            const int x = horizontal ? i : l;
            const int y = horizontal ? l : i;
            return a[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
        };
        int sum = 0;
        for (int i = -radius; i <= radius; ++i) {
            sum += (i >= 0 && i < length) ? at(i) : 0;
        }
        for (int i = 0; i < length; ++i) {
            line[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((sum + window / 2) / window);
            const int out = i - radius;
            const int in = i + radius + 1;
            sum -= (out >= 0 && out < length) ? at(out) : 0;
            sum += (in >= 0 && in < length) ? at(in) : 0;
        }
        for (int i = 0; i < length; ++i) {
            at(i) = line[static_cast<std::size_t>(i)];
        }
    }
}

} // namespace

Canvas::Canvas(int width, int height, double scale)
    : scale_(std::isfinite(scale) && scale > 0 ? std::min(scale, 8.0) : 1.0),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                          static_cast<int>(std::clamp(width, 0, 8192) * scale_),
                                          static_cast<int>(std::clamp(height, 0, 8192) * scale_))),
      cr_(cairo_create(surface_)) {
    cairo_scale(cr_, scale_, scale_);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

int Canvas::pixelWidth() const { return cairo_image_surface_get_width(surface_); }
int Canvas::pixelHeight() const { return cairo_image_surface_get_height(surface_); }

std::string Canvas::png() {
    cairo_surface_flush(surface_);
    std::string bytes;
    cairo_surface_write_to_png_stream(
        surface_,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    return bytes;
}

void Canvas::save() {
    cairo_save(cr_);
    ++depth_;
}

void Canvas::restore() {
    // An unmatched restore would undo the canvas's own scale.
    if (depth_ > 0) {
        cairo_restore(cr_);
        --depth_;
    }
}

void Canvas::translate(double dx, double dy) {
    if (std::isfinite(dx) && std::isfinite(dy)) {
        cairo_translate(cr_, dx, dy);
    }
}

void Canvas::clip(const Rect& rect) {
    cairo_rectangle(cr_, rect.x, rect.y, usable(rect) ? rect.width : 0, usable(rect) ? rect.height : 0);
    cairo_clip(cr_);
}

void Canvas::group(double alpha, const std::optional<Shadow>& shadow, const std::function<void()>& content) {
    const bool shadowed = shadow && unit(shadow->opacity) > 0 && unit(shadow->color.alpha) > 0;
    cairo_push_group(cr_);
    content();
    cairo_pattern_t* drawn = cairo_pop_group(cr_);
    if (shadowed) {
        // The outline of what was drawn, in pixels: the group's alpha, blurred, moved, coloured.
        const int w = pixelWidth();
        const int h = pixelHeight();
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        cairo_t* m = cairo_create(mask);
        cairo_matrix_t matrix;
        cairo_get_matrix(cr_, &matrix);
        cairo_set_matrix(m, &matrix);
        cairo_set_source(m, drawn);
        cairo_paint(m);
        cairo_destroy(m);
        cairo_surface_flush(mask);
        const int stride = cairo_image_surface_get_stride(mask);
        unsigned char* data = cairo_image_surface_get_data(mask);
        std::vector<std::uint8_t> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y) {
            std::copy_n(data + static_cast<std::ptrdiff_t>(y) * stride, w,
                        coverage.begin() + static_cast<std::ptrdiff_t>(y) * w);
        }
        // Three box blurs come close to the gaussian a layer's shadow radius stands for.
        const double radius = std::isfinite(shadow->radius) ? std::clamp(shadow->radius, 0.0, 100.0) : 0.0;
        const int box = static_cast<int>(std::lround(radius * scale_ / 2));
        for (int pass = 0; pass < 3; ++pass) {
            boxBlur(coverage, w, h, box, true);
            boxBlur(coverage, w, h, box, false);
        }
        for (int y = 0; y < h; ++y) {
            std::copy_n(coverage.begin() + static_cast<std::ptrdiff_t>(y) * w, w,
                        data + static_cast<std::ptrdiff_t>(y) * stride);
        }
        cairo_surface_mark_dirty(mask);
        cairo_save(cr_);
        cairo_identity_matrix(cr_);
        setColor(cr_, shadow->color, shadow->opacity * unit(alpha));
        const double dx = std::isfinite(shadow->offsetX) ? shadow->offsetX * scale_ : 0;
        const double dy = std::isfinite(shadow->offsetY) ? shadow->offsetY * scale_ : 0;
        cairo_mask_surface(cr_, mask, dx, dy);
        cairo_restore(cr_);
        cairo_surface_destroy(mask);
    }
    cairo_set_source(cr_, drawn);
    cairo_paint_with_alpha(cr_, unit(alpha));
    cairo_pattern_destroy(drawn);
}

void Canvas::fillRect(const Rect& rect, const Color& color) {
    if (!usable(rect)) {
        return;
    }
    setColor(cr_, color);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    cairo_fill(cr_);
}

void Canvas::drawImage(cairo_surface_t* image, const Rect& rect, const std::optional<Color>& tint) {
    if (image == nullptr || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || !usable(rect) ||
        cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE) {
        return;
    }
    const int w = cairo_image_surface_get_width(image);
    const int h = cairo_image_surface_get_height(image);
    if (w <= 0 || h <= 0) {
        return;
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    cairo_clip(cr_);
    cairo_translate(cr_, rect.x, rect.y);
    cairo_scale(cr_, rect.width / w, rect.height / h);
    // Scaled pictures blend their edge pixels with themselves, not with transparency around them.
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(image);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    if (tint) {
        setColor(cr_, *tint);
        cairo_mask(cr_, pattern);
    } else {
        cairo_set_source(cr_, pattern);
        cairo_paint(cr_);
    }
    cairo_pattern_destroy(pattern);
    cairo_restore(cr_);
}

void Canvas::drawText(const std::string& utf8, const text::Style& style, const Color& color, const Rect& rect,
                      text::Typesetter& typesetter) {
    if (utf8.empty() || !usable(rect)) {
        return;
    }
    PangoLayout* layout = typesetter.layout(utf8, style, rect.width);
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    const double height = static_cast<double>(logical.height) / PANGO_SCALE;
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.x, rect.y, rect.width, rect.height);
    cairo_clip(cr_);
    cairo_move_to(cr_, rect.x, rect.y + (rect.height - height) / 2);
    setColor(cr_, color);
    pango_cairo_show_layout(cr_, layout);
    cairo_restore(cr_);
    g_object_unref(layout);
}

} // namespace draw
