// What the Settings app's screen shows on the test's device (an iPhone6,1 on 8.4): the view tree as
// `views` writes it, the picture `screenshot` draws, and a script moving through panes.
#include "../support/DeviceKind.hpp"
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::at;
using testing_support::lines;
using testing_support::near;
using testing_support::runProcess;
using testing_support::shareNear;

// How far a pixel may stray from the colour it is checked against, in each channel.
constexpr int kTolerance = 6;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kBrowser = "/Applications/MobileSafari.app/MobileSafari";

testing_support::Outcome settings(const std::vector<std::string>& words) {
    std::vector<std::string> argv = {kSettings};
    argv.insert(argv.end(), words.begin(), words.end());
    return runProcess(argv);
}

TEST(SettingsScreen, ViewsWritesTheStatusBarStyleThenOneViewALine) {
    auto shown = settings({"views"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    // The root pane at 1.5 s; the header's random line may differ between two runs, nothing else.
    EXPECT_EQ(lines(shown.out).size(), lines(settings({"views", "Glintmere", "--at", "1.5"}).out).size());
    const auto tree = lines(shown.out);
    ASSERT_GT(tree.size(), 10u);
    EXPECT_EQ(tree[0], "statusBarStyle = 1") << "the pane asks for light content";
    EXPECT_EQ(tree[1].rfind("<UIWindow: frame = (0 0; 320 568)", 0), 0u) << tree[1];
    const std::regex line(
        R"(^(  )*<[A-Za-z_][A-Za-z0-9_]*: frame = \(-?[0-9]+(\.[0-9]{1,2})? -?[0-9]+(\.[0-9]{1,2})?; )"
        R"([0-9]+(\.[0-9]{1,2})? [0-9]+(\.[0-9]{1,2})?\)(; [A-Za-z]+ = [^;]+)*>$)");
    std::size_t depth = 0;
    for (std::size_t i = 1; i < tree.size(); ++i) {
        EXPECT_TRUE(std::regex_match(tree[i], line)) << tree[i];
        const std::size_t indent = tree[i].find('<') / 2;
        EXPECT_LE(indent, depth + 1) << "a view is at most one level below the line before: " << tree[i];
        depth = indent;
    }
    auto has = [&](const std::string& part) { return shown.out.find(part) != std::string::npos; };
    EXPECT_TRUE(has("\n  <UIStatusBar: frame = (0 0; 320 20)>\n")) << shown.out;
    EXPECT_TRUE(has("<UINavigationBar: frame = (0 20; 320 44)")) << shown.out;
    EXPECT_TRUE(has("<UITableView: frame = (0 0; 320 504)")) << shown.out;
    EXPECT_TRUE(has("text = 'Glintmere'")) << "the title on the bar";
    EXPECT_TRUE(has("text = 'Settings'")) << "the back button names the top list";
    EXPECT_TRUE(has("text = 'Enabled'")) << "the switch row's title";
    EXPECT_TRUE(has("<UISwitch: frame = (254 6.5; 51 31)")) << shown.out;
    EXPECT_TRUE(has("text = 'Makers'")) << shown.out;
    EXPECT_TRUE(has("<_UITableViewCellSeparatorView: ")) << shown.out;
    // Every row title is the pane's dark navy, a button row's too: the pane colours it after the
    // host has made the cell.
    EXPECT_TRUE(has("text = 'Contact Support'; font = HelveticaNeue 17; textColor = (22 36 51 255)>"))
        << shown.out;
}

TEST(SettingsScreen, AScreenshotShowsTheStatusBarTheNavigationBarAndTheGroupedTable) {
    auto taken = settings({"screenshot", "/tmp/screen/root.png"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(taken.out, "/tmp/screen/root.png: 640x1136\n");
    const auto picture = testing_support::readPng("/tmp/screen/root.png");
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->width, 640);
    ASSERT_EQ(picture->height, 1136);
    // The pane's slate bar reaches up behind the status bar, whose light text sits on it.
    EXPECT_GT(shareNear(*picture, 0, 0, 320, 64, 0x243747, kTolerance), 0.85);
    EXPECT_GT(shareNear(*picture, 140, 4, 40, 12, 0xffffff, kTolerance), 0.05)
        << "the time, light on the dark bar";
    // Below the bar, the grouped table's gray shows above the first section and a white row below it.
    EXPECT_GT(shareNear(*picture, 0, 70, 320, 20, 0xefeff4, kTolerance), 0.95);
    EXPECT_GT(shareNear(*picture, 0, 64 + 140 + 10, 100, 20, 0xffffff, kTolerance), 0.5)
        << "the first row, under the header";
    // Nothing below the bar is drawn in the system's blue: the pane's colours are navy and sky blue.
    EXPECT_LT(shareNear(*picture, 0, 64, 320, 504, 0x007aff, kTolerance), 0.0001);
}

// Scrolled to its foot, the pane shows a picture that its constraints leave loose in y: said only
// when a developer asks, as UIKit says nothing of an ambiguous layout unless asked.
TEST(SettingsScreen, ALooseViewIsReportedOnlyWhenAsked) {
    const std::vector<std::string> words = {"views", "Glintmere", "--scroll", "bottom"};
    auto quiet = settings(words);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("Ambiguous layout"), std::string::npos) << quiet.err;
    std::vector<std::string> argv = {kSettings};
    argv.insert(argv.end(), words.begin(), words.end());
    auto asked = runProcess(argv, "", {{"GLINTMERE_LAYOUT_AMBIGUITY", "1"}});
    ASSERT_EQ(asked.status, 0) << asked.err;
    EXPECT_NE(asked.err.find("Ambiguous layout: UIImageView:"), std::string::npos) << asked.err;
    // The header's random line may differ between two runs; nothing else does.
    EXPECT_EQ(lines(asked.out).size(), lines(quiet.out).size())
        << "asking changes what is said, not the screen";
}

TEST(SettingsScreen, TheMailComposerATapPresentsCoversThePane) {
    auto taken =
        runProcess({kSettings, "script"}, "tap \"Contact Support\"\nscreenshot /tmp/screen/mail.png\n");
    ASSERT_EQ(taken.status, 0) << taken.err;
    ASSERT_NE(taken.out.find("presented MFMailComposeViewController\n"), std::string::npos) << taken.out;
    const auto picture = testing_support::readPng("/tmp/screen/mail.png");
    ASSERT_TRUE(picture.has_value());
    // The composer's light bar with Send in the system's blue at its right, and white below its
    // fields where the pane's gray table would otherwise show.
    EXPECT_GT(shareNear(*picture, 0, 0, 320, 64, 0xf7f7f7, kTolerance), 0.8);
    EXPECT_GT(shareNear(*picture, 250, 20, 70, 44, 0x007aff, kTolerance), 0.02) << "Send";
    EXPECT_GT(shareNear(*picture, 0, 400, 320, 160, 0xffffff, kTolerance), 0.98);
}

TEST(SettingsScreen, TheShareSheetIsACardWithTheServiceTheTextCancelAndPostOverTheDimmedPane) {
    if (testing_support::systemMajorVersion() >= 11) {
        GTEST_SKIP() << "from iOS 11 the system has no Twitter to share with";
    }
    auto shown = runProcess({kSettings, "script"}, "tap-bar right\nscreenshot /tmp/screen/share.png\nviews\n"
                                                   "compose cancel\nscreenshot /tmp/screen/shared.png\n");
    ASSERT_EQ(shown.status, 0) << shown.err;
    ASSERT_NE(shown.out.find("presented SLComposeViewController\n"), std::string::npos) << shown.out;
    // The card and what it holds, from the dump: the sheet covers the screen, the card is its one view.
    std::vector<double> card;
    std::vector<std::pair<std::string, std::vector<double>>> texts;
    bool inSheet = false;
    for (const std::string& line : lines(shown.out)) {
        if (line.starts_with("  <SLComposeSheetView: frame = (0 0; 320 568)")) {
            inSheet = true;
        } else if (inSheet && line.starts_with("    <UIView: ")) {
            card = testing_support::frameOf(line);
        } else if (inSheet && line.starts_with("      <UILabel: ")) {
            texts.emplace_back(testing_support::textOf(line), testing_support::frameOf(line));
        } else if (inSheet && line.starts_with("  <")) {
            inSheet = false;
        }
    }
    ASSERT_EQ(card.size(), 4u) << shown.out;
    ASSERT_EQ(texts.size(), 4u) << shown.out;
    EXPECT_EQ(texts[0].first, "Cancel");
    EXPECT_EQ(texts[1].first, "Post");
    EXPECT_EQ(texts[2].first, "Twitter");
    EXPECT_EQ(texts[3].first, "#Glintmere makes settings a wallpaper easy from Safari, thanks @Brightmoth");
    EXPECT_LT(texts[0].second[0], texts[2].second[0]) << "Cancel, then the service";
    EXPECT_LT(texts[2].second[0], texts[1].second[0]) << "then Post";
    EXPECT_GT(texts[3].second[1], texts[2].second[1] + texts[2].second[3]) << "the text under them";

    const auto picture = testing_support::readPng("/tmp/screen/share.png");
    ASSERT_TRUE(picture.has_value());
    auto region = [&](const std::vector<double>& f, std::uint32_t color, int tolerance) {
        return shareNear(*picture, card[0] + f[0], card[1] + f[1], f[2], f[3], color, tolerance);
    };
    EXPECT_GT(region(texts[0].second, 0x007aff, kTolerance), 0.05) << "Cancel in the system's blue";
    EXPECT_GT(region(texts[1].second, 0x007aff, kTolerance), 0.05) << "Post too";
    EXPECT_GT(region(texts[2].second, 0x000000, 40), 0.05) << "the service's name in black";
    EXPECT_GT(region(texts[3].second, 0x000000, 40), 0.03) << "the text";
    EXPECT_GT(region({0, 0, card[2], 40}, 0xf7f7f7, 40), 0.75) << "the card's light bar";
    EXPECT_GT(region({4, card[3] - 30, card[2] - 8, 26}, 0xffffff, kTolerance), 0.98) << "the card's white";
    // Below the card the pane shows dimmed: nothing there is near white.
    const double below = card[1] + card[3] + 10;
    EXPECT_EQ(shareNear(*picture, 0, below, 320, 568 - below, 0xffffff, 80), 0);
    EXPECT_GT(shareNear(*picture, 0, below, 320, 568 - below, 0x999999, 12), 0.2) << "the rows, dimmed";

    // Cancelled, the card is gone and the pane has its bar again.
    const auto after = testing_support::readPng("/tmp/screen/shared.png");
    ASSERT_TRUE(after.has_value());
    EXPECT_GT(shareNear(*after, 0, 0, 320, 64, 0x243747, kTolerance), 0.8);
    EXPECT_EQ(shareNear(*after, card[0], card[1], card[2], card[3], 0xf7f7f7, 2), 0);
}

// The sheet comes in over the pane, which stays on screen under it: the pane keeps its look (its
// slate bar, light status bar), dimmed, as it had before the button was tapped.
TEST(SettingsScreen, BehindTheShareSheetThePaneKeepsItsDarkBarDimmed) {
    if (testing_support::systemMajorVersion() >= 11) {
        GTEST_SKIP() << "from iOS 11 the system has no Twitter to share with";
    }
    auto shown = runProcess({kSettings, "script"}, "open Glintmere\ntap-bar right\n"
                                                   "screenshot /tmp/screen/share-behind.png\nviews\n");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("\nstatusBarStyle = 1\n"), std::string::npos)
        << "the pane's light status bar stays: " << shown.out;
    const auto picture = testing_support::readPng("/tmp/screen/share-behind.png");
    ASSERT_TRUE(picture.has_value());
    // Between the top of the screen and the card, the pane's slate bar under the sheet's dimming
    // (0x243747 at 60%), not the system's light bar (0xf7f7f7 at 60%), which only the bar's light
    // buttons and logo come near.
    EXPECT_GT(shareNear(*picture, 0, 0, 320, 48, 0x16212b, kTolerance), 0.75);
    EXPECT_LT(shareNear(*picture, 0, 0, 320, 48, 0x949494, 12), 0.2);
    EXPECT_GT(shareNear(*picture, 140, 4, 40, 12, 0xffffff, kTolerance), 0.05) << "the time, light";
}

TEST(SettingsScreen, TheMakersPaneShowsEachPortraitShadowedWithThePersonsLinesBesideIt) {
    auto taken = settings({"screenshot", "/tmp/screen/makers.png", "Glintmere/Makers"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    const auto picture = testing_support::readPng("/tmp/screen/makers.png");
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->width, 640);
    // The rows are 100 points tall below the bar (64) and the titled group's header (55); each
    // portrait sits 10 points in and 15 down, 70 points big, on its own coloured ground.
    EXPECT_GT(shareNear(*picture, 14, 119 + 36, 6, 30, 0xf6c453, kTolerance), 0.9) << "the first portrait";
    EXPECT_GT(shareNear(*picture, 15, 219 + 36, 5, 25, 0x78b8a0, kTolerance), 0.9) << "the second portrait";
    // Its shadow falls just below it, outside the picture.
    EXPECT_LT(shareNear(*picture, 40, 119 + 85, 10, 1.5, 0xffffff, kTolerance), 0.2) << "the shadow";
    // Nothing between the picture and the lines, which start 110 points in: the name in dark gray.
    EXPECT_GT(shareNear(*picture, 84, 125, 24, 90, 0xffffff, kTolerance), 0.99);
    EXPECT_GT(shareNear(*picture, 110, 141, 97, 24, 0x555555, kTolerance), 0.03) << "the name";
}

TEST(SettingsScreen, AScriptOpensAPaneLooksAndGoesBack) {
    testing_support::Child app({kSettings, "script"});
    const auto tree = testing_support::ask(app, "open Glintmere\nviews --at 0\n");
    ASSERT_FALSE(tree.empty());
    EXPECT_EQ(tree[0], "statusBarStyle = 1") << "the pane asks for light content";
    const auto next = testing_support::ask(app, "back\nback\necho after\n");
    EXPECT_EQ(next, std::vector<std::string>{"after"});
    EXPECT_NE(app.err().find("back: no pane is open"), std::string::npos) << app.err();
    // With no pane left open, the top list shows; tapping the bar's right button takes the first
    // package's pane, as a person taps its row first, and its share button answers.
    const auto shared =
        testing_support::systemMajorVersion() < 11
            ? std::vector<
                  std::string>{"presented SLComposeViewController",
                               "  text #Glintmere makes settings a wallpaper easy from Safari, thanks "
                               "@Brightmoth"}
            : std::vector<std::string>{};
    EXPECT_EQ(testing_support::ask(app, "tap-bar right\n"), shared);
    app.closeInput();
    EXPECT_EQ(app.wait(), 1) << "a failed command fails the script";
}

TEST(SettingsScreen, WrongWordsAreRefusedAndWriteNothing) {
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"views", "--at"},
                                               {"views", "--at", "soon"},
                                               {"views", "--at", "-1"},
                                               {"views", "Glintmere", "Extra"},
                                               {"screenshot"},
                                               {"screenshot", "--at", "1"},
                                               {"views", "Nowhere"},
                                               {"screenshot", "/tmp/screen/none.png", "Nowhere"},
                                               {"tap-bar", "left"}}) {
        auto refused = settings(words);
        EXPECT_NE(refused.status, 0) << words.back();
        EXPECT_EQ(refused.out, "") << words.back();
        EXPECT_FALSE(refused.err.empty());
    }
    EXPECT_FALSE(fs::exists("/tmp/screen/none.png"));
}

TEST(BrowserScreen, AScreenshotShowsThePageWithTheImageAndTheSheet) {
    const testing_support::Picture image = testing_support::makePicture(40, 30);
    ASSERT_TRUE(testing_support::writePng(image, "/tmp/screen/page-image.png"));
    auto taken = runProcess({kBrowser, "screenshot", "/tmp/screen/sheet.png", "/tmp/screen/page-image.png"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    const auto picture = testing_support::readPng("/tmp/screen/sheet.png");
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 640);
    EXPECT_EQ(picture->height, 1136);
    // The sheet's white buttons rise from the bottom over the dimmed page.
    EXPECT_GT(shareNear(*picture, 20, 500, 280, 20, 0xffffff, kTolerance), 0.6);
}

} // namespace
