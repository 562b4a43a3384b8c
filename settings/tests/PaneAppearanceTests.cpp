#include "SettingsBundle.hpp"
#include "UIKit/UIColorInternals.hpp"

#include "BMGlintmereListController.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UITableView.hpp"

#include <CoreFoundation/CoreFoundation.h>

#include <optional>

namespace {

using namespace testing_support;
using objc::operator""_sel;
using NS::literals::operator""_ns;

// The colours as the panes work them out: each component n/255 in single precision, then widened.
CGColor fromBytes(int red, int green, int blue) {
    const auto c = [](int n) { return static_cast<CGFloat>(static_cast<float>(n) / 255.0f); };
    return {c(red), c(green), c(blue), 1.0};
}
const CGColor kBarButtons = fromBytes(238, 238, 238);
const CGColor kBarBackground = fromBytes(36, 55, 71);
const CGColor kSwitchOn = fromBytes(65, 169, 214);
const CGColor kRowTitle = fromBytes(22, 36, 51);

std::optional<CGColor> colorOf(id object) { return UI::rgbaOf(reinterpret_cast<UI::Color*>(object)); }
std::optional<CGColor> colorOf(objc::Ptr<UI::Color> color) { return UI::rgbaOf(color); }

// The running system's Core Foundation number, put back when the test ends.
class SystemNumber {
  public:
    explicit SystemNumber(double number) : kept_(kCFCoreFoundationVersionNumber) {
        kCFCoreFoundationVersionNumber = number;
    }
    SystemNumber(const SystemNumber&) = delete;
    SystemNumber& operator=(const SystemNumber&) = delete;
    ~SystemNumber() { kCFCoreFoundationVersionNumber = kept_; }

  private:
    double kept_;
};

// A pane of the bundle inside its own navigation controller, which in turn is held by an outer one,
// as Settings holds panes on the systems that nest them.
struct NestedPane {
    explicit NestedPane(const char* paneClass = "GlintmereListController") {
        pane = objc::adopt(objc::send<PS::ListController*>(objc_lookUpClass(paneClass), "new"_sel));
        pane->setBundle(settingsBundle());
        inner = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
        outer = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(inner));
    }
    objc::Ref<PS::ListController> pane;
    objc::Ref<UI::NavigationController> inner;
    objc::Ref<UI::NavigationController> outer;
};

class PaneAppearance : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_NE(settingsBundle(), nullptr); }
    void SetUp() override {
        UI::Application::sharedApplication()->setStatusBarStyle(UI::UIStatusBarStyleDefault);
    }

    NS::AutoreleaseScope pool;
};

TEST_F(PaneAppearance, TheVersionWindowDecidesWhichBarIsColouredBothEndsIncluded) {
    struct Case {
        double number;
        bool outerBar;
    };
    for (const Case c : {Case{1140.0, false}, Case{1140.1, true}, Case{1141.18, true}, Case{1141.19, false},
                         Case{1145.15, false}, Case{847.20, false}}) {
        SystemNumber system(c.number);
        NestedPane shown;
        ASSERT_EQ(shown.pane->navigationController().get(), shown.inner.get());
        ASSERT_EQ(shown.inner->navigationController().get(), shown.outer.get());
        shown.pane->viewWillAppear(false);

        auto coloured = c.outerBar ? shown.outer->navigationBar() : shown.inner->navigationBar();
        auto untouched = c.outerBar ? shown.inner->navigationBar() : shown.outer->navigationBar();
        EXPECT_EQ(colorOf(coloured->tintColor()), kBarButtons) << c.number;
        EXPECT_EQ(colorOf(coloured->barTintColor()), kBarBackground) << c.number;
        ASSERT_NE(coloured->titleTextAttributes(), nullptr) << c.number;
        EXPECT_EQ(coloured->titleTextAttributes()->count(), 1u);
        EXPECT_EQ(colorOf(objc::toId(
                      coloured->titleTextAttributes()->objectForKey(NSForegroundColorAttributeName))),
                  (CGColor{1, 1, 1, 1}));
        EXPECT_EQ(untouched->tintColor(), nullptr) << c.number;
        EXPECT_EQ(untouched->barTintColor(), nullptr) << c.number;
        EXPECT_EQ(untouched->titleTextAttributes(), nullptr) << c.number;
        EXPECT_EQ(UI::Application::sharedApplication()->statusBarStyle(), UI::UIStatusBarStyleLightContent);

        shown.pane->viewWillDisappear(false);
        EXPECT_EQ(coloured->tintColor(), nullptr) << c.number;
        EXPECT_EQ(coloured->barTintColor(), nullptr) << c.number;
        EXPECT_EQ(coloured->titleTextAttributes(), nullptr) << c.number;
        EXPECT_EQ(UI::Application::sharedApplication()->statusBarStyle(), UI::UIStatusBarStyleDefault);
    }
    // The colours are single-precision fractions, not the nearest doubles.
    EXPECT_NE(kBarBackground.green, 55 / 255.0);
}

TEST_F(PaneAppearance, WithoutTheNavigationControllerItNamesOnlyTheBarStepsAreLeftOut) {
    // Inside the window, a navigation controller that no other holds: no bar, but the status bar.
    SystemNumber system(1141.14);
    auto pane =
        objc::adopt(objc::send<PS::ListController*>(objc_lookUpClass("GlintmereListController"), "new"_sel));
    pane->setBundle(settingsBundle());
    auto alone = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    pane->viewWillAppear(false);
    EXPECT_EQ(alone->navigationBar()->barTintColor(), nullptr);
    EXPECT_EQ(UI::Application::sharedApplication()->statusBarStyle(), UI::UIStatusBarStyleLightContent);
    pane->viewWillDisappear(false);
    EXPECT_EQ(UI::Application::sharedApplication()->statusBarStyle(), UI::UIStatusBarStyleDefault);
}

TEST_F(PaneAppearance, TheStatusBarGetsBackTheStyleThePaneFoundWhenItLastBeganToAppear) {
    auto application = UI::Application::sharedApplication();
    {
        // Leaving without having appeared: the field still holds its first value, the default style.
        application->setStatusBarStyle(UI::UIStatusBarStyleLightContent);
        NestedPane never;
        EXPECT_EQ(objc::ivar(never.pane.get().as<BMGlintmereListController>(),
                             BMGlintmereListController::prevStatusStyle),
                  0);
        never.pane->viewWillDisappear(false);
        EXPECT_EQ(application->statusBarStyle(), UI::UIStatusBarStyleDefault);
    }
    {
        // Shown twice without leaving: the second time it finds its own light style, and keeps that.
        application->setStatusBarStyle(UI::UIStatusBarStyleDefault);
        NestedPane twice;
        twice.pane->viewWillAppear(false);
        twice.pane->viewWillAppear(true);
        EXPECT_EQ(objc::ivar(twice.pane.get().as<BMGlintmereListController>(),
                             BMGlintmereListController::prevStatusStyle),
                  1);
        twice.pane->viewWillDisappear(false);
        EXPECT_EQ(application->statusBarStyle(), UI::UIStatusBarStyleLightContent);
    }
    {
        // Once shown and left, the style of before comes back.
        application->setStatusBarStyle(UI::UIStatusBarStyleDefault);
        NestedPane once;
        once.pane->viewWillAppear(false);
        once.pane->viewWillDisappear(false);
        EXPECT_EQ(application->statusBarStyle(), UI::UIStatusBarStyleDefault);
    }
}

TEST_F(PaneAppearance, LeavingHandsTheBarBackToTheDefaultsWhateverItHadBefore) {
    NestedPane shown;
    auto bar = shown.inner->navigationBar();
    bar->setTintColor(UI::Color::redColor());
    bar->setBarTintColor(UI::Color::greenColor());
    bar->setTitleTextAttributes(
        NS::Dictionary::dictionaryWithObject(UI::Color::blueColor(), NSForegroundColorAttributeName));
    shown.pane->viewWillAppear(false);
    EXPECT_EQ(colorOf(bar->barTintColor()), kBarBackground);
    shown.pane->viewWillDisappear(false);
    EXPECT_EQ(bar->tintColor(), nullptr);
    EXPECT_EQ(bar->barTintColor(), nullptr);
    EXPECT_EQ(bar->titleTextAttributes(), nullptr);
}

TEST_F(PaneAppearance, TheSwitchColourHoldsOnlyInsidePanesOfTheClassThatRegisteredIt) {
    // A class of its own, so that no other test has registered a colour for it.
    objc::ClassBuilder("TestAppearancePane", "BMGlintmereListController").build();
    NestedPane registering("TestAppearancePane");
    NestedPane other("BMGlintmereMakersListController");
    auto inPane = objc::adopt(UI::Switch::alloc()->init());
    auto inOther = objc::adopt(UI::Switch::alloc()->init());
    auto loose = objc::adopt(UI::Switch::alloc()->init());
    registering.pane->view()->addSubview(inPane.get());
    other.pane->view()->addSubview(inOther.get());
    EXPECT_EQ(inPane->onTintColor(), nullptr);

    registering.pane->viewWillAppear(false);
    EXPECT_EQ(colorOf(inPane->onTintColor()), kSwitchOn);
    EXPECT_EQ(inOther->onTintColor(), nullptr) << "a pane of another class keeps the host's colour";
    EXPECT_EQ(loose->onTintColor(), nullptr);

    registering.pane->viewWillDisappear(false);
    EXPECT_EQ(colorOf(inPane->onTintColor()), kSwitchOn) << "the registration outlasts the pane";
    NestedPane later("TestAppearancePane");
    auto inLater = objc::adopt(UI::Switch::alloc()->init());
    later.pane->view()->addSubview(inLater.get());
    EXPECT_EQ(colorOf(inLater->onTintColor()), kSwitchOn) << "and holds for every pane of the class";
}

// The host's cell maker, while a test makes it hand back one cell for every row, as a table view
// hands back cells that have scrolled away.
IMP hostCellForRow = nullptr;
objc::Ref<PS::TableCell> reusedCell;

id reuseOneCell(id self, SEL sel, id table, id indexPath) {
    if (reusedCell == nullptr) {
        reusedCell = objc::Ref<PS::TableCell>::retain(PS::ListController::tableViewCellForRowAtIndexPath_
                                                          .call(hostCellForRow, self, sel,
                                                                reinterpret_cast<UI::TableView*>(table),
                                                                reinterpret_cast<NS::IndexPath*>(indexPath))
                                                          .as<PS::TableCell>()
                                                          .get());
    }
    return objc::toId(reusedCell.get());
}

TEST_F(PaneAppearance, EveryRowTitleIsDarkNavyAlsoInACellTheHostHandsBackAgain) {
    Method host =
        class_getInstanceMethod(PS::ListController::runtimeClass(), "tableView:cellForRowAtIndexPath:"_sel);
    ASSERT_NE(host, nullptr);
    for (const bool reusing : {false, true}) {
        hostCellForRow = reusing ? method_setImplementation(host, objc::toImp(&reuseOneCell)) : nullptr;
        for (const char* paneClass : {"GlintmereListController", "BMGlintmereMakersListController"}) {
            NestedPane shown(paneClass);
            shown.pane->view();
            UI::TableView* table = shown.pane->table();
            int rows = 0;
            for (long s = 0, sections = shown.pane->numberOfSections(table); s < sections; ++s) {
                for (long r = 0, n = shown.pane->numberOfRows(table, s); r < n; ++r) {
                    auto cell =
                        shown.pane->cellForRow(table, NS::IndexPath::indexPath(r, s)).as<PS::TableCell>();
                    ASSERT_NE(cell, nullptr) << paneClass;
                    EXPECT_EQ(UI::rgbaOf(cell->titleLabel()->textColor()), kRowTitle)
                        << paneClass << " " << s << "/" << r << (reusing ? " reused" : "");
                    // What a row showed before does not stay with the cell.
                    cell->titleLabel()->setTextColor(UI::Color::redColor());
                    ++rows;
                }
            }
            EXPECT_GE(rows, 2) << paneClass;
        }
        if (reusing) {
            method_setImplementation(host, hostCellForRow);
            reusedCell = nullptr;
        }
    }
}

} // namespace
