// The Settings app's first screen and the one screen every command acts on (an iPhone6,1 on 8.4):
// the top list with the system's rows and a row for each PreferenceLoader entry, panes opened from it
// and left back to it, and commands in a script acting on the pane on screen.
#include "../support/Pictures.hpp"
#include "../support/Plists.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ask;
using testing_support::frameOf;
using testing_support::lines;
using testing_support::runProcess;
using testing_support::shareNear;
using testing_support::textOf;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kLoader = "/Library/PreferenceLoader/Preferences/";
constexpr const char* kBundles = "/Library/PreferenceBundles/";
constexpr double kTableTop = 64;
constexpr int kTolerance = 8;

const std::vector<std::string> kSystemRows = {"Wi-Fi", "Bluetooth", "General", "Display & Brightness",
                                              "Wallpaper"};

testing_support::Outcome script(const std::string& commands) {
    return runProcess({kSettings, "script"}, commands);
}

// What one table row of a `views` dump shows: where its cell is, its title, and its picture's line
// (the chevron at its end aside).
struct Row {
    std::vector<double> frame;
    std::string title;
    std::string picture;
};

// The rows of the table in a `views` dump, top to bottom as they are listed.
std::vector<Row> rowsOf(const std::string& dump) {
    std::vector<Row> rows;
    for (const std::string& line : lines(dump)) {
        if (line.find("<PSTableCell: ") != std::string::npos) {
            rows.push_back({frameOf(line), {}, {}});
        } else if (rows.empty()) {
            continue;
        } else if (line.find("<UINavigationBar: ") != std::string::npos) {
            break;
        } else if (auto text = textOf(line); !text.empty() && rows.back().title.empty()) {
            rows.back().title = text;
        } else if (line.find("<UIImageView: ") != std::string::npos && rows.back().picture.empty() &&
                   line.find("image = 'UITableNext@2x.png'") == std::string::npos) {
            rows.back().picture = line;
        }
    }
    return rows;
}

std::vector<std::string> titlesOf(const std::vector<Row>& rows) {
    std::vector<std::string> titles;
    for (const Row& row : rows) {
        titles.push_back(row.title);
    }
    return titles;
}

std::string barLine(const std::string& dump) {
    for (const std::string& line : lines(dump)) {
        if (line.find("<UINavigationBar: ") != std::string::npos) {
            return line;
        }
    }
    return {};
}

// Entries and bundles a test adds to the device, taken away again when it ends.
class TopList : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const fs::path& path : added_) {
            fs::remove_all(path);
        }
    }
    void addFile(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        ASSERT_TRUE(testing_support::writeFile(path.string(), text));
        added_.push_back(path);
    }
    void addEntry(const std::string& file, const std::string& entry) {
        addFile(std::string(kLoader) + file,
                "<plist><dict><key>entry</key><dict>" + entry + "</dict></dict></plist>");
    }
    void addFolder(const fs::path& path) { added_.push_back(path); }

    std::vector<fs::path> added_;
};

TEST_F(TopList, AScriptStartsOnTheTopListWithTheSystemsRowsThenEachPackageWithItsIcon) {
    const auto shown = script("views\nscreenshot /tmp/top-list/first.png\n");
    ASSERT_EQ(shown.status, 0) << shown.err;
    ASSERT_EQ(lines(shown.out).at(0), "statusBarStyle = 0") << "dark text on the light bar";
    EXPECT_NE(barLine(shown.out).find("tintColor = (0 122 255 255)>"), std::string::npos)
        << "the system's bar";
    EXPECT_NE(shown.out.find("text = 'Settings'; font = HelveticaNeue-Medium 17"), std::string::npos);

    const std::vector<Row> rows = rowsOf(shown.out);
    std::vector<std::string> expected = kSystemRows;
    expected.push_back("Glintmere");
    ASSERT_EQ(titlesOf(rows), expected) << shown.out;
    // Every row has its icon at its left end, the title after it; the package's is its entry's. On
    // this phone's screen of two pixels a point, each is read from its 2x file.
    for (const Row& row : rows) {
        EXPECT_EQ(frameOf(row.picture), (std::vector<double>{15, 7.5, 29, 29})) << row.title;
    }
    EXPECT_NE(rows.back().picture.find("image = 'icon@2x.png'"), std::string::npos) << rows.back().picture;
    EXPECT_NE(rows[0].picture.find("image = 'WiFi@2x.png'"), std::string::npos) << rows[0].picture;

    // The icons as drawn: the Wi-Fi row's blue square, Glintmere's slate frame round a sky.
    const auto picture = testing_support::readPng("/tmp/top-list/first.png");
    ASSERT_TRUE(picture.has_value());
    const double wifiTop = kTableTop + rows[0].frame.at(1) + 7.5;
    EXPECT_GT(shareNear(*picture, 15, wifiTop, 29, 29, 0x007aff, kTolerance), 0.5);
    const double iconTop = kTableTop + rows.back().frame.at(1) + 7.5;
    EXPECT_GT(shareNear(*picture, 15, iconTop, 29, 29, 0x243747, kTolerance), 0.15) << "the frame";
    EXPECT_GT(shareNear(*picture, 15, iconTop, 29, 29, 0x41a9d6, kTolerance), 0.15) << "the sky";
    // The row's white beyond the icon, and the grouped table's grey under the last section.
    EXPECT_GT(shareNear(*picture, 200, iconTop, 60, 29, 0xffffff, kTolerance), 0.95);
    EXPECT_GT(shareNear(*picture, 0, iconTop + 60, 320, 40, 0xefeff4, kTolerance), 0.95);
}

TEST_F(TopList, BackFromThePaneReturnsToTheTopListWithTheStatusBarAndTheBarGivenBack) {
    testing_support::Child app({kSettings, "script"});
    const auto first = ask(app, "views\n");
    ASSERT_FALSE(first.empty()) << app.err();
    std::string before;
    for (const std::string& line : first) {
        before += line + "\n";
    }
    const auto pane = ask(app, "tap Glintmere\nviews --at 0\n");
    ASSERT_FALSE(pane.empty()) << app.err();
    EXPECT_EQ(pane[0], "== Glintmere ==") << "a tap on the package's row opens its pane";
    std::string opened;
    for (const std::string& line : pane) {
        opened += line + "\n";
    }
    EXPECT_NE(opened.find("\nstatusBarStyle = 1\n"), std::string::npos);
    EXPECT_NE(barLine(opened).find("barTintColor = (36 55 71 255)"), std::string::npos) << barLine(opened);

    std::string after;
    for (const std::string& line : ask(app, "back\nviews\n")) {
        after += line + "\n";
    }
    EXPECT_TRUE(after.starts_with("statusBarStyle = 0\n")) << after;
    EXPECT_EQ(barLine(after), barLine(before)) << "the pane gave the bar its colours back";
    EXPECT_EQ(titlesOf(rowsOf(after)), titlesOf(rowsOf(before)));
    EXPECT_NE(after.find("text = '9:41 AM'; font = HelveticaNeue-Medium 12; textColor = (0 0 0 255)"),
              std::string::npos)
        << "dark status bar text again";
    app.closeInput();
    EXPECT_EQ(app.wait(), 0) << app.err();

    // The same from a script piped in whole: it ends on the top list.
    const auto piped = script("open Glintmere\nback\nviews\n");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out.starts_with("statusBarStyle = 0\n")) << piped.out;
    EXPECT_EQ(titlesOf(rowsOf(piped.out)).back(), "Glintmere");
    EXPECT_EQ(piped.out.find("text = 'Enabled'"), std::string::npos) << "no pane's row is left";
}

TEST_F(TopList, CommandsInAScriptActOnThePaneOnScreen) {
    testing_support::Child app({kSettings, "script"});
    const auto makers = ask(app, "open Glintmere/Makers\nlist\n");
    ASSERT_FALSE(makers.empty()) << app.err();
    EXPECT_EQ(makers[0], "== Makers ==");
    EXPECT_NE(std::find(makers.begin(), makers.end(), "  Brightmoth | Wren Halloway | Developer"),
              makers.end());

    EXPECT_TRUE(ask(app, "tap Nope\n").empty());
    EXPECT_NE(app.err().find("tap: no row \"Nope\" in \"Glintmere/Makers\""), std::string::npos) << app.err();
    // A pane that is not there leaves the screen as it was.
    const auto stayed = ask(app, "open Nowhere\nlist\n");
    ASSERT_FALSE(stayed.empty()) << app.err();
    EXPECT_EQ(stayed[0], "== Makers ==");
    EXPECT_NE(app.err().find("open: no pane \"Nowhere\" in Settings (there are: \"Glintmere\")"),
              std::string::npos)
        << app.err();
    EXPECT_TRUE(ask(app, "get isEnabled\n").empty());
    EXPECT_NE(app.err().find("no control with key \"isEnabled\" in \"Glintmere/Makers\""), std::string::npos)
        << app.err();

    // Back one pane, the root pane's switch is the one `set` and `get` reach, and the switch on
    // screen shows what was set.
    EXPECT_EQ(ask(app, "back\nset isEnabled false\nget isEnabled\n"),
              (std::vector<std::string>{"Enabled: off", "false"}));
    const auto shown = ask(app, "views\n");
    EXPECT_NE(
        std::find_if(shown.begin(), shown.end(),
                     [](const std::string& l) { return l.find("text = 'Enabled'") != std::string::npos; }),
        shown.end());
    EXPECT_EQ(ask(app, "set isEnabled true\n"), std::vector<std::string>{"Enabled: on"});

    // Back on the top list, a command that needs a pane takes the first package's, as a person
    // taps the first package row, and the screen then shows it.
    const auto listed = ask(app, "back\nlist\n");
    ASSERT_FALSE(listed.empty()) << app.err();
    EXPECT_EQ(listed[0], "== Glintmere ==");
    const auto now = ask(app, "views --at 0\n");
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(now[0], "statusBarStyle = 1");
    app.closeInput();
    EXPECT_EQ(app.wait(), 1) << "the failed commands fail the script";
}

TEST_F(TopList, AddedEntriesShowWithTheirIconsAndMalformedOnesAreSkippedSayingWhy) {
    addEntry("Zinnia.plist", "<key>bundle</key><string>Zinnia</string><key>label</key><string>Zinnia</string>"
                             "<key>isController</key><true/><key>icon</key><string>icon.png</string>");
    const fs::path zinnia = std::string(kBundles) + "Zinnia.bundle";
    addFolder(zinnia);
    testing_support::Picture red;
    red.width = red.height = 29;
    red.pixels.assign(29 * 29, 0xffe02020);
    fs::create_directories(zinnia);
    ASSERT_TRUE(testing_support::writePng(red, (zinnia / "icon.png").string()));
    addFile(std::string(kLoader) + "Broken.plist", "not a property list");
    addEntry("NoPane.plist",
             "<key>bundle</key><string>NoPane</string><key>label</key><string>No Pane</string>");
    addEntry("Outside.plist",
             "<key>bundle</key><string>../../tmp/Outside</string><key>isController</key><true/>");
    addEntry("OddIcon.plist", "<key>bundle</key><string>OddIcon</string><key>isController</key><true/>"
                              "<key>icon</key><string>/etc/passwd</string>");

    const auto shown = script("views\nscreenshot /tmp/top-list/entries.png\n");
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::vector<Row> rows = rowsOf(shown.out);
    std::vector<std::string> expected = kSystemRows;
    expected.insert(expected.end(), {"Glintmere", "OddIcon", "Zinnia"});
    ASSERT_EQ(titlesOf(rows), expected) << shown.out;
    EXPECT_TRUE(rows[6].picture.empty()) << "an icon outside its bundle is not shown: " << rows[6].picture;
    const std::string loader = kLoader;
    for (const std::string& why :
         {"Settings: skipped " + loader + "Broken.plist: it is not a property list holding a dictionary\n",
          "Settings: skipped " + loader +
              "NoPane.plist: its entry is no pane of its own (isController is not true)\n",
          "Settings: skipped " + loader +
              "Outside.plist: its bundle \"../../tmp/Outside\" is not the name of a bundle in "
              "/Library/PreferenceBundles/\n",
          "Settings: " + loader +
              "OddIcon.plist: its icon is not the name of a file in its bundle; the row shows none\n"}) {
        EXPECT_NE(shown.err.find(why), std::string::npos) << why << shown.err;
    }
    // The added icon, red, in the last row.
    const auto picture = testing_support::readPng("/tmp/top-list/entries.png");
    ASSERT_TRUE(picture.has_value());
    EXPECT_GT(
        shareNear(*picture, 15, kTableTop + rows.back().frame.at(1) + 7.5, 29, 29, 0xe02020, kTolerance),
        0.9);

    // A row whose bundle cannot be loaded says so, and the top list stays; the system's rows open nothing.
    const auto tapped = script("tap Zinnia\ntap Wi-Fi\nviews\n");
    EXPECT_EQ(tapped.status, 1);
    EXPECT_NE(
        tapped.err.find("cannot load the bundle of \"Zinnia\" at /Library/PreferenceBundles/Zinnia.bundle"),
        std::string::npos)
        << tapped.err;
    EXPECT_NE(tapped.err.find("\"Wi-Fi\" in \"Settings\" opens nothing here"), std::string::npos)
        << tapped.err;
    EXPECT_TRUE(tapped.out.starts_with("statusBarStyle = 0\n")) << tapped.out;
    EXPECT_EQ(titlesOf(rowsOf(tapped.out)), expected);
}

TEST_F(TopList, WhereNoPaneIsNamedACommandTakesTheFirstPackagesPane) {
    // A package listed before Glintmere, whose bundle is not there.
    addEntry("Aardvark.plist",
             "<key>bundle</key><string>Aardvark</string><key>label</key><string>Aardvark</string>"
             "<key>isController</key><true/>");
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"list"}, {"get", "isEnabled"}, {"views"}, {"tap-bar", "right"}, {"tap", "Contact Support"}}) {
        std::vector<std::string> argv = {kSettings};
        argv.insert(argv.end(), words.begin(), words.end());
        const auto outcome = runProcess(argv);
        EXPECT_EQ(outcome.status, 1) << words[0];
        EXPECT_EQ(outcome.out, "") << words[0];
        EXPECT_NE(outcome.err.find("cannot load the bundle of \"Aardvark\""), std::string::npos)
            << words[0] << ": " << outcome.err;
    }
    const auto named = runProcess({kSettings, "list", "Glintmere"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_TRUE(named.out.starts_with("== Glintmere ==\n"));
}

} // namespace
