#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"
#include "WebKit/WKElementAction.hpp"
#include "WebKit/WKElementActionInternals.hpp"
#include "objc/ClassBuilder.hpp"

#include "../../../tests/support/Pictures.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using objc::operator""_sel;

NS::String* str(const char* s) { return NS::String::string(s); }

std::vector<WK::ElementAction*> actionsOf(NS::Array* array) {
    std::vector<WK::ElementAction*> result;
    const auto n = objc::send<unsigned long>(array, "count"_sel);
    for (unsigned long i = 0; i < n; ++i) {
        result.push_back(objc::send<WK::ElementAction*>(array, "objectAtIndex:"_sel, i));
    }
    return result;
}

WK::ElementAction* titled(const std::vector<WK::ElementAction*>& actions, const std::string& title) {
    for (auto* action : actions) {
        if (action->title()->str() == title) {
            return action;
        }
    }
    return nullptr;
}

TEST(ElementAction, KeepsTitleHandlerAndType) {
    NS::AutoreleaseScope pool;
    auto calls = std::make_shared<std::vector<id>>();
    auto handler = NS::Block::create([calls](id element) { calls->push_back(element); });
    auto action = objc::adopt(
        WK::ElementAction::alloc()->initWithTitle(str("Copy"), handler.get(), WK::ElementActionTypeCopy));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->title()->str(), "Copy");
    EXPECT_EQ(action->type(), WK::ElementActionTypeCopy);
    EXPECT_EQ(objc::toId(objc::ivar(action.get(), WK::ElementActionInternals::_actionHandler)),
              objc::toId(handler.get()));
    EXPECT_TRUE(calls->empty());

    auto element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                   ->initWithImage(str("/x.png"), nullptr));
    action->runActionWithElementInfoForAssistant(element.get(), nullptr);
    action->runActionWithElementInfoForAssistant(nullptr, nullptr);
    ASSERT_EQ(calls->size(), 2u);
    EXPECT_EQ((*calls)[0], objc::toId(element.get()));
    EXPECT_EQ((*calls)[1], nil);
}

// Records what the browser is asked to do.
struct Performed {
    id delegate;
    long type;
    id element;
    id assistant;
};
std::vector<Performed>* performed = nullptr;

void performAction(WK::ActionSheetAssistantDelegate* self, WK::ActionSheetAssistant* assistant,
                   WK::ElementActionType type, WK::ActivatedElementInfo* element) {
    performed->push_back({objc::toId(self), type, objc::toId(element), objc::toId(assistant)});
}

class ImageSheet : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        using Delegate = WK::ActionSheetAssistantDelegate;
        objc::ClassDefinition<Delegate>("TestBrowserDelegate", "NSObject")
            .method<&performAction>(Delegate::performActionForElement_)
            .build();
    }
    void SetUp() override {
        performed = &log;
        ASSERT_TRUE(testing_support::writePng(picture, "/tmp/sheet.png"));
        image = UI::Image::imageWithContentsOfFile(str("/tmp/sheet.png"));
        ASSERT_NE(image, nullptr);
        element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                  ->initWithImage(str("/tmp/sheet.png"), image));
        assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
        delegate = objc::adopt(objc::send<NS::Object*>(objc_lookUpClass("TestBrowserDelegate"), "new"_sel));
        assistant->setDelegate(delegate.get());
    }
    void TearDown() override {
        performed = nullptr;
        UI::Pasteboard::generalPasteboard()->setImage(nullptr);
    }

    NS::AutoreleaseScope pool;
    std::vector<Performed> log;
    testing_support::Picture picture = testing_support::makePicture(5, 5, 2);
    UI::Image* image = nullptr;
    objc::Ref<WK::ActivatedElementInfo> element;
    objc::Ref<WK::ActionSheetAssistant> assistant;
    objc::Ref<NS::Object> delegate;
};

TEST_F(ImageSheet, ListsTheBrowsersActionsInOrderWithTheirKinds) {
    EXPECT_EQ(element->type(), WK::ActivatedElementTypeImage);
    EXPECT_EQ(WK::ActivatedElementInfoInternals::of(element)->image(), image);
    EXPECT_EQ(WK::ActivatedElementInfoInternals::of(element)->imagePath()->str(), "/tmp/sheet.png");
    const auto actions = actionsOf(assistant->defaultActionsForImageSheet(element.get()));
    std::vector<std::pair<std::string, WK::ElementActionType>> seen;
    for (auto* action : actions) {
        seen.emplace_back(action->title()->str(), action->type());
    }
    const std::vector<std::pair<std::string, WK::ElementActionType>> expected = {
        {"Open", WK::ElementActionTypeOpen},
        {"Open in New Tab", WK::ElementActionTypeOpenInNewTab},
        {"Add to Reading List", WK::ElementActionTypeAddToReadingList},
        {"Copy", WK::ElementActionTypeCopy},
        {"Save Image", WK::ElementActionTypeSaveImage},
    };
    EXPECT_EQ(seen, expected);
}

// The language a device is set to decides the titles, as WebKit's string tables give them; a
// language WebKit has no table for keeps the English ones.
TEST_F(ImageSheet, TitlesTheActionsInTheDevicesLanguage) {
    const char* global = "/var/mobile/Library/Preferences/.GlobalPreferences.plist";
    const auto titlesIn = [&](const char* language) {
        EXPECT_TRUE(NS::Dictionary::dictionaryWithObjects({NS::Array::arrayWithObjects({str(language)})},
                                                          {str("AppleLanguages")})
                        ->writeToFile(str(global), true));
        std::vector<std::string> titles;
        for (auto* action : actionsOf(assistant->defaultActionsForImageSheet(element.get()))) {
            titles.push_back(action->title()->str());
        }
        fs::remove(global);
        return titles;
    };
    EXPECT_EQ(titlesIn("de-DE"),
              (std::vector<std::string>{"Öffnen", "In neuem Tab öffnen", "Zur Leseliste hinzufügen",
                                        "Kopieren", "Bild sichern"}));
    EXPECT_EQ(titlesIn("sv"), (std::vector<std::string>{"Open", "Open in New Tab", "Add to Reading List",
                                                        "Copy", "Save Image"}));
}

std::vector<std::string>* madeTitles = nullptr;
IMP originalInit = nullptr;
id recordingInit(id self, SEL sel, id title, id handler, long type) {
    madeTitles->push_back(objc::send<const char*>(title, "UTF8String"_sel));
    return reinterpret_cast<id (*)(id, SEL, id, id, long)>(originalInit)(self, sel, title, handler, type);
}

TEST_F(ImageSheet, MakesEachActionThroughTheRuntimeSoThatReplacedInitialisersApply) {
    std::vector<std::string> titles;
    madeTitles = &titles;
    Method init =
        class_getInstanceMethod(WK::ElementAction::runtimeClass(), "_initWithTitle:actionHandler:type:"_sel);
    originalInit = method_setImplementation(init, objc::toImp(&recordingInit));
    actionsOf(assistant->defaultActionsForImageSheet(element.get()));
    method_setImplementation(init, originalInit);
    madeTitles = nullptr;
    EXPECT_EQ(titles, (std::vector<std::string>{"Open", "Open in New Tab", "Add to Reading List", "Copy",
                                                "Save Image"}));
}

TEST_F(ImageSheet, CopyPutsTheImageOnTheGeneralPasteboard) {
    UI::Pasteboard::generalPasteboard()->setImage(nullptr);
    auto* copy = titled(actionsOf(assistant->defaultActionsForImageSheet(element.get())), "Copy");
    ASSERT_NE(copy, nullptr);
    copy->runActionWithElementInfoForAssistant(element.get(), nullptr);
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), image);
    EXPECT_TRUE(log.empty());
}

TEST_F(ImageSheet, SaveImageAddsThePictureToThePhotoAlbum) {
    const fs::path album = "/var/mobile/Media/DCIM/100APPLE";
    fs::remove_all(album);
    auto* save = titled(actionsOf(assistant->defaultActionsForImageSheet(element.get())), "Save Image");
    ASSERT_NE(save, nullptr);
    save->runActionWithElementInfoForAssistant(element.get(), nullptr);
    EXPECT_EQ(testing_support::readPng((album / "IMG_0001.PNG").string()), picture);
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), nullptr);
    fs::remove_all(album);
}

TEST_F(ImageSheet, PageActionsAreLeftToTheBrowserItIsNow) {
    const auto actions = actionsOf(assistant->defaultActionsForImageSheet(element.get()));
    titled(actions, "Open")->runActionWithElementInfoForAssistant(element.get(), nullptr);
    // The browser may hand the sheet to another delegate before the tap; that one is asked.
    auto second = objc::adopt(objc::send<NS::Object*>(objc_lookUpClass("TestBrowserDelegate"), "new"_sel));
    assistant->setDelegate(second.get());
    titled(actions, "Open in New Tab")->runActionWithElementInfoForAssistant(element.get(), nullptr);
    titled(actions, "Add to Reading List")->runActionWithElementInfoForAssistant(element.get(), nullptr);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].type, WK::ElementActionTypeOpen);
    EXPECT_EQ(log[1].type, WK::ElementActionTypeOpenInNewTab);
    EXPECT_EQ(log[2].type, WK::ElementActionTypeAddToReadingList);
    EXPECT_EQ(log[0].delegate, objc::toId(delegate.get()));
    EXPECT_EQ(log[1].delegate, objc::toId(second.get()));
    EXPECT_EQ(log[2].delegate, objc::toId(second.get()));
    for (const auto& entry : log) {
        EXPECT_EQ(entry.element, objc::toId(element.get()));
        EXPECT_EQ(entry.assistant, objc::toId(assistant.get()));
    }
    EXPECT_EQ(UI::Pasteboard::generalPasteboard()->image(), nullptr);
}

TEST_F(ImageSheet, ActionsOutliveTheAssistantAndWorkWithoutADelegate) {
    objc::Ref<NS::Object> kept;
    {
        NS::AutoreleaseScope inner;
        auto actions = actionsOf(assistant->defaultActionsForImageSheet(element.get()));
        kept = objc::retain(reinterpret_cast<NS::Object*>(titled(actions, "Open")));
    }
    assistant->setDelegate(nullptr);
    assistant = nullptr;
    kept.get().as<WK::ElementAction>()->runActionWithElementInfoForAssistant(element.get(), nullptr);
    EXPECT_TRUE(log.empty());
}

} // namespace
