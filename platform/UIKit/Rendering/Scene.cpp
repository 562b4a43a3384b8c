#include "UIKit/Rendering/Scene.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace draw {
namespace {

// Deeper than any screen nests its views: a tree past it is drawn and written down to here only.
constexpr int kMaxDepth = 256;

int channel(double v) {
    return static_cast<int>(std::lround(std::isfinite(v) ? std::clamp(v, 0.0, 1.0) * 255 : 0));
}

std::string color(const Color& c) {
    return "(" + std::to_string(channel(c.red)) + " " + std::to_string(channel(c.green)) + " " +
           std::to_string(channel(c.blue)) + " " + std::to_string(channel(c.alpha)) + ")";
}

void draw(const Node& node, Canvas& canvas, text::Typesetter& typesetter, int depth) {
    if (node.hidden || !(node.alpha > 0) || depth > kMaxDepth) {
        return;
    }
    canvas.save();
    canvas.translate(node.frame.x, node.frame.y);
    const Rect bounds{0, 0, node.frame.width, node.frame.height};
    auto content = [&] {
        if (node.background) {
            canvas.fillRect(bounds, *node.background);
        }
        if (node.image && node.image->surface != nullptr) {
            canvas.drawImage(node.image->surface, bounds, node.image->tint);
        }
        if (node.text) {
            canvas.drawText(node.text->text, node.text->style, node.text->color, bounds, typesetter);
        }
        if (node.clipsToBounds) {
            canvas.clip(bounds);
        }
        if (node.scroll) {
            canvas.translate(-node.scroll->offsetX, -node.scroll->offsetY);
        }
        for (const Node& child : node.children) {
            draw(child, canvas, typesetter, depth + 1);
        }
    };
    const bool shadowed = node.shadow && node.shadow->opacity > 0;
    if (node.alpha < 1 || shadowed) {
        canvas.group(std::min(node.alpha, 1.0), shadowed ? node.shadow : std::nullopt, content);
    } else {
        canvas.save();
        content();
        canvas.restore();
    }
    canvas.restore();
}

void write(const Node& node, int depth, std::string& out) {
    if (depth > kMaxDepth) {
        return;
    }
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += "<" + node.className + ": frame = (" + number(node.frame.x) + " " + number(node.frame.y) + "; " +
           number(node.frame.width) + " " + number(node.frame.height) + ")";
    if (node.alpha != 1) {
        out += "; alpha = " + number(node.alpha);
    }
    if (node.hidden) {
        out += "; hidden = YES";
    }
    if (node.scroll) {
        const Node::Scroll& s = *node.scroll;
        out += "; contentOffset = (" + number(s.offsetX) + " " + number(s.offsetY) + "); contentSize = (" +
               number(s.contentWidth) + " " + number(s.contentHeight) + ")";
    }
    if (node.text) {
        std::string shown;
        for (char c : node.text->text) {
            // One view a line: a line break in a text is written as the two characters \n.
            shown += c == '\n' ? std::string("\\n") : std::string(1, c);
        }
        out += "; text = '" + shown + "'; font = " + node.text->style.fontName + " " +
               number(node.text->style.size) + "; textColor = " + color(node.text->color);
    }
    if (node.background) {
        out += "; backgroundColor = " + color(*node.background);
    }
    for (const auto& [key, value] : node.colors) {
        out += "; " + key + " = " + color(value);
    }
    if (node.image) {
        out += "; image = " + (node.image->file == "nil" ? std::string("nil") : "'" + node.image->file + "'");
    }
    if (node.shadow) {
        const Shadow& s = *node.shadow;
        out += "; shadow = " + color(s.color) + " offset (" + number(s.offsetX) + " " + number(s.offsetY) +
               ") opacity " + number(s.opacity) + " radius " + number(s.radius);
    }
    out += ">\n";
    for (const Node& child : node.children) {
        write(child, depth + 1, out);
    }
}

} // namespace

std::string number(double value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    }
    char text[64];
    if (std::fabs(value) >= 1e15) {
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

void render(const Node& root, Canvas& canvas, text::Typesetter& typesetter) {
    canvas.save();
    canvas.translate(-root.frame.x, -root.frame.y);
    draw(root, canvas, typesetter, 0);
    canvas.restore();
}

std::string describe(const Node& root) {
    std::string out;
    write(root, 0, out);
    return out;
}

} // namespace draw
