#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSString.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewControllerInternals.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "UIKit/UIWebElementAction.hpp"
#include "UIKit/UIWebElementActionInternals.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"
#include "WebKit/WKElementAction.hpp"
#include "WebKit/WKElementActionInternals.hpp"

#include "../support/DeviceLibrary.hpp"
#include "../support/Pictures.hpp"
#include "../support/Plists.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using objc::operator""_sel;
using testing_support::PlistFormat;

constexpr const char* kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";
// The settings pane's spelling of the preferences file; the library reads it through /private/var.
constexpr const char* kPreferences = "/User/Library/Preferences/com.brightmoth.glintmere.plist";
const fs::path kSpringBoard = "/var/mobile/Library/SpringBoard";
constexpr std::uint64_t kMillisecond = 1000000;

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }
NS::String* str(const std::string& s) { return NS::String::string(s); }

// What reached the wallpaper controller, recorded by wrapping two of its methods.
struct HandOff {
    std::uint64_t createdAt = 0;
    id image = nil;
    bool onMainThread = false;
    bool saved = false;
    bool saveFlag = false;
    int mode = -1;
    // Whether the variable after the mode still held the image when the save began.
    bool imageKept = false;
};
std::vector<HandOff> handOffs;
IMP controllerInit = nullptr;
IMP controllerSave = nullptr;

template <class Method> Method as(IMP imp) {
    return reinterpret_cast<Method>(reinterpret_cast<void (*)()>(imp));
}

id recordingInit(id self, SEL sel, id image) {
    handOffs.push_back({now(), image, gettid() == getpid()});
    return as<id (*)(id, SEL, id)>(controllerInit)(self, sel, image);
}

void recordingSave(id self, SEL sel) {
    auto* controller = reinterpret_cast<PL::WallpaperImageViewController*>(self);
    if (!handOffs.empty()) {
        HandOff& h = handOffs.back();
        h.saved = true;
        h.saveFlag = objc::send<bool>(self, "saveWallpaperData"_sel);
        h.mode = objc::ivar(controller, PL::WallpaperImageViewControllerInternals::_wallpaperMode);
        h.imageKept =
            objc::toId(objc::ivar(controller, PL::WallpaperImageViewControllerInternals::_image)) == h.image;
        // A controller whose image was overwritten would save from a wild pointer.
        if (!h.imageKept) {
            return;
        }
    }
    as<void (*)(id, SEL)>(controllerSave)(self, sel);
}

// Deliveries of the settings notification to this process. The library registered for it first,
// so by the time this observer is called the library's reload has run.
int deliveries = 0;
void countDelivery(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
    ++deliveries;
}

// The library is loaded once, as MobileSubstrate loads it at start-up, on a device where the
// settings were never changed.
class LoadedLibrary : public ::testing::Environment {
  public:
    void SetUp() override {
        fs::remove(kPreferences);
        ASSERT_EQ(testing_support::openLibrary(kLibrary), "");
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &countDelivery,
                                        CFSTR("com.brightmoth.glintmere/settingschanged"), nullptr,
                                        CFNotificationSuspensionBehaviorCoalesce);
        Class controller = PL::StaticWallpaperImageViewController::runtimeClass();
        // A release without a wallpaper screen has nothing to record.
        if (controller == Nil) {
            return;
        }
        controllerInit = method_setImplementation(class_getInstanceMethod(controller, "initWithUIImage:"_sel),
                                                  objc::toImp(&recordingInit));
        controllerSave = method_setImplementation(class_getInstanceMethod(controller, "_savePhoto"_sel),
                                                  objc::toImp(&recordingSave));
    }
};
[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new LoadedLibrary);

// The browser's element actions of the device's release, made, read and run through that release's
// class and methods as its browser does: through the runtime, so that the library's hooks apply.
bool webKitActions() { return WK::ElementAction::runtimeClass() != Nil; }
bool hasWallpaperScreen() { return PL::StaticWallpaperImageViewController::runtimeClass() != Nil; }

objc::Ref<NS::Object> makeAction(NS::String* title, NS::Block* handler = nullptr,
                                 long type = WK::ElementActionTypeCopy) {
    if (!webKitActions()) {
        return objc::adopt(
            UI::WebElementAction::alloc()->initWithTitle(title, handler, static_cast<int>(type)));
    }
    auto* action = WK::ElementAction::alloc().get();
    const auto kind = static_cast<WK::ElementActionType>(type);
    if (action->respondsToSelector(WK::ElementAction::initWithTitleForAssistant_.selector())) {
        return objc::adopt(action->initWithTitleForAssistant(title, handler, kind, nullptr));
    }
    return objc::adopt(action->initWithTitle(title, handler, kind));
}

NS::String* titleStringOf(NS::Object* action) {
    return webKitActions() ? reinterpret_cast<WK::ElementAction*>(action)->title()
                           : reinterpret_cast<UI::WebElementAction*>(action)->title();
}

std::string titleOf(NS::Object* action) {
    NS::String* title = titleStringOf(action);
    return title == nullptr ? "<nil>" : title->str();
}

// As the sheet runs a tapped action: with the element pressed, through the release's run method.
void run(NS::Object* action, NS::Object* element = nullptr) {
    if (!webKitActions()) {
        reinterpret_cast<UI::WebElementAction*>(action)->runActionWithElement(element, nullptr, nullptr,
                                                                              CGPoint{160, 120});
        return;
    }
    auto* webKitAction = reinterpret_cast<WK::ElementAction*>(action);
    if (webKitAction->respondsToSelector(
            WK::ElementAction::runActionWithElementInfoForAssistant_.selector())) {
        webKitAction->runActionWithElementInfoForAssistant(element, nullptr);
    } else {
        webKitAction->runActionWithElementInfo(element, nullptr);
    }
}

id handlerOf(NS::Object* action) {
    return webKitActions() ? objc::toId(objc::ivar(reinterpret_cast<WK::ElementAction*>(action),
                                                   WK::ElementActionInternals::_actionHandler))
                           : objc::toId(objc::ivar(reinterpret_cast<UI::WebElementAction*>(action),
                                                   UI::WebElementActionInternals::_actionHandler));
}

long typeOf(NS::Object* action) {
    return webKitActions() ? long{reinterpret_cast<WK::ElementAction*>(action)->type()}
                           : long{objc::ivar(reinterpret_cast<UI::WebElementAction*>(action),
                                             UI::WebElementActionInternals::_type)};
}

// The browser's own image sheet, where WebKit makes it (iOS 8 and later).
std::vector<NS::Object*> browserSheet(WK::ActivatedElementInfo* element,
                                      WK::ActionSheetAssistant* assistant) {
    std::vector<NS::Object*> actions;
    for (NS::Object* action : assistant->defaultActionsForImageSheet(element)) {
        actions.push_back(action);
    }
    return actions;
}

bool relabels() {
    NS::AutoreleaseScope pool;
    return titleOf(makeAction(str("Copy")).get()) == "Set As Wallpaper";
}

// Posts the settings notification and runs the main run loop until this process has received it.
::testing::AssertionResult postAndDeliver() {
    const int before = deliveries;
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         CFSTR("com.brightmoth.glintmere/settingschanged"), nullptr, nullptr,
                                         true);
    const std::uint64_t deadline = now() + 5000 * kMillisecond;
    while (deliveries == before && now() < deadline) {
        NS::AutoreleaseScope pool;
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.01);
    }
    if (deliveries == before) {
        return ::testing::AssertionFailure() << "the notification did not arrive within 5 s";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult writeEnabled(plist_t value, PlistFormat format = PlistFormat::Xml) {
    if (!testing_support::writePlist(kPreferences, testing_support::dictionaryWith("isEnabled", value),
                                     format)) {
        return ::testing::AssertionFailure() << "cannot write " << kPreferences;
    }
    return ::testing::AssertionSuccess();
}

// What the settings pane does when the switch flips: the file, then the notification.
::testing::AssertionResult switchTo(bool on, PlistFormat format = PlistFormat::Xml) {
    auto written = writeEnabled(plist_new_bool(on), format);
    return written ? postAndDeliver() : written;
}

// Every test starts with the feature on, an empty pasteboard, no wallpaper and no hand-off seen.
class Hooks : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!hasWallpaperScreen()) {
            GTEST_SKIP() << "this release has no wallpaper screen: see WithoutAWallpaperScreen";
        }
        prepare();
    }
    void prepare() {
        if (!relabels()) {
            ASSERT_TRUE(switchTo(true));
        }
        fs::remove(kPreferences);
        fs::remove_all(kSpringBoard);
        UI::Pasteboard::generalPasteboard()->setImage(nullptr);
        handOffs.clear();
        ASSERT_TRUE(testing_support::writePng(pictureA, "/tmp/hook-a.png"));
        ASSERT_TRUE(testing_support::writePng(pictureB, "/tmp/hook-b.png"));
        imageA = UI::Image::imageWithContentsOfFile(str("/tmp/hook-a.png"));
        imageB = UI::Image::imageWithContentsOfFile(str("/tmp/hook-b.png"));
        ASSERT_TRUE(imageA != nullptr && imageB != nullptr);
    }
    void TearDown() override {
        UI::Pasteboard::generalPasteboard()->setImage(nullptr);
        fs::remove_all(kSpringBoard);
    }

    // A handler that copies `image` as the browser's copy handler does, noting when it finished.
    objc::Ref<NS::Block> copying(UI::Image* image, std::uint64_t* copiedAt = nullptr) {
        return NS::Block::create([image, copiedAt](id) {
            UI::Pasteboard::generalPasteboard()->setImage(image);
            if (copiedAt != nullptr) {
                *copiedAt = now();
            }
        });
    }

    static void runUntilIdle() {
        ASSERT_TRUE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(5.0));
    }

    NS::AutoreleaseScope pool;
    testing_support::Picture pictureA = testing_support::makePicture(8, 5, 1);
    testing_support::Picture pictureB = testing_support::makePicture(4, 9, 2);
    UI::Image* imageA = nullptr;
    UI::Image* imageB = nullptr;
};

using Relabelling = Hooks;

TEST_F(Relabelling, CopyBecomesSetAsWallpaperWithItsHandlerAndKindUntouched) {
    auto seen = std::make_shared<std::vector<id>>();
    auto handler = NS::Block::create([seen](id element) { seen->push_back(element); });
    for (long type : {long{WK::ElementActionTypeCopy}, long{WK::ElementActionTypeCustom},
                      long{WK::ElementActionTypeOpen}, long{WK::ElementActionTypeSaveImage}, 99L}) {
        auto action = makeAction(str("Copy"), handler.get(), type);
        ASSERT_TRUE(action);
        EXPECT_EQ(titleOf(action.get()), "Set As Wallpaper") << "kind " << type;
        EXPECT_EQ(typeOf(action.get()), type);
        EXPECT_EQ(handlerOf(action.get()), objc::toId(handler.get()));
    }
    auto action = makeAction(str("Copy"), handler.get());
    // Whatever the release passes as the element reaches the handler untouched.
    NS::String* element = str("the pressed element");
    run(action.get(), element);
    ASSERT_EQ(seen->size(), 1u);
    EXPECT_EQ((*seen)[0], objc::toId(element));
}

TEST_F(Relabelling, TitlesThatDifferFromCopyInAnyWayPassUnchanged) {
    const char* titles[] = {"copy",
                            "COPY",
                            "Copy ",
                            " Copy",
                            "Copy\n",
                            "Cop",
                            "Copy Link",
                            "Copy Image",
                            "Kopieren",
                            "Copier",
                            "\xD0\xA1opy", // Cyrillic Es
                            "Copy\xE2\x80\x8B",
                            "",
                            "Open",
                            "Save Image",
                            "Set As Wallpaper"};
    for (const char* title : titles) {
        auto action = makeAction(str(title));
        EXPECT_EQ(titleOf(action.get()), title);
    }
    EXPECT_EQ(titleStringOf(makeAction(nullptr).get()), nullptr);
}

TEST_F(Relabelling, TheBrowsersImageSheetOffersSetAsWallpaperInPlaceOfCopy) {
    if (!webKitActions()) {
        GTEST_SKIP() << "iOS 7's browser makes its sheet itself: the browser's tests show it";
    }
    auto element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                   ->initWithImage(str("/tmp/hook-a.png"), imageA));
    auto assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
    std::vector<std::string> titles;
    for (NS::Object* action : browserSheet(element.get(), assistant.get())) {
        titles.push_back(titleOf(action));
        if (titles.back() == "Set As Wallpaper") {
            EXPECT_EQ(typeOf(action), WK::ElementActionTypeCopy);
        }
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Open", "Open in New Tab", "Add to Reading List",
                                                "Set As Wallpaper", "Save Image"}));
}

using EnabledFlag = Hooks;

TEST_F(EnabledFlag, FollowsTheSwitchOnEachNotification) {
    EXPECT_TRUE(relabels());
    ASSERT_TRUE(switchTo(false));
    EXPECT_FALSE(relabels());
    ASSERT_TRUE(switchTo(true, PlistFormat::Binary));
    EXPECT_TRUE(relabels());
    ASSERT_TRUE(switchTo(false, PlistFormat::Binary));
    EXPECT_FALSE(relabels());
}

TEST_F(EnabledFlag, ReadsTheFileOnlyWhenNotified) {
    ASSERT_TRUE(writeEnabled(plist_new_bool(false)));
    runUntilIdle();
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.05);
    EXPECT_TRUE(relabels());
    ASSERT_TRUE(postAndDeliver());
    EXPECT_FALSE(relabels());
}

TEST_F(EnabledFlag, KeepsItsValueWhenTheEntryOrTheFileGoes) {
    ASSERT_TRUE(switchTo(false));
    ASSERT_TRUE(testing_support::writePlist(kPreferences,
                                            testing_support::dictionaryWith("other", plist_new_bool(true))));
    ASSERT_TRUE(postAndDeliver());
    EXPECT_FALSE(relabels());
    fs::remove(kPreferences);
    ASSERT_TRUE(postAndDeliver());
    EXPECT_FALSE(relabels());
    // A notification without any change: one more reload, same value.
    ASSERT_TRUE(postAndDeliver());
    EXPECT_FALSE(relabels());

    ASSERT_TRUE(switchTo(true));
    fs::remove(kPreferences);
    ASSERT_TRUE(postAndDeliver());
    EXPECT_TRUE(relabels());
}

TEST_F(EnabledFlag, NumbersAndStringsReadAsBooleans) {
    const std::pair<plist_t (*)(), bool> cases[] = {
        {[] { return plist_new_uint(0); }, false},      {[] { return plist_new_uint(1); }, true},
        {[] { return plist_new_string("NO"); }, false}, {[] { return plist_new_uint(7); }, true},
        {[] { return plist_new_real(0.0); }, false},    {[] { return plist_new_string("YES"); }, true},
    };
    for (const auto& [make, expected] : cases) {
        ASSERT_TRUE(writeEnabled(make()));
        ASSERT_TRUE(postAndDeliver());
        EXPECT_EQ(relabels(), expected);
    }
}

// Entries without a boolean reading count as absent; unreadable files as no file at all.
TEST_F(EnabledFlag, FilesAndEntriesWithoutABooleanLeaveItAsItIs) {
    const std::function<bool()> writers[] = {
        [] { return writeEnabled(plist_new_array(), PlistFormat::Binary); },
        [] { return writeEnabled(testing_support::dictionaryWith("isEnabled", plist_new_bool(false))); },
        [] { return writeEnabled(plist_new_data("\0", 1), PlistFormat::Binary); },
        [] { return writeEnabled(plist_new_date(0, 0)); },
        [] { return testing_support::writeFile(kPreferences, ""); },
        [] { return testing_support::writeFile(kPreferences, "<plist><dict><key>isEnabled</key><false/>"); },
        [] { return testing_support::writeFile(kPreferences, std::string("bplist00\xd1\x01\x02", 11)); },
        [] { return testing_support::writePlist(kPreferences, plist_new_array()); },
    };
    for (bool before : {false, true}) {
        ASSERT_TRUE(switchTo(before));
        for (std::size_t i = 0; i < std::size(writers); ++i) {
            ASSERT_TRUE(writers[i]());
            ASSERT_TRUE(postAndDeliver());
            EXPECT_EQ(relabels(), before) << "case " << i;
        }
    }
}

using HandOffs = Hooks;

TEST_F(HandOffs, TheBrowsersCopyRunsFirstAndTheWallpaperFollowsAFifthOfASecondLater) {
    std::uint64_t copiedAt = 0;
    auto action = makeAction(str("Copy"), copying(imageA, &copiedAt).get());
    ASSERT_EQ(titleOf(action.get()), "Set As Wallpaper");
    run(action.get());
    const std::uint64_t returnedAt = now();
    ASSERT_NE(copiedAt, 0u) << "the browser's handler runs within the tap";
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), imageA);
    EXPECT_TRUE(handOffs.empty());

    // Not a moment early: the main run loop is served up to just before the fifth of a second. A
    // loaded machine may wake the loop only after the fifth has passed, and then the hand-off is due.
    const std::uint64_t almost = copiedAt + 190 * kMillisecond;
    if (now() < almost) {
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
            ->runFor(static_cast<double>(almost - now()) / 1e9);
    }
    for (const HandOff& early : handOffs) {
        EXPECT_GE(early.createdAt, copiedAt + 200 * kMillisecond);
    }

    runUntilIdle();
    ASSERT_EQ(handOffs.size(), 1u);
    const HandOff& h = handOffs[0];
    EXPECT_GE(h.createdAt, copiedAt + 200 * kMillisecond);
    EXPECT_LT(h.createdAt, returnedAt + 1000 * kMillisecond);
    EXPECT_TRUE(h.onMainThread);
    EXPECT_EQ(h.image, objc::toId(imageA));
    EXPECT_TRUE(h.saved);
    EXPECT_TRUE(h.saveFlag);
    EXPECT_EQ(h.mode, 0);
    EXPECT_TRUE(h.imageKept) << "writing the mode overwrote the variable after it";
    EXPECT_EQ(testing_support::readPng(PL::LockBackgroundPath), pictureA);
    EXPECT_EQ(testing_support::readPng(PL::HomeBackgroundPath), pictureA);
}

TEST_F(HandOffs, TheBrowsersOwnSheetSetsTheLongPressedImageAsWallpaper) {
    if (!webKitActions()) {
        GTEST_SKIP() << "iOS 7's browser makes its sheet itself: the browser's tests show it";
    }
    auto element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                   ->initWithImage(str("/tmp/hook-b.png"), imageB));
    auto assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
    NS::Object* setWallpaper = browserSheet(element.get(), assistant.get()).at(3);
    ASSERT_EQ(titleOf(setWallpaper), "Set As Wallpaper");
    run(setWallpaper, element.get());
    runUntilIdle();
    ASSERT_EQ(handOffs.size(), 1u);
    EXPECT_EQ(handOffs[0].image, objc::toId(imageB));
    EXPECT_EQ(testing_support::readPng(PL::LockBackgroundPath), pictureB);
    EXPECT_EQ(testing_support::readPng(PL::HomeBackgroundPath), pictureB);
}

TEST_F(HandOffs, OtherActionsRunAsUsualWithoutOne) {
    int runs = 0;
    auto handler = NS::Block::create([this, &runs](id) {
        UI::Pasteboard::generalPasteboard()->setImage(imageA);
        ++runs;
    });
    for (const char* title : {"Open", "Save Image", "set as wallpaper", "Set As Wallpaper ", "Copy Link"}) {
        run(makeAction(str(title), handler.get()).get());
    }
    runUntilIdle();
    EXPECT_EQ(runs, 5);
    EXPECT_TRUE(handOffs.empty());
    EXPECT_FALSE(fs::exists(kSpringBoard / "LockBackground.png"));
}

TEST_F(HandOffs, EachRunHandsOffOnceReadingThePasteboardWhenItsTimeComes) {
    std::uint64_t firstAt = 0;
    std::uint64_t secondAt = 0;
    auto first = makeAction(str("Copy"), copying(imageA, &firstAt).get());
    auto second = makeAction(str("Copy"), copying(imageB, &secondAt).get());
    run(first.get());
    run(second.get());
    runUntilIdle();
    ASSERT_EQ(handOffs.size(), 2u);
    EXPECT_GE(handOffs[0].createdAt, firstAt + 200 * kMillisecond);
    EXPECT_GE(handOffs[1].createdAt, secondAt + 200 * kMillisecond);
    // Both ran after the second copy, so both found its image.
    EXPECT_EQ(handOffs[0].image, objc::toId(imageB));
    EXPECT_EQ(handOffs[1].image, objc::toId(imageB));
    EXPECT_EQ(testing_support::readPng(PL::HomeBackgroundPath), pictureB);
}

TEST_F(HandOffs, AnEmptyPasteboardSavesNothing) {
    auto action = makeAction(str("Copy"), copying(nullptr).get());
    ASSERT_EQ(titleOf(action.get()), "Set As Wallpaper");
    run(action.get());
    runUntilIdle();
    EXPECT_TRUE(handOffs.empty());
    EXPECT_FALSE(fs::exists(kSpringBoard / "LockBackground.png"));
    EXPECT_FALSE(fs::exists(kSpringBoard / "HomeBackground.png"));
}

TEST_F(HandOffs, HappenOnTheMainThreadWhicheverThreadTheTapCameFrom) {
    std::uint64_t copiedAt = 0;
    auto action = makeAction(str("Copy"), copying(imageA, &copiedAt).get());
    std::thread([&action] {
        NS::AutoreleaseScope pool;
        run(action.get());
    }).join();
    runUntilIdle();
    ASSERT_EQ(handOffs.size(), 1u);
    EXPECT_TRUE(handOffs[0].onMainThread);
    EXPECT_GE(handOffs[0].createdAt, copiedAt + 200 * kMillisecond);
    EXPECT_EQ(testing_support::readPng(PL::LockBackgroundPath), pictureA);
}

TEST_F(HandOffs, AnActionRelabelledBeforeTheSwitchWentOffStillSetsTheWallpaper) {
    auto action = makeAction(str("Copy"), copying(imageA).get());
    ASSERT_TRUE(switchTo(false));
    EXPECT_EQ(titleOf(action.get()), "Set As Wallpaper");
    run(action.get());
    runUntilIdle();
    ASSERT_EQ(handOffs.size(), 1u);
    EXPECT_EQ(testing_support::readPng(PL::LockBackgroundPath), pictureA);
}

TEST_F(HandOffs, ACopyMadeWhileOffStaysCopyAndOnlyCopies) {
    ASSERT_TRUE(switchTo(false));
    auto copy = makeAction(str("Copy"), copying(imageA).get());
    ASSERT_TRUE(switchTo(true));
    EXPECT_EQ(titleOf(copy.get()), "Copy");
    run(copy.get());
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), imageA);
    runUntilIdle();
    EXPECT_TRUE(handOffs.empty());
    EXPECT_FALSE(fs::exists(kSpringBoard / "LockBackground.png"));
}

// The device's frameworks hold what that release of iOS holds, and nothing it lacks: the classes
// and the one form of each method that the library must find by asking.
TEST(TheRelease, HasTheActionAndWallpaperClassesOfItsVersion) {
    const double release = kCFCoreFoundationVersionNumber;
    const auto answers = [](Class cls, SEL selector) {
        return cls != Nil && class_getInstanceMethod(cls, selector) != nullptr;
    };
    Class webKit = objc_lookUpClass("_WKElementAction");
    Class uiKit = objc_lookUpClass("UIWebElementAction");
    EXPECT_EQ(webKit != Nil, release >= 1140.10) << release;
    EXPECT_NE(uiKit, Nil);
    EXPECT_TRUE(answers(uiKit, "initWithTitle:actionHandler:type:"_sel));
    EXPECT_TRUE(answers(uiKit, "_runActionWithElement:targetURL:documentView:interactionLocation:"_sel));
    EXPECT_TRUE(answers(uiKit, "_title"_sel));
    EXPECT_FALSE(answers(uiKit, "title"_sel));
    EXPECT_EQ(objc_lookUpClass("WKActionSheetAssistant") != Nil, release >= 1140.10);

    const bool eight = release >= 1140.10 && release < 1240.10;
    EXPECT_EQ(answers(webKit, "_initWithTitle:actionHandler:type:"_sel), eight) << release;
    EXPECT_EQ(answers(webKit, "_initWithTitle:actionHandler:type:assistant:"_sel), release >= 1240.10)
        << release;
    EXPECT_EQ(answers(webKit, "_runActionWithElementInfo:view:"_sel), release >= 1140.10 && release < 1144.17)
        << release;
    EXPECT_EQ(answers(webKit, "_runActionWithElementInfo:forActionSheetAssistant:"_sel), release >= 1144.17)
        << release;
    EXPECT_EQ(answers(webKit, "runActionWithElementInfo:"_sel), release >= 1240.10) << release;

    const bool saver = release < 1751.108;
    EXPECT_EQ(objc_lookUpClass("PLStaticWallpaperImageViewController") != Nil, saver) << release;
    EXPECT_EQ(objc_lookUpClass("PLWallpaperImageViewController") != Nil, saver) << release;
}

// Where the system has no wallpaper screen (iOS 14 and later), the library promises nothing: "Copy"
// keeps its title however the switch stands, and copies only.
class WithoutAWallpaperScreen : public Hooks {
  protected:
    void SetUp() override {
        if (hasWallpaperScreen()) {
            GTEST_SKIP() << "this release has a wallpaper screen";
        }
        prepare();
    }
};

TEST_F(WithoutAWallpaperScreen, CopyStaysCopyAndOnlyCopies) {
    ASSERT_TRUE(switchTo(true));
    auto element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                   ->initWithImage(str("/tmp/hook-a.png"), imageA));
    auto assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
    std::vector<std::string> titles;
    for (NS::Object* action : browserSheet(element.get(), assistant.get())) {
        titles.push_back(titleOf(action));
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Open", "Open in New Tab", "Add to Reading List", "Copy",
                                                "Save Image"}));
    auto copy = makeAction(str("Copy"), copying(imageA).get());
    EXPECT_EQ(titleOf(copy.get()), "Copy");
    run(copy.get());
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), imageA);
    runUntilIdle();
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.3);
    EXPECT_FALSE(fs::exists(kSpringBoard / "LockBackground.png"));
    EXPECT_FALSE(fs::exists(kSpringBoard / "HomeBackground.png"));
}

} // namespace
