#include "SettingsBundle.hpp"

#include "BMGlintmereCustomHeaderView.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "GlintmereListController.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UITableView.hpp"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using objc::operator""_sel;

const std::vector<std::string> kRandomLines = {
    "Thank you for the support.",
    "Enjoy!",
    "Some Other Random Text",
    "You Can Include However Many You Want",
    "Follow me on Twitter.",
    "Something should go here right?",
    "Hey",
    "Marmalade!",
    "Shake it off!",
};

std::string textOf(objc::Ptr<UI::Label> label) {
    return label->text() != nullptr ? label->text()->str() : "";
}

class RootPane : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_NE(settingsBundle(), nullptr); }
    void SetUp() override {
        pane = objc::adopt(
            objc::send<PS::ListController*>(objc_lookUpClass("GlintmereListController"), "new"_sel));
        pane->setBundle(settingsBundle());
    }
    objc::Ptr<BMGlintmereCustomHeaderView> header(long section) {
        return pane->viewForHeader(pane->table(), section).as<BMGlintmereCustomHeaderView>();
    }

    NS::AutoreleaseScope pool;
    objc::Ref<PS::ListController> pane;
};

TEST_F(RootPane, OnlyTheFirstSectionHasTheHeaderAndItsHeightTheOthersAreLeftToTheTable) {
    pane->view();
    ASSERT_GE(pane->numberOfSections(pane->table()), 4) << "the specifier file keeps four groups";
    auto first = header(0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isMemberOfClass(BMGlintmereCustomHeaderView::runtimeClass()));
    auto second = header(0);
    EXPECT_NE(second.get(), first.get()) << "a new header on every request";
    EXPECT_EQ(pane->heightForHeader(pane->table(), 0), 140.0);
    for (long section : {1, 2, 3, 4}) {
        EXPECT_EQ(pane->viewForHeader(pane->table(), section), nullptr) << section;
        EXPECT_EQ(pane->heightForHeader(pane->table(), section), -1.0) << section;
    }
}

TEST_F(RootPane, TheHeaderStacksTheNameTheTaglineAndALineOfTheList) {
    auto shown = header(0);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->frame(), (CGRect{}));
    NS::Array* subviews = shown->subviews();
    ASSERT_EQ(subviews->count(), 3u);
    const objc::Ptr<UI::Label> labels[] = {shown->headerLabel(), shown->subHeaderLabel(),
                                           shown->randomLabel()};
    for (unsigned long i = 0; i < 3; ++i) {
        EXPECT_EQ(subviews->objectAtIndex(i).get(), reinterpret_cast<NS::Object*>(labels[i].get())) << i;
        EXPECT_FALSE(labels[i]->translatesAutoresizingMaskIntoConstraints()) << i;
        EXPECT_EQ(UI::rgbaOf(labels[i]->textColor()), UI::rgbaOf(UI::Color::grayColor()));
        EXPECT_EQ(UI::rgbaOf(labels[i]->backgroundColor()), (CGColor{0, 0, 0, 0}));
    }
    EXPECT_EQ(textOf(labels[0]), "Glintmere");
    EXPECT_EQ(textOf(labels[1]), "Easily Change Your Wallpaper!");

    // The properties only point at the labels: another label set there is not shown, the old one stays.
    auto other = objc::adopt(UI::Label::alloc()->init());
    shown->setHeaderLabel(other.get());
    EXPECT_EQ(shown->headerLabel().get(), other.get());
    EXPECT_EQ(shown->subviews()->count(), 3u);
    EXPECT_EQ(other->superview(), nullptr);
    EXPECT_EQ(labels[0]->superview().get(), shown.get());
}

TEST_F(RootPane, InTheTablesHeaderTheNameHangsAFifthDownAndTheLinesStackCentredFivePointsApart) {
    auto shown = header(0);
    ASSERT_NE(shown, nullptr);
    // The table gives section 0's header the width of the screen and the height the pane asks for.
    shown->setFrame(CGRect{{0, 0}, {320, 140}});
    EXPECT_TRUE(UI::layoutViewTree(shown).empty());
    const CGRect name = shown->headerLabel()->frame();
    const CGRect tagline = shown->subHeaderLabel()->frame();
    const CGRect line = shown->randomLabel()->frame();
    EXPECT_NEAR(name.origin.y, 28, 0.01);
    EXPECT_NEAR(tagline.origin.y, name.origin.y + name.size.height + 5, 0.01);
    EXPECT_NEAR(line.origin.y, tagline.origin.y + tagline.size.height + 5, 0.01);
    for (const CGRect& frame : {name, tagline, line}) {
        EXPECT_GT(frame.size.width, 0);
        EXPECT_GT(frame.size.height, 0);
        EXPECT_NEAR(frame.origin.x + frame.size.width / 2, 160, 0.01);
    }
    // Each label is as tall as one line of its font: the name's 36 points stand taller than the tagline's 17.
    EXPECT_GT(name.size.height, tagline.size.height);
    EXPECT_EQ(shown->headerLabel()->textAlignment(), UI::TextAlignmentCenter);
    EXPECT_EQ(shown->randomLabel()->numberOfLines(), 1);
}

TEST_F(RootPane, TheRandomLineIsDrawnEvenlyFromTheNineLinesOfTheList) {
    auto first = header(0);
    ASSERT_NE(first, nullptr);
    NS::Array* texts = first->randomTexts();
    std::vector<std::string> listed;
    for (NS::Object* text : *texts) {
        listed.push_back(NS::cast<NS::String>(text)->str());
    }
    EXPECT_EQ(listed, kRandomLines);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "no line twice";
    EXPECT_NE(first->randomTexts().get(), texts) << "made afresh on every call";

    constexpr int kHeaders = 1800;
    std::map<std::string, int> seen;
    for (int i = 0; i < kHeaders; ++i) {
        NS::AutoreleaseScope each;
        seen[textOf(header(0)->randomLabel())]++;
    }
    EXPECT_EQ(seen.size(), kRandomLines.size()) << "every line, and none but these";
    for (const std::string& line : kRandomLines) {
        // One ninth of 1800 is 200; fewer than 120 or more than 280 happens with odds below 1e-8.
        EXPECT_GT(seen[line], 120) << line;
        EXPECT_LT(seen[line], 280) << line;
    }
}

} // namespace
