#include "UIKit/Layout/LayoutEngine.hpp"

#include <cmath>
#include <memory>
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

// An item's frame in the root's coordinates. The root's is fixed and so is, relative to its
// superview, the frame of an item that translates its autoresizing mask: only the others have
// variables of their own.
struct Box {
    Expression x, y, w, h;
    bool free = false;
    Variable vx, vy, vw, vh;
};

class Builder {
  public:
    Builder(const std::vector<Item>& items, const std::vector<ItemConstraint>& constraints)
        : items_(items), constraints_(constraints) {}

    Solution run(const Options& options) {
        Solution out;
        const std::size_t n = items_.size();
        usable_.assign(n, true);
        for (std::size_t i = 0; i < n; ++i) {
            if (!treeIsSound(static_cast<int>(i))) {
                usable_[i] = false;
                out.problems.push_back(
                    {Problem::Kind::Invalid, items_[i].name + " is not in one tree of views"});
            }
        }
        // Views that no constraint ties together are solved apart: each solve stays small.
        group_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            group_[i] = static_cast<int>(i);
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (owner(static_cast<int>(i)) == static_cast<int>(i)) {
                join(static_cast<int>(i), owner(items_[i].parent));
            }
        }
        for (const ItemConstraint& c : constraints_) {
            if (invalidity(c).empty()) {
                int first = -1;
                for (int item : {c.item, c.toItem, c.installedOn}) {
                    const int o = owner(item);
                    first = first >= 0 ? first : o;
                    join(first, o);
                }
            }
        }
        solverOf_.assign(n, -1);
        boxes_.resize(n);
        made_.assign(n, false);
        for (std::size_t i = 0; i < n; ++i) {
            if (usable_[i]) {
                box(static_cast<int>(i));
            }
        }
        for (std::size_t c = 0; c < constraints_.size(); ++c) {
            addConstraint(c, out.problems);
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (usable_[i] && boxes_[i].free) {
                addIntrinsicSize(static_cast<int>(i));
            }
        }
        // Weakest of all: what nothing else decides stays where it was.
        for (std::size_t i = 0; i < n; ++i) {
            if (usable_[i] && boxes_[i].free) {
                const Rect f = finite(items_[i].frame) ? items_[i].frame : Rect{};
                const Box& b = boxes_[i];
                const Box& p = boxes_[static_cast<std::size_t>(items_[i].parent)];
                Solver& solver = solverFor(static_cast<int>(i));
                solver.add({b.x - p.x, Relation::Equal, f.x, strength::stay});
                solver.add({b.y - p.y, Relation::Equal, f.y, strength::stay});
                solver.add({b.w, Relation::Equal, f.width, strength::stay});
                solver.add({b.h, Relation::Equal, f.height, strength::stay});
            }
        }
        if (options.findAmbiguity) {
            findAmbiguity(out.problems);
        }
        for (std::size_t i = 0; i < n; ++i) {
            out.frames.push_back(usable_[i] ? frameOf(static_cast<int>(i)) : items_[i].frame);
        }
        return out;
    }

  private:
    static bool finite(const Rect& r) {
        return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height);
    }

    // Parents must be in range and free of cycles: walking up ends at a root.
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

    // The item whose variables the frame of `i` is made of: itself when it has its own, else its
    // superview's owner; -1 when the frame is fixed outright.
    int owner(int i) const {
        while (i >= 0 && i < static_cast<int>(items_.size()) && usable_[static_cast<std::size_t>(i)]) {
            const Item& item = items_[static_cast<std::size_t>(i)];
            if (item.parent < 0) {
                return -1;
            }
            if (!item.translatesAutoresizingMask) {
                return i;
            }
            i = item.parent;
        }
        return -1;
    }

    int find(int i) {
        while (group_[static_cast<std::size_t>(i)] != i) {
            group_[static_cast<std::size_t>(i)] =
                group_[static_cast<std::size_t>(group_[static_cast<std::size_t>(i)])];
            i = group_[static_cast<std::size_t>(i)];
        }
        return i;
    }

    void join(int a, int b) {
        if (a >= 0 && b >= 0) {
            group_[static_cast<std::size_t>(find(a))] = find(b);
        }
    }

    Solver& solverFor(int ownerItem) {
        const int root = find(ownerItem);
        int& index = solverOf_[static_cast<std::size_t>(root)];
        if (index < 0) {
            index = static_cast<int>(solvers_.size());
            solvers_.push_back(std::make_unique<Solver>());
        }
        return *solvers_[static_cast<std::size_t>(index)];
    }

    const Box& box(int i) {
        Box& b = boxes_[static_cast<std::size_t>(i)];
        if (made_[static_cast<std::size_t>(i)]) {
            return b;
        }
        made_[static_cast<std::size_t>(i)] = true;
        const Item& item = items_[static_cast<std::size_t>(i)];
        const Rect f = finite(item.frame) ? item.frame : Rect{};
        if (item.parent < 0) {
            b.x = f.x;
            b.y = f.y;
            b.w = f.width;
            b.h = f.height;
        } else if (item.translatesAutoresizingMask) {
            const Box& p = box(item.parent);
            b.x = p.x + f.x;
            b.y = p.y + f.y;
            b.w = f.width;
            b.h = f.height;
        } else {
            box(item.parent);
            Solver& solver = solverFor(i);
            b.free = true;
            b.vx = solver.newVariable(item.name + ".minX");
            b.vy = solver.newVariable(item.name + ".minY");
            b.vw = solver.newVariable(item.name + ".width");
            b.vh = solver.newVariable(item.name + ".height");
            b.x = b.vx;
            b.y = b.vy;
            b.w = b.vw;
            b.h = b.vh;
        }
        return b;
    }

    // The value of an expression over the variables of `ownerItem`'s solver.
    double valueOf(const Expression& e, int ownerItem) {
        double v = e.constant;
        if (ownerItem >= 0) {
            Solver& solver = solverFor(ownerItem);
            for (const Term& t : e.terms) {
                v += t.coefficient * solver.value(t.variable);
            }
        }
        return v;
    }

    Rect frameOf(int i) {
        const Box& b = boxes_[static_cast<std::size_t>(i)];
        const int o = owner(i);
        const int p = items_[static_cast<std::size_t>(i)].parent;
        const double px = p < 0 ? 0 : valueOf(boxes_[static_cast<std::size_t>(p)].x, o);
        const double py = p < 0 ? 0 : valueOf(boxes_[static_cast<std::size_t>(p)].y, o);
        auto clean = [](double v) {
            // Solutions come out of floating-point pivots: 27.999999999 is meant as 28.
            const double r = std::round(v * 1e6) / 1e6;
            return r == 0 ? 0.0 : r;
        };
        return {clean(valueOf(b.x, o) - px), clean(valueOf(b.y, o) - py), clean(valueOf(b.w, o)),
                clean(valueOf(b.h, o))};
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
    std::string invalidity(const ItemConstraint& c) const {
        const std::vector<bool>& usable = usable_;
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

    void addConstraint(std::size_t index, std::vector<Problem>& problems) {
        const ItemConstraint& c = constraints_[index];
        if (const std::string why = invalidity(c); !why.empty()) {
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
        const double strength = strengthOf(c.priority);
        int ownerItem = owner(c.item);
        for (int other : {c.toItem, c.installedOn}) {
            ownerItem = ownerItem >= 0 ? ownerItem : owner(other);
        }
        Status status = Status::Ok;
        if (ownerItem >= 0) {
            status = solverFor(ownerItem).add({lhs, relation, rhs, strength});
        } else if (strength >= strength::required) {
            // Between fixed frames only: it holds or it does not.
            const double difference = lhs.constant - rhs.constant;
            const bool holds = relation == Relation::Equal         ? std::fabs(difference) < 1e-6
                               : relation == Relation::LessOrEqual ? difference < 1e-6
                                                                   : difference > -1e-6;
            status = holds ? Status::Ok : Status::Unsatisfiable;
        }
        if (status == Status::Unsatisfiable) {
            std::string others;
            for (std::size_t j = 0; j < index; ++j) {
                const ItemConstraint& o = constraints_[j];
                const bool shares = o.item == c.item || o.item == c.toItem ||
                                    (o.toItem >= 0 && (o.toItem == c.item || o.toItem == c.toItem));
                if (shares && o.priority >= kPriorityRequired && invalidity(o).empty()) {
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
        Solver& solver = solverFor(i);
        auto add = [&](Variable v, double size, float hugging, float compression) {
            if (!(size >= 0) || !std::isfinite(size)) {
                return;
            }
            solver.add({v, Relation::LessOrEqual, size, strengthOf(hugging)});
            solver.add({v, Relation::GreaterOrEqual, size, strengthOf(compression)});
        };
        add(b.vw, item.intrinsicWidth, item.huggingHorizontal, item.compressionHorizontal);
        add(b.vh, item.intrinsicHeight, item.huggingVertical, item.compressionVertical);
    }

    void findAmbiguity(std::vector<Problem>& problems) {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Item& item = items_[i];
            if (!usable_[i] || !boxes_[i].free) {
                continue;
            }
            const Box& b = boxes_[i];
            std::string loose;
            const std::pair<Variable, const char*> parts[] = {
                {b.vx, "x"}, {b.vy, "y"}, {b.vw, "width"}, {b.vh, "height"}};
            for (const auto& [v, what] : parts) {
                if (solverFor(static_cast<int>(i)).isAmbiguous(v)) {
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
    std::vector<bool> usable_;
    std::vector<int> group_;
    std::vector<int> solverOf_;
    std::vector<std::unique_ptr<Solver>> solvers_;
    std::vector<Box> boxes_;
    std::vector<bool> made_;
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
