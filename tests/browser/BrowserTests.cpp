#include "CodeSignature.hpp"
#include "CoreFoundation/CoreFoundation.h"

#include "../support/Files.hpp"
#include "../support/Pictures.hpp"
#include "../support/Plists.hpp"
#include "../support/Subprocess.hpp"
#include "../support/ViewDump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::lines;
using testing_support::PlistFormat;
using testing_support::runProcess;

constexpr const char* kBrowser = "/Applications/MobileSafari.app/MobileSafari";
constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
constexpr const char* kLockBackground = "/var/mobile/Library/SpringBoard/LockBackground.png";
constexpr const char* kHomeBackground = "/var/mobile/Library/SpringBoard/HomeBackground.png";
constexpr const char* kImage = "/tmp/page-image.png";

const std::string kSheetWithWallpaper =
    "Open\nOpen in New Tab\nAdd to Reading List\nSet As Wallpaper\nSave Image\n";
const std::string kSheetWithCopy = "Open\nOpen in New Tab\nAdd to Reading List\nCopy\nSave Image\n";

bool writeEnabled(plist_t value, PlistFormat format = PlistFormat::Xml) {
    return testing_support::writePlist(kPreferences, testing_support::dictionaryWith("isEnabled", value),
                                       format);
}

// iOS 14 and later have no wallpaper screen for the library to hand the image to.
bool hasWallpaperScreen() { return kCFCoreFoundationVersionNumber < 1751.108; }

// Each test starts on a device whose settings were never changed, with an image to long-press.
class Browser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!hasWallpaperScreen()) {
            GTEST_SKIP() << "this release has no wallpaper screen: see BrowserWithoutAWallpaperScreen";
        }
        prepare();
    }
    void prepare() {
        fs::remove(kPreferences);
        fs::remove_all("/var/mobile/Library/SpringBoard");
        fs::remove_all("/var/mobile/Media/DCIM");
        ASSERT_TRUE(testing_support::writePng(picture, kImage));
    }
    testing_support::Picture picture = testing_support::makePicture(12, 7, 4);
};

TEST_F(Browser, LongPressOffersSetAsWallpaperInPlaceOfCopy) {
    const auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kSheetWithWallpaper);
    EXPECT_EQ(result.err, "");
}

TEST_F(Browser, EachBrowserStartsWithTheSettingInTheFile) {
    struct Case {
        const char* what;
        std::function<bool()> write;
        const std::string& sheet;
    };
    const Case cases[] = {
        {"XML false", [] { return writeEnabled(plist_new_bool(false)); }, kSheetWithCopy},
        {"binary false", [] { return writeEnabled(plist_new_bool(false), PlistFormat::Binary); },
         kSheetWithCopy},
        {"XML true", [] { return writeEnabled(plist_new_bool(true)); }, kSheetWithWallpaper},
        {"binary true", [] { return writeEnabled(plist_new_bool(true), PlistFormat::Binary); },
         kSheetWithWallpaper},
        {"string NO", [] { return writeEnabled(plist_new_string("NO")); }, kSheetWithCopy},
        {"number 0", [] { return writeEnabled(plist_new_uint(0), PlistFormat::Binary); }, kSheetWithCopy},
        {"no entry",
         [] {
             return testing_support::writePlist(
                 kPreferences, testing_support::dictionaryWith("other", plist_new_bool(false)));
         },
         kSheetWithWallpaper},
        {"an array entry", [] { return writeEnabled(plist_new_array()); }, kSheetWithWallpaper},
        {"a date entry", [] { return writeEnabled(plist_new_date(0, 0), PlistFormat::Binary); },
         kSheetWithWallpaper},
        {"corrupt file", [] { return testing_support::writeFile(kPreferences, "<plist><dict><key>isEn"); },
         kSheetWithWallpaper},
        {"corrupt binary file",
         [] { return testing_support::writeFile(kPreferences, std::string("bplist00\x08\x00\xff", 11)); },
         kSheetWithWallpaper},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.write()) << c.what;
        const auto result = runProcess({kBrowser, "long-press", kImage});
        EXPECT_EQ(result.status, 0) << c.what << ": " << result.err;
        EXPECT_EQ(result.out, c.sheet) << c.what;
    }
}

TEST_F(Browser, TappingSetAsWallpaperSavesTheImageAsBothWallpapers) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = runProcess({kBrowser, "tap", kImage, "Set As Wallpaper"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(testing_support::readPng(kLockBackground), picture);
    EXPECT_EQ(testing_support::readPng(kHomeBackground), picture);
    // The browser waited for the hand-off before it quit.
    EXPECT_GE(took, std::chrono::milliseconds(200));
}

TEST_F(Browser, WithTheSwitchOffCopyOnlyCopies) {
    ASSERT_TRUE(writeEnabled(plist_new_bool(false), PlistFormat::Binary));
    const auto result = runProcess({kBrowser, "tap", kImage, "Copy"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::exists("/var/mobile/Library/SpringBoard"));
}

TEST_F(Browser, TheBrowsersOtherActionsStillWork) {
    auto result = runProcess({kBrowser, "tap", kImage, "Save Image"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(testing_support::readPng("/var/mobile/Media/DCIM/100APPLE/IMG_0001.PNG"), picture);

    result = runProcess({kBrowser, "tap", kImage, "Open in New Tab"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, std::string("Opening file://") + kImage + " in a new tab\n");
    EXPECT_FALSE(fs::exists("/var/mobile/Library/SpringBoard"));
}

TEST_F(Browser, BadRequestsAreRefusedWithTheReason) {
    ASSERT_TRUE(testing_support::writeFile("/tmp/notes.png", "just words"));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"long-press", "/tmp/nowhere.png"}, 1, "no image at /tmp/nowhere.png"},
        {{"long-press", "/tmp/notes.png"}, 1, "/tmp/notes.png is not a PNG image"},
        {{"long-press", "/tmp"}, 1, "/tmp is not a PNG image"},
        {{"tap", "/tmp/nowhere.png", "Copy"}, 1, "no image at"},
        {{"tap", kImage, "Copy"},
         1,
         "the sheet has no action \"Copy\"; it has \"Open\", \"Open in New Tab\""},
        {{"tap", kImage, "Paste"}, 1, "no action \"Paste\""},
        {{"long-press"}, 2, "usage:"},
        {{"tap", kImage}, 2, "usage:"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {kBrowser};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto result = runProcess(argv);
        EXPECT_EQ(result.status, c.status) << c.args[0] << " " << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(fs::exists("/var/mobile/Library/SpringBoard"));
}

// A link at the preferences path (as a person's restore tool or another tweak may leave) names the
// settings for every reader: the browser, the pane's switch and the support mail all read the file it
// names, and the pane's next store puts a file of its own in the link's place.
TEST_F(Browser, ThePaneTheMailAndTheBrowserReadALinkedPreferencesFileAlike) {
    const fs::path linked = "/var/mobile/Documents/restored.plist";
    fs::create_directories(linked.parent_path());
    ASSERT_TRUE(testing_support::writePlist(
        linked, testing_support::dictionaryWith("isEnabled", plist_new_bool(false))));
    const std::string settings = testing_support::readAll(linked);
    fs::create_symlink(linked, kPreferences);

    auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kSheetWithCopy) << "the browser reads the linked file";
    result = runProcess({kSettings, "list"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("\n  Enabled: off\n"), std::string::npos) << result.out;
    result = runProcess({kSettings, "tap", "Contact Support"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("  attachment GlintmerePrefs.plist application/xml " +
                              std::to_string(settings.size()) + "\n"),
              std::string::npos)
        << result.out;

    result = runProcess({kSettings, "set", "isEnabled", "true"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(kPreferences))) << "the link is replaced by a file";
    EXPECT_EQ(testing_support::readAll(linked), settings) << "what the link named is left as it was";
    result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.out, kSheetWithWallpaper);
    fs::remove(linked);
}

constexpr const char* kGlobalPreferences = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";
constexpr const char* kSettingsBundle = "/Library/PreferenceBundles/Glintmere.bundle";

// The texts that `text` quotes: „…“, “…”, «…» or "…".
std::set<std::string> quotedIn(const std::string& text) {
    const std::pair<std::string, std::string> marks[] = {{"„", "“"}, {"“", "”"}, {"«", "»"}, {"\"", "\""}};
    std::set<std::string> quoted;
    for (std::size_t at = 0; at < text.size(); ++at) {
        for (const auto& [open, close] : marks) {
            if (text.compare(at, open.size(), open) != 0) {
                continue;
            }
            const std::size_t start = at + open.size();
            const std::size_t end = text.find(close, start);
            if (end != std::string::npos) {
                quoted.insert(text.substr(start, end - start));
                at = end + close.size() - 1;
            }
            break;
        }
    }
    return quoted;
}

// Every language the settings bundle has a string table for says, under the switch, what the switch
// does to the image sheet on a device set to that language: the feature relabels the browser's
// English "Copy" alone, so a translation that promised its own language's title a new one would
// promise what never happens.
TEST_F(Browser, EachTranslationOfTheSwitchsFooterSaysWhatTheSheetShowsInItsLanguage) {
    struct Language {
        std::string name;
        std::string footer;
        std::vector<std::string> on;  // the sheet with the switch on
        std::vector<std::string> off; // and off
    };
    std::vector<Language> languages;
    for (const auto& entry : fs::directory_iterator(kSettingsBundle)) {
        if (entry.path().extension() != ".lproj" || entry.path().stem() == "Base") {
            continue;
        }
        Language language{entry.path().stem().string(), {}, {}, {}};
        plist_t chosen = plist_new_array();
        plist_array_append_item(chosen, plist_new_string(language.name.c_str()));
        ASSERT_TRUE(testing_support::writePlist(kGlobalPreferences,
                                                testing_support::dictionaryWith("AppleLanguages", chosen)));
        fs::remove(kPreferences);
        auto sheet = runProcess({kBrowser, "long-press", kImage});
        ASSERT_EQ(sheet.status, 0) << sheet.err;
        language.on = lines(sheet.out);
        ASSERT_TRUE(writeEnabled(plist_new_bool(false)));
        sheet = runProcess({kBrowser, "long-press", kImage});
        ASSERT_EQ(sheet.status, 0) << sheet.err;
        language.off = lines(sheet.out);
        ASSERT_EQ(language.on.size(), language.off.size());
        const auto pane = runProcess({kSettings, "list"});
        ASSERT_EQ(pane.status, 0) << pane.err;
        for (const std::string& line : lines(pane.out)) {
            if (line.starts_with("  (footer) ")) {
                language.footer = line.substr(11);
                break;
            }
        }
        languages.push_back(language);
    }
    fs::remove(kGlobalPreferences);
    ASSERT_GE(languages.size(), 2u) << "English and its translations";

    // Every title a sheet shows on some device, and where the switch changes one.
    std::set<std::string> titles;
    std::vector<std::size_t> changed;
    for (const Language& language : languages) {
        for (std::size_t i = 0; i < language.on.size(); ++i) {
            titles.insert(language.on[i]);
            titles.insert(language.off[i]);
            if (language.on[i] != language.off[i] &&
                std::find(changed.begin(), changed.end(), i) == changed.end()) {
                changed.push_back(i);
            }
        }
    }
    ASSERT_FALSE(changed.empty()) << "the switch changes the sheet on some device";

    for (const Language& language : languages) {
        SCOPED_TRACE(language.name + ": " + language.footer);
        const std::set<std::string> quoted = quotedIn(language.footer);
        for (const std::string& text : quoted) {
            EXPECT_TRUE(titles.contains(text)) << "„" << text << "“ is on no sheet of any device";
        }
        for (const Language& other : languages) {
            for (std::size_t i : changed) {
                if (other.on[i] != other.off[i]) {
                    // What the feature does where it does anything: this title becomes that one.
                    EXPECT_TRUE(quoted.contains(other.off[i])) << other.off[i];
                    EXPECT_TRUE(quoted.contains(other.on[i])) << other.on[i];
                }
            }
        }
        // And what a person sees there on a device in this language, changed or not.
        for (std::size_t i : changed) {
            EXPECT_TRUE(quoted.contains(language.on[i])) << language.on[i];
        }
    }
}

using testing_support::ask;

void postSettingsChanged() {
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         CFSTR("com.brightmoth.glintmere/settingschanged"), nullptr, nullptr,
                                         true);
}

// The switch flipped in the Settings app, then by another writer of the file in the binary format:
// one browser process follows both without restarting.
TEST_F(Browser, ARunningBrowserFollowsTheSwitch) {
    testing_support::Child browser({kBrowser, "script"});
    EXPECT_EQ(ask(browser, std::string("long-press ") + kImage + "\n"), lines(kSheetWithWallpaper));

    const auto flipped = runProcess({kSettings, "set", "isEnabled", "false"});
    ASSERT_EQ(flipped.status, 0) << flipped.err;
    EXPECT_TRUE(testing_support::sheetComesToHave(browser, kImage, "Copy"));

    ASSERT_TRUE(writeEnabled(plist_new_bool(true), PlistFormat::Binary));
    postSettingsChanged();
    EXPECT_TRUE(testing_support::sheetComesToHave(browser, kImage, "Set As Wallpaper"));

    EXPECT_EQ(ask(browser, std::string("tap ") + kImage + " \"Set As Wallpaper\"\n"),
              std::vector<std::string>{});
    EXPECT_EQ(testing_support::readPng(kLockBackground), picture);
    EXPECT_EQ(testing_support::readPng(kHomeBackground), picture);
    EXPECT_EQ(browser.wait(), 0) << browser.err();
}

bool mapsLibrary(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string text((std::istreambuf_iterator<char>(maps)), {});
    return text.find("/Glintmere.dylib") != std::string::npos;
}

TEST_F(Browser, OnlyTheBrowserLoadsTheLibrary) {
    testing_support::Child browser({kBrowser, "script"});
    testing_support::Child settings({kSettings, "script"});
    ask(browser, "");
    ask(settings, "");
    EXPECT_TRUE(mapsLibrary(browser.pid()));
    EXPECT_FALSE(mapsLibrary(settings.pid()));
}

// Where no wallpaper screen exists, the sheet offers nothing the library cannot do: "Copy" stays,
// with the switch on, and only copies.
class BrowserWithoutAWallpaperScreen : public Browser {
  protected:
    void SetUp() override {
        if (hasWallpaperScreen()) {
            GTEST_SKIP() << "this release has a wallpaper screen";
        }
        prepare();
    }
};

TEST_F(BrowserWithoutAWallpaperScreen, KeepsCopyAndSetsNoWallpaper) {
    ASSERT_TRUE(writeEnabled(plist_new_bool(true)));
    auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kSheetWithCopy);
    result = runProcess({kBrowser, "tap", kImage, "Copy"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::exists("/var/mobile/Library/SpringBoard"));
}

// The phone's hook library, changed after signing or signed with a table a phone's dyld refuses: the
// device's loader refuses it as a phone would, the browser goes on without it and offers "Copy", and
// MobileSubstrate says which file and why.
class ChangedPhoneLibrary : public Browser {
  protected:
    static constexpr const char* kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";
    void SetUp() override {
        original = testing_support::readAll(kLibrary);
        if (!original.starts_with("\xcf\xfa\xed\xfe")) {
            GTEST_SKIP() << "the device holds the native build";
        }
        prepare();
        ASSERT_TRUE(writeEnabled(plist_new_bool(true)));
    }
    // What the sheet shows with the library loaded.
    static std::string loadedSheet() { return hasWallpaperScreen() ? kSheetWithWallpaper : kSheetWithCopy; }
    static std::string refusal(const std::string& why) {
        return "MobileSubstrate: cannot load " + std::string(kLibrary) + ": " + kLibrary + ": " + why + "\n";
    }
    void TearDown() override {
        if (!original.empty()) {
            install(original);
        }
    }
    static void install(const std::string& bytes) {
        std::ofstream(kLibrary, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::uint32_t at32(const std::string& bytes, std::size_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    }
    // The offset of the first load command `cmd`.
    static std::size_t command(const std::string& bytes, std::uint32_t cmd) {
        std::size_t at = 32;
        for (std::uint32_t i = 0; i < at32(bytes, 16); ++i, at += at32(bytes, at + 4)) {
            if (at32(bytes, at) == cmd) {
                return at;
            }
        }
        ADD_FAILURE() << "no load command " << cmd;
        return 0;
    }
    std::string original;
};

TEST_F(ChangedPhoneLibrary, AChangedCodePageIsRefusedAndTheSheetKeepsCopy) {
    std::string bytes = original;
    const std::size_t code = at32(bytes, command(bytes, 0x19) + 72 + 48); // __TEXT's first section
    bytes[code + 5] ^= 0x20;
    install(bytes);
    const auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kSheetWithCopy);
    EXPECT_EQ(result.err, refusal("page " + std::to_string(code / 4096) + " does not match its hash"));
}

TEST_F(ChangedPhoneLibrary, CodeDirectoriesOfVersion20001AreRefusedFrom14) {
    std::string bytes = original;
    const auto be32 = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        }
        return value;
    };
    const std::size_t superBlob = at32(bytes, command(bytes, 0x1d) + 8);
    int directories = 0;
    for (std::uint32_t i = 0; i < be32(superBlob + 8); ++i) {
        const std::size_t blob = superBlob + be32(superBlob + 16 + i * 8);
        if (be32(blob) == 0xfade0c02) {
            ASSERT_EQ(be32(blob + 8), 0x20400u);
            bytes[blob + 10] = 0; // 0x20400 becomes 0x20001
            bytes[blob + 11] = 1;
            ++directories;
        }
    }
    ASSERT_EQ(directories, 2);
    install(bytes);
    const auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    if (kCFCoreFoundationVersionNumber < 1751.108) {
        EXPECT_EQ(result.out, loadedSheet());
        EXPECT_EQ(result.err, "");
    } else {
        EXPECT_EQ(result.out, kSheetWithCopy);
        EXPECT_EQ(result.err, refusal("CodeDirectory version 0x20001 is older than iOS 14 accepts"));
    }
}

TEST_F(ChangedPhoneLibrary, ABindThroughTheWeakLookupOrdinalIsRefusedBefore12AndTakenFrom12) {
    // The bind table's first library ordinal made ordinal -3, and the library signed again.
    std::string bytes = original;
    const std::size_t info = command(bytes, 0x80000022);
    const std::size_t begin = at32(bytes, info + 16), end = begin + at32(bytes, info + 20);
    std::size_t at = begin;
    const auto skipUleb = [&] {
        while (at < end && (static_cast<unsigned char>(bytes[at++]) & 0x80) != 0) {
        }
    };
    while (at < end && (static_cast<unsigned char>(bytes[at]) & 0xf0) != 0x10) {
        const unsigned opcode = static_cast<unsigned char>(bytes[at++]) & 0xf0;
        if (opcode == 0x40) {
            at = bytes.find('\0', at) + 1;
        } else if (opcode == 0x20 || opcode == 0x60 || opcode == 0x70 || opcode == 0x80 || opcode == 0xa0) {
            skipUleb();
        } else if (opcode == 0xc0) {
            skipUleb();
            skipUleb();
        }
    }
    ASSERT_LT(at, end) << "the bind table sets no library ordinal";
    bytes[at] = '\x3d';
    const auto resigned =
        codesign::sign(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "Glintmere.dylib");
    install(std::string(resigned.begin(), resigned.end()));
    const auto result = runProcess({kBrowser, "long-press", kImage});
    EXPECT_EQ(result.status, 0) << result.err;
    if (kCFCoreFoundationVersionNumber < 1556.00) {
        EXPECT_EQ(result.out, kSheetWithCopy);
        EXPECT_EQ(result.err, refusal("binds through ordinal -3 (BIND_SPECIAL_DYLIB_WEAK_LOOKUP) in its bind "
                                      "table, which dyld takes only from iOS 12"));
    } else {
        // From 12.0 a weak lookup finds the platform's definitions, as the library's own ordinal did.
        EXPECT_EQ(result.out, loadedSheet());
        EXPECT_EQ(result.err, "");
    }
}

} // namespace
