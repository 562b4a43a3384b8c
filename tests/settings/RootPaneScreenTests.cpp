// The root pane as the phone's screen shows it (an iPhone6,1 on 8.4, 320 by 568 points at scale 2):
// the colours of its look, the header's lines, and the title logo before and after it fades in.
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

using testing_support::at;
using testing_support::near;
using testing_support::Picture;
using testing_support::runProcess;
using testing_support::shareNear;

// How far a pixel may stray from the colour it is checked against, in each channel.
constexpr int kTolerance = 8;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";

// Where things are, in points: the bar under the status bar, the table below it, the header
// above its first section, and the switch row under that.
constexpr double kBarTop = 20;
constexpr double kBarHeight = 44;
constexpr double kTableTop = 64;
constexpr double kHeaderHeight = 140;
constexpr double kFirstRowTop = kTableTop + kHeaderHeight;

constexpr std::uint32_t kSlate = 0x243747;     // the bar, (36, 55, 71)
constexpr std::uint32_t kTint = 0xeeeeee;      // the bar's buttons and the title logo, 238/255 grey
constexpr std::uint32_t kSky = 0x41a9d6;       // a switch that is on, (65, 169, 214)
constexpr std::uint32_t kNavy = 0x162433;      // row titles, (22, 36, 51)
constexpr std::uint32_t kTableGrey = 0xefeff4; // the grouped table behind the header

// The box (in points) of the pixels of the rectangle that differ from `background`.
struct Box {
    double left = 1e9;
    double top = 1e9;
    double right = -1;
    double bottom = -1;
    bool empty() const { return right < left; }
};
Box inkBox(const Picture& p, double x, double y, double w, double h, std::uint32_t background) {
    Box box;
    for (int py = static_cast<int>(y * 2); py < static_cast<int>((y + h) * 2); ++py) {
        for (int px = static_cast<int>(x * 2); px < static_cast<int>((x + w) * 2); ++px) {
            if (!near(at(p, px / 2.0, py / 2.0), background, 24)) {
                box.left = std::min(box.left, px / 2.0);
                box.right = std::max(box.right, (px + 1) / 2.0);
                box.top = std::min(box.top, py / 2.0);
                box.bottom = std::max(box.bottom, (py + 1) / 2.0);
            }
        }
    }
    return box;
}

Picture screenshot(const std::string& path, const std::string& at) {
    auto taken = runProcess({kSettings, "screenshot", path, "--at", at});
    EXPECT_EQ(taken.status, 0) << taken.err;
    auto picture = testing_support::readPng(path);
    EXPECT_TRUE(picture.has_value()) << path;
    return picture.value_or(Picture{});
}

TEST(RootPaneScreen, TheTitleLogoIsNotShownAsThePaneAppearsAndShowsInTheBarsTintOnceFadedIn) {
    const Picture appeared = screenshot("/tmp/root-screen/appeared.png", "0");
    const Picture faded = screenshot("/tmp/root-screen/faded.png", "1.5");
    ASSERT_EQ(appeared.width, 640);
    ASSERT_EQ(faded.width, 640);
    // The 30-point logo sits in the middle of the bar.
    const double logoX = 160 - 15;
    const double logoY = kBarTop + (kBarHeight - 30) / 2;
    EXPECT_GT(shareNear(appeared, logoX, logoY, 30, 30, kSlate, kTolerance), 0.99)
        << "only the bar where the logo will be";
    EXPECT_LT(shareNear(faded, logoX, logoY, 30, 30, kSlate, kTolerance), 0.9);
    EXPECT_GT(shareNear(faded, logoX, logoY, 30, 30, kTint, kTolerance), 0.1)
        << "the logo, drawn in the bar's tint";
    // The rest of the bar is the pane's from the start.
    EXPECT_GT(shareNear(appeared, 0, 0, 320, kBarTop + kBarHeight, kSlate, kTolerance), 0.8);
}

TEST(RootPaneScreen, TheLookIsSlateBarSkySwitchNavyTitlesAndTheHeaderCentredAFifthDown) {
    const Picture shown = screenshot("/tmp/root-screen/shown.png", "1.5");
    ASSERT_EQ(shown.width, 640);
    ASSERT_EQ(shown.height, 1136);
    // The bar between the title logo and the share button.
    EXPECT_GT(shareNear(shown, 190, kBarTop, 60, kBarHeight, kSlate, kTolerance), 0.97);
    // The switch of the first row is on, in sky blue.
    EXPECT_GT(shareNear(shown, 254, kFirstRowTop + 6.5, 51, 31, kSky, kTolerance), 0.3);
    // The row's title "Enabled": its darkest pixels are dark navy, not the table's black.
    const double navy = shareNear(shown, 15, kFirstRowTop + 8, 70, 28, kNavy, 12);
    EXPECT_GT(navy, 0.03);
    EXPECT_EQ(shareNear(shown, 15, kFirstRowTop + 8, 70, 28, 0x000000, 12), 0) << "no black title";

    // The header: three grey lines on the table's grey, each centred on the screen, the name's top
    // 28 points below the header's top (its glyphs start a little lower, inside the line).
    // (The bar's edge lies on the table's first row of pixels.)
    const Box name = inkBox(shown, 0, kTableTop + 1, 320, 28 + 44, kTableGrey);
    ASSERT_FALSE(name.empty());
    EXPECT_GE(name.top, kTableTop + 28);
    EXPECT_LE(name.top, kTableTop + 28 + 12);
    EXPECT_NEAR((name.left + name.right) / 2, 160, 3);
    const Box lines =
        inkBox(shown, 0, name.bottom + 2, 320, kTableTop + kHeaderHeight - name.bottom - 2, kTableGrey);
    ASSERT_FALSE(lines.empty()) << "the tagline and the random line";
    EXPECT_GT(
        shareNear(shown, name.left, name.top, name.right - name.left, name.bottom - name.top, 0x808080, 16),
        0.03)
        << "grey text";
    // Each line below the name is centred too: scan them a band of rows at a time.
    for (double y = lines.top; y < lines.bottom; y += 4) {
        const Box band = inkBox(shown, 0, y, 320, 4, kTableGrey);
        if (!band.empty()) {
            EXPECT_NEAR((band.left + band.right) / 2, 160, 12) << y;
        }
    }
}

} // namespace
