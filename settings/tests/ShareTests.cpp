#include "../../tests/support/Files.hpp"
#include "SettingsBundle.hpp"
#include "Social/SLComposeViewControllerInternals.hpp"
#include "UIKit/UIBarButtonItemInternals.hpp"

#include "BMGlintmereMakersListController.hpp"
#include "BMGlintmereZeridOvuvoruListController.hpp"
#include "CoreFoundation/CoreFoundation.h"
#include "GlintmereListController.hpp"
#include "Social/SLComposeViewController.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"

#include "../../tests/support/DeviceKind.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testing_support::readAll;

namespace fs = std::filesystem;
using namespace testing_support;
using objc::operator""_sel;
using NS::literals::operator""_ns;

constexpr const char* kPosts = "/var/mobile/Library/Social/posts.txt";
constexpr const char* kOpenedURLs = "/var/mobile/Library/SpringBoard/OpenedURLs.txt";
constexpr const char* kRootText =
    "#Glintmere makes settings a wallpaper easy from Safari, thanks @Brightmoth";

struct PaneText {
    const char* paneClass;
    const char* text;
};
constexpr PaneText kPanes[] = {
    {"GlintmereListController", kRootText},
    {"BMGlintmereMakersListController", "#Glintmere is awesome!"},
    {"BMGlintmereZeridOvuvoruListController", kRootText},
};

// A pane shown as the Settings app shows one: the top of a navigation controller, its view loaded.
struct ShownPane {
    explicit ShownPane(const char* cls)
        : pane(objc::adopt(objc::send<PS::ListController*>(objc_lookUpClass(cls), "new"_sel))),
          navigation(objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane))) {
        pane->setBundle(settingsBundle());
        pane->view();
    }
    // What a tap on the share button does.
    void tapShare() const {
        auto item = pane->navigationItem()->rightBarButtonItem();
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(UI::tapBarButtonItem(item));
    }
    objc::Ptr<SL::ComposeViewController> composer() const {
        return NS::cast<SL::ComposeViewController>(navigation->presentedViewController());
    }

    objc::Ref<PS::ListController> pane;
    objc::Ref<UI::NavigationController> navigation;
};

class Share : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(settingsBundle(), nullptr);
        fs::remove(kPosts);
        fs::remove(kOpenedURLs);
    }
    void TearDown() override {
        fs::remove(kPosts);
        fs::remove(kOpenedURLs);
    }

    NS::AutoreleaseScope pool;
    DeviceKindKept kept;
};

TEST_F(Share, EveryPaneCarriesTheComposeButtonWithItselfAsTarget) {
    for (const PaneText& kind : kPanes) {
        ShownPane shown(kind.paneClass);
        auto item = shown.pane->navigationItem()->rightBarButtonItem();
        ASSERT_NE(item, nullptr) << kind.paneClass;
        EXPECT_EQ(UI::BarButtonItemInternals::of(item)->systemItem(), UI::UIBarButtonSystemItemCompose);
        EXPECT_EQ(item->target(), shown.pane->self());
        EXPECT_STREQ(sel_getName(item->action()), "tweetSupport:");
    }
}

// iOS 11 took Twitter out of the system: there the button opens nothing.
bool systemCarriesTwitter() { return kCFCoreFoundationVersionNumber < 1443.00; }

TEST_F(Share, TheComposerOpensWithEachPanesTextAndClosesOnPost) {
    for (const PaneText& kind : kPanes) {
        fs::remove(kPosts);
        ShownPane shown(kind.paneClass);
        shown.tapShare();
        auto composer = shown.composer();
        if (!systemCarriesTwitter()) {
            EXPECT_EQ(composer, nullptr) << kind.paneClass;
            EXPECT_EQ(shown.navigation->presentedViewController(), nullptr) << kind.paneClass;
            continue;
        }
        ASSERT_NE(composer, nullptr) << kind.paneClass;
        EXPECT_TRUE(composer->serviceType()->isEqualToString(SLServiceTypeTwitter));
        EXPECT_EQ(SL::textOf(composer), kind.text) << kind.paneClass;
        EXPECT_EQ(SL::post(composer), "");
        EXPECT_EQ(shown.navigation->presentedViewController(), nullptr) << "closed after posting";
        EXPECT_EQ(readAll(kPosts), std::string(kind.text) + "\n");
    }
}

TEST_F(Share, CancellingClosesTheComposerAsPostingDoes) {
    if (!systemCarriesTwitter()) {
        GTEST_SKIP() << "no composer opens on this release";
    }
    for (const PaneText& kind : kPanes) {
        ShownPane shown(kind.paneClass);
        shown.tapShare();
        ASSERT_NE(shown.composer(), nullptr);
        SL::cancel(shown.composer());
        EXPECT_EQ(shown.navigation->presentedViewController(), nullptr) << kind.paneClass;
    }
    EXPECT_FALSE(fs::exists(kPosts));
}

TEST_F(Share, WithoutTwitterTheButtonDoesNothing) {
    ASSERT_TRUE(writeAccounts({{"com.apple.account.IMAP", "mobile@example.com"}}));
    for (const PaneText& kind : kPanes) {
        ShownPane shown(kind.paneClass);
        shown.tapShare();
        EXPECT_EQ(shown.navigation->presentedViewController(), nullptr) << "no account: " << kind.paneClass;
    }
    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    ASSERT_TRUE(writeSystemVersion("11.0", "15A372"));
    for (const PaneText& kind : kPanes) {
        ShownPane shown(kind.paneClass);
        shown.tapShare();
        EXPECT_EQ(shown.navigation->presentedViewController(), nullptr) << "11.0: " << kind.paneClass;
    }
}

TEST_F(Share, EachPackageRowOpensExactlyItsOwnPage) {
    const std::pair<const char*, const char*> actions[] = {
        {"openAmbergate", "cydia://package/com.brightmoth.ambergate"},
        {"openGlintmere", "cydia://package/com.brightmoth.glintmere"},
        {"openQuillfern", "cydia://package/com.brightmoth.quillfern"},
        {"openHarborkite", "cydia://package/com.brightmoth.harborkite"},
        {"openMossvale", "cydia://package/com.brightmoth.mossvale"},
    };
    ShownPane packages("BMGlintmereZeridOvuvoruListController");
    ShownPane makers("BMGlintmereMakersListController");
    for (const auto& [action, url] : actions) {
        fs::remove(kOpenedURLs);
        objc::send(packages.pane.get(), sel_registerName(action));
        const std::string opened = readAll(kOpenedURLs);
        EXPECT_EQ(opened.substr(0, opened.find(" -> ")), url) << action;
        EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 1) << opened;
        EXPECT_FALSE(makers.pane->respondsToSelector(sel_registerName(action))) << "the Makers pane has none";
    }
}

} // namespace
