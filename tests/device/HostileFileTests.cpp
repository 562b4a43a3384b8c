// Files of the device that are not what they should be, as a hostile package or person may leave
// them: no app waits on one for ever, and no picture costs more than the device's pictures need.
#include "../support/NotFiles.hpp"
#include "../support/PngBytes.hpp"
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::InPlaceOf;
using testing_support::kNotFiles;
using testing_support::NotAFile;

const std::string kSafari = "/Applications/MobileSafari.app/MobileSafari";
const std::string kSettings = "/Applications/Preferences.app/Preferences";
const fs::path kBundle = "/Library/PreferenceBundles/Glintmere.bundle";
const fs::path kHookLibraries = "/Library/MobileSubstrate/DynamicLibraries";
const fs::path kFontCaches = "/var/mobile/Library/Caches/fontconfig";
const fs::path kHomeBackground = "/var/mobile/Library/SpringBoard/HomeBackground.png";

// What a device's pictures and lists cost at most (an app takes about 60 MB here, sanitizers and all):
// a picture decoded whole at two gigabytes is far beyond it.
constexpr long kMemoryBoundKilobytes = 256 * 1024;

struct Ended {
    int status = -1;
    std::string out;
    std::string err;
    long peakKilobytes = 0;
};

// Runs an app to its end, which must come within a minute.
Ended finish(const std::vector<std::string>& argv) {
    testing_support::Child app(argv);
    const std::optional<int> status = app.waitFor(std::chrono::minutes(1));
    std::string command;
    for (const std::string& word : argv) {
        command += " " + word;
    }
    if (!status) {
        ADD_FAILURE() << command << " had not ended after a minute; it is stopped";
        return {};
    }
    return {*status, app.out(), app.err(), app.peakKilobytes()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(NotAFile, EveryAppStartsWhateverStandsInPlaceOfTheDeviceFacts) {
    for (const NotAFile kind : kNotFiles) {
        InPlaceOf facts("/System/Library/CoreServices/DeviceFacts.plist", kind);
        for (const std::string& app : {kSafari, kSettings}) {
            const Ended help = finish({app, "help"});
            EXPECT_EQ(help.status, 0) << app << " with " << describe(kind) << ": " << help.err;
            EXPECT_NE(help.out.find(" commands:\n"), std::string::npos) << help.out;
        }
    }
}

TEST(NotAFile, APictureThatIsNoFileIsNoPicture) {
    for (const NotAFile kind : kNotFiles) {
        InPlaceOf header(kBundle / "headerLogo.png", kind);
        InPlaceOf footer(kBundle / "footerLogo.png", kind);
        InPlaceOf portrait(kBundle / "brightmoth.png", kind);
        const Ended list = finish({kSettings, "list"});
        EXPECT_EQ(list.status, 0) << describe(kind) << ": " << list.err;
        EXPECT_NE(list.out.find("\n  Enabled: on\n"), std::string::npos) << list.out;
        const Ended makers = finish({kSettings, "views", "Glintmere/Makers", "--at", "0"});
        EXPECT_EQ(makers.status, 0) << describe(kind) << ": " << makers.err;

        const fs::path image = "/tmp/long-pressed.png";
        ASSERT_TRUE(testing_support::plant(kind, image));
        const Ended pressed = finish({kSafari, "long-press", image.string()});
        fs::remove_all(image);
        EXPECT_NE(pressed.status, 0) << describe(kind);
        EXPECT_NE(pressed.err.find("is not a PNG image"), std::string::npos) << pressed.err;
    }
}

TEST(NotAFile, CodeThatIsNoFileIsNotLoaded) {
    const fs::path log = "/tmp/hostile-file-loads.log";
    const std::string filter = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                               "<key>Filter</key><dict><key>Executables</key><array>"
                               "<string>MobileSafari</string></array></dict></dict></plist>\n";
    for (const NotAFile kind : kNotFiles) {
        fs::remove(log);
        // A library that is no file, with a filter naming the browser; a library whose filter is none.
        ASSERT_TRUE(testing_support::plant(kind, kHookLibraries / "Planted.dylib"));
        writeFile(kHookLibraries / "Planted.plist", filter);
        fs::copy_file("/Developer/Library/SubstrateProbe.dylib", kHookLibraries / "Unfiltered.dylib");
        ASSERT_TRUE(testing_support::plant(kind, kHookLibraries / "Unfiltered.plist"));

        const Ended browser = finish({kSafari, "echo", "up"});
        for (const char* name : {"Planted.dylib", "Planted.plist", "Unfiltered.dylib", "Unfiltered.plist"}) {
            fs::remove_all(kHookLibraries / name);
        }
        EXPECT_EQ(browser.status, 0) << describe(kind) << ": " << browser.err;
        EXPECT_EQ(browser.out, "up\n");
        EXPECT_NE(browser.err.find("cannot load " + (kHookLibraries / "Planted.dylib").string() +
                                   ": not a regular file"),
                  std::string::npos)
            << browser.err;
        EXPECT_FALSE(fs::exists(log)) << "a library without a filter file was loaded";

        // The settings bundle's code.
        InPlaceOf code(kBundle / "Glintmere", kind);
        const Ended list = finish({kSettings, "list"});
        EXPECT_NE(list.err.find("couldn't be located"), std::string::npos)
            << describe(kind) << ": " << list.err;
    }
}

TEST(NotAFile, FontSetupAndFontCachesThatAreNoFilesHoldNothingUp) {
    ASSERT_EQ(finish({kSettings, "views"}).status, 0) << "a first run fills the font caches";
    std::vector<fs::path> caches;
    for (const fs::directory_entry& entry : fs::directory_iterator(kFontCaches)) {
        if (entry.path().extension() != ".TAG") {
            caches.push_back(entry.path());
        }
    }
    ASSERT_FALSE(caches.empty());
    for (const NotAFile kind : kNotFiles) {
        {
            InPlaceOf setup("/System/Library/Fonts/fonts.conf", kind);
            const Ended views = finish({kSettings, "views"});
            EXPECT_EQ(views.status, 0) << describe(kind) << ": " << views.err;
        }
        for (const fs::path& cache : caches) {
            fs::remove(cache);
            ASSERT_TRUE(testing_support::plant(kind, cache));
        }
        const Ended views = finish({kSettings, "views"});
        EXPECT_EQ(views.status, 0) << describe(kind) << ": " << views.err;
        EXPECT_NE(views.out.find("Enabled"), std::string::npos) << views.out;
        for (const fs::path& cache : caches) {
            if (kind == NotAFile::Folder) {
                fs::remove_all(cache);
            } else {
                EXPECT_TRUE(!fs::exists(fs::symlink_status(cache)) ||
                            fs::is_regular_file(fs::symlink_status(cache)))
                    << describe(kind) << " left at " << cache;
            }
        }
    }
}

// A 44-byte picture whose text chunk declares two gigabytes, and one of 23000 by 23000 pixels in
// two and a half megabytes: each cost two gigabytes and more and many seconds to decode.
TEST(HugePictures, CostNoMoreThanTheDevicesOwnPictures) {
    const std::string claimsText = testing_support::kPngSignature + testing_support::pngHeader(1, 1) +
                                   testing_support::pngChunk("tEXt", "abc", 0x7fff0000).substr(0, 11);
    const std::string huge = testing_support::zeroPng(23000, 23000);
    for (const std::string* picture : {&claimsText, &huge}) {
        const std::string what = picture == &huge ? "23000 by 23000 pixels" : "a text chunk of 2 GB";
        {
            InPlaceOf header(kBundle / "headerLogo.png", *picture);
            InPlaceOf footer(kBundle / "footerLogo.png", *picture);
            const Ended list = finish({kSettings, "list"});
            EXPECT_EQ(list.status, 0) << what << ": " << list.err;
            EXPECT_NE(list.out.find("\n  Enabled: on\n"), std::string::npos) << list.out;
            EXPECT_LT(list.peakKilobytes, kMemoryBoundKilobytes) << what;
        }

        const fs::path image = "/tmp/page-picture.png";
        writeFile(image, *picture);
        fs::remove(kHomeBackground);
        const Ended pressed = finish({kSafari, "long-press", image.string()});
        EXPECT_NE(pressed.err.find("is not a PNG image"), std::string::npos) << what << ": " << pressed.err;
        EXPECT_LT(pressed.peakKilobytes, kMemoryBoundKilobytes) << what;
        const Ended tapped = finish({kSafari, "tap", image.string(), "Set As Wallpaper"});
        EXPECT_NE(tapped.status, 0) << what;
        EXPECT_LT(tapped.peakKilobytes, kMemoryBoundKilobytes) << what;
        EXPECT_FALSE(fs::exists(kHomeBackground)) << what << " became the wallpaper";
        fs::remove(image);
    }
}

} // namespace
