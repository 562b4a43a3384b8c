// Auto Layout as plain data: a tree of items with frames and constraints between their attributes,
// solved into frames, with the conflicts and loose ends a person needs to hear about.
#pragma once

#include "UIKit/Layout/LayoutSolver.hpp"
#include "UIKit/Layout/Rect.hpp"

#include <optional>
#include <string>
#include <vector>

namespace layout {

// NSLayoutAttribute, with its values.
enum class Attribute : int {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    LastBaseline = 11,
    FirstBaseline = 12,
    LeftMargin = 13,
    RightMargin = 14,
    TopMargin = 15,
    BottomMargin = 16,
    LeadingMargin = 17,
    TrailingMargin = 18,
    CenterXWithinMargins = 19,
    CenterYWithinMargins = 20,
};

// UILayoutPriority values.
inline constexpr float kPriorityRequired = 1000;
inline constexpr float kPriorityDefaultHigh = 750;
inline constexpr float kPriorityDefaultLow = 250;

// The solver strength of a layout priority: 1000 is required; below it each 125 points weigh ten
// times more, so a priority wins over many constraints a few hundred points weaker.
[[gnu::visibility("default")]] double strengthOf(float priority);

using Rect = geometry::Rect;

struct Insets {
    double top = 8;
    double left = 8;
    double bottom = 8;
    double right = 8;
};

// One view as the layout sees it.
struct Item {
    std::string name; // how reports name it
    int parent = -1;  // index of its superview's item; -1 for the root, whose frame is fixed
    Rect frame;       // in the superview's coordinates: what the view has before the pass
    bool translatesAutoresizingMask = true;
    // The size its content wants; a negative dimension has none.
    double intrinsicWidth = -1;
    double intrinsicHeight = -1;
    float huggingHorizontal = kPriorityDefaultLow;
    float huggingVertical = kPriorityDefaultLow;
    float compressionHorizontal = kPriorityDefaultHigh;
    float compressionVertical = kPriorityDefaultHigh;
    // Baselines from the top: factor × height + offset (a view without text: its bottom).
    double baselineHeightFactor = 1;
    double firstBaselineOffset = 0;
    double lastBaselineOffset = 0;
    Insets margins;
};

enum class LayoutRelation : int { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

// item.attribute (relation) multiplier × toItem.toAttribute + constant, measured in the coordinate
// space of the item it is installed on.
struct ItemConstraint {
    std::string name;
    int item = -1;
    Attribute attribute = Attribute::NotAnAttribute;
    LayoutRelation relation = LayoutRelation::Equal;
    int toItem = -1; // -1: none, and then toAttribute is NotAnAttribute
    Attribute toAttribute = Attribute::NotAnAttribute;
    double multiplier = 1;
    double constant = 0;
    float priority = kPriorityRequired;
    int installedOn = -1;
};

struct Problem {
    enum class Kind { Invalid, Unsatisfiable, Ambiguous };
    Kind kind;
    std::string message; // names the views and constraints, one report a person can act on
};

struct Solution {
    std::vector<Rect> frames; // one per item, in its superview's coordinates
    std::vector<Problem> problems;
};

struct Options {
    // Looking for ambiguity costs a few solves per loose view: a layout pass in a test or a dump
    // of the views asks for it.
    bool findAmbiguity = true;
};

// Solves the constraints over the items. Never throws: what cannot be used is left out and
// reported, and each view keeps its frame where nothing decides otherwise.
[[gnu::visibility("default")]] Solution solve(const std::vector<Item>& items,
                                              const std::vector<ItemConstraint>& constraints,
                                              const Options& options = {});

} // namespace layout
