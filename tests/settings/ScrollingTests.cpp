// Scrolling the Settings app's lists on a phone (an iPhone6,1 on 8.4, 320 by 568 points at scale 2):
// what comes into view is made as it comes, the root pane's footer logo brought into view at the
// bottom, and the whole pane drawn in one picture.
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::ask;
using testing_support::frameOf;
using testing_support::lines;
using testing_support::runProcess;
using testing_support::shareNear;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr double kTableTop = 64;
constexpr double kTableHeight = 504;
constexpr int kTolerance = 8;
constexpr std::uint32_t kSlate = 0x243747; // the logo's frame
constexpr std::uint32_t kSky = 0x41a9d6;   // the logo's sky

// The two numbers of "KEY = (A B)" in a dump line; empty when it has no such key.
std::vector<double> pairOf(const std::string& line, const std::string& key) {
    const auto start = line.find(key + " = (");
    if (start == std::string::npos) {
        return {};
    }
    std::istringstream in(line.substr(start + key.size() + 4));
    double a = 0;
    double b = 0;
    in >> a >> b;
    return {a, b};
}

// What a `views` dump shows of the root pane's table and its footer logo.
struct PaneShown {
    double offset = -1;
    double contentHeight = -1;
    std::vector<double> logoCell; // frame in the table's content, empty when not in view
    std::vector<double> logo;     // frame in the cell
    std::vector<std::string> headerTexts;
};

PaneShown paneShown(const std::vector<std::string>& dump) {
    PaneShown shown;
    bool inHeader = false;
    for (const std::string& line : dump) {
        if (line.find("<UITableView: ") != std::string::npos) {
            shown.offset = pairOf(line, "contentOffset").at(1);
            shown.contentHeight = pairOf(line, "contentSize").at(1);
        } else if (line.find("<BMGlintmereLogoTableCell: ") != std::string::npos) {
            EXPECT_TRUE(shown.logoCell.empty()) << "one logo";
            shown.logoCell = frameOf(line);
        } else if (line.find("image = 'footerLogo@2x.png'") != std::string::npos) {
            shown.logo = frameOf(line);
        }
        if (line.find("<BMGlintmereCustomHeaderView: ") != std::string::npos) {
            inHeader = true;
        } else if (inHeader && line.find("<UILabel: ") != std::string::npos) {
            const auto start = line.find("text = '") + 8;
            shown.headerTexts.push_back(line.substr(start, line.find("'; font") - start));
        } else if (inHeader && line.find("<UILabel: ") == std::string::npos) {
            inHeader = false;
        }
    }
    return shown;
}

TEST(Scrolling, AtTheBottomThePhoneShowsTheFooterLogoWhollyInsideItsFooter) {
    const auto top = runProcess({kSettings, "views", "Glintmere"});
    ASSERT_EQ(top.status, 0) << top.err;
    const PaneShown above = paneShown(lines(top.out));
    EXPECT_EQ(above.offset, 0);
    EXPECT_GT(above.contentHeight, kTableHeight) << "the pane is taller than the phone's screen";
    EXPECT_TRUE(above.logoCell.empty()) << "below the fold, the footer is not made";

    const auto bottom = runProcess({kSettings, "views", "Glintmere", "--scroll", "bottom"});
    ASSERT_EQ(bottom.status, 0) << bottom.err;
    const PaneShown shown = paneShown(lines(bottom.out));
    EXPECT_EQ(shown.offset, shown.contentHeight - kTableHeight);
    ASSERT_EQ(shown.logoCell.size(), 4u) << bottom.out;
    ASSERT_EQ(shown.logo.size(), 4u) << bottom.out;
    EXPECT_EQ(shown.logoCell[2], 320);
    EXPECT_EQ(shown.logo[2], 80);
    EXPECT_EQ(shown.logo[3], 80);
    EXPECT_EQ(shown.logo[0] + shown.logo[2] / 2, 160) << "centred";
    EXPECT_GE(shown.logo[1], 0) << "within its footer";
    EXPECT_LE(shown.logo[1] + shown.logo[3], shown.logoCell[3]) << "within its footer";
    const double logoTop = kTableTop + shown.logoCell[1] - shown.offset + shown.logo[1];
    EXPECT_GE(logoTop, kTableTop);
    EXPECT_LE(logoTop + 80, 568) << "on the screen";

    // Drawn where the dump puts it: the slate frame round the sky.
    const auto taken =
        runProcess({kSettings, "screenshot", "/tmp/scrolling/bottom.png", "--scroll", "bottom"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    const auto picture = testing_support::readPng("/tmp/scrolling/bottom.png");
    ASSERT_TRUE(picture.has_value());
    EXPECT_GT(shareNear(*picture, shown.logo[0], logoTop, 80, 6, kSlate, kTolerance), 0.5) << "its top edge";
    EXPECT_GT(shareNear(*picture, shown.logo[0] + 12, logoTop + 12, 56, 20, kSky, kTolerance), 0.6);
    EXPECT_GT(shareNear(*picture, 0, logoTop - 10, 100, 8, 0xefeff4, kTolerance), 0.95)
        << "the table's grey above";
}

TEST(Scrolling, AScriptScrollsAScreenfulAtATimeAndAHeaderIsMadeAnewWhenItComesBack) {
    testing_support::Child app({kSettings, "script"});
    const PaneShown first = paneShown(ask(app, "open Glintmere\nviews\n"));
    ASSERT_EQ(first.headerTexts.size(), 3u) << app.err();
    const double bottom = first.contentHeight - kTableHeight;

    const PaneShown down = paneShown(ask(app, "scroll down\nviews\n"));
    EXPECT_EQ(down.offset, std::min(bottom, kTableHeight - 44)) << "a screenful, less about a row";
    EXPECT_TRUE(down.headerTexts.empty()) << "the header has left the screen";
    EXPECT_EQ(paneShown(ask(app, "scroll down\nviews\n")).offset, bottom) << "never past the bottom";
    EXPECT_EQ(paneShown(ask(app, "scroll up\nviews\n")).offset, std::max(0.0, bottom - (kTableHeight - 44)));
    EXPECT_EQ(paneShown(ask(app, "scroll top\nviews\n")).offset, 0);

    // While it stays in view the header keeps its line; each time it comes back, the pane draws one anew.
    std::set<std::string> drawn;
    for (int i = 0; i < 15; ++i) {
        const PaneShown again = paneShown(ask(app, "scroll bottom\nscroll top\nviews\nviews\n"));
        ASSERT_EQ(again.headerTexts.size(), 6u) << "two looks at the header";
        EXPECT_EQ(again.headerTexts[2], again.headerTexts[5]) << "one header between the two looks";
        drawn.insert(again.headerTexts[2]);
    }
    EXPECT_GT(drawn.size(), 1u) << "fifteen headers drew the same line";

    // The top list is shorter than the screen: it does not move.
    EXPECT_EQ(paneShown(ask(app, "back\nscroll bottom\nviews\n")).offset, 0);
    app.closeInput();
    EXPECT_EQ(app.wait(), 0) << app.err();
}

TEST(Scrolling, AFullScreenshotDrawsTheWholePaneTopToBottom) {
    const PaneShown shown = paneShown(lines(runProcess({kSettings, "views", "--scroll", "bottom"}).out));
    ASSERT_EQ(shown.logoCell.size(), 4u);
    const auto taken = runProcess({kSettings, "screenshot", "/tmp/scrolling/full.png", "--full"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    const double height = 568 + shown.contentHeight - kTableHeight;
    EXPECT_EQ(taken.out,
              "/tmp/scrolling/full.png: 640x" + std::to_string(static_cast<int>(height * 2)) + "\n");
    const auto picture = testing_support::readPng("/tmp/scrolling/full.png");
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->height, static_cast<int>(height * 2));
    // The bar at the top, the header's grey under it, the logo where the content puts it.
    EXPECT_GT(shareNear(*picture, 0, 0, 320, 64, kSlate, kTolerance), 0.8);
    EXPECT_GT(shareNear(*picture, 0, kTableTop + 2, 320, 20, 0xefeff4, kTolerance), 0.95);
    const double logoTop = kTableTop + shown.logoCell[1] + shown.logo[1];
    EXPECT_GT(shareNear(*picture, shown.logo[0] + 12, logoTop + 12, 56, 20, kSky, kTolerance), 0.6);
    EXPECT_LE(logoTop + 80, height);

    // The screen itself is as it was: a look after the picture shows the top of the pane.
    const auto after =
        runProcess({kSettings, "script"}, "screenshot /tmp/scrolling/tall.png --full\nviews\n");
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_NE(after.out.find("\n<UIWindow: frame = (0 0; 320 568)>\n"), std::string::npos) << after.out;
}

TEST(Scrolling, ScrollWordsAreCheckedAndOffsetsKeptWithinTheContent) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"views", "--scroll"},
             {"views", "--scroll", "sideways"},
             {"views", "--scroll", "-3"},
             {"views", "--full"},
             {"screenshot", "/tmp/scrolling/none.png", "--full", "--scroll", "top"},
             {"scroll", "left"},
             {"scroll"}}) {
        std::vector<std::string> argv = {kSettings};
        argv.insert(argv.end(), words.begin(), words.end());
        const auto refused = runProcess(argv);
        EXPECT_EQ(refused.status, 2) << words[0] << " " << (words.size() > 1 ? words[1] : "");
        EXPECT_EQ(refused.out, "");
        EXPECT_FALSE(refused.err.empty());
    }
    const PaneShown some = paneShown(lines(runProcess({kSettings, "views", "--scroll", "50"}).out));
    EXPECT_EQ(some.offset, 50);
    const PaneShown most = paneShown(lines(runProcess({kSettings, "views", "--scroll", "100000"}).out));
    EXPECT_EQ(most.offset, most.contentHeight - kTableHeight) << "no further than the bottom";
}

} // namespace
