#include "Foundation/NSRunLoopInternals.hpp"
#include "SettingsBundle.hpp"

#include "BMGlintmereListController.hpp"
#include "CoreFoundation/CoreFoundation.h"
#include "GlintmereListController.hpp"
#include "objc/ClassBuilder.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using objc::operator""_sel;
using NS::literals::operator""_ns;

// Counts one notification name's deliveries on this process's main run loop.
class Listener {
  public:
    explicit Listener(const char* name) {
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), this, &Listener::heard,
                                        ns(name), nullptr, CFNotificationSuspensionBehaviorCoalesce);
    }
    ~Listener() {
        CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), this);
    }

    // Runs the main run loop until `n` deliveries have come or `seconds` have passed.
    int waitFor(int n, double seconds) {
        const std::uint64_t deadline =
            NS::RunLoopInternals::monotonicNow() + static_cast<std::uint64_t>(seconds * 1e9);
        while (count < n && NS::RunLoopInternals::monotonicNow() < deadline) {
            NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.01);
        }
        return count;
    }
    int count = 0;

  private:
    static void heard(CFNotificationCenterRef, void* observer, CFStringRef, const void*, CFDictionaryRef) {
        ++static_cast<Listener*>(observer)->count;
    }
};

std::string fileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(settingsBundle(), nullptr);
        fs::remove(kPreferences);
        fs::remove_all(kBackup);
        pane = objc::adopt(reinterpret_cast<BMGlintmereListController*>(
            objc::send<id>(BMGlintmereListController::runtimeClass(), "new"_sel)));
        ASSERT_NE(pane.get(), nullptr);
    }

    PS::Specifier* control(const char* key, NS::Object* fallback = nullptr,
                           const char* notification = nullptr) {
        PS::Specifier* s = PS::Specifier::preferenceSpecifier(
            ns(key != nullptr ? key : "Unnamed"), pane->self(), "setPreferenceValue:specifier:"_sel,
            "readPreferenceValue:"_sel, Nil, PS::SwitchCell, 0);
        s->setProperty(key != nullptr ? ns(key) : nullptr, "key"_ns);
        s->setProperty(fallback, "default"_ns);
        s->setProperty(notification != nullptr ? ns(notification) : nullptr, "PostNotification"_ns);
        return s;
    }
    NS::Dictionary* stored() { return NS::Dictionary::dictionaryWithContentsOfFile(ns(kPreferences)); }
    void storeFile(std::initializer_list<NS::Object*> values, std::initializer_list<NS::Object*> keys) {
        ASSERT_TRUE(NS::Dictionary::dictionaryWithObjects(values, keys)->writeToFile(ns(kPreferences), true));
    }
    static bool boolOf(NS::Object* o) {
        return NS::cast<NS::Number>(o) != nullptr && NS::cast<NS::Number>(o)->boolValue();
    }

    NS::AutoreleaseScope pool;
    objc::Ref<BMGlintmereListController> pane;
};

TEST_F(Store, WithoutAFileDefaultsShowAndTheFirstStoreWritesOneEntry) {
    NS::Number* yes = NS::Number::number(true);
    PS::Specifier* enabled = control("isEnabled", yes, kSettingsChanged);
    EXPECT_EQ(pane->readPreferenceValue(enabled), yes);
    EXPECT_EQ(pane->readPreferenceValue(control("other")), nullptr);

    pane->setPreferenceValue(NS::Number::number(false), enabled);
    NS::Dictionary* file = stored();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->count(), 1u);
    auto value = NS::cast<NS::Number>(file->objectForKey("isEnabled"_ns));
    ASSERT_NE(value, nullptr);
    EXPECT_TRUE(value->isBoolean());
    EXPECT_FALSE(value->boolValue());
    EXPECT_TRUE(fileText(kPreferences).starts_with("<?xml")) << "an XML property list";
}

TEST_F(Store, AStoredFalseShowsOverADefaultOfTrue) {
    storeFile({NS::Number::number(false), NS::Number::number(0), ""_ns},
              {"isEnabled"_ns, "count"_ns, "name"_ns});
    NS::Object* shown = pane->readPreferenceValue(control("isEnabled", NS::Number::number(true)));
    ASSERT_NE(NS::cast<NS::Number>(shown), nullptr);
    EXPECT_FALSE(boolOf(shown));
    EXPECT_EQ(
        NS::cast<NS::Number>(pane->readPreferenceValue(control("count", NS::Number::number(5))))->intValue(),
        0);
    EXPECT_EQ(NS::cast<NS::String>(pane->readPreferenceValue(control("name", "fallback"_ns)))->length(), 0u);
}

TEST_F(Store, EveryStoreKeepsTheOtherEntries) {
    storeFile({"kept"_ns, NS::Number::number(3), NS::Number::number(true)},
              {"unnamed"_ns, "count"_ns, "isEnabled"_ns});
    pane->setPreferenceValue(NS::Number::number(false), control("isEnabled"));
    pane->setPreferenceValue(NS::Number::number(4), control("count"));
    pane->setPreferenceValue("new"_ns, control("fresh"));
    NS::Dictionary* file = stored();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->count(), 4u);
    EXPECT_EQ(NS::cast<NS::String>(file->objectForKey("unnamed"_ns))->str(), "kept");
    EXPECT_EQ(NS::cast<NS::Number>(file->objectForKey("count"_ns))->intValue(), 4);
    EXPECT_FALSE(boolOf(file->objectForKey("isEnabled"_ns)));
    EXPECT_EQ(NS::cast<NS::String>(file->objectForKey("fresh"_ns))->str(), "new");
}

TEST_F(Store, TwoControlsWithOneKeyShareOneValue) {
    PS::Specifier* first = control("shared", NS::Number::number(1));
    PS::Specifier* second = control("shared", NS::Number::number(2));
    pane->setPreferenceValue(NS::Number::number(9), first);
    EXPECT_EQ(NS::cast<NS::Number>(pane->readPreferenceValue(second))->intValue(), 9);
    EXPECT_EQ(stored()->count(), 1u);
}

TEST_F(Store, StoringTheSameValueStillRewritesAndPosts) {
    Listener listener(kSettingsChanged);
    PS::Specifier* enabled = control("isEnabled", NS::Number::number(true), kSettingsChanged);
    pane->setPreferenceValue(NS::Number::number(true), enabled);
    ASSERT_EQ(listener.waitFor(1, 5), 1);
    struct stat before {};
    ASSERT_EQ(stat(kPreferences, &before), 0);

    pane->setPreferenceValue(NS::Number::number(true), enabled);
    EXPECT_EQ(listener.waitFor(2, 5), 2);
    struct stat after {};
    ASSERT_EQ(stat(kPreferences, &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "the file is replaced whole, not left alone";
}

TEST_F(Store, NothingIsWrittenOrPostedForANilValueOrARowWithoutKey) {
    Listener listener(kSettingsChanged);
    pane->setPreferenceValue(nullptr, control("isEnabled", nullptr, kSettingsChanged));
    pane->setPreferenceValue(NS::Number::number(false), control(nullptr, nullptr, kSettingsChanged));
    EXPECT_FALSE(fs::exists(kPreferences));
    EXPECT_EQ(listener.waitFor(1, 0.5), 0);
}

TEST_F(Store, ARowWithoutNotificationIsStoredSilently) {
    Listener listener(kSettingsChanged);
    pane->setPreferenceValue(NS::Number::number(false), control("isEnabled"));
    ASSERT_NE(stored(), nullptr);
    EXPECT_FALSE(boolOf(stored()->objectForKey("isEnabled"_ns)));
    EXPECT_EQ(listener.waitFor(1, 0.5), 0);
}

TEST_F(Store, AFileThatIsNoDictionaryIsKeptAsideBeforeItIsReplaced) {
    for (const std::string damaged :
         {"not a property list", "<plist><array><string>x</string></array></plist>"}) {
        std::ofstream(kPreferences, std::ios::binary | std::ios::trunc) << damaged;
        pane->setPreferenceValue(NS::Number::number(false), control("isEnabled"));
        EXPECT_EQ(fileText(kBackup), damaged) << "the one backup holds the latest damaged file";
        ASSERT_NE(stored(), nullptr);
        EXPECT_EQ(stored()->count(), 1u);
    }
    pane->setPreferenceValue(NS::Number::number(true), control("isEnabled"));
    EXPECT_EQ(fileText(kBackup), "<plist><array><string>x</string></array></plist>")
        << "a good file makes no backup";
}

TEST_F(Store, ADamagedFileThatCannotBeKeptAsideIsLeftInPlace) {
    std::ofstream(kPreferences, std::ios::binary | std::ios::trunc) << "damaged";
    fs::create_directories(fs::path(kBackup) / "occupied"); // a backup cannot replace a full folder
    Listener listener(kSettingsChanged);
    pane->setPreferenceValue(NS::Number::number(false), control("isEnabled", nullptr, kSettingsChanged));
    EXPECT_EQ(fileText(kPreferences), "damaged");
    EXPECT_EQ(listener.waitFor(1, 5), 1) << "listeners hear of the store as of a failed write";
    fs::remove_all(kBackup);
}

constexpr const char* kLock = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist.lock";

bool isLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST_F(Store, LinksPlantedAtTheLockAndBackupNamesAreNeverFollowed) {
    const std::string lockTarget = "/tmp/planted-lock", backupTarget = "/tmp/planted-backup",
                      stagingTarget = "/tmp/planted-staging";
    fs::remove(kLock);
    fs::create_symlink(lockTarget, kLock);
    fs::create_symlink(backupTarget, kBackup);
    fs::create_symlink(stagingTarget, std::string(kBackup) + ".new");
    std::ofstream(kPreferences, std::ios::binary | std::ios::trunc) << "damaged";

    pane->setPreferenceValue(NS::Number::number(false), control("isEnabled"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(lockTarget))) << "the lock was made where its link points";
    EXPECT_FALSE(fs::exists(fs::symlink_status(backupTarget)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(stagingTarget)));
    EXPECT_FALSE(isLink(kBackup));
    EXPECT_EQ(fileText(kBackup), "damaged") << "the damaged file is kept aside all the same";
    ASSERT_NE(stored(), nullptr);
    EXPECT_FALSE(boolOf(stored()->objectForKey("isEnabled"_ns))) << "the store goes ahead unguarded";
    EXPECT_TRUE(isLink(kLock));
    fs::remove(kLock);
}

// A link at the preferences path reads as the file it names, as the hook library and the platform's
// own readers read it; a store never writes through it.
TEST_F(Store, ALinkAtThePreferencesPathIsReadThroughButNeverWrittenThrough) {
    const std::string elsewhere = "/var/mobile/Documents/linked.plist";
    fs::create_directories(fs::path(elsewhere).parent_path());
    ASSERT_TRUE(NS::Dictionary::dictionaryWithObjects({NS::Number::number(false), "kept"_ns},
                                                      {"isEnabled"_ns, "other"_ns})
                    ->writeToFile(ns(elsewhere), true));
    const std::string target = fileText(elsewhere.c_str());
    fs::create_symlink(elsewhere, kPreferences);
    PS::Specifier* enabled = control("isEnabled", NS::Number::number(true));
    NS::Object* shown = pane->readPreferenceValue(enabled);
    ASSERT_NE(NS::cast<NS::Number>(shown), nullptr);
    EXPECT_FALSE(boolOf(shown)) << "the linked file's false shows, not the default";

    pane->setPreferenceValue(NS::Number::number(true), control("count"));
    EXPECT_EQ(fileText(elsewhere.c_str()), target) << "the link's target is left as it was";
    EXPECT_FALSE(isLink(kPreferences)) << "the store replaced the link with a file";
    ASSERT_NE(stored(), nullptr);
    EXPECT_EQ(stored()->count(), 3u) << "what was read through the link is kept, and the new entry added";
    EXPECT_FALSE(boolOf(stored()->objectForKey("isEnabled"_ns)));
    EXPECT_EQ(NS::cast<NS::String>(stored()->objectForKey("other"_ns))->str(), "kept");
    EXPECT_FALSE(fs::exists(fs::symlink_status(kBackup))) << "a file that read needs no keeping aside";

    // A link to nothing reads as no file; the store makes a file in its place, not where it points.
    fs::remove(kPreferences);
    const std::string nowhere = "/tmp/nowhere.plist";
    fs::create_symlink(nowhere, kPreferences);
    EXPECT_TRUE(boolOf(pane->readPreferenceValue(enabled))) << "the default";
    pane->setPreferenceValue(NS::Number::number(false), enabled);
    EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
    EXPECT_FALSE(isLink(kPreferences));
    ASSERT_NE(stored(), nullptr);
    EXPECT_EQ(stored()->count(), 1u);
    EXPECT_FALSE(boolOf(stored()->objectForKey("isEnabled"_ns)));
    EXPECT_TRUE(isLink(kBackup)) << "the link itself is kept aside, as a file that does not read";
    fs::remove(elsewhere);
}

// Each child stores its own keys, one at a time, as a Settings process does.
[[noreturn]] void storeKeys(const std::string& prefix, int n) {
    NS::AutoreleaseScope outer;
    auto pane = objc::send<BMGlintmereListController*>(BMGlintmereListController::runtimeClass(), "new"_sel);
    for (int i = 0; i < n; ++i) {
        NS::AutoreleaseScope pool;
        PS::Specifier* s = PS::Specifier::preferenceSpecifier(ns("row"), pane->self(), nullptr, nullptr, Nil,
                                                              PS::SwitchCell, 0);
        s->setProperty(ns(prefix + std::to_string(i)), "key"_ns);
        pane->setPreferenceValue(NS::Number::number(i), s);
    }
    pane->release();
    _exit(0);
}

TEST_F(Store, TwoProcessesStoringAtOnceBothKeepTheirEntries) {
    constexpr int kStores = 60;
    pid_t children[2];
    const char* prefixes[2] = {"first", "second"};
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            storeKeys(prefixes[c], kStores);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    NS::Dictionary* file = stored();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->count(), 2u * kStores) << "no store lost another's entry";
    for (const char* prefix : prefixes) {
        for (int i = 0; i < kStores; ++i) {
            EXPECT_NE(file->objectForKey(ns(prefix + std::to_string(i))), nullptr) << prefix << i;
        }
    }
}

// Records what the host's loader hands back, to compare with what the store passes on.
NS::Array* lastLoaded = nullptr;
id lastTarget = nil;
struct LoadingPane : NS::Referencing<LoadingPane, "TestLoadingPane", BMGlintmereListController> {};
NS::Array* recordLoad(PS::ListController* self, NS::String* name, id target) {
    lastTarget = target;
    lastLoaded =
        PS::ListController::loadSpecifiersFromPlistNameTarget_.super<LoadingPane>(self, name, target);
    return lastLoaded;
}

TEST_F(Store, LoadedRowsAreTheVeryArrayLocalizedInPlaceAndOwnedByTheCaller) {
    objc::ClassDefinition<PS::ListController>("TestLoadingPane", "BMGlintmereListController")
        .method<&recordLoad>(PS::ListController::loadSpecifiersFromPlistNameTarget_)
        .build();
    auto loading =
        objc::adopt(objc::send<BMGlintmereListController*>(objc_lookUpClass("TestLoadingPane"), "new"_sel));
    loading->setBundle(settingsBundle());
    NS::Array* rows = nullptr;
    {
        NS::AutoreleaseScope inner;
        rows = loading->specifiersForPlistName("Glintmere"_ns);
    }
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows, lastLoaded);
    EXPECT_EQ(lastTarget, loading->self());
    EXPECT_EQ(rows->retainCount(), 1u) << "exactly the caller's ownership is left";
    auto row = rows->objectAtIndex(1).as<PS::Specifier>();
    EXPECT_EQ(row->name()->str(), "Enabled");
    EXPECT_EQ(
        NS::cast<NS::String>(rows->objectAtIndex(0).as<PS::Specifier>()->propertyForKey("footerText"_ns))
                ->str()
                .find("Set As Wallpaper") != std::string::npos,
        true);
    rows->release();
}

TEST_F(Store, TheRootPanesSwitchIsTheOneTheHookLibraryFollows) {
    auto root =
        objc::adopt(objc::send<PS::ListController*>(GlintmereListController::runtimeClass(), "new"_sel));
    root->setBundle(settingsBundle());
    NS::Array* rows = root->specifiers();
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(root->specifiers(), rows) << "loaded once and kept";
    int groups = 0;
    PS::Specifier* toggle = nullptr;
    for (NS::Object* o : *rows) {
        auto s = reinterpret_cast<PS::Specifier*>(o);
        groups += s->cellType() == PS::GroupCell;
        auto key = NS::cast<NS::String>(s->propertyForKey("key"_ns));
        if (key != nullptr && key->str() == "isEnabled") {
            toggle = s;
        }
    }
    EXPECT_GE(groups, 4);
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->cellType(), PS::SwitchCell);
    auto fallback = NS::cast<NS::Number>(toggle->propertyForKey("default"_ns));
    ASSERT_NE(fallback, nullptr);
    EXPECT_TRUE(fallback->isBoolean() && fallback->boolValue());
    EXPECT_EQ(NS::cast<NS::String>(toggle->propertyForKey("PostNotification"_ns))->str(), kSettingsChanged);
}

} // namespace
