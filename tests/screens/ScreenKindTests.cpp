// The Settings app's screen on each model, and the bar on screen on each side of the system
// versions whose Settings nests panes: real devices made by the device tool, real processes in them.
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::frameOf;
using testing_support::lines;
using testing_support::runProcess;

const std::string kTool = GLINTMERE_DEVICE_TOOL;
constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";

struct Kind {
    std::string model;
    std::string version;
    int pointWidth;
    int pixelWidth;
    int pixelHeight;
    bool nested; // Settings holds the pane's navigation controller in an outer one
};

// One device of every model, and the versions on both sides of the nesting window.
const std::vector<Kind> kKinds = {
    {"iPhone1,1", "7.1", 320, 320, 480, false},
    {"iPhone6,1", "8.0", 320, 640, 1136, true},
    {"iPad4,1", "8.1.2", 768, 1536, 2048, true},
    {"iPhone6,1", "8.2", 320, 640, 1136, false},
};

std::size_t indentOf(const std::string& line) { return line.find_first_not_of(' '); }

class ScreenKinds : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "screen-kinds-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
    }
    void TearDown() override { fs::remove_all(scratch_); }

    fs::path device(const Kind& kind) {
        const fs::path root = scratch_ / (kind.model + "-" + kind.version);
        auto made = runProcess({kTool, "create", root, "--model", kind.model, "--ios", kind.version});
        EXPECT_EQ(made.status, 0) << made.err;
        auto installed = runProcess({kTool, "install", root});
        EXPECT_EQ(installed.status, 0) << installed.err;
        return root;
    }

    fs::path scratch_;
};

TEST_F(ScreenKinds, EveryModelShowsTheRootPaneWithTheBarOfItsSystemsSettings) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.model + " " + kind.version);
        const fs::path root = device(kind);
        auto shown = runProcess({kTool, "run", root, "--", kSettings, "views"});
        ASSERT_EQ(shown.status, 0) << shown.err;
        const auto tree = lines(shown.out);
        ASSERT_GT(tree.size(), 3u) << shown.out;
        EXPECT_EQ(tree[0], "statusBarStyle = 1") << "the pane asks for light content";
        EXPECT_TRUE(tree[1].starts_with("<UIWindow: frame = (0 0; " + std::to_string(kind.pointWidth) + " "))
            << tree[1];

        // The bars: the visible one under the status bar, the inner one (where panes are nested)
        // hidden inside the outer controller's view.
        std::vector<std::string> bars;
        for (const std::string& line : tree) {
            if (line.find("<UINavigationBar: ") != std::string::npos) {
                bars.push_back(line);
            }
        }
        ASSERT_EQ(bars.size(), kind.nested ? 2u : 1u) << shown.out;
        const std::string& outer = bars.back();
        EXPECT_EQ(outer.find("hidden = YES"), std::string::npos) << outer;
        EXPECT_EQ(frameOf(outer).at(1), 20) << outer;
        EXPECT_EQ(frameOf(outer).at(3), 44) << outer;
        if (kind.nested) {
            EXPECT_NE(bars.front().find("hidden = YES"), std::string::npos) << bars.front();
            EXPECT_GT(indentOf(bars.front()), indentOf(outer)) << "the hidden bar is the inner one's";
        }
        EXPECT_NE(shown.out.find("text = 'Glintmere'"), std::string::npos) << "the pane's title is shown";
        EXPECT_NE(shown.out.find("<UISwitch: "), std::string::npos);
        // The title logo is the bundle's file drawn for the screen: the 2x one where the screen has
        // two pixels a point.
        const bool fine = kind.pixelWidth == 2 * kind.pointWidth;
        EXPECT_NE(shown.out.find(fine ? "image = 'headerLogo@2x.png'" : "image = 'headerLogo.png'"),
                  std::string::npos)
            << shown.out;

        const std::string picture = "/tmp/root.png";
        auto taken = runProcess({kTool, "run", root, "--", kSettings, "screenshot", picture});
        ASSERT_EQ(taken.status, 0) << taken.err;
        const auto png = testing_support::readPng((root / "tmp/root.png").string());
        ASSERT_TRUE(png.has_value());
        EXPECT_EQ(png->width, kind.pixelWidth);
        EXPECT_EQ(png->height, kind.pixelHeight);
    }
}

TEST_F(ScreenKinds, OnEachSideOfNestingAPaneOpensFromTheTopListAndBackLeavesTheTopListAsItWas) {
    // A phone on 7.1, whose top list joins wallpapers and brightness, and one on 8.0, which nests panes.
    for (const Kind& kind : {kKinds[0], kKinds[1]}) {
        SCOPED_TRACE(kind.model + " " + kind.version);
        const fs::path root = device(kind);
        auto run = runProcess({kTool, "run", root, "--", kSettings, "script"},
                              "views\nopen Glintmere\nviews --at 0\nback\nviews\n");
        ASSERT_EQ(run.status, 0) << run.err;
        // The three looks, each from its status bar style on.
        std::vector<std::string> looks;
        for (const std::string& line : lines(run.out)) {
            if (line.starts_with("statusBarStyle = ")) {
                looks.emplace_back();
            }
            if (!looks.empty()) {
                looks.back() += line + "\n";
            }
        }
        ASSERT_EQ(looks.size(), 3u) << run.out;
        EXPECT_TRUE(looks[0].starts_with("statusBarStyle = 0\n")) << looks[0];
        const char* joined = "text = 'Wallpapers & Brightness'";
        EXPECT_EQ(looks[0].find(joined) != std::string::npos, kind.version == "7.1") << looks[0];
        EXPECT_NE(looks[0].find("text = 'Glintmere'"), std::string::npos);

        EXPECT_TRUE(looks[1].starts_with("statusBarStyle = 1\n")) << looks[1];
        std::vector<std::string> bars;
        for (const std::string& line : lines(looks[1])) {
            if (line.find("<UINavigationBar: ") != std::string::npos) {
                bars.push_back(line);
            }
        }
        ASSERT_EQ(bars.size(), kind.nested ? 2u : 1u) << looks[1];
        EXPECT_NE(bars.back().find("barTintColor = (36 55 71 255)"), std::string::npos) << bars.back();
        EXPECT_NE(looks[1].find("text = 'Settings'"), std::string::npos)
            << "the back button names the top list";

        EXPECT_EQ(looks[2], looks[0]) << "back on the top list, as it was before";
    }
}

TEST_F(ScreenKinds, TheNoMailAlertDimsTheWholeScreenUnderItsBoxOnBothSidesOfAlertControllers) {
    // 7.0 shows a UIAlertView, 8.4 a UIAlertController: one look.
    for (const std::string version : {"7.0", "8.4"}) {
        SCOPED_TRACE(version);
        const fs::path root = scratch_ / version;
        auto made = runProcess({kTool, "create", root, "--ios", version, "--no-mail-account"});
        ASSERT_EQ(made.status, 0) << made.err;
        ASSERT_EQ(runProcess({kTool, "install", root}).status, 0);
        auto run = runProcess({kTool, "run", root, "--", kSettings, "script"},
                              "open Glintmere\ntap \"Contact Support\"\nscreenshot /tmp/alert.png\n"
                              "alert dismiss\nscreenshot /tmp/gone.png\n");
        ASSERT_EQ(run.status, 0) << run.err;
        const auto alert = testing_support::readPng((root / "tmp/alert.png").string());
        const auto gone = testing_support::readPng((root / "tmp/gone.png").string());
        ASSERT_TRUE(alert.has_value() && gone.has_value());
        using testing_support::shareNear;
        // The bar between the title logo and the compose button: dimmed under the alert, its own
        // colour again once the alert goes.
        constexpr std::uint32_t kBar = 0x243747;
        constexpr std::uint32_t kDimmedBar = 0x16212b; // 60% of it
        EXPECT_GT(shareNear(*alert, 200, 24, 60, 36, kDimmedBar, 6), 0.95);
        EXPECT_GT(shareNear(*gone, 200, 24, 60, 36, kBar, 6), 0.95);
        // The box in the middle, light, with its button in the tint colour.
        EXPECT_GT(shareNear(*alert, 40, 340, 60, 30, 0xf7f7f7, 6), 0.95);
        EXPECT_GT(shareNear(*alert, 130, 335, 60, 40, 0x007aff, 40), 0.02);
        EXPECT_LT(shareNear(*gone, 40, 340, 60, 30, 0xf7f7f7, 6), 0.5);
    }
}

} // namespace
