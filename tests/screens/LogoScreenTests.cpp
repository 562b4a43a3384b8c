// The root pane's logos on a pad's screen (an iPad4,1 on 8.4, 768 by 1024 points at scale 2), where
// the fourth section's footer shows: the whole footer logo, as the bundle's file for that scale has
// it, and both logos as sharp as that file is.
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::frameOf;
using testing_support::near;
using testing_support::Picture;
using testing_support::runProcess;

const std::string kTool = GLINTMERE_DEVICE_TOOL;
constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr double kTableTop = 64;

class PadScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pad-screen-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        auto made = runProcess({kTool, "create", root_, "--model", "iPad4,1", "--ios", "8.4"});
        ASSERT_EQ(made.status, 0) << made.err;
        auto installed = runProcess({kTool, "install", root_});
        ASSERT_EQ(installed.status, 0) << installed.err;
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path bundle() const { return root_ / "Library/PreferenceBundles/Glintmere.bundle"; }

    fs::path root_;
};

TEST_F(PadScreen, TheFooterLogoShowsWholeBelowTheFourthSectionCentredOnTheScreen) {
    auto shown = runProcess({kTool, "run", root_, "--", kSettings, "views"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    // The logo cell in the table, and the picture view inside it.
    std::vector<double> cell;
    std::vector<double> logo;
    std::istringstream tree(shown.out);
    for (std::string line; std::getline(tree, line);) {
        if (line.find("<BMGlintmereLogoTableCell: ") != std::string::npos) {
            EXPECT_TRUE(cell.empty()) << "one logo";
            cell = frameOf(line);
        } else if (!cell.empty() && logo.empty() && line.find("<UIImageView: ") != std::string::npos) {
            logo = frameOf(line);
        }
    }
    ASSERT_EQ(cell.size(), 4u) << shown.out;
    ASSERT_EQ(logo.size(), 4u) << shown.out;
    EXPECT_EQ(cell[2], 768);
    EXPECT_EQ(logo[2], 80);
    EXPECT_EQ(logo[3], 80);
    EXPECT_EQ(logo[0] + logo[2] / 2, 384) << "centred";
    EXPECT_GE(logo[1], 0);
    EXPECT_LE(logo[1] + logo[3], cell[3]) << "within its footer";
    const double x = logo[0];
    const double y = kTableTop + cell[1] + logo[1];
    EXPECT_LE(y + 80, 1024) << "on the screen";

    auto taken = runProcess({kTool, "run", root_, "--", kSettings, "screenshot", "/tmp/pad.png"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    const auto picture = testing_support::readPng((root_ / "tmp/pad.png").string());
    ASSERT_TRUE(picture.has_value());
    ASSERT_EQ(picture->width, 1536);
    const auto file = testing_support::readPng((bundle() / "footerLogo@2x.png").string());
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->width, 160) << "two pixels a point";
    // Every opaque pixel of the file shows where the logo is drawn, one screen pixel each.
    int opaque = 0;
    int matching = 0;
    for (int fy = 0; fy < file->height; ++fy) {
        for (int fx = 0; fx < file->width; ++fx) {
            const std::uint32_t want = file->pixels[static_cast<std::size_t>(fy * file->width + fx)];
            if ((want >> 24) != 0xff) {
                continue;
            }
            ++opaque;
            const int px = static_cast<int>(x * 2) + fx;
            const int py = static_cast<int>(y * 2) + fy;
            const std::uint32_t got = picture->pixels[static_cast<std::size_t>(py * picture->width + px)];
            matching += near(got, want, 12) ? 1 : 0;
        }
    }
    ASSERT_GT(opaque, 160 * 160 / 2);
    EXPECT_GT(static_cast<double>(matching) / opaque, 0.98) << matching << " of " << opaque;
}

// Where each logo is on the screen, in points, and the file it was read from.
struct ShownLogo {
    double x = 0;
    double y = 0;
    std::string file;
};

// The logo picture whose line names `file` (with or without a scale) in a `views` dump, placed on the
// screen by adding up the origins of the views it is in.
ShownLogo findLogo(const std::string& dump, const std::string& file) {
    std::vector<std::pair<std::size_t, std::vector<double>>> above; // indent and frame, outermost first
    std::istringstream tree(dump);
    for (std::string line; std::getline(tree, line);) {
        const std::size_t indent = line.find('<');
        if (indent == std::string::npos) {
            continue;
        }
        while (!above.empty() && above.back().first >= indent) {
            above.pop_back();
        }
        above.emplace_back(indent, frameOf(line));
        const auto named = line.find("image = '" + file);
        if (named == std::string::npos) {
            continue;
        }
        ShownLogo logo;
        for (const auto& [depth, frame] : above) {
            if (frame.size() == 4) {
                logo.x += frame[0];
                logo.y += frame[1];
            }
        }
        const auto start = named + 9;
        logo.file = line.substr(start, line.find('\'', start) - start);
        return logo;
    }
    return {};
}

// Across an edge of a logo from colour `from` to colour `to`: on each row of points [top, bottom)
// from the logo's left, the most screen pixels of [left, right) that are near neither colour.
int blurAcross(const Picture& screen, const ShownLogo& logo, double left, double right, double top,
               double bottom, std::uint32_t from, std::uint32_t to) {
    int most = 0;
    for (int py = static_cast<int>((logo.y + top) * 2); py < static_cast<int>((logo.y + bottom) * 2); ++py) {
        int between = 0;
        for (int px = static_cast<int>((logo.x + left) * 2); px < static_cast<int>((logo.x + right) * 2);
             ++px) {
            const std::uint32_t got =
                screen.pixels[static_cast<std::size_t>(py * screen.width + px)] & 0xffffff;
            between += near(got, from, 24) || near(got, to, 24) ? 0 : 1;
        }
        most = std::max(most, between);
    }
    return most;
}

TEST_F(PadScreen, OnATwoPixelScreenBothLogosAreDrawnFromTheirFinerFilesWithoutBlur) {
    constexpr std::uint32_t kBar = 0x243747;   // the pane's bar colour, around the title logo
    constexpr std::uint32_t kTint = 0xeeeeee;  // the bar's tint, the title logo's colour
    constexpr std::uint32_t kFrame = 0x243747; // the footer logo's picture frame
    constexpr std::uint32_t kSky = 0x41a9d6;   // and the sky inside it
    // The screen, the logos on it and how soft their edges are: the title logo's frame against the
    // bar showing through its cut-out sky, the footer logo's frame against its sky, on the rows of
    // points where those edges run straight down.
    struct Blur {
        ShownLogo title;
        ShownLogo footer;
        int titleEdge = 0;
        int footerEdge = 0;
    };
    const auto look = [&](const char* name) {
        Blur blur;
        auto shown = runProcess({kTool, "run", root_, "--", kSettings, "views"});
        EXPECT_EQ(shown.status, 0) << shown.err;
        blur.title = findLogo(shown.out, "headerLogo");
        blur.footer = findLogo(shown.out, "footerLogo");
        auto taken =
            runProcess({kTool, "run", root_, "--", kSettings, "screenshot", std::string("/tmp/") + name});
        EXPECT_EQ(taken.status, 0) << taken.err;
        const auto screen = testing_support::readPng((root_ / "tmp" / name).string());
        if (!screen.has_value() || blur.title.file.empty() || blur.footer.file.empty()) {
            ADD_FAILURE() << "no screen, or a logo missing from it:\n" << shown.out;
            return blur;
        }
        blur.titleEdge = blurAcross(*screen, blur.title, 0, 6, 10, 16, kTint, kBar);
        blur.footerEdge = blurAcross(*screen, blur.footer, 2, 14, 20, 45, kFrame, kSky);
        return blur;
    };

    const Blur fine = look("fine.png");
    EXPECT_EQ(fine.title.file, "headerLogo@2x.png");
    EXPECT_EQ(fine.footer.file, "footerLogo@2x.png");
    EXPECT_LE(fine.titleEdge, 1) << "an edge is at most one pixel wide";
    EXPECT_LE(fine.footerEdge, 1);

    // The same screen drawn from the files of one pixel a point blurs there, the pictures being
    // stretched to twice their size: the edges looked at are ones where a sharp picture shows.
    for (const char* logo : {"headerLogo", "footerLogo"}) {
        fs::rename(bundle() / (std::string(logo) + "@2x.png"),
                   root_ / "tmp" / (std::string(logo) + "@2x.png"));
    }
    const Blur coarse = look("coarse.png");
    EXPECT_EQ(coarse.title.file, "headerLogo.png");
    EXPECT_EQ(coarse.footer.file, "footerLogo.png");
    EXPECT_GE(coarse.titleEdge, 2);
    EXPECT_GE(coarse.footerEdge, 2);
}

} // namespace
