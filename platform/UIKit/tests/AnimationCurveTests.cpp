// Timing curves: where an animation stands between its start and its end.
#include "UIKit/Animation/AnimationCurve.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using animation::Curve;

TEST(AnimationCurve, EachCurveRunsFromStartToEndWithoutGoingBack) {
    for (Curve curve : {Curve::EaseInOut, Curve::EaseIn, Curve::EaseOut, Curve::Linear}) {
        EXPECT_EQ(animation::progress(curve, 0), 0);
        EXPECT_EQ(animation::progress(curve, 1), 1);
        EXPECT_EQ(animation::progress(curve, -2), 0);
        EXPECT_EQ(animation::progress(curve, 7), 1);
        EXPECT_EQ(animation::progress(curve, std::nan("")), 0);
        double last = 0;
        for (int i = 1; i <= 100; ++i) {
            const double p = animation::progress(curve, i / 100.0);
            EXPECT_GE(p, last) << static_cast<int>(curve) << " at " << i;
            last = p;
        }
    }
    EXPECT_DOUBLE_EQ(animation::progress(Curve::Linear, 0.3), 0.3);
}

TEST(AnimationCurve, EasingIsSlowAtTheEndsItNames) {
    // Ease in-out is symmetric about the middle, and slow at both ends.
    EXPECT_NEAR(animation::progress(Curve::EaseInOut, 0.5), 0.5, 1e-9);
    EXPECT_NEAR(animation::progress(Curve::EaseInOut, 0.2) + animation::progress(Curve::EaseInOut, 0.8), 1,
                1e-9);
    // A point of the curve (0.42, 0, 0.58, 1) worked out from its parameter t = 1/4:
    // x(t) = 3(1-t)^2 t 0.42 + 3(1-t) t^2 0.58 + t^3, y(t) = 3(1-t) t^2 + t^3.
    const double t = 0.25;
    const double x = 3 * (1 - t) * (1 - t) * t * 0.42 + 3 * (1 - t) * t * t * 0.58 + t * t * t;
    const double y = 3 * (1 - t) * t * t + t * t * t;
    EXPECT_NEAR(animation::progress(Curve::EaseInOut, x), y, 1e-9);
    EXPECT_LT(animation::progress(Curve::EaseIn, 0.3), 0.3);
    EXPECT_GT(animation::progress(Curve::EaseOut, 0.3), 0.3);
    // A fade from 1 to 0 over 0.5 s, a quarter of the way in.
    EXPECT_NEAR(animation::interpolate(1, 0, animation::progress(Curve::Linear, 0.25)), 0.75, 1e-12);
}

} // namespace
