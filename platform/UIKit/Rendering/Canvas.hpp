// A picture of the screen being drawn: rectangles, images, text and shadows, in points, with cairo.
#pragma once

#include "UIKit/Layout/Rect.hpp"
#include "UIKit/Text/Typesetter.hpp"

#include <functional>
#include <optional>
#include <string>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace draw {

// Components from 0 to 1, not premultiplied.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

using Rect = geometry::Rect;

// A layer's shadow: its colour at `opacity`, moved by the offset (points; y grows downwards) and
// blurred over `radius` points.
struct Shadow {
    Color color{0, 0, 0, 1};
    double offsetX = 0;
    double offsetY = -3;
    double opacity = 0;
    double radius = 3;
};

class [[gnu::visibility("default")]] Canvas {
  public:
    // A transparent picture of `width` × `height` points at `scale` pixels per point.
    Canvas(int width, int height, double scale);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int pixelWidth() const;
    int pixelHeight() const;
    cairo_surface_t* surface() { return surface_; }
    // The picture as PNG file bytes.
    std::string png();

    // Drawing state, as a view tree walks it: save/restore pair up; translate moves the origin to
    // a subview's; clip keeps later drawing inside `rect`.
    void save();
    void restore();
    void translate(double dx, double dy);
    void clip(const Rect& rect);

    // Draws what `content` draws as one: at `alpha` as a whole (a view's alpha applies to its
    // subviews together), and with `shadow` (if its opacity is above zero) cast by its outline.
    void group(double alpha, const std::optional<Shadow>& shadow, const std::function<void()>& content);

    void fillRect(const Rect& rect, const Color& color);
    // Draws the image scaled into `rect`; with a tint, only the image's shape in the tint colour,
    // as a template image draws.
    void drawImage(cairo_surface_t * image, const Rect& rect,
                   const std::optional<Color>& tint = std::nullopt);
    // Draws the text as a label does: lines aligned within `rect`, the block centred vertically.
    void drawText(const std::string& utf8, const text::Style& style, const Color& color, const Rect& rect,
                  text::Typesetter& typesetter);

  private:
    double scale_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
    int depth_ = 0;
};

} // namespace draw
