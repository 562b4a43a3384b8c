// How far an animation has come at a point of its duration: UIKit's timing curves.
#pragma once

namespace animation {

// UIViewAnimationCurve values.
enum class Curve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

// The progress (0 to 1) of an animation on `curve` at `fraction` (0 to 1) of its duration; fractions
// outside are held at the ends.
[[gnu::visibility("default")]] double progress(Curve curve, double fraction);

// The value between `from` and `to` at `progress`.
inline double interpolate(double from, double to, double progress) { return from + (to - from) * progress; }

} // namespace animation
