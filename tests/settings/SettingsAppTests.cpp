#include "../support/DeviceKind.hpp"
#include "../support/FileEvents.hpp"
#include "../support/Pictures.hpp"
#include "../support/Plists.hpp"
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::runProcess;

constexpr const char* kBrowser = "/Applications/MobileSafari.app/MobileSafari";
constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
constexpr const char* kImage = "/tmp/settings-image.png";

std::string fileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The root pane's header, as `list` prints it, up to its random line.
constexpr const char* kHeaderLine =
    "  (header view) BMGlintmereCustomHeaderView: Glintmere | Easily Change Your Wallpaper! | ";

// What `list` printed, without the header's line (whose last part is drawn at random).
std::string withoutHeader(const std::string& listed) {
    std::string kept;
    std::istringstream lines(listed);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(kHeaderLine)) {
            kept += line + "\n";
        }
    }
    return kept;
}

testing_support::Outcome settings(const std::vector<std::string>& words) {
    std::vector<std::string> argv = {kSettings};
    argv.insert(argv.end(), words.begin(), words.end());
    return runProcess(argv);
}

// The preferences file, parsed; null when there is none (the caller frees it).
plist_t storedPreferences() {
    const std::string bytes = fileText(kPreferences);
    plist_t root = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    }
    return root;
}

class SettingsApp : public ::testing::Test {
  protected:
    void SetUp() override { fs::remove(kPreferences); }
};

TEST_F(SettingsApp, ListShowsTheRootPaneWithTheSwitchOnBeforeAnyChange) {
    const auto listed = settings({"list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(withoutHeader(listed.out), withoutHeader(settings({"list", "Glintmere"}).out))
        << "the root pane is the default";
    EXPECT_TRUE(listed.out.starts_with("== Glintmere ==\n"));
    EXPECT_NE(listed.out.find("\n  Enabled: on\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\n  (footer) "), std::string::npos);
    EXPECT_NE(listed.out.find("\n  Contact Support (button)\n"), std::string::npos);
    EXPECT_NE(listed.out.find("\n  Makers >\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(kPreferences)) << "looking changes nothing";
    EXPECT_EQ(settings({"get", "isEnabled"}).out, "true\n");
}

TEST_F(SettingsApp, TheMakersPaneListsEachPersonsNameRealNameAndRole) {
    const auto listed = settings({"list", "Glintmere/Makers"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("\n  Brightmoth | Wren Halloway | Developer\n"), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("\n  ZeridOvuvoru | Zerid Ovuvoru | Design and Support\n"), std::string::npos)
        << listed.out;
}

TEST_F(SettingsApp, SwitchingOffWritesTheFileAndKeepsTheOtherKeys) {
    plist_t before = plist_new_dict();
    plist_dict_set_item(before, "isEnabled", plist_new_bool(true));
    plist_dict_set_item(before, "somethingElse", plist_new_string("kept"));
    ASSERT_TRUE(testing_support::writePlist(kPreferences, before, testing_support::PlistFormat::Binary));

    const auto set = settings({"set", "isEnabled", "false"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Enabled: off\n");
    EXPECT_TRUE(fileText(kPreferences).starts_with("<?xml")) << "rewritten as an XML property list";
    plist_t after = storedPreferences();
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(plist_dict_get_size(after), 2u);
    uint8_t enabled = 1;
    plist_get_bool_val(plist_dict_get_item(after, "isEnabled"), &enabled);
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(plist_get_string_ptr(plist_dict_get_item(after, "somethingElse"), nullptr),
              std::string("kept"));
    plist_free(after);
    EXPECT_EQ(settings({"get", "isEnabled"}).out, "false\n");
    EXPECT_NE(settings({"list"}).out.find("\n  Enabled: off\n"), std::string::npos);
}

TEST_F(SettingsApp, WrongPanesKeysValuesAndTitlesFailAndChangeNothing) {
    ASSERT_EQ(settings({"set", "isEnabled", "false"}).status, 0);
    const std::string before = fileText(kPreferences);
    const std::vector<std::vector<std::string>> wrong = {
        {"list", "Nowhere"},           {"list", "Glintmere/Nowhere"},
        {"get", "noSuchKey"},          {"set", "noSuchKey", "true"},
        {"set", "isEnabled", "maybe"}, {"set", "isEnabled", "true", "Nowhere"},
        {"tap", "No Such Row"},        {"get"},
    };
    for (const auto& words : wrong) {
        const auto outcome = settings(words);
        EXPECT_NE(outcome.status, 0) << words[0] << " " << (words.size() > 1 ? words[1] : "");
        EXPECT_FALSE(outcome.err.empty());
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(fileText(kPreferences), before);
}

TEST_F(SettingsApp, ASetThatCouldNotBeStoredFailsClearly) {
    constexpr const char* kBackup = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist.bak";
    fs::create_directory(kPreferences); // a folder where the file belongs
    auto set = settings({"set", "isEnabled", "false"});
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.out, "");
    EXPECT_NE(set.err.find("could not store \"false\" for \"isEnabled\" in \"Glintmere\": it still shows "
                           "\"Enabled: on\""),
              std::string::npos)
        << set.err;
    EXPECT_TRUE(fs::is_directory(kPreferences));
    fs::remove(kPreferences);

    // A damaged file that cannot be kept aside, because a folder holds the backup's name, stays.
    ASSERT_TRUE(testing_support::writeFile(kPreferences, "damaged"));
    fs::create_directories(fs::path(kBackup) / "occupied");
    set = settings({"set", "isEnabled", "false"});
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.out, "");
    EXPECT_NE(set.err.find("could not store"), std::string::npos) << set.err;
    EXPECT_EQ(fileText(kPreferences), "damaged");
    fs::remove_all(kBackup);

    set = settings({"set", "isEnabled", "false"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Enabled: off\n");
}

TEST_F(SettingsApp, SettingsAppsKilledMidStoreLeaveNoTemporaryFiles) {
    const std::string folder = fs::path(kPreferences).parent_path();
    const std::string temporary = "." + fs::path(kPreferences).filename().string() + ".";
    auto temporaries = [&] {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            n += entry.path().filename().string().starts_with(temporary);
        }
        return n;
    };
    std::string flips;
    for (int i = 0; i < 200; ++i) {
        flips += i % 2 == 0 ? "set isEnabled false\n" : "set isEnabled true\n";
    }
    testing_support::FileCreations made(folder);
    int killedMidStore = 0;
    for (int round = 0; round < 30 && killedMidStore < 3; ++round) {
        made.forget();
        testing_support::Child app({kSettings, "script"});
        app.write(flips);
        // Killed as soon as a store has made its temporary file, most often before it is renamed.
        const auto name = made.next(temporary);
        ASSERT_TRUE(name.has_value()) << app.err();
        kill(app.pid(), SIGKILL);
        EXPECT_EQ(app.wait(), 128 + SIGKILL);
        killedMidStore += fs::exists(fs::path(folder) / *name);
        EXPECT_LE(temporaries(), 1) << "each store removes what a killed one left";
    }
    ASSERT_GT(killedMidStore, 0) << "no Settings app was killed in the middle of a store";
    const auto set = settings({"set", "isEnabled", "false"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(temporaries(), 0) << killedMidStore << " stores were killed";
}

// The root pane's specifier file in the installed bundle, put back as it was when the test ends.
class ReplacedSpecifierFile {
  public:
    static constexpr const char* kPath = "/Library/PreferenceBundles/Glintmere.bundle/Glintmere.plist";
    ReplacedSpecifierFile() : original_(fileText(kPath)) {}
    ~ReplacedSpecifierFile() { std::ofstream(kPath, std::ios::binary | std::ios::trunc) << original_; }
    void write(const std::string& text) { std::ofstream(kPath, std::ios::binary | std::ios::trunc) << text; }
    void remove() { fs::remove(kPath); }

  private:
    std::string original_;
};

TEST_F(SettingsApp, APaneWithoutRowsShowsNoneAndItsKeysAreRefusedClearly) {
    ReplacedSpecifierFile file;
    for (const bool missing : {true, false}) {
        missing ? file.remove() : file.write("not a property list");
        const auto listed = settings({"list"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(listed.out, "== Glintmere ==\n");
        for (const std::vector<std::string>& words :
             {std::vector<std::string>{"get", "isEnabled"}, {"set", "isEnabled", "false"}}) {
            const auto outcome = settings(words);
            EXPECT_NE(outcome.status, 0);
            EXPECT_EQ(outcome.out, "");
            EXPECT_NE(outcome.err.find("no control with key \"isEnabled\" in \"Glintmere\" (keys: none)"),
                      std::string::npos)
                << outcome.err;
        }
    }
    EXPECT_FALSE(fs::exists(kPreferences));
}

TEST_F(SettingsApp, ALongPaneIsListedWholeWhileItsScreenShowsAScreenOfRowsAndStaysWhereItWas) {
    // A thousand switches in ten groups, every other one on by default; one stored on against it.
    std::string rows;
    for (int i = 0; i < 1000; ++i) {
        if (i % 100 == 0) {
            rows += "<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>Group " +
                    std::to_string(i / 100) + "</string></dict>";
        }
        rows += "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>Row " +
                std::to_string(i) + "</string><key>key</key><string>k" + std::to_string(i) +
                "</string><key>default</key><" + (i % 2 == 0 ? "true" : "false") + "/></dict>";
    }
    ReplacedSpecifierFile file;
    file.write("<plist><dict><key>items</key><array>" + rows + "</array></dict></plist>");
    ASSERT_TRUE(testing_support::writePlist(kPreferences,
                                            testing_support::dictionaryWith("k7", plist_new_bool(true))));

    const auto listed = settings({"list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::istringstream lines(listed.out);
    int row = 0;
    int groups = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("  Row ")) {
            EXPECT_EQ(line,
                      "  Row " + std::to_string(row) + ": " + (row % 2 == 0 || row == 7 ? "on" : "off"));
            ++row;
        }
        groups += line.starts_with("[Group ");
    }
    EXPECT_EQ(row, 1000);
    EXPECT_EQ(groups, 10);

    // Listed from a screen scrolled down, the screen is the same before and after, a screen of rows.
    testing_support::Child app({kSettings, "script"});
    // The pane's title logo has faded in by the time the screen is looked at: what changes on its
    // own in the first second is not what `list` may change.
    ask(app, "open Glintmere\nscroll down\nscroll down\nwait 1.2\n");
    const auto before = ask(app, "views\n");
    EXPECT_EQ(ask(app, "list\n").size(), static_cast<std::size_t>(std::ranges::count(listed.out, '\n')));
    EXPECT_EQ(ask(app, "views\n"), before);
    const auto cells = std::count_if(before.begin(), before.end(), [](const std::string& l) {
        return l.find("<PSTableCell: ") != std::string::npos;
    });
    EXPECT_GE(cells, 11);
    EXPECT_LE(cells, 13) << "the rows in 504 points";
    EXPECT_EQ(app.wait(), 0) << app.err();
}

TEST_F(SettingsApp, RowTextsThatAreNoTextsAreLeftOut) {
    ReplacedSpecifierFile file;
    file.write("<plist><dict><key>items</key><array>"
               "<dict><key>cell</key><string>PSGroupCell</string><key>label</key><integer>1</integer>"
               "<key>footerText</key><integer>5</integer></dict>"
               "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>ENABLED</string>"
               "<key>key</key><string>isEnabled</string><key>default</key><true/></dict>"
               "</array></dict></plist>");
    const auto listed = settings({"list"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(withoutHeader(listed.out), "== Glintmere ==\n[]\n  Enabled: on\n");
}

TEST_F(SettingsApp, ASwitchValueOfAnyOtherKindShowsTheDefaultOrOff) {
    // The stored value is an array, a dictionary, a date or data: none of them is on or off.
    const auto odd = [] {
        return std::vector<plist_t>{plist_new_array(), plist_new_dict(), plist_new_date(0, 0),
                                    plist_new_data("\x01", 1)};
    };
    for (plist_t value : odd()) {
        ASSERT_TRUE(
            testing_support::writePlist(kPreferences, testing_support::dictionaryWith("isEnabled", value)));
        const auto listed = settings({"list"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_NE(listed.out.find("\n  Enabled: on\n"), std::string::npos)
            << "the row's default" << listed.out;
    }
    // A row whose default is no switch value either shows off.
    ReplacedSpecifierFile file;
    file.write("<plist><dict><key>items</key><array>"
               "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>ENABLED</string>"
               "<key>key</key><string>isEnabled</string><key>default</key><array/></dict>"
               "</array></dict></plist>");
    for (plist_t value : odd()) {
        ASSERT_TRUE(
            testing_support::writePlist(kPreferences, testing_support::dictionaryWith("isEnabled", value)));
        const auto listed = settings({"list"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(withoutHeader(listed.out), "== Glintmere ==\n[]\n  Enabled: off\n");
    }
}

// Root panes whose rows name methods of the pane that take other arguments than the host passes,
// or give back no object, beside rows whose methods fit: button rows' actions, and controls'
// getters and setters.
constexpr const char* kEnabledRow =
    "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>ENABLED</string>"
    "<key>key</key><string>isEnabled</string><key>default</key><true/>"
    "<key>get</key><string>readPreferenceValue:</string></dict>";

std::string rootPaneWith(const std::string& rows) {
    return "<plist><dict><key>items</key><array>" + std::string(kEnabledRow) + rows +
           "</array></dict></plist>";
}

std::string buttonRow(const std::string& label, const std::string& action) {
    return "<dict><key>cell</key><string>PSButtonCell</string><key>label</key><string>" + label +
           "</string><key>action</key><string>" + action + "</string></dict>";
}

// A switch whose `get` or `set` (`which`) names `selector`.
std::string switchRow(const std::string& label, const std::string& key, const char* which,
                      const std::string& selector) {
    return "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>" + label +
           "</string><key>key</key><string>" + key + "</string><key>" + which + "</key><string>" + selector +
           "</string></dict>";
}

const std::string kMisnamedActions =
    rootPaneWith(buttonRow("Store", "setPreferenceValue:specifier:") +
                 buttonRow("Present", "presentViewController:animated:completion:") +
                 buttonRow("Replace View", "setView:") + buttonRow("Retitle", "setTitle:") +
                 buttonRow("Share", "tweetSupport:") + buttonRow("CONTACT_SUPPORT", "emailBM"));

const std::string kMisnamedValueMethods =
    rootPaneWith(switchRow("Mail Getter", "mailGetter", "get", "emailBM") +
                 switchRow("Title Getter", "titleGetter", "get", "setTitle:") +
                 switchRow("Mail Setter", "mailSetter", "set", "emailBM") +
                 switchRow("Title Setter", "titleSetter", "set", "setTitle:"));

constexpr const char* kActionRule = "an action returns void and takes nothing or the row's PSSpecifier";
constexpr const char* kGetterRule = "a getter returns an object and takes the row's PSSpecifier";
constexpr const char* kSetterRule =
    "a setter returns void and takes the new value, of class __NSCFBoolean, and the row's PSSpecifier";

// True when the run ended by itself, not killed by a signal or stopped by a sanitizer.
bool endedCleanly(const testing_support::Outcome& outcome) {
    return outcome.status < 128 && outcome.err.find("Sanitizer") == std::string::npos &&
           outcome.err.find("unrecognized selector") == std::string::npos;
}

TEST_F(SettingsApp, ListingRowsWhoseGetterGivesNoObjectShowsThemWithoutSendingIt) {
    ReplacedSpecifierFile file;
    file.write(kMisnamedValueMethods);
    const auto listed = settings({"list"});
    ASSERT_TRUE(endedCleanly(listed)) << listed.err;
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.starts_with("== Glintmere ==\n")) << "the title is the pane's own";
    EXPECT_NE(listed.out.find("\n  Enabled: on\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\n  Mail Getter: off\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\n  Title Getter: off\n"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("presented"), std::string::npos) << "the getter emailBM was not sent";
    EXPECT_NE(
        listed.err.find("PSListController: row \"Mail Getter\": its getter emailBM is - (void)emailBM in "
                        "GlintmereListController, but " +
                        std::string(kGetterRule) + ", so it is not sent\n"),
        std::string::npos)
        << listed.err;
    EXPECT_NE(listed.err.find("PSListController: row \"Title Getter\": its getter setTitle: is - "
                              "(void)setTitle:(NSString *) in GlintmereListController, but " +
                              std::string(kGetterRule)),
              std::string::npos)
        << listed.err;
    EXPECT_EQ(listed.err.find("\"Enabled\""), std::string::npos) << "a fitting getter is sent without a word";
    EXPECT_FALSE(fs::exists(kPreferences));
}

TEST_F(SettingsApp, TappingARowWhoseActionTakesOtherArgumentsIsRefusedNamingTheRow) {
    ReplacedSpecifierFile file;
    file.write(kMisnamedActions);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"Store", "its action setPreferenceValue:specifier: is - (void)setPreferenceValue:(id) "
                  "specifier:(PSSpecifier *)"},
        {"Present",
         "its action presentViewController:animated:completion: is - "
         "(void)presentViewController:(UIViewController *) animated:(BOOL) completion:(NSBlock *)"},
        {"Replace View", "its action setView: is - (void)setView:(UIView *)"},
        {"Retitle", "its action setTitle: is - (void)setTitle:(NSString *)"},
    };
    for (const auto& [title, method] : refused) {
        const auto tapped = settings({"tap", title});
        ASSERT_TRUE(endedCleanly(tapped)) << title << ": " << tapped.err;
        EXPECT_EQ(tapped.status, 1) << title;
        EXPECT_EQ(tapped.out, "") << title;
        EXPECT_EQ(tapped.err, "Preferences: tap: \"" + title + "\" in \"Glintmere\" does nothing: " + method +
                                  " in GlintmereListController, but " + kActionRule + "\n");
    }
    // In one app, a refused tap leaves the pane as it was for what comes after: its view is still
    // its table when the screen is drawn, and its title its own.
    const auto script = runProcess({kSettings, "script"}, "tap \"Replace View\"\ntap Retitle\nviews\nlist\n");
    ASSERT_TRUE(endedCleanly(script)) << script.err;
    EXPECT_NE(
        script.out.find("\n    <UINavigationTransitionView: frame = (0 64; 320 504)>\n      <UITableView: "),
        std::string::npos)
        << script.out;
    EXPECT_NE(script.out.find("\n== Glintmere ==\n"), std::string::npos) << script.out;
    EXPECT_NE(script.out.find("\n  Replace View (button)\n"), std::string::npos) << script.out;
    EXPECT_FALSE(fs::exists(kPreferences)) << "nothing was stored";
}

TEST_F(SettingsApp, GettingOrSettingThroughAMethodThatDoesNotFitIsRefusedAndStoresNothing) {
    ReplacedSpecifierFile file;
    file.write(kMisnamedValueMethods);
    for (const char* key : {"mailGetter", "titleGetter"}) {
        const auto got = settings({"get", key});
        ASSERT_TRUE(endedCleanly(got)) << key << ": " << got.err;
        EXPECT_EQ(got.status, 1) << key;
        EXPECT_EQ(got.out, "") << key;
        EXPECT_NE(
            got.err.find("Preferences: get: \"" + std::string(key) + "\" in \"Glintmere\" cannot be read: "),
            std::string::npos)
            << got.err;
        EXPECT_NE(got.err.find(kGetterRule), std::string::npos) << got.err;
    }
    const std::vector<std::pair<std::string, std::string>> setters = {
        {"mailSetter", "its setter emailBM is - (void)emailBM"},
        {"titleSetter", "its setter setTitle: is - (void)setTitle:(NSString *)"},
    };
    for (const auto& [key, method] : setters) {
        const auto set = settings({"set", key, "true"});
        ASSERT_TRUE(endedCleanly(set)) << key << ": " << set.err;
        EXPECT_EQ(set.status, 1) << key;
        EXPECT_EQ(set.out, "") << key << ": the setter emailBM opens no mail";
        EXPECT_NE(set.err.find("Preferences: set: \"" + key + "\" in \"Glintmere\" cannot be changed: " +
                               method + " in GlintmereListController, but " + kSetterRule + "\n"),
                  std::string::npos)
            << set.err;
    }
    EXPECT_FALSE(fs::exists(kPreferences));
}

TEST_F(SettingsApp, ActionsGettersAndSettersThatFitAreSentAsBefore) {
    ReplacedSpecifierFile file;
    file.write(kMisnamedActions);
    // tweetSupport: takes its sender, emailBM nothing.
    const auto shared = settings({"tap", "Share"});
    EXPECT_EQ(shared.status, 0) << shared.err;
    // From iOS 11 the system has no Twitter to share with, and the action opens nothing.
    EXPECT_EQ(shared.out.starts_with("presented SLComposeViewController\n"),
              testing_support::systemMajorVersion() < 11)
        << shared.out;
    const auto mailed = settings({"tap", "Contact Support"});
    EXPECT_EQ(mailed.status, 0) << mailed.err;
    EXPECT_TRUE(mailed.out.starts_with("presented MFMailComposeViewController\n")) << mailed.out;
    // The switch's getter is named in the file; its setter is the host's.
    file.write(kMisnamedValueMethods);
    EXPECT_EQ(settings({"get", "isEnabled"}).out, "true\n");
    const auto set = settings({"set", "isEnabled", "false"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Enabled: off\n");
    EXPECT_EQ(set.err.find("Enabled"), std::string::npos) << set.err;
    EXPECT_EQ(settings({"get", "isEnabled"}).out, "false\n");
}

using testing_support::ask;

TEST_F(SettingsApp, ARunningBrowserFollowsEachFlipOfTheSwitch) {
    ASSERT_TRUE(testing_support::writePng(testing_support::makePicture(8, 6, 2), kImage));
    testing_support::Child browser({kBrowser, "script"});
    const auto first = ask(browser, std::string("long-press ") + kImage + "\n");
    ASSERT_EQ(first.size(), 5u) << browser.err();
    EXPECT_EQ(first[3], "Set As Wallpaper");

    ASSERT_EQ(settings({"set", "isEnabled", "false"}).status, 0);
    EXPECT_TRUE(testing_support::sheetComesToHave(browser, kImage, "Copy"));
    ASSERT_EQ(settings({"set", "isEnabled", "true"}).status, 0);
    EXPECT_TRUE(testing_support::sheetComesToHave(browser, kImage, "Set As Wallpaper"));
    EXPECT_EQ(browser.wait(), 0) << browser.err();
}

TEST_F(SettingsApp, AScriptedSettingsAppServesManyCommands) {
    testing_support::Child app({kSettings, "script"});
    EXPECT_EQ(ask(app, "set isEnabled false\nget isEnabled\nset isEnabled on\nget isEnabled\n"),
              (std::vector<std::string>{"Enabled: off", "false", "Enabled: on", "true"}));
    EXPECT_EQ(app.wait(), 0) << app.err();
}

TEST_F(SettingsApp, TheRootPaneHeadsItsFirstSectionWithANewRandomLineEachTimeItIsShown) {
    const std::set<std::string> randomLines = {
        "Thank you for the support.",
        "Enjoy!",
        "Some Other Random Text",
        "You Can Include However Many You Want",
        "Follow me on Twitter.",
        "Something should go here right?",
        "Hey",
        "Marmalade!",
        "Shake it off!",
    };
    // The pane lists the same rows every time; the header, asked for anew, draws its line again.
    testing_support::Child app({kSettings, "script"});
    std::set<std::string> drawn;
    for (int i = 0; i < 20; ++i) {
        const auto lines = ask(app, "list\n");
        ASSERT_GE(lines.size(), 3u) << app.err();
        EXPECT_EQ(lines[1], "[]");
        ASSERT_TRUE(lines[2].starts_with(kHeaderLine)) << lines[2];
        const std::string line = lines[2].substr(std::string(kHeaderLine).size());
        EXPECT_TRUE(randomLines.contains(line)) << line;
        drawn.insert(line);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.starts_with("  (header view)"); }),
                  1)
            << "only the first section has it";
    }
    EXPECT_GT(drawn.size(), 1u) << "twenty headers drew the same line";
    EXPECT_EQ(app.wait(), 0) << app.err();
}

TEST_F(SettingsApp, TheRootPaneShowsItsRowsWithoutItsLogoFiles) {
    const std::string bundle = "/Library/PreferenceBundles/Glintmere.bundle/";
    const std::string with = withoutHeader(settings({"list"}).out);
    for (const char* logo : {"headerLogo.png", "headerLogo@2x.png", "footerLogo.png", "footerLogo@2x.png"}) {
        fs::rename(bundle + logo, bundle + logo + ".away");
    }
    const auto listed = settings({"list"});
    for (const char* logo : {"headerLogo.png", "headerLogo@2x.png", "footerLogo.png", "footerLogo@2x.png"}) {
        fs::rename(bundle + logo + ".away", bundle + logo);
    }
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(withoutHeader(listed.out), with);
    EXPECT_NE(listed.out.find("\n  Enabled: on\n"), std::string::npos) << listed.out;
}

} // namespace
