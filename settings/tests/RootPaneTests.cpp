#include "Foundation/NSRunLoopInternals.hpp"
#include "SettingsBundle.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "BMGlintmereCustomHeaderView.hpp"
#include "BMGlintmereLogoTableCell.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "GlintmereListController.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UITableView.hpp"

#include <cstdint>
#include <filesystem>
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
    objc::Ptr<BMGlintmereLogoTableCell> footer(long section) {
        return pane->viewForFooter(pane->table(), section).as<BMGlintmereLogoTableCell>();
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

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }
double secondsSince(std::uint64_t start) { return static_cast<double>(now() - start) / 1e9; }

TEST_F(RootPane, TheTitleLogoStaysInvisibleForHalfASecondThenFadesInOnce) {
    const std::uint64_t loaded = now();
    pane->view();
    auto logo = pane->navigationItem()->titleView().as<UI::ImageView>();
    ASSERT_NE(logo, nullptr);
    ASSERT_TRUE(logo->isKindOfClass(UI::ImageView::runtimeClass()));
    // The bundle's logo, drawn in the bar's tint, at its own size.
    EXPECT_EQ(UI::ImageInternals::of(logo->image())->fileName()->str(), "headerLogo@2x.png")
        << "the one for a 2x screen";
    EXPECT_EQ(logo->image()->renderingMode(), UI::ImageRenderingModeAlwaysTemplate);
    EXPECT_EQ(logo->frame().size, logo->image()->size());
    EXPECT_EQ(logo->alpha(), 0.0);

    NS::RunLoop* loop = NS::RunLoop::mainRunLoop();
    NS::RunLoopInternals::of(loop)->runFor(0.45 - secondsSince(loaded));
    EXPECT_EQ(logo->alpha(), 0.0) << "nothing shows before half a second has passed";

    // The timer fires no sooner than 0.5 s, and the fade takes 0.5 s more.
    while (logo->alpha() < 1.0 && secondsSince(loaded) < 5) {
        NS::RunLoopInternals::of(loop)->runFor(0.01);
    }
    const double shown = secondsSince(loaded);
    EXPECT_EQ(logo->alpha(), 1.0);
    EXPECT_GE(shown, 1.0);
    EXPECT_LT(shown, 2.0) << "about a second after the view loaded";

    // One fade only: the timer does not repeat.
    logo->setAlpha(0.3);
    NS::RunLoopInternals::of(loop)->runFor(1.2);
    EXPECT_EQ(logo->alpha(), 0.3);
    // A further fade animates to 1.0 again.
    pane.get().as<GlintmereListController>()->increaseAlpha();
    NS::RunLoopInternals::of(loop)->runFor(0.7);
    EXPECT_EQ(logo->alpha(), 1.0);
}

TEST_F(RootPane, OnlyTheFourthSectionHasTheLogoBelowItAndEachRequestMakesANewOne) {
    pane->view();
    ASSERT_GE(pane->numberOfSections(pane->table()), 4);
    for (long section : {0, 1, 2, 4}) {
        EXPECT_EQ(pane->viewForFooter(pane->table(), section), nullptr) << section;
    }
    auto first = footer(3);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isMemberOfClass(BMGlintmereLogoTableCell::runtimeClass()));
    EXPECT_NE(footer(3).get(), first.get());
}

TEST_F(RootPane, TheLogoIsAShadowedPictureOfTheCellCentredAtAnyWidth) {
    auto cell = footer(3);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->frame(), (CGRect{}));
    auto logo = cell->logoImageView();
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->superview().get(), cell.get()) << "on the cell itself, not its content view";
    EXPECT_EQ(UI::ImageInternals::of(logo->image())->fileName()->str(), "footerLogo@2x.png")
        << "the one for a 2x screen";
    EXPECT_FALSE(logo->translatesAutoresizingMaskIntoConstraints());
    EXPECT_FALSE(logo->clipsToBounds());
    auto layer = logo->layer();
    ASSERT_NE(layer->shadowColor(), nullptr);
    EXPECT_EQ(*layer->shadowColor(), (CGColor{0, 0, 0, 1}));
    EXPECT_EQ(layer->shadowOffset(), (CGSize{0, 1}));
    EXPECT_EQ(layer->shadowOpacity(), 0.2F);
    EXPECT_EQ(layer->shadowRadius(), 1.0);
    NS::Array* constraints = cell->constraints();
    ASSERT_EQ(constraints->count(), 1u) << "the horizontal centre is all that is tied";
    auto centre = constraints->objectAtIndex(0).as<NS::LayoutConstraint>();
    EXPECT_EQ(centre->firstItem().get(), logo.get());
    EXPECT_EQ(centre->firstAttribute(), NS::LayoutAttributeCenterX);
    EXPECT_EQ(centre->secondItem().get(), cell.get());

    for (double width : {320.0, 768.0, 1000.0, 41.0}) {
        cell->setFrame(CGRect{{0, 0}, {width, 80}});
        UI::layoutViewTree(cell, {.findAmbiguity = false, .report = false});
        const CGRect placed = logo->frame();
        EXPECT_NEAR(placed.origin.x + placed.size.width / 2, width / 2, 0.01) << width;
        EXPECT_EQ(placed.origin.y, 0) << width;
        EXPECT_EQ(placed.size, (CGSize{80, 80})) << width;
    }

    // Setting another picture view only replaces the reference.
    auto other = objc::adopt(UI::ImageView::alloc()->initWithImage(nullptr));
    cell->setLogoImageView(other.get());
    EXPECT_EQ(cell->logoImageView().get(), other.get());
    EXPECT_EQ(other->superview(), nullptr);
    EXPECT_EQ(logo->superview().get(), cell.get());
}

TEST_F(RootPane, InATableThatShowsItTheLogoFooterIsTallEnoughForTheWholeLogo) {
    pane->view();
    auto table = pane->table();
    table->setFrame(CGRect{{0, 0}, {320, 2000}});
    table->reloadData();
    objc::Ptr<BMGlintmereLogoTableCell> shown;
    for (NS::Object* child : table->subviews()) {
        if (auto cell = NS::cast<BMGlintmereLogoTableCell>(child)) {
            EXPECT_EQ(shown, nullptr) << "one logo";
            shown = cell;
        }
    }
    ASSERT_NE(shown, nullptr);
    UI::layoutViewTree(table, {.findAmbiguity = false, .report = false});
    const CGRect footer = shown->frame();
    const CGRect logo = shown->logoImageView()->frame();
    EXPECT_EQ(footer.size.width, 320);
    EXPECT_GE(logo.origin.y, 0);
    EXPECT_LE(logo.origin.y + logo.size.height, footer.size.height);
    EXPECT_NEAR(logo.origin.x + logo.size.width / 2, 160, 0.01);
    // Nothing else of the table is drawn over it.
    for (NS::Object* child : table->subviews()) {
        const CGRect other = reinterpret_cast<UI::View*>(child)->frame();
        if (child != reinterpret_cast<NS::Object*>(shown.get())) {
            EXPECT_TRUE(other.origin.y + other.size.height <= footer.origin.y ||
                        other.origin.y >= footer.origin.y + footer.size.height)
                << class_getName(object_getClass(objc::toId(child)));
        }
    }
}

TEST_F(RootPane, WithoutItsLogoFilesThePaneStillLoadsAndPlacesEmptyPictures) {
    namespace fs = std::filesystem;
    const std::string bundle = std::string(kBundlePath) + "/";
    for (const char* file : {"headerLogo.png", "headerLogo@2x.png", "footerLogo.png", "footerLogo@2x.png"}) {
        fs::rename(bundle + file, bundle + file + ".away");
    }
    pane->view();
    auto title = pane->navigationItem()->titleView().as<UI::ImageView>();
    auto cell = footer(3);
    for (const char* file : {"headerLogo.png", "headerLogo@2x.png", "footerLogo.png", "footerLogo@2x.png"}) {
        fs::rename(bundle + file + ".away", bundle + file);
    }
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->image(), nullptr);
    EXPECT_EQ(title->alpha(), 0.0);
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->logoImageView(), nullptr);
    EXPECT_EQ(cell->logoImageView()->image(), nullptr);
    EXPECT_EQ(cell->logoImageView()->frame(), (CGRect{{0, 0}, {80, 80}}));
    EXPECT_EQ(cell->logoImageView()->superview().get(), cell.get());
    EXPECT_GE(pane->numberOfRows(pane->table(), 0), 1);
}

} // namespace
