#include "SettingsBundle.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "PreferencesHost.hpp"
#include "objc/ClassBuilder.hpp"

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using objc::operator""_sel;
using NS::literals::operator""_ns;

// Every text looked up by the recording localizer, in order.
std::vector<std::string> lookedUp;

struct RecordingLocalizer
    : NS::Referencing<RecordingLocalizer, "TestRecordingLocalizer", BMGlintmereLocalizer> {};

NS::String* recordLookup(BMGlintmereLocalizer* self, objc::Ptr<NS::String> key, NS::String* table) {
    lookedUp.push_back(key->str());
    return BMGlintmereLocalizer::localizedStringForKeyInTable_.super<RecordingLocalizer>(self, key, table);
}

std::string text(NS::Object* o) {
    auto s = NS::cast<NS::String>(o);
    return s != nullptr ? s->str() : "(not a text)";
}

class Localizer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(settingsBundle(), nullptr);
        objc::ClassDefinition<BMGlintmereLocalizer>("TestRecordingLocalizer", "BMGlintmereLocalizer")
            .method<&recordLookup>(BMGlintmereLocalizer::localizedStringForKeyInTable_)
            .build();
    }
    void SetUp() override {
        lookedUp.clear();
        localizer = objc::adopt(
            objc::send<BMGlintmereLocalizer*>(objc_lookUpClass("TestRecordingLocalizer"), "new"_sel));
    }

    static PS::Specifier* row(const char* name) {
        return PS::Specifier::preferenceSpecifier(name != nullptr ? ns(name) : nullptr, nil, nullptr, nullptr,
                                                  Nil, PS::LinkListCell, 0);
    }

    NS::AutoreleaseScope pool;
    objc::Ref<BMGlintmereLocalizer> localizer;
};

TEST_F(Localizer, TheSharedLocalizerIsOneInstanceForEveryThread) {
    BMGlintmereLocalizer* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen) {
        threads.emplace_back([&slot] { slot = BMGlintmereLocalizer::sharedLocalizer(); });
    }
    for (auto& t : threads) {
        t.join();
    }
    BMGlintmereLocalizer* shared = BMGlintmereLocalizer::sharedLocalizer();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->getClass(), BMGlintmereLocalizer::runtimeClass());
    for (BMGlintmereLocalizer* s : seen) {
        EXPECT_EQ(s, shared);
    }
}

TEST_F(Localizer, LooksTextsUpInTheSettingsBundle) {
    EXPECT_EQ(text(localizer->localizationBundle()->bundlePath()), kBundlePath);
    EXPECT_EQ(localizer->localizedStringForKey("MAKERS"_ns)->str(), "Makers");
    EXPECT_EQ(localizer->localizedStringForKey("MAKERS"_ns, nullptr)->str(), "Makers");
    EXPECT_EQ(localizer->localizedStringForKey("ZeridOvuvoru"_ns)->str(), "ZeridOvuvoru");
    EXPECT_EQ(localizer->localizedStringForKey("No such text"_ns)->str(), "No such text");

    const std::string table = std::string(kBundlePath) + "/en.lproj/LocalizerTests.strings";
    std::ofstream(table) << "\"MAKERS\" = \"Makers of the test table\";\n";
    EXPECT_EQ(localizer->localizedStringForKey("MAKERS"_ns, "LocalizerTests"_ns)->str(),
              "Makers of the test table");
    fs::remove(table);
}

TEST_F(Localizer, FollowsTheUsersLanguage) {
    const char* global = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";
    ASSERT_TRUE(NS::Dictionary::dictionaryWithObjects({NS::Array::arrayWithObjects({"de-DE"_ns})},
                                                      {"AppleLanguages"_ns})
                    ->writeToFile(ns(global), true));
    const std::string makers = localizer->localizedStringForKey("MAKERS"_ns)->str();
    const std::string enabled = localizer->localizedStringForKey("ENABLED"_ns)->str();
    fs::remove(global);
    EXPECT_EQ(makers, "Macher");
    EXPECT_EQ(enabled, "Aktiviert");
}

TEST_F(Localizer, RowsAreTranslatedInPlaceAndValueKeysAreNeverLookedUp) {
    PS::Specifier* full = row("ENABLED");
    full->setProperty("ENABLED_FOOTER"_ns, ns(glintmere::host::kFooterText));
    NS::Dictionary* titles = NS::Dictionary::dictionaryWithObjects({"SUPPORT"_ns, "MAKERS"_ns},
                                                                   {"MORE"_ns, NS::Number::number(1)});
    NS::Dictionary* shortTitles = NS::Dictionary::dictionaryWithObjects({"CONTACT_SUPPORT"_ns}, {"MORE"_ns});
    full->setTitleDictionary(titles);
    full->setShortTitleDictionary(shortTitles);
    titles = full->titleDictionary();
    PS::Specifier* footerOnly = row(nullptr);
    footerOnly->setProperty("SUPPORT_FOOTER"_ns, ns(glintmere::host::kFooterText));
    PS::Specifier* untranslated = row("Written as is");
    NS::Array* rows = NS::Array::arrayWithObjects({full, footerOnly, untranslated});

    NS::Array* result = localizer->localizedSpecifiersForSpecifiers(rows);
    ASSERT_EQ(result, rows);
    ASSERT_EQ(rows->count(), 3u);
    EXPECT_EQ(rows->objectAtIndex(0), full);
    EXPECT_EQ(rows->objectAtIndex(1), footerOnly);
    EXPECT_EQ(rows->objectAtIndex(2), untranslated);

    EXPECT_EQ(full->name()->str(), "Enabled");
    EXPECT_NE(text(full->propertyForKey("footerText"_ns)).find("Set As Wallpaper"), std::string::npos);
    NS::Dictionary* translated = full->titleDictionary();
    ASSERT_NE(translated, titles) << "a new dictionary replaces the old one";
    EXPECT_EQ(text(titles->objectForKey("MORE"_ns)), "SUPPORT") << "the old one is left as it was";
    EXPECT_EQ(translated->count(), 2u);
    EXPECT_EQ(text(translated->objectForKey("MORE"_ns)), "Support");
    EXPECT_EQ(text(translated->objectForKey(NS::Number::number(1))), "Makers");
    EXPECT_EQ(text(full->shortTitleDictionary()->objectForKey("MORE"_ns)), "Contact Support");

    EXPECT_EQ(footerOnly->name(), nullptr);
    EXPECT_EQ(text(footerOnly->propertyForKey("footerText"_ns)).rfind("Sends us", 0), 0u);
    EXPECT_EQ(untranslated->name()->str(), "Written as is");

    for (const std::string& key : lookedUp) {
        EXPECT_NE(key, "MORE") << "a value's key was looked up";
    }
    EXPECT_EQ(lookedUp.size(), 7u);
}

TEST_F(Localizer, AnEmptyListComesBackUntouched) {
    NS::Array* empty = NS::Array::array();
    EXPECT_EQ(localizer->localizedSpecifiersForSpecifiers(empty, "AnyTable"_ns), empty);
    EXPECT_TRUE(lookedUp.empty());
}

TEST_F(Localizer, LoadingIntoAnArrayVariableStoresTheSameList) {
    NS::Array* rows = NS::Array::arrayWithObjects({row("MAKERS")});
    NS::Array* into = nullptr;
    localizer->loadLocalizedSpecifiersForSpecifiers(rows, &into);
    EXPECT_EQ(into, rows);
    EXPECT_EQ(rows->objectAtIndex(0).as<PS::Specifier>()->name()->str(), "Makers");
}

TEST_F(Localizer, WithoutTheBundleEveryTextStaysAsWritten) {
    const std::string moved = std::string(kBundlePath) + ".moved";
    fs::rename(kBundlePath, moved);
    struct Restore {
        std::string from;
        ~Restore() { fs::rename(from, kBundlePath); }
    } restore{moved};

    EXPECT_EQ(localizer->localizationBundle(), nullptr);
    EXPECT_EQ(localizer->localizedStringForKey("MAKERS"_ns)->str(), "MAKERS");
    PS::Specifier* s = row("ENABLED");
    s->setProperty("ENABLED_FOOTER"_ns, "footerText"_ns);
    localizer->localizedSpecifiersForSpecifiers(NS::Array::arrayWithObjects({s}));
    EXPECT_EQ(s->name()->str(), "ENABLED");
    EXPECT_EQ(text(s->propertyForKey("footerText"_ns)), "ENABLED_FOOTER");
}

} // namespace
