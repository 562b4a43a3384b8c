// The layout engine on its own: frames worked out by hand against the solver's.
#include "UIKit/Layout/LayoutEngine.hpp"
#include "UIKit/Layout/LayoutSolver.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using layout::Attribute;
using layout::Item;
using layout::ItemConstraint;
using layout::LayoutRelation;
using layout::Problem;
using layout::Rect;

constexpr double kTolerance = 1e-6;

void expectFrame(const Rect& got, const Rect& want, const char* what) {
    EXPECT_NEAR(got.x, want.x, kTolerance) << what;
    EXPECT_NEAR(got.y, want.y, kTolerance) << what;
    EXPECT_NEAR(got.width, want.width, kTolerance) << what;
    EXPECT_NEAR(got.height, want.height, kTolerance) << what;
}

std::size_t count(const layout::Solution& s, Problem::Kind kind) {
    return static_cast<std::size_t>(std::count_if(s.problems.begin(), s.problems.end(),
                                                  [&](const Problem& p) { return p.kind == kind; }));
}

std::string messages(const layout::Solution& s) {
    std::string all;
    for (const Problem& p : s.problems) {
        all += p.message + "\n";
    }
    return all;
}

Item view(const std::string& name, int parent, Rect frame) {
    Item item;
    item.name = name;
    item.parent = parent;
    item.frame = frame;
    return item;
}

Item label(const std::string& name, int parent, double width, double height) {
    Item item = view(name, parent, {});
    item.translatesAutoresizingMask = false;
    item.intrinsicWidth = width;
    item.intrinsicHeight = height;
    return item;
}

ItemConstraint equal(int item, Attribute a, int to, Attribute b, double multiplier, double constant, int on) {
    ItemConstraint c;
    c.item = item;
    c.attribute = a;
    c.toItem = to;
    c.toAttribute = b;
    c.multiplier = multiplier;
    c.constant = constant;
    c.installedOn = on;
    return c;
}

// item.attribute (relation) constant, on its own.
ItemConstraint alone(int item, Attribute a, LayoutRelation relation, double constant, float priority,
                     int on) {
    ItemConstraint c = equal(item, a, -1, Attribute::NotAnAttribute, 1, constant, on);
    c.relation = relation;
    c.priority = priority;
    return c;
}

TEST(Solver, SolvesEqualitiesInequalitiesAndPriorities) {
    layout::Solver solver;
    const auto x = solver.newVariable("x");
    const auto y = solver.newVariable("y");
    ASSERT_EQ(solver.add({x + y, layout::Relation::Equal, 100.0}), layout::Status::Ok);
    ASSERT_EQ(solver.add({x, layout::Relation::GreaterOrEqual, 30.0}), layout::Status::Ok);
    // Two wishes that cannot both hold: the stronger one wins, whatever their order.
    ASSERT_EQ(solver.add({x, layout::Relation::Equal, 10.0, layout::strength::weak}), layout::Status::Ok);
    ASSERT_EQ(solver.add({y, layout::Relation::Equal, 20.0, layout::strength::strong}), layout::Status::Ok);
    EXPECT_NEAR(solver.value(x), 80, kTolerance);
    EXPECT_NEAR(solver.value(y), 20, kTolerance);

    // A required constraint against the required ones is refused, and the solution is untouched.
    layout::ConstraintId conflicting = 0;
    EXPECT_EQ(solver.add({x, layout::Relation::LessOrEqual, 20.0}, &conflicting),
              layout::Status::Unsatisfiable);
    EXPECT_EQ(conflicting, 0u);
    EXPECT_NEAR(solver.value(x), 80, kTolerance);
    EXPECT_EQ(solver.constraintCount(), 4u);

    // Removing the strong wish lets the weak one have its way as far as x >= 30 allows.
    layout::ConstraintId strongWish = 0;
    ASSERT_EQ(solver.add({y, layout::Relation::LessOrEqual, 95.0, layout::strength::medium}, &strongWish),
              layout::Status::Ok);
    EXPECT_NEAR(solver.value(x), 80, kTolerance);
    EXPECT_EQ(solver.remove(strongWish), layout::Status::Ok);
    EXPECT_EQ(solver.remove(strongWish), layout::Status::Unknown);

    EXPECT_EQ(solver.add({x, layout::Relation::Equal, std::nan("")}), layout::Status::Invalid);
    EXPECT_EQ(solver.add({layout::Variable{99}, layout::Relation::Equal, 1.0}), layout::Status::Unknown);
}

TEST(Solver, EditVariablesFollowSuggestionsAndAmbiguityIsFound) {
    layout::Solver solver;
    const auto left = solver.newVariable("left");
    const auto width = solver.newVariable("width");
    const auto right = solver.newVariable("right");
    ASSERT_EQ(solver.add({right, layout::Relation::Equal, left + width}), layout::Status::Ok);
    ASSERT_EQ(solver.add({width, layout::Relation::GreaterOrEqual, 10.0}), layout::Status::Ok);
    ASSERT_EQ(solver.add({left, layout::Relation::Equal, 5.0, layout::strength::stay}), layout::Status::Ok);
    ASSERT_EQ(solver.add({width, layout::Relation::Equal, 40.0, layout::strength::stay}), layout::Status::Ok);
    EXPECT_TRUE(solver.isAmbiguous(left));
    EXPECT_TRUE(solver.isAmbiguous(width));
    EXPECT_NEAR(solver.value(right), 45, kTolerance);

    ASSERT_EQ(solver.addEdit(right, layout::strength::strong), layout::Status::Ok);
    EXPECT_EQ(solver.addEdit(right, layout::strength::strong), layout::Status::Duplicate);
    for (double r : {100.0, 60.0, 300.0}) {
        ASSERT_EQ(solver.suggest(right, r), layout::Status::Ok);
        EXPECT_NEAR(solver.value(right), r, kTolerance);
        EXPECT_NEAR(solver.value(left) + solver.value(width), r, kTolerance);
    }
    // Width cannot go under 10: the edit gives way to the required constraint.
    ASSERT_EQ(solver.add({left, layout::Relation::Equal, 50.0}), layout::Status::Ok);
    ASSERT_EQ(solver.suggest(right, 20), layout::Status::Ok);
    EXPECT_NEAR(solver.value(width), 10, kTolerance);
    EXPECT_NEAR(solver.value(right), 60, kTolerance);
    EXPECT_FALSE(solver.isAmbiguous(left));
    EXPECT_EQ(solver.suggest(right, std::nan("")), layout::Status::Invalid);
    EXPECT_EQ(solver.removeEdit(right), layout::Status::Ok);
    EXPECT_EQ(solver.suggest(right, 1), layout::Status::Unknown);
}

// The root pane's 140-point header: three labels stacked from one fifth of its height down,
// centred. Label sizes stand for what the text metrics give.
TEST(LayoutEngine, HeaderLabelsStackFromAFifthOfTheHeaderHeight) {
    std::vector<Item> items = {
        view("table", -1, {0, 0, 320, 568}), view("header", 0, {0, 35, 320, 140}),
        label("headerLabel", 1, 154.5, 43),  label("subHeaderLabel", 1, 230.25, 20.5),
        label("randomLabel", 1, 160, 18),
    };
    std::vector<ItemConstraint> constraints = {
        equal(2, Attribute::Top, 1, Attribute::Bottom, 0.2, 0, 1),
        equal(2, Attribute::CenterX, 1, Attribute::CenterX, 1, 0, 1),
        equal(3, Attribute::Top, 2, Attribute::Bottom, 1, 5, 1),
        equal(3, Attribute::CenterX, 1, Attribute::CenterX, 1, 0, 1),
        equal(4, Attribute::Top, 3, Attribute::Bottom, 1, 5, 1),
        equal(4, Attribute::CenterX, 1, Attribute::CenterX, 1, 0, 1),
    };
    const auto solved = layout::solve(items, constraints);
    EXPECT_TRUE(solved.problems.empty()) << messages(solved);
    expectFrame(solved.frames[1], {0, 35, 320, 140}, "header keeps its frame");
    // In the header's own space its bottom is 140, whatever its place in the table: 0.2 × 140 = 28.
    expectFrame(solved.frames[2], {160 - 154.5 / 2, 28, 154.5, 43}, "title");
    expectFrame(solved.frames[3], {160 - 230.25 / 2, 28 + 43 + 5, 230.25, 20.5}, "tagline");
    expectFrame(solved.frames[4], {80, 28 + 43 + 5 + 20.5 + 5, 160, 18}, "random line");

    // On a pad the header is wider; everything stays centred.
    items[0].frame = {0, 0, 768, 1024};
    items[1].frame = {0, 35, 768, 140};
    const auto wide = layout::solve(items, constraints);
    expectFrame(wide.frames[2], {384 - 154.5 / 2, 28, 154.5, 43}, "title on a pad");
}

// The developer cell: a picture at a fixed frame, three lines 30 points right of it, the first
// centred 20 points above the cell's middle.
TEST(LayoutEngine, DeveloperCellLinesStartRightOfThePicture) {
    std::vector<Item> items = {
        view("table", -1, {0, 0, 320, 568}),       view("cell", 0, {0, 200, 320, 100}),
        view("devImageView", 1, {10, 15, 70, 70}), label("devNameLabel", 1, 120, 24),
        label("realNameLabel", 1, 90, 18),         label("jobLabel", 1, 70, 14.5),
    };
    std::vector<ItemConstraint> constraints = {
        equal(3, Attribute::Left, 2, Attribute::Right, 1, 30, 1),
        equal(3, Attribute::CenterY, 1, Attribute::CenterY, 1, -20, 1),
        equal(4, Attribute::Left, 2, Attribute::Right, 1, 30, 1),
        equal(4, Attribute::Top, 3, Attribute::Bottom, 1, 0, 1),
        equal(5, Attribute::Left, 2, Attribute::Right, 1, 30, 1),
        equal(5, Attribute::Top, 4, Attribute::Bottom, 1, 5, 1),
    };
    items[2].intrinsicWidth = 64;
    items[2].intrinsicHeight = 64;
    const auto solved = layout::solve(items, constraints);
    EXPECT_TRUE(solved.problems.empty()) << messages(solved);
    // The picture translates its autoresizing mask: its 70-point frame wins over its image's size.
    expectFrame(solved.frames[2], {10, 15, 70, 70}, "picture");
    expectFrame(solved.frames[3], {110, 50 - 20 - 12, 120, 24}, "devName");
    expectFrame(solved.frames[4], {110, 42, 90, 18}, "realName");
    expectFrame(solved.frames[5], {110, 65, 70, 14.5}, "job");
}

TEST(LayoutEngine, PrioritiesAndIntrinsicSizesDecideBetweenWishes) {
    std::vector<Item> items = {
        view("root", -1, {0, 0, 300, 100}),
        label("a", 0, 100, 20),
        label("b", 0, 100, 20),
    };
    // a and b side by side, pinned to both edges: 300 points for two labels of 100 each. The one
    // that hugs less gives (b's hugging is lowered below a's).
    items[2].huggingHorizontal = 200;
    std::vector<ItemConstraint> constraints = {
        equal(1, Attribute::Left, 0, Attribute::Left, 1, 0, 0),
        equal(2, Attribute::Left, 1, Attribute::Right, 1, 0, 0),
        equal(2, Attribute::Right, 0, Attribute::Right, 1, 0, 0),
        equal(1, Attribute::Top, 0, Attribute::Top, 1, 0, 0),
        equal(2, Attribute::Top, 0, Attribute::Top, 1, 0, 0),
    };
    auto solved = layout::solve(items, constraints);
    EXPECT_TRUE(solved.problems.empty()) << messages(solved);
    expectFrame(solved.frames[1], {0, 0, 100, 20}, "a hugs its text");
    expectFrame(solved.frames[2], {100, 0, 200, 20}, "b stretches");

    // Wishes at 500 beat hugging (250) but not compression resistance (750): a grows to 180 and
    // more, b would be 40 wide but cannot get under its text, so a takes what b leaves.
    constraints.push_back(alone(1, Attribute::Width, LayoutRelation::GreaterThanOrEqual, 180, 500, 1));
    constraints.push_back(alone(2, Attribute::Width, LayoutRelation::LessThanOrEqual, 40, 500, 2));
    solved = layout::solve(items, constraints);
    EXPECT_TRUE(solved.problems.empty()) << messages(solved);
    expectFrame(solved.frames[1], {0, 0, 200, 20}, "a");
    expectFrame(solved.frames[2], {200, 0, 100, 20}, "b at its text's width");
}

TEST(LayoutEngine, EveryAttributeMeasuresWhatItNames) {
    std::vector<Item> items = {view("root", -1, {0, 0, 400, 400}), view("anchor", 0, {100, 50, 200, 100})};
    items[1].margins = {1, 2, 3, 4};
    // A text view: baselines at half its height plus an offset.
    items[1].baselineHeightFactor = 0.5;
    items[1].firstBaselineOffset = -6;
    items[1].lastBaselineOffset = 7;
    struct Case {
        Attribute attribute;
        double value;
    };
    const Case cases[] = {{Attribute::Left, 100},
                          {Attribute::Right, 300},
                          {Attribute::Top, 50},
                          {Attribute::Bottom, 150},
                          {Attribute::Leading, 100},
                          {Attribute::Trailing, 300},
                          {Attribute::CenterX, 200},
                          {Attribute::CenterY, 100},
                          {Attribute::LastBaseline, 107},
                          {Attribute::FirstBaseline, 94},
                          {Attribute::LeftMargin, 102},
                          {Attribute::RightMargin, 296},
                          {Attribute::TopMargin, 51},
                          {Attribute::BottomMargin, 147},
                          {Attribute::LeadingMargin, 102},
                          {Attribute::TrailingMargin, 296},
                          {Attribute::CenterXWithinMargins, 199},
                          {Attribute::CenterYWithinMargins, 99}};
    for (const Case& c : cases) {
        std::vector<Item> with = items;
        with.push_back(label("probe", 0, 10, 10));
        const bool horizontal =
            c.attribute == Attribute::Left || c.attribute == Attribute::Right ||
            c.attribute == Attribute::Leading || c.attribute == Attribute::Trailing ||
            c.attribute == Attribute::CenterX || c.attribute == Attribute::LeftMargin ||
            c.attribute == Attribute::RightMargin || c.attribute == Attribute::LeadingMargin ||
            c.attribute == Attribute::TrailingMargin || c.attribute == Attribute::CenterXWithinMargins;
        const Attribute mine = horizontal ? Attribute::Left : Attribute::Top;
        const Attribute other = horizontal ? Attribute::Top : Attribute::Left;
        const auto solved = layout::solve(
            with, {equal(2, mine, 1, c.attribute, 1, 0, 0), equal(2, other, 0, other, 1, 0, 0)});
        EXPECT_TRUE(solved.problems.empty()) << messages(solved);
        EXPECT_NEAR(horizontal ? solved.frames[2].x : solved.frames[2].y, c.value, kTolerance)
            << static_cast<int>(c.attribute);
    }
    // Sizes relate to each other with a multiplier, and stand alone against a constant.
    std::vector<Item> with = items;
    with.push_back(label("probe", 0, -1, -1));
    const auto sized = layout::solve(with, {equal(2, Attribute::Width, 1, Attribute::Height, 0.5, 10, 0),
                                            alone(2, Attribute::Height, LayoutRelation::Equal, 33, 1000, 2),
                                            equal(2, Attribute::Left, 0, Attribute::Left, 1, 0, 0),
                                            equal(2, Attribute::Top, 0, Attribute::Top, 1, 0, 0)});
    EXPECT_TRUE(sized.problems.empty()) << messages(sized);
    expectFrame(sized.frames[2], {0, 0, 60, 33}, "sized");
}

TEST(LayoutEngine, ConflictsAreReportedNamingTheViewsAndTheRestStillHolds) {
    std::vector<Item> items = {view("root", -1, {0, 0, 320, 480}), label("title", 0, 100, 20)};
    std::vector<ItemConstraint> constraints = {
        equal(1, Attribute::Left, 0, Attribute::Left, 1, 10, 0),
        equal(1, Attribute::Top, 0, Attribute::Top, 1, 10, 0),
        equal(1, Attribute::Left, 0, Attribute::Left, 1, 50, 0),
    };
    const auto solved = layout::solve(items, constraints);
    ASSERT_EQ(count(solved, Problem::Kind::Unsatisfiable), 1u) << messages(solved);
    const std::string& message = solved.problems[0].message;
    EXPECT_NE(message.find("Unable to simultaneously satisfy constraints."), std::string::npos);
    EXPECT_NE(message.find("title.left == root.left + 10"), std::string::npos) << message;
    EXPECT_NE(message.find("breaking constraint <NSLayoutConstraint title.left == root.left + 50>"),
              std::string::npos)
        << message;
    expectFrame(solved.frames[1], {10, 10, 100, 20}, "the first constraint holds");

    // Between frames that autoresizing masks fix, a required constraint holds or is reported.
    const std::vector<Item> fixed = {view("root", -1, {0, 0, 320, 480}), view("a", 0, {10, 10, 50, 50}),
                                     view("b", 0, {70, 10, 50, 50})};
    const auto holds = layout::solve(fixed, {equal(2, Attribute::Left, 1, Attribute::Right, 1, 10, 0),
                                             equal(2, Attribute::Width, 1, Attribute::Width, 1, 0, 0)});
    EXPECT_TRUE(holds.problems.empty()) << messages(holds);
    auto weak = equal(2, Attribute::Top, 1, Attribute::Top, 1, 5, 0);
    weak.priority = 999;
    const auto broken =
        layout::solve(fixed, {equal(2, Attribute::Left, 1, Attribute::Right, 1, 11, 0), weak});
    ASSERT_EQ(broken.problems.size(), 1u) << messages(broken);
    EXPECT_NE(
        broken.problems[0].message.find("breaking constraint <NSLayoutConstraint b.left == a.right + 11>"),
        std::string::npos)
        << broken.problems[0].message;
    expectFrame(broken.frames[2], {70, 10, 50, 50}, "b keeps its fixed frame");
}

TEST(LayoutEngine, LooseViewsAreReportedAsAmbiguousAndKeepTheirFrames) {
    std::vector<Item> items = {view("footer", -1, {0, 0, 320, 120}), view("logo", 0, {0, 17, 80, 80})};
    items[1].translatesAutoresizingMask = false;
    items[1].intrinsicWidth = 80;
    items[1].intrinsicHeight = 80;
    const auto solved = layout::solve(items, {equal(1, Attribute::CenterX, 0, Attribute::CenterX, 1, 0, 0)});
    ASSERT_EQ(count(solved, Problem::Kind::Ambiguous), 1u) << messages(solved);
    EXPECT_NE(solved.problems[0].message.find("logo has no constraint that fixes its y"), std::string::npos)
        << solved.problems[0].message;
    EXPECT_EQ(solved.problems[0].message.find("width"), std::string::npos) << solved.problems[0].message;
    expectFrame(solved.frames[1], {120, 17, 80, 80}, "centred, and where it was vertically");

    const auto quiet = layout::solve(items, {equal(1, Attribute::CenterX, 0, Attribute::CenterX, 1, 0, 0)},
                                     layout::Options{false});
    EXPECT_TRUE(quiet.problems.empty());
    expectFrame(quiet.frames[1], {120, 17, 80, 80}, "same frame without the search");
}

TEST(LayoutEngine, NonsenseIsLeftOutAndReported) {
    std::vector<Item> items = {view("root", -1, {0, 0, 100, 100}),
                               label("a", 0, 10, 10),
                               view("elsewhere", -1, {0, 0, 50, 50}),
                               label("b", 2, 10, 10),
                               view("loop1", 5, {}),
                               view("loop2", 4, {}),
                               view("dangling", 42, {})};
    items[1].frame = {5, 6, 10, 10};
    const std::vector<ItemConstraint> constraints = {
        equal(1, Attribute::Left, 0, Attribute::Top, 1, 0, 0),        // x against y
        equal(1, Attribute::Width, 0, Attribute::Left, 1, 0, 0),      // size against position
        alone(1, Attribute::Left, LayoutRelation::Equal, 3, 1000, 0), // position against nothing
        equal(1, Attribute::Left, 3, Attribute::Left, 1, 0, 0),       // b is not under root
        equal(1, Attribute::Left, 0, Attribute::Left, std::nan(""), 0, 0),
        equal(1, Attribute::Left, 0, Attribute::Left, 0, 0, 0), // a position times nothing
        equal(1, static_cast<Attribute>(99), 0, Attribute::Left, 1, 0, 0),
        equal(1, Attribute::Left, 0, Attribute::Left, 1, 0, 1), // installed on a child
        equal(4, Attribute::Left, 0, Attribute::Left, 1, 0, 0),
        equal(1, Attribute::Left, 77, Attribute::Left, 1, 0, 0),
        alone(1, Attribute::Width, LayoutRelation::Equal, 1, 0, 1),
    };
    const auto solved = layout::solve(items, constraints);
    EXPECT_EQ(count(solved, Problem::Kind::Invalid), constraints.size() + 3) << messages(solved);
    EXPECT_NE(messages(solved).find("loop1 is not in one tree of views"), std::string::npos);
    EXPECT_NE(messages(solved).find("dangling is not in one tree of views"), std::string::npos);
    expectFrame(solved.frames[1], {5, 6, 10, 10}, "a keeps its frame");
    ASSERT_EQ(solved.frames.size(), items.size());
}

} // namespace
