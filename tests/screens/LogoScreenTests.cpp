// The root pane's footer logo on a pad's screen (an iPad4,1 on 8.4, 768 by 1024 points at scale 2),
// where the fourth section's footer shows: the whole logo, as the bundle's file has it.
#include "../support/Pictures.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
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
    const auto file = testing_support::readPng(
        (root_ / "Library/PreferenceBundles/Glintmere.bundle/footerLogo.png").string());
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->width, 80);
    // Every opaque pixel of the file shows where the logo is drawn, twice as large; scaling blurs
    // the edges between its colours a little.
    int opaque = 0;
    int matching = 0;
    for (int fy = 0; fy < file->height; ++fy) {
        for (int fx = 0; fx < file->width; ++fx) {
            const std::uint32_t want = file->pixels[static_cast<std::size_t>(fy * file->width + fx)];
            if ((want >> 24) != 0xff) {
                continue;
            }
            ++opaque;
            const int px = static_cast<int>((x + fx) * 2) + 1;
            const int py = static_cast<int>((y + fy) * 2) + 1;
            const std::uint32_t got = picture->pixels[static_cast<std::size_t>(py * picture->width + px)];
            matching += near(got, want, 40) ? 1 : 0;
        }
    }
    ASSERT_GT(opaque, 80 * 80 / 2);
    EXPECT_GT(static_cast<double>(matching) / opaque, 0.9) << matching << " of " << opaque;
}

} // namespace
