#include "Foundation/Foundation.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace NS::literals;
using objc::operator""_sel;

const char* const globalPreferences = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";

NS::String* ns(const std::string& s) { return NS::String::string(std::string_view(s)); }

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string str(NS::String* s) { return s == nullptr ? "(nil)" : s->str(); }

// A bundle laid out as the settings bundle is: Info.plist, resources, and string tables in three
// forms spread over "en.lproj" and "Base.lproj".
class BundleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "glintmere-bundle-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        path_ = root_ + "/Test.bundle";
        NS::MutableDictionary* info = NS::MutableDictionary::dictionary();
        info->setObjectForKey("com.example.test"_ns, "CFBundleIdentifier"_ns);
        info->setObjectForKey("Test"_ns, "CFBundleExecutable"_ns);
        info->setObjectForKey("GlintmereTestPrincipal"_ns, "NSPrincipalClass"_ns);
        info->setObjectForKey(NS::Number::number(3), "Revision"_ns);
        std::filesystem::create_directories(path_);
        ASSERT_TRUE(info->writeToFile(ns(path_ + "/Info.plist"), true));
        writeFile(path_ + "/logo.png", "png");
        writeFile(path_ + "/Glintmere.plist", "specifiers");
        writeFile(path_ + "/en.lproj/english.png", "png");
        writeFile(path_ + "/Base.lproj/base.png", "png");
        writeFile(path_ + "/Base.lproj/logo.png", "shadowed by the one at the top");
        writeFile(path_ + "/en.lproj/Localizable.strings",
                  "/* A comment with \"quotes\" = \"x\"; */\n"
                  "// and one to the end of the line = \"y\";\n"
                  "\"GREETING\" = \"Hello, \\\"friend\\\"\\nWelcome \\\\ home\";\n"
                  "\"SAME\";\n"
                  "unquoted_key = \"plain\";\n"
                  "\"UNICODE\" = \"caf\\U00e9 \\ud83d\\ude00\";\n"
                  "\"EMPTY\" = \"\";\n"
                  "\"Enabled\" = \"Enabled (en)\";\n");
        NS::Dictionary* base = NS::Dictionary::dictionaryWithObjects({"Only in Base"_ns, "Enabled (Base)"_ns},
                                                                     {"BASE_ONLY"_ns, "Enabled"_ns});
        ASSERT_TRUE(base->writeToFile(ns(path_ + "/Base.lproj/Localizable.strings"), true));
        writeFile(path_ + "/fr.lproj/Localizable.strings",
                  "\"Enabled\" = \"Activ\xC3\xA9\";\n\"FR_ONLY\" = \"Oui\";\n");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    NS::Bundle* bundle() { return NS::Bundle::bundleWithPath(ns(path_)); }

    NS::AutoreleaseScope pool;
    std::string root_;
    std::string path_;
};

TEST_F(BundleTest, OneObjectPerDirectoryAndNoneWithoutOne) {
    NS::Bundle* b = bundle();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(NS::Bundle::bundleWithPath(ns(path_ + "/")), b);
    EXPECT_EQ(NS::Bundle::bundleWithPath(ns(root_ + "//Test.bundle")), b);
    EXPECT_EQ(str(b->bundlePath()), path_);
    auto again = objc::adopt(NS::Bundle::alloc()->initWithPath(ns(path_)));
    EXPECT_EQ(again.get(), b);
    EXPECT_EQ(NS::Bundle::alloc()->initWithPath(ns(root_ + "/Missing.bundle")), nullptr);
    EXPECT_EQ(str(b->resourcePath()), path_);
    EXPECT_EQ(NS::Bundle::bundleWithPath(ns(root_ + "/Missing.bundle")), nullptr);
    EXPECT_EQ(NS::Bundle::bundleWithPath(ns(path_ + "/logo.png")), nullptr); // a file is no bundle
    EXPECT_EQ(NS::Bundle::bundleWithPath(nullptr), nullptr);
    EXPECT_EQ(NS::Bundle::bundleWithPath(""_ns), nullptr);
}

TEST_F(BundleTest, InfoDictionaryComesFromInfoPlist) {
    NS::Bundle* b = bundle();
    EXPECT_EQ(str(b->bundleIdentifier()), "com.example.test");
    EXPECT_EQ(NS::cast<NS::Number>(b->objectForInfoDictionaryKey("Revision"_ns))->intValue(), 3);
    EXPECT_EQ(b->objectForInfoDictionaryKey("Missing"_ns), nullptr);
    EXPECT_EQ(b->infoDictionary()->count(), 4u);

    std::filesystem::create_directories(root_ + "/Bare.bundle");
    NS::Bundle* bare = NS::Bundle::bundleWithPath(ns(root_ + "/Bare.bundle"));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->bundleIdentifier(), nullptr);
    ASSERT_NE(bare->infoDictionary(), nullptr);
    EXPECT_EQ(bare->infoDictionary()->count(), 0u);
}

TEST_F(BundleTest, ResourcesAreFoundAtTheTopThenInLanguageFolders) {
    NS::Bundle* b = bundle();
    EXPECT_EQ(str(b->pathForResource("logo"_ns, "png"_ns)), path_ + "/logo.png");
    EXPECT_EQ(str(b->pathForResource("logo.png"_ns, nullptr)), path_ + "/logo.png");
    EXPECT_EQ(str(b->pathForResource("logo.png"_ns, ""_ns)), path_ + "/logo.png");
    EXPECT_EQ(str(b->pathForResource("Glintmere"_ns, "plist"_ns)), path_ + "/Glintmere.plist");
    EXPECT_EQ(str(b->pathForResource("english"_ns, "png"_ns)), path_ + "/en.lproj/english.png");
    EXPECT_EQ(str(b->pathForResource("base"_ns, "png"_ns)), path_ + "/Base.lproj/base.png");
    EXPECT_EQ(b->pathForResource("logo"_ns, "jpg"_ns), nullptr);
    EXPECT_EQ(b->pathForResource("nothing"_ns, "png"_ns), nullptr);
    EXPECT_EQ(b->pathForResource(nullptr, "png"_ns), nullptr);
    NS::URL* url = b->URLForResource("logo"_ns, "png"_ns);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(str(url->path()), path_ + "/logo.png");
}

TEST_F(BundleTest, TextTablesReadQuotesEscapesAndComments) {
    NS::Bundle* b = bundle();
    auto lookup = [&](const char* key) {
        return str(b->localizedStringForKey(NS::String::string(key), ""_ns, nullptr));
    };
    EXPECT_EQ(lookup("GREETING"), "Hello, \"friend\"\nWelcome \\ home");
    EXPECT_EQ(lookup("SAME"), "SAME");
    EXPECT_EQ(lookup("unquoted_key"), "plain");
    EXPECT_EQ(lookup("UNICODE"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(lookup("EMPTY"), ""); // an empty translation is still a translation
    EXPECT_EQ(lookup("x"), "x");    // nothing from inside the comments
}

TEST_F(BundleTest, WithoutALanguagePreferenceEnglishComesBeforeBase) {
    if (std::filesystem::exists(globalPreferences)) {
        GTEST_SKIP() << globalPreferences
                     << " exists, so the user's language decides which table is read first";
    }
    NS::Bundle* b = bundle();
    EXPECT_EQ(str(b->localizedStringForKey("Enabled"_ns, ""_ns, nullptr)), "Enabled (en)");
    EXPECT_EQ(str(b->localizedStringForKey("BASE_ONLY"_ns, ""_ns, nullptr)), "Only in Base");
    EXPECT_EQ(str(b->localizedStringForKey("FR_ONLY"_ns, ""_ns, nullptr)), "FR_ONLY"); // "fr" is never read
}

TEST_F(BundleTest, MissingKeysGiveTheValueOrTheKey) {
    NS::Bundle* b = bundle();
    EXPECT_EQ(str(b->localizedStringForKey("Unknown"_ns, "Fallback"_ns, nullptr)), "Fallback");
    EXPECT_EQ(str(b->localizedStringForKey("Unknown"_ns, nullptr, nullptr)), "Unknown");
    EXPECT_EQ(str(b->localizedStringForKey("Unknown"_ns, ""_ns, "Localizable"_ns)), "Unknown");
    EXPECT_EQ(str(b->localizedStringForKey(nullptr, "Fallback"_ns, nullptr)), "Fallback");
    EXPECT_EQ(str(b->localizedStringForKey(nullptr, nullptr, nullptr)), "");
    EXPECT_EQ(str(b->localizedStringForKey("BASE_ONLY"_ns, ""_ns, "Localizable"_ns)),
              str(b->localizedStringForKey("BASE_ONLY"_ns, ""_ns, nullptr)));
    EXPECT_EQ(str(b->localizedStringForKey("BASE_ONLY"_ns, ""_ns, ""_ns)), "Only in Base");
    EXPECT_EQ(str(b->localizedStringForKey("BASE_ONLY"_ns, ""_ns, "NoSuchTable"_ns)), "BASE_ONLY");
}

TEST_F(BundleTest, TablesMayBeBinaryPropertyLists) {
    if (!std::filesystem::exists("/usr/bin/plistutil")) {
        GTEST_SKIP() << "/usr/bin/plistutil is not installed";
    }
    NS::Dictionary* other = NS::Dictionary::dictionaryWithObjects({"From binary"_ns}, {"KEY"_ns});
    ASSERT_TRUE(other->writeToFile(ns(root_ + "/Other.xml"), true));
    std::string convert =
        "/usr/bin/plistutil -i " + root_ + "/Other.xml -o " + path_ + "/Base.lproj/Other.strings -f bin";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    EXPECT_EQ(str(bundle()->localizedStringForKey("KEY"_ns, ""_ns, "Other"_ns)), "From binary");
}

TEST_F(BundleTest, AMalformedTableIsSkippedWithAMessage) {
    writeFile(path_ + "/en.lproj/Broken.strings", "\"A\" = \"1\";\n\"B\" = \"2\"\n\"C\" = \"3\";\n");
    writeFile(path_ + "/Base.lproj/Broken.strings", "\"B\" = \"from Base\";\n");
    testing::internal::CaptureStderr();
    std::string a = str(bundle()->localizedStringForKey("A"_ns, ""_ns, "Broken"_ns));
    std::string b = str(bundle()->localizedStringForKey("B"_ns, ""_ns, "Broken"_ns));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(a, "A"); // nothing of a broken table is used
    EXPECT_EQ(b, "from Base");
    EXPECT_NE(said.find("Broken.strings is malformed near line 3"), std::string::npos) << said;
}

TEST_F(BundleTest, EachTableIsReadOnceAndKept) {
    // A malformed table says so each time it is parsed: once, however often it is asked.
    writeFile(path_ + "/en.lproj/Broken.strings", "\"A\" = \"1\"\n");
    writeFile(path_ + "/en.lproj/Kept.strings", "\"A\" = \"first\";\n");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(str(bundle()->localizedStringForKey("A"_ns, ""_ns, "Broken"_ns)), "A");
        EXPECT_EQ(str(bundle()->localizedStringForKey("A"_ns, ""_ns, "Kept"_ns)), "first");
    }
    const std::string said = testing::internal::GetCapturedStderr();
    const auto first = said.find("Broken.strings is malformed");
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find("Broken.strings is malformed", first + 1), std::string::npos) << said;

    // A table replaced on disk is another table.
    writeFile(path_ + "/en.lproj/Kept.new", "\"A\" = \"second, and longer\";\n");
    std::filesystem::rename(path_ + "/en.lproj/Kept.new", path_ + "/en.lproj/Kept.strings");
    EXPECT_EQ(str(bundle()->localizedStringForKey("A"_ns, ""_ns, "Kept"_ns)), "second, and longer");
}

TEST_F(BundleTest, ABundleAskedForEverMoreTablesKeepsTheLatestUsed) {
    // Malformed tables say so each time they are parsed, which shows which ones were kept.
    auto parses = [&](int first, int last) {
        testing::internal::CaptureStderr();
        for (int i = first; i <= last; ++i) {
            bundle()->localizedStringForKey("A"_ns, ""_ns, ns("T" + std::to_string(i)));
        }
        const std::string said = testing::internal::GetCapturedStderr();
        int n = 0;
        for (auto at = said.find("is malformed"); at != std::string::npos;
             at = said.find("is malformed", at + 1)) {
            ++n;
        }
        return n;
    };
    for (int i = 0; i < 200; ++i) {
        writeFile(path_ + "/en.lproj/T" + std::to_string(i) + ".strings", "\"A\" = ");
    }
    EXPECT_EQ(parses(0, 199), 200);
    EXPECT_EQ(parses(190, 199), 0) << "the latest are kept";
    EXPECT_EQ(parses(0, 9), 10) << "the first ones were let go";
}

TEST_F(BundleTest, ThePreferredLanguageComesFirst) {
    if (std::filesystem::exists(globalPreferences)) {
        GTEST_SKIP() << globalPreferences
                     << " belongs to this device's user; the test writes its own only where none is";
    }
    NS::MutableDictionary* prefs = NS::MutableDictionary::dictionary();
    prefs->setObjectForKey(NS::Array::arrayWithObjects({"fr"_ns, "en"_ns}), "AppleLanguages"_ns);
    ASSERT_TRUE(prefs->writeToFile(ns(globalPreferences), true));
    struct Remove {
        ~Remove() { std::filesystem::remove(globalPreferences); }
    } remove;
    writeFile(path_ + "/fr.lproj/Localizable.strings", "\"Enabled\" = \"Preferred\";\n");
    writeFile(path_ + "/fr.lproj/preferred.png", "png");
    EXPECT_EQ(str(bundle()->localizedStringForKey("Enabled"_ns, ""_ns, nullptr)), "Preferred");
    EXPECT_EQ(str(bundle()->localizedStringForKey("BASE_ONLY"_ns, ""_ns, nullptr)), "Only in Base");
    EXPECT_EQ(str(bundle()->pathForResource("preferred"_ns, "png"_ns)), path_ + "/fr.lproj/preferred.png");
}

TEST_F(BundleTest, TheNextLookupFollowsAChangedLanguageChoice) {
    if (std::filesystem::exists(globalPreferences)) {
        GTEST_SKIP() << globalPreferences
                     << " belongs to this device's user; the test writes its own only where none is";
    }
    struct Remove {
        ~Remove() { std::filesystem::remove(globalPreferences); }
    } remove;
    auto enabled = [&] { return str(bundle()->localizedStringForKey("Enabled"_ns, ""_ns, nullptr)); };
    EXPECT_EQ(enabled(), "Enabled (en)");
    NS::MutableDictionary* prefs = NS::MutableDictionary::dictionary();
    prefs->setObjectForKey(NS::Array::arrayWithObjects({"fr"_ns}), "AppleLanguages"_ns);
    ASSERT_TRUE(prefs->writeToFile(ns(globalPreferences), true));
    EXPECT_EQ(enabled(), "Activ\xC3\xA9");
    std::filesystem::remove(globalPreferences);
    EXPECT_EQ(enabled(), "Enabled (en)");
}

TEST_F(BundleTest, AResourceIsFoundOnceItIsMadeAndNotOnceItIsGone) {
    EXPECT_EQ(bundle()->pathForResource("later"_ns, "png"_ns), nullptr);
    writeFile(path_ + "/en.lproj/later.png", "png");
    EXPECT_EQ(str(bundle()->pathForResource("later"_ns, "png"_ns)), path_ + "/en.lproj/later.png");
    writeFile(path_ + "/later.png", "png");
    EXPECT_EQ(str(bundle()->pathForResource("later"_ns, "png"_ns)), path_ + "/later.png");
    std::filesystem::remove(path_ + "/later.png");
    std::filesystem::remove(path_ + "/en.lproj/later.png");
    EXPECT_EQ(bundle()->pathForResource("later"_ns, "png"_ns), nullptr);
}

TEST_F(BundleTest, ABundleWhoseFolderIsGoneIsNilUntilItIsBack) {
    ASSERT_NE(bundle(), nullptr);
    std::filesystem::rename(path_, path_ + ".away");
    EXPECT_EQ(bundle(), nullptr);
    std::filesystem::rename(path_ + ".away", path_);
    ASSERT_NE(bundle(), nullptr);
    EXPECT_EQ(str(bundle()->localizedStringForKey("GREETING"_ns, ""_ns, nullptr)).substr(0, 5), "Hello");
}

TEST_F(BundleTest, MainBundleIsTheExecutablesDirectory) {
    NS::Bundle* main = NS::Bundle::mainBundle();
    ASSERT_NE(main, nullptr);
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(str(main->bundlePath()), exe.substr(0, exe.rfind('/')));
    EXPECT_EQ(NS::Bundle::mainBundle(), main);
}

TEST_F(BundleTest, LoadingOpensTheExecutableAndFindsThePrincipalClass) {
    std::filesystem::copy_file(GLINTMERE_TEST_BUNDLE_CODE, path_ + "/Test");
    NS::Bundle* b = bundle();
    EXPECT_FALSE(b->isLoaded());
    EXPECT_EQ(objc_lookUpClass("GlintmereTestPrincipal"), Nil);
    Class principal = b->principalClass();
    ASSERT_NE(principal, Nil);
    EXPECT_STREQ(class_getName(principal), "GlintmereTestPrincipal");
    EXPECT_TRUE(b->isLoaded());
    id instance = objc::send<id>(principal, "new"_sel);
    EXPECT_EQ(objc::send<int>(instance, "answer"_sel), 42);
    objc::send(instance, "release"_sel);
    EXPECT_TRUE(b->load()); // again: already loaded
}

TEST_F(BundleTest, LoadFailuresSayWhy) {
    NS::Bundle* b = bundle();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(b->load());
    EXPECT_EQ(b->principalClass(), Nil);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(b->isLoaded());
    EXPECT_NE(said.find("the executable " + path_ + "/Test couldn't be located"), std::string::npos) << said;

    writeFile(path_ + "/Test", "#!/bin/sh\necho not a library\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(b->load());
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot load " + path_ + "/Test: "), std::string::npos) << said;

    // A Mach-O file goes to the device's loader, which names what it refuses.
    const unsigned char otherCpu[32] = {0xcf, 0xfa, 0xed, 0xfe, 0x07, 0x00, 0x00, 0x01,
                                        0x03, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};
    writeFile(path_ + "/Test", std::string(reinterpret_cast<const char*>(otherCpu), sizeof otherCpu));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(b->load());
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path_ + "/Test: is not for arm64"), std::string::npos) << said;
    EXPECT_FALSE(b->isLoaded());

    // Every symbol is bound at load: code that needs a missing function does not load at all.
    std::filesystem::remove(path_ + "/Test");
    std::filesystem::copy_file(GLINTMERE_UNRESOLVED_BUNDLE_CODE, path_ + "/Test");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(b->load());
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("glintmereNothingDefinesThis"), std::string::npos) << said;
    EXPECT_FALSE(b->isLoaded());

    std::filesystem::create_directories(root_ + "/NoCode.bundle");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(NS::Bundle::bundleWithPath(ns(root_ + "/NoCode.bundle"))->load());
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("names no CFBundleExecutable"), std::string::npos) << said;
}

} // namespace
