// A rectangle in points as the layout engine and the drawing canvas share it, free of the runtime.
#pragma once

namespace geometry {

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace geometry
