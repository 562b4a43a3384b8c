#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIViewController.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using objc::operator""_sel;
using NS::literals::operator""_ns;

// What the recording controllers were told, in order: "<name> <step>".
std::vector<std::string> journal;

std::string nameOf(UI::ViewController* self) { return self->title()->str(); }

struct RecordingController
    : NS::Referencing<RecordingController, "TestRecordingController", UI::ViewController> {};

Class recorderClass() { return RecordingController::runtimeClass(); }

// Notes that the message `M` reached the controller, then passes it on to UIViewController.
template <const auto& M> void recordStep(UI::ViewController* self) {
    journal.push_back(nameOf(self) + " " + M.name());
    M.template super<RecordingController>(self);
}
template <const auto& M> void recordAppearance(UI::ViewController* self, bool animated) {
    journal.push_back(nameOf(self) + " " + M.name());
    M.template super<RecordingController>(self, animated);
}

class ViewControllers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        using UI::ViewController;
        objc::ClassDefinition<ViewController>("TestRecordingController", "UIViewController")
            .method<&recordStep<ViewController::loadView_>>(ViewController::loadView_)
            .method<&recordStep<ViewController::viewDidLoad_>>(ViewController::viewDidLoad_)
            .method<&recordAppearance<ViewController::viewWillAppear_>>(ViewController::viewWillAppear_)
            .method<&recordAppearance<ViewController::viewDidAppear_>>(ViewController::viewDidAppear_)
            .method<&recordAppearance<ViewController::viewWillDisappear_>>(ViewController::viewWillDisappear_)
            .method<&recordAppearance<ViewController::viewDidDisappear_>>(ViewController::viewDidDisappear_)
            .build();
    }
    void SetUp() override { journal.clear(); }

    UI::ViewController* controller(const char* name) {
        auto* c =
            objc::send<UI::ViewController*>(objc::send<id>(recorderClass(), "new"_sel), "autorelease"_sel);
        c->setTitle(NS::String::string(name));
        return c;
    }

    NS::AutoreleaseScope pool;
};

TEST_F(ViewControllers, ViewIsLoadedOnceOnFirstUse) {
    UI::ViewController* c = controller("a");
    EXPECT_FALSE(c->isViewLoaded());
    UI::View* view = c->view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(c->view(), view);
    EXPECT_EQ(journal, (std::vector<std::string>{"a loadView", "a viewDidLoad"}));
}

TEST_F(ViewControllers, TitleIsTheNavigationItemsTitle) {
    UI::ViewController* c = controller("first");
    UI::NavigationItem* item = c->navigationItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item, c->navigationItem());
    EXPECT_EQ(item->title()->str(), "first");
    c->setTitle("second"_ns);
    EXPECT_EQ(item->title()->str(), "second");
}

TEST_F(ViewControllers, PushAndPopTellBothControllersWhileOnScreen) {
    UI::ViewController* root = controller("root");
    UI::ViewController* pane = controller("pane");
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(root));
    EXPECT_TRUE(journal.empty()) << "nothing appears before the navigation controller does";

    nav->viewWillAppear(false);
    nav->viewDidAppear(false);
    EXPECT_EQ(journal, (std::vector<std::string>{"root loadView", "root viewDidLoad",
                                                 "root viewWillAppear:", "root viewDidAppear:"}));
    journal.clear();

    nav->pushViewController(pane, true);
    EXPECT_EQ(pane->navigationController(), nav.get());
    EXPECT_EQ(nav->topViewController(), pane);
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "root viewWillDisappear:", "pane loadView", "pane viewDidLoad",
                           "pane viewWillAppear:", "root viewDidDisappear:", "pane viewDidAppear:"}));
    journal.clear();

    objc::Ref<UI::ViewController> popped = objc::retain(nav->popViewController(true));
    EXPECT_EQ(popped.get(), pane);
    EXPECT_EQ(pane->navigationController(), nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"pane viewWillDisappear:", "root viewWillAppear:",
                                                 "pane viewDidDisappear:", "root viewDidAppear:"}));
    journal.clear();

    EXPECT_EQ(nav->popViewController(true), nullptr) << "the root stays";
    EXPECT_EQ(nav->viewControllers()->count(), 1u);
    EXPECT_TRUE(journal.empty());
}

TEST_F(ViewControllers, OffScreenPushesAreSilent) {
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(controller("root")));
    nav->pushViewController(controller("pane"), false);
    nav->popToRootViewController(false);
    EXPECT_TRUE(journal.empty());
}

TEST_F(ViewControllers, NestedNavigationControllersReachEachOther) {
    UI::ViewController* pane = controller("pane");
    auto inner = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    auto outer = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(inner.get()));
    EXPECT_EQ(pane->navigationController(), inner.get());
    EXPECT_EQ(pane->navigationController()->navigationController(), outer.get());
    EXPECT_NE(inner->navigationBar(), outer->navigationBar());
}

TEST_F(ViewControllers, AHeldNavigationControllerWithItsBarHiddenShowsItsStackOnTheOuterBar) {
    auto outer =
        objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(controller("Settings")));
    auto inner =
        objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(controller("Glintmere")));
    inner->setNavigationBarHidden(true);
    outer->pushViewController(inner.get(), false);
    inner->pushViewController(controller("ZeridOvuvoru"), false);
    outer->view()->layoutIfNeeded();

    std::vector<std::string> titles;
    for (NS::Object* item : outer->navigationBar()->items()) {
        titles.push_back(reinterpret_cast<UI::NavigationItem*>(item)->title()->str());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Settings", "Glintmere", "ZeridOvuvoru"}));
    EXPECT_EQ(outer->navigationBar()->backItem()->title()->str(), "Glintmere")
        << "back goes to the pane below in the held controller";

    inner->setNavigationBarHidden(false);
    outer->view()->layoutIfNeeded();
    EXPECT_EQ(outer->navigationBar()->items()->count(), 2u) << "a held controller showing its own bar";
}

TEST_F(ViewControllers, ControllersOutlivingTheirNavigationControllerForgetIt) {
    auto pane = objc::retain(controller("pane"));
    {
        auto nav =
            objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(controller("root")));
        nav->pushViewController(pane.get(), false);
    }
    EXPECT_EQ(pane->navigationController(), nullptr);
}

TEST(Views, SubviewsMoveBetweenParentsAndForgetAFreedOne) {
    NS::AutoreleaseScope pool;
    auto first = objc::adopt(UI::View::alloc()->initWithFrame(CGRectMake(0, 0, 10, 10)));
    auto second = objc::adopt(UI::View::alloc()->init());
    auto child = objc::adopt(UI::View::alloc()->init());
    first->addSubview(child.get());
    EXPECT_EQ(child->superview(), first.get());
    second->addSubview(child.get());
    EXPECT_EQ(child->superview(), second.get());
    {
        NS::AutoreleaseScope inner;
        EXPECT_EQ(first->subviews()->count(), 0u);
        EXPECT_EQ(second->subviews()->count(), 1u);
    }
    EXPECT_EQ(child->retainCount(), 2u);
    second = nullptr;
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(child->retainCount(), 1u);
}

TEST(Views, AlphaStaysBetweenZeroAndOne) {
    NS::AutoreleaseScope pool;
    auto view = objc::adopt(UI::View::alloc()->init());
    EXPECT_EQ(view->alpha(), 1.0);
    view->setAlpha(-0.5);
    EXPECT_EQ(view->alpha(), 0.0);
    view->setAlpha(0.25);
    EXPECT_EQ(view->alpha(), 0.25);
    view->setAlpha(3);
    EXPECT_EQ(view->alpha(), 1.0);
}

TEST(Cells, EveryInitialiserGivesTheLabelsOfTheStyle) {
    NS::AutoreleaseScope pool;
    auto plain =
        objc::adopt(UI::TableViewCell::alloc()->initWithStyle(UI::TableViewCellStyleDefault, "id"_ns));
    ASSERT_NE(plain->textLabel(), nullptr);
    EXPECT_EQ(plain->detailTextLabel(), nullptr);
    EXPECT_EQ(plain->reuseIdentifier()->str(), "id");
    EXPECT_EQ(plain->textLabel()->superview(), plain->contentView());

    auto value =
        objc::adopt(UI::TableViewCell::alloc()->initWithStyle(UI::TableViewCellStyleValue1, nullptr));
    EXPECT_NE(value->detailTextLabel(), nullptr);

    auto framed = objc::adopt(
        UI::TableViewCell::alloc()->initWithFrame(CGRectMake(0, 0, 100, 30)).as<UI::TableViewCell>());
    EXPECT_NE(framed->textLabel(), nullptr);
    EXPECT_EQ(framed->frame(), CGRectMake(0, 0, 100, 30));

    auto bare = objc::adopt(UI::TableViewCell::alloc()->init());
    EXPECT_NE(bare->textLabel(), nullptr);
}

} // namespace
