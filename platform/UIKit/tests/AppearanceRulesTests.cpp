// Appearance proxies chosen by the classes that contain a view.
#include "UIKit/Appearance/AppearanceRules.hpp"

#include <gtest/gtest.h>

namespace {

using appearance::ClassChain;
using appearance::Rule;

const ClassChain kCell = {"PSTableCell", "UITableViewCell", "UIView", "NSObject"};
const ClassChain kTable = {"UITableView", "UIScrollView", "UIView", "NSObject"};
const ClassChain kRootPane = {"GlintmereListController", "BMGlintmereListController", "PSListController",
                              "UIViewController", "NSObject"};
const ClassChain kMakersPane = {"BMGlintmereMakersListController", "BMGlintmereListController",
                                "PSListController", "UIViewController", "NSObject"};
const ClassChain kOtherPane = {"PSListController", "UIViewController", "NSObject"};
const ClassChain kNavigation = {"UINavigationController", "UIViewController", "NSObject"};

TEST(Appearance, ASwitchTakesTheProxyOfThePaneItIsIn) {
    const std::vector<Rule> rules = {
        {{}}, {{"GlintmereListController"}}, {{"BMGlintmereMakersListController"}}};
    EXPECT_EQ(appearance::select(rules, {kCell, kTable, kRootPane, kNavigation}), 1);
    EXPECT_EQ(appearance::select(rules, {kCell, kTable, kMakersPane, kNavigation}), 2);
    // Elsewhere in the host only the plain proxy applies; without it, none.
    EXPECT_EQ(appearance::select(rules, {kCell, kTable, kOtherPane, kNavigation}), 0);
    EXPECT_EQ(appearance::select({rules[1], rules[2]}, {kCell, kTable, kOtherPane, kNavigation}), -1);
    // A proxy for a superclass applies to the panes of its subclasses.
    EXPECT_EQ(appearance::select({{{"BMGlintmereListController"}}}, {kCell, kTable, kMakersPane}), 0);
}

TEST(Appearance, ContainersMatchInOrderAndTheMoreSpecificOrLaterProxyWins) {
    // Innermost first: a table inside a navigation controller, not the other way round.
    const Rule tableInNavigation{{"UITableView", "UINavigationController"}};
    const Rule navigationInTable{{"UINavigationController", "UITableView"}};
    const std::vector<ClassChain> chain = {kCell, kTable, kRootPane, kNavigation};
    EXPECT_EQ(appearance::select({tableInNavigation}, chain), 0);
    EXPECT_EQ(appearance::select({navigationInTable}, chain), -1);
    // Two containers beat one, whatever their order of making; between equals the later one wins.
    EXPECT_EQ(appearance::select({tableInNavigation, {{"GlintmereListController"}}}, chain), 0);
    EXPECT_EQ(appearance::select({{{"UITableView"}}, {{"GlintmereListController"}}}, chain), 1);
    EXPECT_EQ(appearance::select({{{"GlintmereListController"}}, {{"UITableView"}}}, chain), 1);
    // One ancestor cannot stand for two containers.
    EXPECT_EQ(appearance::select({{{"UIViewController", "UIViewController"}}}, {kCell, kRootPane}), -1);
    EXPECT_EQ(appearance::select({{{"UIViewController", "UIViewController"}}}, {kRootPane, kNavigation}), 0);
    EXPECT_EQ(appearance::select({}, chain), -1);
}

} // namespace
