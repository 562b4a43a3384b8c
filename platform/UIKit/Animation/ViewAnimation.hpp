// View animations: alpha, frame and background colour stepped from old to new values by the main run loop.
#pragma once

namespace NS {
class Block;
} // namespace NS

namespace UI {
class View;
} // namespace UI

namespace animation {

enum class Property { Alpha, Frame, BackgroundColor };

// UIView's setters call this before they change a property. Inside an animations block it keeps
// the value the property has now, to animate from it to the value set; outside one, it stops any
// animation of that property, since the value set is meant to show at once.
void willSet(UI::View* view, Property property);

// UIView's animateWithDuration:...: runs `animations` (a block of void()), then steps every
// property it set from its old value to the new over `duration` seconds after `delay`, on the curve
// that `options` names (UIViewAnimationOptionCurve..., bits 16 and 17), and finally calls
// `completion` (a block of void(bool), or nil) with YES, or with NO when the property was set again
// meanwhile. With nothing to step, or no duration, the new values show at once and the completion
// follows on the next turn of the main run loop.
void animate(double duration, double delay, unsigned long options, NS::Block* animations,
             NS::Block* completion);

} // namespace animation
