// What a window shows, as plain data: a tree of views with their looks, drawn onto a canvas or
// written out one view a line for a person to read.
#pragma once

#include "UIKit/Rendering/Canvas.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace draw {

struct Node {
    std::string className = "UIView";
    Rect frame; // in the superview's coordinates
    double alpha = 1;
    bool hidden = false;
    std::optional<Color> background;
    bool clipsToBounds = false;
    std::optional<Shadow> shadow;

    // A scroll view's content offset, the origin of its bounds: its subviews are drawn moved up and
    // left by it. Written out with the content's size, as the device describes a scroll view.
    struct Scroll {
        double offsetX = 0;
        double offsetY = 0;
        double contentWidth = 0;
        double contentHeight = 0;
    };
    std::optional<Scroll> scroll;

    // A label's text, set in its bounds.
    struct Text {
        std::string text;
        text::Style style;
        Color color{0, 0, 0, 1};
    };
    std::optional<Text> text;

    // An image view's picture, scaled to its bounds; `file` names it in the dump ("nil": none).
    struct Picture {
        cairo_surface_t* surface = nullptr; // not owned
        std::string file;
        std::optional<Color> tint; // set for a template image
    };
    std::optional<Picture> image;

    // Colours that only some views have, in the order they are written: tintColor, barTintColor,
    // titleColor, onTintColor.
    std::vector<std::pair<std::string, Color>> colors;

    std::vector<Node> children; // back to front
};

// Draws the tree with its root's frame origin at the canvas origin.
[[gnu::visibility("default")]] void render(const Node& root, Canvas& canvas, text::Typesetter& typesetter);

// The tree one view a line, indented two spaces a level:
// <CLASS: frame = (X Y; W H); key = value; ...>
[[gnu::visibility("default")]] std::string describe(const Node& root);

// A number as the dump writes it: at most two decimals, no trailing zeros.
[[gnu::visibility("default")]] std::string number(double value);

} // namespace draw
