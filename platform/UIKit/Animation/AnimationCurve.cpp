#include "UIKit/Animation/AnimationCurve.hpp"

#include <cmath>

namespace animation {
namespace {

// A cubic Bézier from (0, 0) to (1, 1) through two control points, as Core Animation's named timing
// functions are.
struct Bezier {
    double x1, y1, x2, y2;

    static double at(double a, double b, double t) {
        const double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    }

    // x grows with t on every curve here, so halving the interval finds the t of any x.
    double solve(double x) const {
        double low = 0;
        double high = 1;
        for (int i = 0; i < 60; ++i) {
            const double mid = (low + high) / 2;
            (at(x1, x2, mid) < x ? low : high) = mid;
        }
        return at(y1, y2, (low + high) / 2);
    }
};

} // namespace

double progress(Curve curve, double fraction) {
    if (!(fraction > 0)) {
        return 0;
    }
    if (fraction >= 1) {
        return 1;
    }
    switch (curve) {
    case Curve::EaseInOut:
        return Bezier{0.42, 0, 0.58, 1}.solve(fraction);
    case Curve::EaseIn:
        return Bezier{0.42, 0, 1, 1}.solve(fraction);
    case Curve::EaseOut:
        return Bezier{0, 0, 0.58, 1}.solve(fraction);
    case Curve::Linear:
        break;
    }
    return fraction;
}

} // namespace animation
