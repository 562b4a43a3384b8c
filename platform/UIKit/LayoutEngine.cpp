#include "UIKit/LayoutEngine.hpp"

#include <cmath>
#include <sstream>

namespace layout {
namespace {

enum class Axis { Horizontal, Vertical, Size };

Axis axisOf(Attribute a) {
    switch (a) {
    case Attribute::Left:
    case Attribute::Right:
    case Attribute::Leading:
    case Attribute::Trailing:
    case Attribute::CenterX:
    case Attribute::LeftMargin:
    case Attribute::RightMargin:
    case Attribute::LeadingMargin:
    case Attribute::TrailingMargin:
    case Attribute::CenterXWithinMargins:
        return Axis::Horizontal;
    case Attribute::Width:
    case Attribute::Height:
        return Axis::Size;
    default:
        return Axis::Vertical;
    }
}

bool known(Attribute a) { return static_cast<int>(a) >= 1 && static_cast<int>(a) <= 20; }

const char* nameOf(Attribute a) {
    static const char* const names[] = {"notAnAttribute",
                                        "left",
                                        "right",
                                        "top",
                                        "bottom",
                                        "leading",
                                        "trailing",
                                        "width",
                                        "height",
                                        "centerX",
                                        "centerY",
                                        "lastBaseline",
                                        "firstBaseline",
                                        "leftMargin",
                                        "rightMargin",
                                        "topMargin",
                                        "bottomMargin",
                                        "leadingMargin",
                                        "trailingMargin",
                                        "centerXWithinMargins",
                                        "centerYWithinMargins"};
    const int i = static_cast<int>(a);
    return i >= 0 && i <= 20 ? names[i] : "unknown";
}

// The four variables of an item: its frame in the root's coordinates.
struct Box {
    Variable x, y, w, h;
};

class Builder {
  public:
    Builder(const std::vector<Item>& items, const std::vector<ItemConstraint>& constraints)
        : items_(items), constraints_(constraints) {}

    Solution run(const Options& options) {
        Solution out;
        for (const Item& item : items_) {
            boxes_.push_back(
                {solver_.newVariable(item.name + ".minX"), solver_.newVariable(item.name + ".minY"),
                 solver_.newVariable(item.name + ".width"), solver_.newVariable(item.name + ".height")});
        }
        std::vector<bool> usable(items_.size(), true);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!treeIsSound(static_cast<int>(i))) {
                usable[i] = false;
                out.problems.push_back(
                    {Problem::Kind::Invalid, items_[i].name + " is not in one tree of views"});
            }
        }
        // The root's frame and the frames that autoresizing masks fix come first: they are required.
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Item& item = items_[i];
            if (!usable[i] || (item.parent >= 0 && !item.translatesAutoresizingMask)) {
                continue;
            }
            const Rect f = finite(item.frame) ? item.frame : Rect{};
            for (const auto& [lhs, value] : frameTerms(static_cast<int>(i), f)) {
                solver_.add({lhs, Relation::Equal, value, strength::required});
            }
        }
        for (std::size_t c = 0; c < constraints_.size(); ++c) {
            addConstraint(c, usable, out.problems);
        }
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (usable[i]) {
                addIntrinsicSize(static_cast<int>(i));
            }
        }
        // Weakest of all: what nothing else decides stays where it was.
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Rect f = finite(items_[i].frame) ? items_[i].frame : Rect{};
            if (usable[i] && items_[i].parent >= 0 && !items_[i].translatesAutoresizingMask) {
                for (const auto& [lhs, value] : frameTerms(static_cast<int>(i), f)) {
                    solver_.add({lhs, Relation::Equal, value, strength::stay});
                }
            }
        }
        if (options.findAmbiguity) {
            findAmbiguity(usable, out.problems);
        }
        for (std::size_t i = 0; i < items_.size(); ++i) {
            out.frames.push_back(usable[i] ? frameOf(static_cast<int>(i)) : items_[i].frame);
        }
        return out;
    }

  private:
    static bool finite(const Rect& r) {
        return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
    }

    // Parents must be earlier-free of cycles and in range: walking up ends at a root.
    bool treeIsSound(int i) const {
        for (std::size_t steps = 0; i >= 0; ++steps) {
            if (i >= static_cast<int>(items_.size()) || steps > items_.size()) {
                return false;
            }
            i = items_[static_cast<std::size_t>(i)].parent;
        }
        return true;
    }

    bool isAncestorOrSelf(int ancestor, int item) const {
        for (; item >= 0; item = items_[static_cast<std::size_t>(item)].parent) {
            if (item == ancestor) {
                return true;
            }
        }
        return false;
    }

    Expression originX(int i) const {
        const int p = items_[static_cast<std::size_t>(i)].parent;
        return p < 0 ? Expression(0.0) : Expression(boxes_[static_cast<std::size_t>(p)].x);
    }
    Expression originY(int i) const {
        const int p = items_[static_cast<std::size_t>(i)].parent;
        return p < 0 ? Expression(0.0) : Expression(boxes_[static_cast<std::size_t>(p)].y);
    }

    // The frame's four values as expressions over the variables, each with the value `f` gives it.
    std::vector<std::pair<Expression, double>> frameTerms(int i, const Rect& f) const {
        const Box& b = boxes_[static_cast<std::size_t>(i)];
        return {{b.x - originX(i), f.x}, {b.y - originY(i), f.y}, {b.w, f.width}, {b.h, f.height}};
    }

    Rect frameOf(int i) const {
        const Box& b = boxes_[static_cast<std::size_t>(i)];
        const int p = items_[static_cast<std::size_t>(i)].parent;
        const double px = p < 0 ? 0 : solver_.value(boxes_[static_cast<std::size_t>(p)].x);
        const double py = p < 0 ? 0 : solver_.value(boxes_[static_cast<std::size_t>(p)].y);
        auto clean = [](double v) {
            // Solutions come out of floating-point pivots: 27.999999999 is meant as 28.
            const double r = std::round(v * 1e6) / 1e6;
            return r == 0 ? 0.0 : r;
        };
        return {clean(solver_.value(b.x) - px), clean(solver_.value(b.y) - py), clean(solver_.value(b.w)),
                clean(solver_.value(b.h))};
    }

    // The attribute of item `i` in the coordinates of the item `space`.
    Expression attribute(int i, Attribute a, int space) const {
        const Item& item = items_[static_cast<std::size_t>(i)];
        const Box& b = boxes_[static_cast<std::size_t>(i)];
        const Box& s = boxes_[static_cast<std::size_t>(space)];
        const Insets& m = item.margins;
        const Expression x = b.x - s.x;
        const Expression y = b.y - s.y;
        switch (a) {
        case Attribute::Left:
        case Attribute::Leading:
            return x;
        case Attribute::Right:
        case Attribute::Trailing:
            return x + b.w;
        case Attribute::Top:
            return y;
        case Attribute::Bottom:
            return y + b.h;
        case Attribute::Width:
            return b.w;
        case Attribute::Height:
            return b.h;
        case Attribute::CenterX:
            return x + Expression(b.w) * 0.5;
        case Attribute::CenterY:
            return y + Expression(b.h) * 0.5;
        case Attribute::LastBaseline:
            return y + Expression(b.h) * item.baselineHeightFactor + item.lastBaselineOffset;
        case Attribute::FirstBaseline:
            return y + Expression(b.h) * item.baselineHeightFactor + item.firstBaselineOffset;
        case Attribute::LeftMargin:
        case Attribute::LeadingMargin:
            return x + m.left;
        case Attribute::RightMargin:
        case Attribute::TrailingMargin:
            return x + b.w - m.right;
        case Attribute::TopMargin:
            return y + m.top;
        case Attribute::BottomMargin:
            return y + b.h - m.bottom;
        case Attribute::CenterXWithinMargins:
            return x + m.left + (Expression(b.w) - m.left - m.right) * 0.5;
        case Attribute::CenterYWithinMargins:
            return y + m.top + (Expression(b.h) - m.top - m.bottom) * 0.5;
        case Attribute::NotAnAttribute:
            break;
        }
        return 0.0;
    }

    std::string describe(const ItemConstraint& c) const {
        auto itemName = [&](int i) {
            return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(i)].name
                                                                 : std::string("nil");
        };
        std::ostringstream text;
        text << "<NSLayoutConstraint";
        if (!c.name.empty()) {
            text << " " << c.name;
        }
        text << " " << itemName(c.item) << "." << nameOf(c.attribute) << " "
             << (c.relation == LayoutRelation::Equal             ? "=="
                 : c.relation == LayoutRelation::LessThanOrEqual ? "<="
                                                                 : ">=")
             << " ";
        if (c.toItem >= 0) {
            if (c.multiplier != 1) {
                text << c.multiplier << "*";
            }
            text << itemName(c.toItem) << "." << nameOf(c.toAttribute);
            if (c.constant != 0) {
                text << (c.constant < 0 ? " - " : " + ") << std::fabs(c.constant);
            }
        } else {
            text << c.constant;
        }
        if (c.priority < kPriorityRequired) {
            text << " @" << c.priority;
        }
        text << ">";
        return text.str();
    }

    // Why the constraint cannot be used at all; empty when it can.
    std::string invalidity(const ItemConstraint& c, const std::vector<bool>& usable) const {
        const auto count = static_cast<int>(items_.size());
        if (c.item < 0 || c.item >= count || c.toItem >= count || c.installedOn < 0 ||
            c.installedOn >= count) {
            return "names a view that is not laid out";
        }
        if (!usable[static_cast<std::size_t>(c.item)] ||
            (c.toItem >= 0 && !usable[static_cast<std::size_t>(c.toItem)])) {
            return "names a view that is not in one tree of views";
        }
        if (!known(c.attribute) || (c.toItem >= 0 && !known(c.toAttribute)) ||
            (c.toItem < 0 && c.toAttribute != Attribute::NotAnAttribute)) {
            return "has an attribute that is not there";
        }
        if (c.toItem < 0 && axisOf(c.attribute) != Axis::Size) {
            return "places a position against nothing: a position needs a second view";
        }
        if (c.toItem >= 0 && axisOf(c.attribute) != axisOf(c.toAttribute)) {
            return "pairs attributes of different kinds (a position with a size, or x with y)";
        }
        if (!std::isfinite(c.multiplier) || !std::isfinite(c.constant) || !(c.priority > 0) ||
            !(c.priority <= kPriorityRequired) ||
            (c.toItem >= 0 && c.multiplier == 0 && axisOf(c.attribute) != Axis::Size)) {
            return "has a multiplier, constant or priority out of range";
        }
        if (!isAncestorOrSelf(c.installedOn, c.item) ||
            (c.toItem >= 0 && !isAncestorOrSelf(c.installedOn, c.toItem))) {
            return "is installed on " + items_[static_cast<std::size_t>(c.installedOn)].name +
                   ", which does not hold both of its views";
        }
        return {};
    }

    void addConstraint(std::size_t index, const std::vector<bool>& usable, std::vector<Problem>& problems) {
        const ItemConstraint& c = constraints_[index];
        if (const std::string why = invalidity(c, usable); !why.empty()) {
            problems.push_back({Problem::Kind::Invalid, describe(c) + " " + why + "; it is left out"});
            return;
        }
        const Expression lhs = attribute(c.item, c.attribute, c.installedOn);
        const Expression rhs =
            c.toItem >= 0 ? attribute(c.toItem, c.toAttribute, c.installedOn) * c.multiplier + c.constant
                          : Expression(c.constant);
        const Relation relation = c.relation == LayoutRelation::Equal             ? Relation::Equal
                                  : c.relation == LayoutRelation::LessThanOrEqual ? Relation::LessOrEqual
                                                                                  : Relation::GreaterOrEqual;
        const Status status = solver_.add({lhs, relation, rhs, strengthOf(c.priority)});
        if (status == Status::Unsatisfiable) {
            std::string others;
            for (std::size_t j = 0; j < index; ++j) {
                const ItemConstraint& o = constraints_[j];
                const bool shares = o.item == c.item || o.item == c.toItem ||
                                    (o.toItem >= 0 && (o.toItem == c.item || o.toItem == c.toItem));
                if (shares && o.priority >= kPriorityRequired && invalidity(o, usable).empty()) {
                    others += "\n    " + describe(o);
                }
            }
            problems.push_back({Problem::Kind::Unsatisfiable,
                                "Unable to simultaneously satisfy constraints." + others + "\n    " +
                                    describe(c) + "\nWill attempt to recover by breaking constraint " +
                                    describe(c)});
        } else if (status != Status::Ok) {
            problems.push_back({Problem::Kind::Invalid, describe(c) + " could not be added; it is left out"});
        }
    }

    void addIntrinsicSize(int i) {
        const Item& item = items_[static_cast<std::size_t>(i)];
        const Box& b = boxes_[static_cast<std::size_t>(i)];
        auto add = [&](Variable v, double size, float hugging, float compression) {
            if (!(size >= 0) || !std::isfinite(size)) {
                return;
            }
            solver_.add({v, Relation::LessOrEqual, size, strengthOf(hugging)});
            solver_.add({v, Relation::GreaterOrEqual, size, strengthOf(compression)});
        };
        add(b.w, item.intrinsicWidth, item.huggingHorizontal, item.compressionHorizontal);
        add(b.h, item.intrinsicHeight, item.huggingVertical, item.compressionVertical);
    }

    void findAmbiguity(const std::vector<bool>& usable, std::vector<Problem>& problems) {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Item& item = items_[i];
            if (!usable[i] || item.parent < 0 || item.translatesAutoresizingMask) {
                continue;
            }
            const Box& b = boxes_[i];
            std::string loose;
            const std::pair<Variable, const char*> parts[] = {
                {b.x, "x"}, {b.y, "y"}, {b.w, "width"}, {b.h, "height"}};
            for (const auto& [v, what] : parts) {
                if (solver_.isAmbiguous(v)) {
                    loose += std::string(loose.empty() ? "" : ", ") + what;
                }
            }
            if (!loose.empty()) {
                problems.push_back({Problem::Kind::Ambiguous, "Ambiguous layout: " + item.name +
                                                                  " has no constraint that fixes its " +
                                                                  loose + "; it keeps its frame there"});
            }
        }
    }

    const std::vector<Item>& items_;
    const std::vector<ItemConstraint>& constraints_;
    Solver solver_;
    std::vector<Box> boxes_;
};

} // namespace

double strengthOf(float priority) {
    if (!(priority < kPriorityRequired)) {
        return strength::required;
    }
    const double p = priority < 1 ? 1.0 : static_cast<double>(priority);
    return std::pow(10.0, p / 125.0);
}

Solution solve(const std::vector<Item>& items, const std::vector<ItemConstraint>& constraints,
               const Options& options) {
    return Builder(items, constraints).run(options);
}

} // namespace layout
