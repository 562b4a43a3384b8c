#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSURL.hpp"
#include "UIKit/UIAlertController.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIApplicationInternals.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIBarButtonItemInternals.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIDevice.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UISwitchInternals.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "UIKit/UIViewController.hpp"
#include "UIKit/UIViewControllerInternals.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using NS::literals::operator""_ns;
using objc::operator""_sel;

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeApp(const fs::path& folder, const std::string& identifier, const std::string& schemesXml) {
    fs::create_directories(folder);
    std::ofstream(folder / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        << "<key>CFBundleIdentifier</key><string>" << identifier << "</string>" << schemesXml
        << "</dict></plist>\n";
}

std::string urlTypes(const std::string& schemes) {
    return "<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array>" + schemes +
           "</array></dict></array>";
}

TEST(Application, SchemesAreClaimedOnlyByAnInstalledAppsInfoPlist) {
    const fs::path apps = fs::temp_directory_path() / "application-schemes";
    fs::remove_all(apps);
    writeApp(apps / "Cydia.app", "com.saurik.Cydia", urlTypes("<string>cydia</string>"));
    writeApp(apps / "Mail.app", "com.apple.mobilemail",
             urlTypes("<string>MailTo</string><string>message</string>"));
    // Damaged claims claim nothing: a text where a list belongs, a number where a scheme belongs.
    writeApp(apps / "Odd.app", "com.example.odd", "<key>CFBundleURLTypes</key><string>odd</string>");
    writeApp(apps / "Odder.app", "com.example.odder", urlTypes("<integer>4</integer>"));
    fs::create_directories(apps / "Empty.app");
    std::ofstream(apps / "NotAnApp.txt") << "cydia";

    EXPECT_EQ(UI::applicationForScheme("cydia", apps), "com.saurik.Cydia");
    EXPECT_EQ(UI::applicationForScheme("CYDIA", apps), "com.saurik.Cydia") << "schemes ignore case";
    EXPECT_EQ(UI::applicationForScheme("mailto", apps), "com.apple.mobilemail");
    EXPECT_EQ(UI::applicationForScheme("message", apps), "com.apple.mobilemail");
    EXPECT_EQ(UI::applicationForScheme("odd", apps), "");
    EXPECT_EQ(UI::applicationForScheme("4", apps), "");
    EXPECT_EQ(UI::applicationForScheme("", apps), "");
    EXPECT_EQ(UI::applicationForScheme("cydia", apps / "missing"), "");
    fs::remove_all(apps);
}

TEST(Application, OpenURLSaysYesOnlyForSchemesOfTheDevicesAppsAndRecordsEveryOne) {
    NS::AutoreleaseScope pool;
    const fs::path record = fs::path(UI::kOpenedURLsBase) / UI::kOpenedURLsFolder / UI::kOpenedURLsFile;
    fs::remove(record);
    auto app = UI::Application::sharedApplication();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app, UI::Application::sharedApplication());

    // The browser the device has installed claims the web; nothing claims the package manager's scheme.
    EXPECT_TRUE(app->openURL(NS::URL::URLWithString("https://example.com/page"_ns)));
    EXPECT_TRUE(app->openURL(NS::URL::URLWithString("HTTP://example.com/"_ns)));
    EXPECT_FALSE(app->openURL(NS::URL::URLWithString("cydia://package/com.brightmoth.glintmere"_ns)));
    EXPECT_FALSE(app->openURL(nullptr));
    EXPECT_TRUE(app->canOpenURL(NS::URL::URLWithString("http://example.com/"_ns)));
    EXPECT_FALSE(app->canOpenURL(NS::URL::URLWithString("cydia://package/x"_ns)));

    EXPECT_EQ(slurp(record), "https://example.com/page -> com.apple.mobilesafari\n"
                             "HTTP://example.com/ -> com.apple.mobilesafari\n"
                             "cydia://package/com.brightmoth.glintmere -> (none)\n");
}

TEST(Application, StatusBarStyleIsKeptWithOrWithoutAnimation) {
    auto app = UI::Application::sharedApplication();
    app->setStatusBarStyle(UI::UIStatusBarStyleDefault);
    EXPECT_EQ(app->statusBarStyle(), UI::UIStatusBarStyleDefault);
    app->setStatusBarStyle(UI::UIStatusBarStyleLightContent);
    EXPECT_EQ(app->statusBarStyle(), UI::UIStatusBarStyleLightContent);
    app->setStatusBarStyle(UI::UIStatusBarStyleDefault, true);
    EXPECT_EQ(app->statusBarStyle(), UI::UIStatusBarStyleDefault);
}

// ---- Bar button items ----------------------------------------------------------------------

int composeTaps = 0;
id lastSender = nil;
struct ComposeTarget : NS::Referencing<ComposeTarget, "TestComposeTarget"> {
    OBJC_MESSAGE(tweetSupport, "tweetSupport:", void(NS::Object*))
};

TEST(BarButtonItems, ASystemItemSendsItsActionWithItselfAsSender) {
    NS::AutoreleaseScope pool;
    objc::ClassDefinition<NS::Object>("TestComposeTarget", "NSObject")
        .method(ComposeTarget::tweetSupport_,
                [](NS::Object*, NS::Object* sender) {
                    ++composeTaps;
                    lastSender = objc::toId(sender);
                })
        .build();
    auto target = objc::adopt(NS::RootObject::make_.send(objc_lookUpClass("TestComposeTarget")));
    auto item = objc::adopt(UI::BarButtonItem::alloc()->initWithBarButtonSystemItem(
        UI::UIBarButtonSystemItemCompose, objc::toId(target), "tweetSupport:"_sel));
    EXPECT_EQ(UI::BarButtonItemInternals::of(item)->systemItem(), 7);
    EXPECT_EQ(item->target(), objc::toId(target));
    EXPECT_EQ(target->retainCount(), 1u) << "the item does not own its target";
    EXPECT_TRUE(UI::tapBarButtonItem(item.get().get()));
    EXPECT_EQ(composeTaps, 1);
    EXPECT_EQ(lastSender, objc::toId(item));

    item->setEnabled(false);
    EXPECT_FALSE(UI::tapBarButtonItem(item.get().get()));
    item->setEnabled(true);
    item->setAction("noSuchAction:"_sel);
    EXPECT_FALSE(UI::tapBarButtonItem(item.get().get())) << "a target that does not answer is not sent to";
    EXPECT_FALSE(UI::tapBarButtonItem(nullptr));
    EXPECT_EQ(composeTaps, 1);
}

// ---- Presentation --------------------------------------------------------------------------

std::vector<std::string> journal;
struct PresentingController
    : NS::Referencing<PresentingController, "TestPresentingController", UI::ViewController> {};

// Notes that the message `M` reached the controller, then passes it on to UIViewController.
template <const auto& M> constexpr auto recordAppearance = [](UI::ViewController* self, bool animated) {
    journal.push_back(self->title()->str() + " " + M.name());
    M.template super<PresentingController>(self, animated);
};

class Presentation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        using UI::ViewController;
        objc::ClassDefinition<ViewController>("TestPresentingController", "UIViewController")
            .method(ViewController::viewWillAppear_, recordAppearance<ViewController::viewWillAppear_>)
            .method(ViewController::viewDidAppear_, recordAppearance<ViewController::viewDidAppear_>)
            .method(ViewController::viewWillDisappear_, recordAppearance<ViewController::viewWillDisappear_>)
            .method(ViewController::viewDidDisappear_, recordAppearance<ViewController::viewDidDisappear_>)
            .build();
    }
    UI::ViewController* controller(const char* name) {
        auto c = UI::ViewController::make_.send(objc_lookUpClass("TestPresentingController"))->autorelease();
        c->setTitle(NS::String::string(name));
        return c;
    }
    void SetUp() override { journal.clear(); }
    NS::AutoreleaseScope pool;
};

TEST_F(Presentation, APaneInANavigationControllerPresentsOverItAndDismissesBack) {
    UI::ViewController* pane = controller("pane");
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    nav->viewWillAppear(false);
    nav->viewDidAppear(false);
    journal.clear();

    UI::ViewController* composer = controller("composer");
    int completed = 0;
    auto done = NS::Block::create([&completed] { ++completed; });
    pane->presentViewController(composer, true, done.get());
    EXPECT_EQ(journal, (std::vector<std::string>{"pane viewWillDisappear:", "composer viewWillAppear:",
                                                 "pane viewDidDisappear:", "composer viewDidAppear:"}));
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(nav->presentedViewController(), composer) << "the outermost controller presents";
    EXPECT_EQ(composer->presentingViewController(), nav.get());

    pane->presentViewController(controller("second"), false, done.get());
    EXPECT_EQ(completed, 1) << "one presentation at a time";
    journal.clear();

    composer->dismissViewController(true, done.get());
    EXPECT_EQ(journal, (std::vector<std::string>{"composer viewWillDisappear:", "pane viewWillAppear:",
                                                 "composer viewDidDisappear:", "pane viewDidAppear:"}));
    EXPECT_EQ(completed, 2);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(composer->presentingViewController(), nullptr);

    journal.clear();
    pane->dismissViewController(false, nullptr);
    EXPECT_TRUE(journal.empty()) << "nothing to dismiss";
}

TEST_F(Presentation, AnAlertShowsOverThePaneWhichStaysOnScreenUnderIt) {
    UI::ViewController* pane = controller("pane");
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    nav->viewWillAppear(false);
    nav->viewDidAppear(false);
    journal.clear();

    auto alert = UI::AlertController::alertControllerWithTitle("Title"_ns, "Message"_ns,
                                                               UI::UIAlertControllerStyleAlert);
    EXPECT_EQ(alert->modalPresentationStyle(), UI::ModalPresentationCustom);
    pane->presentViewController(alert, true, nullptr);
    EXPECT_EQ(nav->presentedViewController(), alert.get());
    EXPECT_TRUE(journal.empty()) << "the pane is not told it disappears";
    alert->dismissViewController(true, nullptr);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_TRUE(journal.empty()) << "nor that it appears again";

    UI::ViewController* custom = controller("custom");
    custom->setModalPresentationStyle(UI::ModalPresentationCustom);
    pane->presentViewController(custom, false, nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"custom viewWillAppear:", "custom viewDidAppear:"}))
        << "what is presented is told, whatever its style";
}

// As UIKit does on a phone before 13.0 (the test's device): the presentations that cover the screen
// take the pane off it, those over its content leave it under them; a sheet or a popover is full
// screen there, and shown over the pane on a pad.
TEST_F(Presentation, ThePresenterIsToldItLeavesOnlyWhereThePresentationsStyleTakesItOff) {
    UI::ViewController* pane = controller("pane");
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    nav->viewWillAppear(false);
    nav->viewDidAppear(false);
    const std::vector<std::string> covered = {
        "pane viewWillDisappear:", "shown viewWillAppear:",    "pane viewDidDisappear:",
        "shown viewDidAppear:",    "shown viewWillDisappear:", "pane viewWillAppear:",
        "shown viewDidDisappear:", "pane viewDidAppear:"};
    const std::vector<std::string> over = {"shown viewWillAppear:", "shown viewDidAppear:",
                                           "shown viewWillDisappear:", "shown viewDidDisappear:"};
    const std::vector<std::pair<long, bool>> styles = {
        {UI::ModalPresentationFullScreen, true},      {UI::ModalPresentationCurrentContext, true},
        {UI::ModalPresentationPageSheet, true},       {UI::ModalPresentationFormSheet, true},
        {UI::ModalPresentationPopover, true},         {UI::ModalPresentationCustom, false},
        {UI::ModalPresentationOverFullScreen, false}, {UI::ModalPresentationOverCurrentContext, false}};
    for (const auto& [style, takesOff] : styles) {
        journal.clear();
        UI::ViewController* shown = controller("shown");
        shown->setModalPresentationStyle(style);
        pane->presentViewController(shown, true, nullptr);
        EXPECT_EQ(nav->presentedViewController(), shown) << style;
        shown->dismissViewController(true, nullptr);
        EXPECT_EQ(journal, takesOff ? covered : over) << "style " << style;
    }

    CF::DeviceFacts pad;
    pad.productType = "iPad4,1";
    pad.deviceClass = "iPad";
    pad.idiom = UI::UIUserInterfaceIdiomPad;
    for (long style :
         {UI::ModalPresentationPageSheet, UI::ModalPresentationFormSheet, UI::ModalPresentationPopover,
          UI::ModalPresentationCustom, UI::ModalPresentationOverCurrentContext}) {
        EXPECT_FALSE(UI::presentationRemovesPresenter(style, pad)) << "on a pad, style " << style;
    }
    EXPECT_TRUE(UI::presentationRemovesPresenter(UI::ModalPresentationFullScreen, pad));
    EXPECT_TRUE(UI::presentationRemovesPresenter(UI::ModalPresentationCurrentContext, pad));
    // From 13.0 a phone shows a sheet as a card over the presenter; a popover still fills its screen.
    CF::DeviceFacts phone13;
    phone13.coreFoundationVersion = CF::release::iOS13_0;
    EXPECT_FALSE(UI::presentationRemovesPresenter(UI::ModalPresentationFormSheet, phone13));
    EXPECT_FALSE(UI::presentationRemovesPresenter(UI::ModalPresentationPageSheet, phone13));
    EXPECT_TRUE(UI::presentationRemovesPresenter(UI::ModalPresentationPopover, phone13));
    EXPECT_TRUE(UI::presentationRemovesPresenter(UI::ModalPresentationFullScreen, phone13));
}

// ---- Appearance proxies --------------------------------------------------------------------

class AppearanceProxies : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassBuilder("TestRootPane", "UIViewController").build();
        objc::ClassBuilder("TestMakersPane", "TestRootPane").build();
        objc::ClassBuilder("TestOtherPane", "UIViewController").build();
    }
    // A switch in a cell in a table that is the view of a new controller of `paneClass`.
    UI::Switch* switchIn(const char* paneClass) {
        auto pane = objc::adopt(UI::ViewController::make_.send(objc_lookUpClass(paneClass)));
        auto table = objc::adopt(UI::TableView::alloc()->initWithFrame(CGRectMake(0, 0, 320, 568)));
        pane->setView(table.get());
        auto cell = objc::adopt(UI::TableViewCell::alloc()->initWithStyle(0, nullptr));
        table->addSubview(cell.get());
        auto toggle = objc::adopt(UI::Switch::alloc()->init());
        cell->contentView()->addSubview(toggle.get());
        panes_.push_back(pane);
        return toggle.get();
    }
    std::vector<objc::Ref<UI::ViewController>> panes_;
    NS::AutoreleaseScope pool;
};

TEST_F(AppearanceProxies, ASwitchTakesTheProxyOfItsContainersElseTheGeneralOneElseNone) {
    UI::Color* red = UI::Color::redColor();
    UI::Color* blue = UI::Color::blueColor();
    UI::Color* green = UI::Color::greenColor();
    UI::Switch* inOther = switchIn("TestOtherPane");
    EXPECT_EQ(inOther->onTintColor(), nullptr) << "the system's colour while no proxy applies";
    EXPECT_EQ(inOther->frame().size, UI::kSwitchSize);

    auto rootProxy = UI::Switch::appearanceWhenContainedIn(objc_lookUpClass("TestRootPane"), nullptr);
    ASSERT_NE(rootProxy, nullptr);
    EXPECT_EQ(rootProxy, UI::Switch::appearanceWhenContainedIn(objc_lookUpClass("TestRootPane"), nullptr))
        << "one proxy per class and containers";
    rootProxy->setOnTintColor(red);
    auto makersProxy = UI::Switch::appearanceWhenContainedIn(objc_lookUpClass("TestMakersPane"), nullptr);
    EXPECT_NE(makersProxy, rootProxy);
    makersProxy->setOnTintColor(blue);

    UI::Switch* inRoot = switchIn("TestRootPane");
    UI::Switch* inMakers = switchIn("TestMakersPane");
    EXPECT_EQ(inRoot->onTintColor(), red);
    EXPECT_EQ(inMakers->onTintColor(), blue) << "the later proxy of a subclass wins";
    EXPECT_EQ(inOther->onTintColor(), nullptr) << "a switch elsewhere keeps the system's colour";

    UI::Switch::appearance()->setOnTintColor(green);
    EXPECT_EQ(inOther->onTintColor(), green) << "the general proxy applies where no other does";
    EXPECT_EQ(inRoot->onTintColor(), red) << "a proxy naming containers beats the general one";

    // Containers are matched innermost first: a table inside the root pane, not the other way round.
    auto nested = UI::Switch::appearanceWhenContainedIn(objc_lookUpClass("UITableView"),
                                                        objc_lookUpClass("TestRootPane"), nullptr);
    nested->setOnTintColor(blue);
    EXPECT_EQ(inRoot->onTintColor(), blue);
    auto inverted = UI::Switch::appearanceWhenContainedIn(objc_lookUpClass("TestOtherPane"),
                                                          objc_lookUpClass("UITableView"), nullptr);
    inverted->setOnTintColor(red);
    EXPECT_EQ(inOther->onTintColor(), green);

    inRoot->setOnTintColor(green);
    EXPECT_EQ(inRoot->onTintColor(), green) << "the switch's own colour comes first";
    auto loose = objc::adopt(UI::Switch::alloc()->init());
    EXPECT_EQ(loose->onTintColor(), green) << "a switch in nothing takes the general proxy";
    UI::Switch::appearance()->setOnTintColor(nullptr);
    EXPECT_EQ(loose->onTintColor(), nullptr);
}

} // namespace
