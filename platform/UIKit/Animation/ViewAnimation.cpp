#include "UIKit/Animation/ViewAnimation.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "UIKit/Animation/AnimationCurve.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace animation {
namespace {

using UI::View;

// Steps are drawn at the screen's rate.
constexpr double kFrameSeconds = 1.0 / 60;
// Longer than any animation means: a duration or delay past it is taken as this.
constexpr double kMaxSeconds = 24 * 60 * 60;

struct Value {
    std::array<double, 4> v{};
    bool none = false; // a nil colour
};

Value read(View* view, Property p) {
    Value value;
    switch (p) {
    case Property::Alpha:
        value.v[0] = objc::ivar(view, UI::ViewInternals::_alpha);
        break;
    case Property::Frame: {
        const auto f = objc::ivar(view, UI::ViewInternals::_frame);
        value.v = {f.origin.x, f.origin.y, f.size.width, f.size.height};
        break;
    }
    case Property::BackgroundColor: {
        const auto c = UI::rgbaOf(objc::ivar(view, UI::ViewInternals::_backgroundColor));
        value.none = !c.has_value();
        // No colour animates as clear: a view fades its colour in and out.
        const CGColor rgba = c.value_or(CGColor{0, 0, 0, 0});
        value.v = {rgba.red, rgba.green, rgba.blue, rgba.alpha};
        break;
    }
    }
    return value;
}

// Writes what the view shows, past its setters: a step is not a new value set by the app.
void write(View* view, Property p, const Value& value) {
    switch (p) {
    case Property::Alpha:
        objc::setIvar(view, UI::ViewInternals::_alpha, value.v[0]);
        break;
    case Property::Frame:
        objc::setIvar(view, UI::ViewInternals::_frame,
                      CGRectMake(value.v[0], value.v[1], value.v[2], value.v[3]));
        // Constraints of the subviews may hang on this frame.
        UI::layoutChanged();
        break;
    case Property::BackgroundColor: {
        objc::Ref<UI::Color> color;
        if (!value.none) {
            color =
                objc::adopt(UI::Color::alloc()->initWithRed(value.v[0], value.v[1], value.v[2], value.v[3]));
        }
        objc::storeOwned(view, UI::ViewInternals::_backgroundColor, color.get());
        break;
    }
    }
}

Value between(const Value& from, const Value& to, double progress) {
    Value out;
    for (std::size_t i = 0; i < out.v.size(); ++i) {
        out.v[i] = interpolate(from.v[i], to.v[i], progress);
    }
    out.none = progress >= 1 ? to.none : (progress <= 0 ? from.none : false);
    return out;
}

struct Track {
    objc::Ref<View> view;
    Property property;
    Value from;
    Value to;
    bool stopped = false;
};

struct Animation {
    std::uint64_t start = 0; // monotonic nanoseconds
    std::uint64_t end = 0;
    Curve curve = Curve::EaseInOut;
    std::vector<Track> tracks;
    objc::Ref<NS::Block> completion;
    bool interrupted = false;

    bool anyRunning() const {
        return std::any_of(tracks.begin(), tracks.end(), [](const Track& t) { return !t.stopped; });
    }
};

// Animations whose blocks are running now, innermost last; and those being stepped. Never
// destroyed: views still animating when the process ends are not released into a runtime that is
// being torn down.
std::vector<std::shared_ptr<Animation>>& recording = *new std::vector<std::shared_ptr<Animation>>;
std::vector<std::shared_ptr<Animation>>& running = *new std::vector<std::shared_ptr<Animation>>;
bool tickScheduled = false;

std::uint64_t nanoseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(std::fmin(seconds, kMaxSeconds) * 1e9);
}

void complete(const std::shared_ptr<Animation>& a, bool finished) {
    if (a->completion) {
        NS::AutoreleaseScope pool;
        a->completion->invoke<void, bool>(finished);
    }
}

// Stops every running step of `property` of `view`: a newer value, animated or not, takes over.
void stop(View* view, Property property) {
    for (const auto& a : running) {
        for (Track& t : a->tracks) {
            if (!t.stopped && t.view.get() == view && t.property == property) {
                t.stopped = true;
                a->interrupted = true;
            }
        }
    }
}

void scheduleTick();

void tick() {
    tickScheduled = false;
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    std::vector<std::shared_ptr<Animation>> done;
    for (auto it = running.begin(); it != running.end();) {
        const auto& a = *it;
        const bool ended = now >= a->end || !a->anyRunning();
        const double span = static_cast<double>(a->end - a->start);
        const double fraction =
            now <= a->start ? 0 : (span <= 0 ? 1 : static_cast<double>(now - a->start) / span);
        const double p = progress(a->curve, fraction);
        for (Track& t : a->tracks) {
            if (!t.stopped) {
                write(t.view.get(), t.property, ended ? t.to : between(t.from, t.to, p));
            }
        }
        if (ended) {
            done.push_back(a);
            it = running.erase(it);
        } else {
            ++it;
        }
    }
    // Completions run last: one may start the next animation, or set what this one stepped.
    for (const auto& a : done) {
        complete(a, !a->interrupted);
    }
    scheduleTick();
}

void scheduleTick() {
    if (tickScheduled || running.empty()) {
        return;
    }
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    std::uint64_t due = now + nanoseconds(kFrameSeconds);
    for (const auto& a : running) {
        due = std::min(due, std::max(a->end, now));
        if (!a->anyRunning()) {
            due = now;
        }
    }
    tickScheduled = true;
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->scheduleWork(due, &tick);
}

Track* find(Animation& a, View* view, Property p) {
    for (Track& t : a.tracks) {
        if (t.view.get() == view && t.property == p) {
            return &t;
        }
    }
    return nullptr;
}

} // namespace

void animate(double duration, double delay, unsigned long options, NS::Block* animations,
             NS::Block* completion) {
    auto a = std::make_shared<Animation>();
    a->completion = objc::retain(completion);
    a->curve = static_cast<Curve>((options >> 16) & 3);
    recording.push_back(a);
    if (animations != nullptr) {
        NS::AutoreleaseScope pool;
        objc::Ptr(animations)->invoke<void>();
    }
    recording.pop_back();
    for (Track& t : a->tracks) {
        t.to = read(t.view.get(), t.property);
        stop(t.view.get(), t.property);
    }
    if (nanoseconds(duration) == 0 || a->tracks.empty()) {
        // Nothing to step: the values set show at once, and the completion follows on the run
        // loop, as it does on the device.
        a->tracks.clear();
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
            ->scheduleWork(NS::RunLoopInternals::monotonicNow(), [a] { complete(a, true); });
        return;
    }
    for (Track& t : a->tracks) {
        write(t.view.get(), t.property, t.from);
    }
    a->start = NS::RunLoopInternals::monotonicNow() + nanoseconds(delay);
    a->end = a->start + nanoseconds(duration);
    running.push_back(a);
    scheduleTick();
}

void willSet(View* view, Property property) {
    if (view == nullptr) {
        return;
    }
    if (!recording.empty()) {
        Animation& a = *recording.back();
        if (find(a, view, property) == nullptr) {
            a.tracks.push_back(Track{objc::retain(view), property, read(view, property), {}});
        }
        return;
    }
    if (!running.empty()) {
        stop(view, property);
        scheduleTick();
    }
}

} // namespace animation
