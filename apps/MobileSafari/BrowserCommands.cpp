#include "BrowserCommands.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKElementAction.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// How long a tap may leave work behind (the hand-off of a wallpaper takes a fifth of a second).
constexpr double kSettleSeconds = 10.0;

using Browser = WK::ActionSheetAssistantDelegate;

std::string urlOf(objc::Ptr<WK::ActivatedElementInfo> element) {
    return "file://" + element->imagePath()->str();
}

// The browser's side of the sheet: what a person sees it do for the page actions.
void performAction(Browser*, WK::ActionSheetAssistant*, WK::ElementActionType type,
                   WK::ActivatedElementInfo* element) {
    switch (type) {
    case WK::ElementActionTypeOpen:
        std::cout << "Opening " << urlOf(element) << "\n";
        break;
    case WK::ElementActionTypeOpenInNewTab:
        std::cout << "Opening " << urlOf(element) << " in a new tab\n";
        break;
    case WK::ElementActionTypeAddToReadingList:
        std::cout << "Added " << urlOf(element) << " to the Reading List\n";
        break;
    default:
        break;
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Browser>("BrowserController", "NSObject")
        .method<&performAction>(Browser::performActionForElement_)
        .build();
}

// The sheet the browser shows for a long-pressed image, with everything its actions need.
struct ImageSheet {
    objc::Ref<NS::Object> browser;
    objc::Ref<WK::ActionSheetAssistant> assistant;
    objc::Ref<WK::ActivatedElementInfo> element;
    std::vector<WK::ElementAction*> actions; // kept by the command's autorelease pool
};

ImageSheet longPress(const std::string& imageFile) {
    std::error_code ec;
    const fs::path path = fs::absolute(imageFile, ec);
    if (ec || !fs::exists(path, ec)) {
        throw std::runtime_error("no image at " + imageFile);
    }
    NS::String* pathString = NS::String::string(path.string());
    UI::Image* image = UI::Image::imageWithContentsOfFile(pathString);
    if (image == nullptr) {
        throw std::runtime_error(imageFile + " is not a PNG image");
    }
    ImageSheet sheet;
    sheet.browser =
        objc::adopt(NS::RootObject::make_.send(objc::getClass("BrowserController")).as<NS::Object>());
    sheet.assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
    sheet.assistant->setDelegate(sheet.browser.get());
    sheet.element = objc::adopt(WK::ActivatedElementInfo::alloc()->initWithImage(pathString, image));
    for (NS::Object* action : sheet.assistant->defaultActionsForImageSheet(sheet.element.get())) {
        sheet.actions.push_back(reinterpret_cast<WK::ElementAction*>(action));
    }
    return sheet;
}

std::string titleOf(WK::ElementAction* action) {
    NS::String* title = action->title();
    return title == nullptr ? std::string() : title->str();
}

int longPressCommand(const host::Args& args) {
    if (args.size() != 1) {
        throw host::UsageError("long-press takes the image file");
    }
    const ImageSheet sheet = longPress(args[0]);
    for (WK::ElementAction* action : sheet.actions) {
        std::cout << titleOf(action) << "\n";
    }
    return 0;
}

int tapCommand(const host::Args& args) {
    if (args.size() != 2) {
        throw host::UsageError("tap takes the image file and the title of an action");
    }
    const ImageSheet sheet = longPress(args[0]);
    WK::ElementAction* chosen = nullptr;
    std::string titles;
    for (WK::ElementAction* action : sheet.actions) {
        const std::string title = titleOf(action);
        if (title == args[1] && chosen == nullptr) {
            chosen = action;
        }
        titles += (titles.empty() ? "\"" : ", \"") + title + "\"";
    }
    if (chosen == nullptr) {
        throw std::runtime_error("the sheet has no action \"" + args[1] + "\"; it has " + titles);
    }
    chosen->runActionWithElementInfo(sheet.element.get(), nullptr);
    // What the tap set going (a hand-off on the main queue, a timer) finishes before the command does.
    NS::RunLoop::mainRunLoop()->runUntilIdle(kSettleSeconds);
    return 0;
}

} // namespace

void registerBrowserCommands(host::HostApp& app) {
    app.addCommand(
        {"long-press", "long-press IMAGE  (lists the actions of the image's sheet)", &longPressCommand});
    app.addCommand(
        {"tap", "tap IMAGE TITLE  (long-presses the image and taps the action TITLE)", &tapCommand});
}
