#include "../../tests/support/Files.hpp"
#include "SettingsBundle.hpp"

#include "BMGlintmereMakersListController.hpp"
#include "BMGlintmereZeridOvuvoruListController.hpp"
#include "PreferencesHost.hpp"
#include "objc/ClassBuilder.hpp"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

using testing_support::readAll;

namespace fs = std::filesystem;
using namespace testing_support;
using NS::literals::operator""_ns;

constexpr const char* kGlobalPreferences = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";

// What the counting panes' loader was asked for, and how many loads still give no list.
std::vector<std::string> loadsAsked;
int loadsWithoutList = 0;

// The panes that count their loads, one per pane of the bundle.
struct CountingMakers : NS::Referencing<CountingMakers, "TestCountingMakers", PS::ListController> {};
struct CountingZeridOvuvoru
    : NS::Referencing<CountingZeridOvuvoru, "TestCountingZeridOvuvoru", PS::ListController> {};

template <class Counting> NS::Array* countLoad(PS::ListController* self, NS::String* name, id target) {
    loadsAsked.push_back(objc::Ptr(name)->str());
    if (loadsWithoutList > 0) {
        --loadsWithoutList;
        return nullptr;
    }
    return PS::ListController::loadSpecifiersFromPlistNameTarget_.super<Counting>(self, name, target);
}

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

// The keys a strings table defines.
std::set<std::string> keysOf(const fs::path& table) {
    const std::string text = readAll(table);
    static const std::regex entry(R"re(^"([^"]+)"\s*=)re", std::regex::multiline);
    std::set<std::string> keys;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator();
         ++it) {
        keys.insert((*it)[1]);
    }
    return keys;
}

struct PaneKind {
    const char* paneClass;
    const char* countingClass;
    const char* file;
    const char* englishTitle;
    const char* germanTitle;
    const char* key;
};
constexpr PaneKind kPanes[] = {
    {"BMGlintmereMakersListController", "TestCountingMakers", "GlintmereMakers", "Makers", "Macher",
     "MAKERS"},
    {"BMGlintmereZeridOvuvoruListController", "TestCountingZeridOvuvoru", "GlintmereZeridOvuvoru",
     "ZeridOvuvoru", "ZeridOvuvoru", "ZeridOvuvoru"},
};

template <class Counting> void defineCounting(const PaneKind& kind) {
    ASSERT_STREQ(kind.countingClass, Counting::className());
    objc::ClassDefinition<PS::ListController>(kind.countingClass, kind.paneClass)
        .method<&countLoad<Counting>>(PS::ListController::loadSpecifiersFromPlistNameTarget_)
        .build();
}

class SecondaryPanes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(settingsBundle(), nullptr);
        defineCounting<CountingMakers>(kPanes[0]);
        defineCounting<CountingZeridOvuvoru>(kPanes[1]);
    }
    void SetUp() override {
        loadsAsked.clear();
        loadsWithoutList = 0;
    }
    void TearDown() override { fs::remove(kGlobalPreferences); }

    static objc::Ref<PS::ListController> pane(const char* cls) {
        auto made = objc::adopt(PS::ListController::make_.send(objc_lookUpClass(cls)));
        made->setBundle(settingsBundle());
        return made;
    }

    NS::AutoreleaseScope pool;
};

TEST_F(SecondaryPanes, LoadTheirRowsOnceAndAreTitledAnewOnEveryCall) {
    for (const PaneKind& kind : kPanes) {
        loadsAsked.clear();
        auto shown = pane(kind.countingClass);
        NS::Array* rows = shown->specifiers();
        ASSERT_NE(rows, nullptr) << kind.file;
        EXPECT_GT(rows->count(), 1u);
        EXPECT_EQ(loadsAsked, std::vector<std::string>{kind.file});
        EXPECT_EQ(shown->title()->str(), kind.englishTitle);

        shown->setTitle("Something else"_ns);
        EXPECT_EQ(shown->specifiers(), rows) << "the same list";
        EXPECT_EQ(loadsAsked.size(), 1u) << "the file is read once";
        EXPECT_EQ(shown->title()->str(), kind.englishTitle) << "titled again";
    }
}

TEST_F(SecondaryPanes, TryTheLoadAgainUntilItGivesAListEvenAnEmptyOne) {
    for (const PaneKind& kind : kPanes) {
        loadsAsked.clear();
        loadsWithoutList = 2;
        auto shown = pane(kind.countingClass);
        EXPECT_EQ(shown->specifiers(), nullptr);
        EXPECT_EQ(shown->title()->str(), kind.englishTitle) << "titled all the same";
        shown->setTitle(nullptr);
        EXPECT_EQ(shown->specifiers(), nullptr);
        EXPECT_EQ(shown->title()->str(), kind.englishTitle);
        EXPECT_EQ(loadsAsked.size(), 2u);
        NS::Array* rows = shown->specifiers();
        EXPECT_NE(rows, nullptr);
        EXPECT_EQ(loadsAsked.size(), 3u);
        EXPECT_EQ(shown->specifiers(), rows);
        EXPECT_EQ(loadsAsked.size(), 3u) << "a list, once stored, is kept";
    }

    // A specifier file without rows loads as an empty list, and counts as loaded.
    const fs::path file = fs::path(kBundlePath) / "GlintmereMakers.plist";
    const std::string kept = readAll(file);
    ASSERT_TRUE(
        writeFile(file, "<?xml version=\"1.0\"?><plist><dict><key>items</key><array/></dict></plist>"));
    loadsAsked.clear();
    auto empty = pane("TestCountingMakers");
    NS::Array* rows = empty->specifiers();
    ASSERT_TRUE(writeFile(file, kept));
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->count(), 0u);
    EXPECT_EQ(empty->specifiers(), rows);
    EXPECT_EQ(loadsAsked.size(), 1u);
}

TEST_F(SecondaryPanes, AreTitledInTheUsersLanguageAndByTheirKeyWithoutATranslation) {
    ASSERT_TRUE(NS::Dictionary::dictionaryWithObjects({NS::Array::arrayWithObjects({"de-DE"_ns})},
                                                      {"AppleLanguages"_ns})
                    ->writeToFile(ns(kGlobalPreferences), true));
    for (const PaneKind& kind : kPanes) {
        auto shown = pane(kind.paneClass);
        shown->specifiers();
        EXPECT_EQ(shown->title()->str(), kind.germanTitle);
    }
    fs::remove(kGlobalPreferences);

    const fs::path table = fs::path(kBundlePath) / "en.lproj/Localizable.strings";
    const std::string kept = readAll(table);
    ASSERT_TRUE(writeFile(table, "\"ENABLED\" = \"Enabled\";\n"));
    std::vector<std::string> titles;
    for (const PaneKind& kind : kPanes) {
        auto shown = pane(kind.paneClass);
        shown->specifiers();
        titles.push_back(shown->title()->str());
    }
    ASSERT_TRUE(writeFile(table, kept));
    EXPECT_EQ(titles, (std::vector<std::string>{"MAKERS", "ZeridOvuvoru"}));
}

TEST_F(SecondaryPanes, EveryTextOfTheSpecifierFilesIsTranslatedInBothLanguages) {
    const std::set<std::string> english = keysOf(fs::path(kBundlePath) / "en.lproj/Localizable.strings");
    const std::set<std::string> german = keysOf(fs::path(kBundlePath) / "de.lproj/Localizable.strings");
    EXPECT_EQ(english, german) << "both tables translate the same texts";
    for (const char* file : {"Glintmere", "GlintmereMakers", "GlintmereZeridOvuvoru"}) {
        const std::string path = std::string(kBundlePath) + "/" + file + ".plist";
        auto items = NS::cast<NS::Array>(
            NS::Dictionary::dictionaryWithContentsOfFile(ns(path))->objectForKey("items"_ns));
        ASSERT_NE(items, nullptr) << file;
        for (NS::Object* item : items) {
            for (const char* text : {"label", "footerText"}) {
                auto key =
                    NS::cast<NS::String>(reinterpret_cast<NS::Dictionary*>(item)->objectForKey(ns(text)));
                if (key != nullptr) {
                    EXPECT_TRUE(english.contains(key->str())) << file << ": " << key->str();
                }
            }
        }
    }
    for (const PaneKind& kind : kPanes) {
        EXPECT_TRUE(english.contains(kind.key));
    }
}

TEST_F(SecondaryPanes, TheMakersRowsAreDeveloperCellsWithTheirPortraitsInTheBundle) {
    auto makers = pane("BMGlintmereMakersListController");
    int people = 0;
    for (NS::Object* object : makers->specifiers()) {
        auto row = objc::Ptr(reinterpret_cast<PS::Specifier*>(object));
        if (row->cellType() == PS::GroupCell) {
            continue;
        }
        ++people;
        EXPECT_EQ(NS::cast<NS::String>(row->propertyForKey("cellClass"_ns))->str(),
                  "BMGlintmereDeveloperTableCell");
        const std::string image = NS::cast<NS::String>(row->propertyForKey("devImage"_ns))->str();
        EXPECT_TRUE(fs::is_regular_file(fs::path(kBundlePath) / (image + ".png"))) << image;
        for (const char* text : {"devName", "realName", "job"}) {
            EXPECT_NE(NS::cast<NS::String>(row->propertyForKey(ns(text))), nullptr) << image << " " << text;
        }
    }
    EXPECT_GE(people, 1);
}

TEST_F(SecondaryPanes, TheZeridOvuvoruRowsAreFiveButtonsOneForEachPackage) {
    auto packages = pane("BMGlintmereZeridOvuvoruListController");
    std::vector<std::string> actions;
    for (NS::Object* object : packages->specifiers()) {
        auto row = objc::Ptr(reinterpret_cast<PS::Specifier*>(object));
        if (row->cellType() == PS::ButtonCell) {
            actions.push_back(sel_getName(row->buttonAction()));
            EXPECT_EQ(row->target(), packages->self());
        }
    }
    EXPECT_EQ(actions, (std::vector<std::string>{"openAmbergate", "openGlintmere", "openQuillfern",
                                                 "openHarborkite", "openMossvale"}));
}

} // namespace
