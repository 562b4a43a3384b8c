#include "BrowserCommands.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSURL.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/Rendering/Screenshot.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIWebElementAction.hpp"
#include "UIKit/UIWindow.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKElementAction.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <filesystem>
#include <functional>
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
    return "file://" + WK::ActivatedElementInfoInternals::of(element)->imagePath()->str();
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

// The sheet the browser shows for a long-pressed image, with everything its actions need. Its
// entries are WebKit's element actions wherever the system has them (iOS 8 and later), and UIKit's
// web element actions on iOS 7, made and run through the methods of the release.
struct ImageSheet {
    objc::Ref<NS::Object> browser;
    objc::Ref<UI::Image> image;
    std::string url;
    // From iOS 8.0: WebKit's assistant that makes the actions, and the element they are run with.
    objc::Ref<WK::ActionSheetAssistant> assistant;
    objc::Ref<WK::ActivatedElementInfo> element;
    // Either kind of action: kept by the command's autorelease pool.
    std::vector<NS::Object*> actions;
};

bool hasWebKitActions() { return WK::ElementAction::runtimeClass() != Nil; }

// Where the press was, in the page's points: on the image, under the address bar.
constexpr CGPoint kPressLocation = {160, 120};

// iOS 7's web view makes the sheet itself, titled from WebKit's string tables as later releases.
objc::Ptr<NS::Object> makeLegacyAction(const char* english, std::function<void()> perform, int type) {
    auto title = NS::String::string(english);
    auto webKit =
        NS::Bundle::bundleWithPath(NS::String::string("/System/Library/Frameworks/WebKit.framework"));
    auto localized = webKit->localizedStringForKey(title, title, nullptr);
    auto handler = NS::Block::create([perform = std::move(perform)](id) { perform(); });
    return UI::WebElementAction::alloc()
        ->initWithTitle(localized != nullptr ? localized : title, handler, type)
        ->autorelease()
        .as<NS::Object>();
}

std::vector<NS::Object*> legacyActions(const objc::Ref<UI::Image>& image, const std::string& url) {
    std::vector<NS::Object*> actions;
    actions.push_back(makeLegacyAction(
        "Open", [url] { std::cout << "Opening " << url << "\n"; }, WK::ElementActionTypeOpen));
    actions.push_back(makeLegacyAction(
        "Open in New Tab", [url] { std::cout << "Opening " << url << " in a new tab\n"; },
        WK::ElementActionTypeOpenInNewTab));
    actions.push_back(makeLegacyAction(
        "Add to Reading List", [url] { std::cout << "Added " << url << " to the Reading List\n"; },
        WK::ElementActionTypeAddToReadingList));
    actions.push_back(makeLegacyAction(
        "Copy", [image] { UI::Pasteboard::generalPasteboard()->setImage(image.get()); },
        WK::ElementActionTypeCopy));
    actions.push_back(makeLegacyAction(
        "Save Image", [image] { UIImageWriteToSavedPhotosAlbum(image.get(), nil, nullptr, nullptr); },
        WK::ElementActionTypeSaveImage));
    return actions;
}

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
    sheet.image = objc::retain(image);
    sheet.url = "file://" + path.string();
    if (!hasWebKitActions()) {
        sheet.actions = legacyActions(sheet.image, sheet.url);
        return sheet;
    }
    sheet.browser =
        objc::adopt(NS::RootObject::make_.send(objc_lookUpClass("BrowserController")).as<NS::Object>());
    sheet.assistant = objc::adopt(WK::ActionSheetAssistant::alloc()->init());
    sheet.assistant->setDelegate(sheet.browser.get());
    sheet.element = objc::adopt(WK::ActivatedElementInfoInternals::of(WK::ActivatedElementInfo::alloc())
                                    ->initWithImage(pathString, image));
    for (NS::Object* action : sheet.assistant->defaultActionsForImageSheet(sheet.element.get())) {
        sheet.actions.push_back(action);
    }
    return sheet;
}

std::string titleOf(NS::Object* action) {
    NS::String* title = hasWebKitActions() ? reinterpret_cast<WK::ElementAction*>(action)->title()
                                           : reinterpret_cast<UI::WebElementAction*>(action)->title();
    return title == nullptr ? std::string() : title->str();
}

// Runs `action` as the release's sheet does, through its private run method.
void run(const ImageSheet& sheet, NS::Object* chosen) {
    if (!hasWebKitActions()) {
        auto url = objc::adopt(NS::URL::alloc()->initWithString(NS::String::string(sheet.url)));
        reinterpret_cast<UI::WebElementAction*>(chosen)->runActionWithElement(nullptr, url.get(), nullptr,
                                                                              kPressLocation);
        return;
    }
    auto* action = reinterpret_cast<WK::ElementAction*>(chosen);
    if (action->respondsToSelector(WK::ElementAction::runActionWithElementInfoForAssistant_.selector())) {
        action->runActionWithElementInfoForAssistant(sheet.element.get(), sheet.assistant.get());
    } else {
        action->runActionWithElementInfo(sheet.element.get(), nullptr);
    }
}

int longPressCommand(const host::Args& args) {
    if (args.size() != 1) {
        throw host::UsageError("long-press takes the image file");
    }
    const ImageSheet sheet = longPress(args[0]);
    for (NS::Object* action : sheet.actions) {
        std::cout << titleOf(action) << "\n";
    }
    return 0;
}

int tapCommand(const host::Args& args) {
    if (args.size() != 2) {
        throw host::UsageError("tap takes the image file and the title of an action");
    }
    const ImageSheet sheet = longPress(args[0]);
    NS::Object* chosen = nullptr;
    std::string titles;
    for (NS::Object* action : sheet.actions) {
        const std::string title = titleOf(action);
        if (title == args[1] && chosen == nullptr) {
            chosen = action;
        }
        titles += (titles.empty() ? "\"" : ", \"") + title + "\"";
    }
    if (chosen == nullptr) {
        throw std::runtime_error("the sheet has no action \"" + args[1] + "\"; it has " + titles);
    }
    run(sheet, chosen);
    // What the tap set going (a hand-off on the main queue, a timer) finishes before the command does.
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(kSettleSeconds);
    return 0;
}

// ---- The page and its sheet on screen ------------------------------------------------------

// The sheet's measures, as the system's action sheets have them.
constexpr double kSheetMargin = 10;
constexpr double kButtonHeight = 57;
constexpr double kTitleHeight = 44;
constexpr double kCancelGap = 8;

// A label centred in a row of the sheet.
void addCentred(UI::View* row, const std::string& text, const char* font, double size, UI::Color* color) {
    UI::View* label = UI::makeLabel(text.c_str(), font, size, color);
    CGRect f = label->frame();
    const CGSize outer = row->frame().size;
    f.origin = {std::max(0.0, (outer.width - f.size.width) / 2), (outer.height - f.size.height) / 2};
    f.size.width = std::min(f.size.width, outer.width);
    label->setFrame(f);
    row->addSubview(label);
}

// The browser's window: the page showing the image, dimmed under the sheet of its actions, the
// image's address as the sheet's title and Cancel apart at the bottom.
objc::Ref<UI::Window> sheetWindow(const ImageSheet& sheet, UI::Image* image, const std::string& url) {
    auto window = objc::adopt(UI::Window::alloc()->init().as<UI::Window>());
    const CGSize screen = window->frame().size;
    window->setBackgroundColor(UI::colorRGB(255, 255, 255));
    auto page = UI::makeBox(CGRectMake(0, 0, screen.width, screen.height), UI::colorRGB(255, 255, 255));
    window->addSubview(page);
    // The address bar under the status bar.
    auto bar = UI::makeBox(CGRectMake(0, 0, screen.width, 64), UI::colorRGB(247, 247, 247));
    page->addSubview(bar);
    auto field = UI::makeBox(CGRectMake(8, 27, screen.width - 16, 29), UI::colorRGB(227, 227, 230));
    bar->addSubview(field);
    addCentred(field, url.substr(url.rfind('/') + 1), "HelveticaNeue", 15, UI::colorRGB(0, 0, 0));
    // The image at its size, scaled down to the page's width when wider, under the bar.
    const CGSize size = image->size();
    const double scale = size.width > screen.width - 20 ? (screen.width - 20) / size.width : 1;
    auto picture = objc::adopt(UI::ImageView::alloc()->initWithImage(image));
    picture->setFrame(
        CGRectMake((screen.width - size.width * scale) / 2, 84, size.width * scale, size.height * scale));
    page->addSubview(picture);
    window->addSubview(
        UI::makeBox(CGRectMake(0, 0, screen.width, screen.height), UI::colorRGB(0, 0, 0, 0.4)));

    // The sheet, no wider than a phone's, from the bottom up: Cancel, then the actions and title.
    const double width = std::min(screen.width, 320.0) - 2 * kSheetMargin;
    const double left = (screen.width - width) / 2;
    double y = screen.height - kSheetMargin - kButtonHeight;
    auto cancel = UI::makeBox(CGRectMake(left, y, width, kButtonHeight), UI::colorRGB(255, 255, 255));
    addCentred(cancel, "Cancel", "HelveticaNeue-Medium", 20, UI::systemTintColor());
    window->addSubview(cancel);
    const double group = kTitleHeight + kButtonHeight * static_cast<double>(sheet.actions.size());
    y -= kCancelGap + group;
    auto actions = UI::makeBox(CGRectMake(left, y, width, group), UI::colorRGB(255, 255, 255));
    window->addSubview(actions);
    auto title = UI::makeBox(CGRectMake(0, 0, width, kTitleHeight), nullptr);
    addCentred(title, url, "HelveticaNeue", 13, UI::colorRGB(143, 143, 143));
    actions->addSubview(title);
    double rowY = kTitleHeight;
    for (NS::Object* action : sheet.actions) {
        actions->addSubview(UI::makeBox(CGRectMake(0, rowY, width, 0.5), UI::colorRGB(200, 199, 204)));
        auto row = UI::makeBox(CGRectMake(0, rowY + 0.5, width, kButtonHeight - 0.5), nullptr);
        addCentred(row, titleOf(action), "HelveticaNeue", 20, UI::systemTintColor());
        actions->addSubview(row);
        rowY += kButtonHeight;
    }
    window->makeKeyAndVisible();
    return window;
}

int screenshotCommand(const host::Args& args) {
    if (args.size() != 2) {
        throw host::UsageError("screenshot takes the PNG file to write and the image file");
    }
    const ImageSheet sheet = longPress(args[1]);
    auto window = sheetWindow(sheet, sheet.image.get(), sheet.url);
    const std::string size = UI::writeScreenshot(window.get(), args[0]);
    std::cout << args[0] << ": " << size << "\n";
    return 0;
}

} // namespace

void registerBrowserCommands(host::HostApp& app) {
    app.addCommand({"screenshot",
                    "screenshot OUT.png IMAGE  (the page with the image and its sheet, as a PNG)",
                    &screenshotCommand});
    app.addCommand(
        {"long-press", "long-press IMAGE  (lists the actions of the image's sheet)", &longPressCommand});
    app.addCommand(
        {"tap", "tap IMAGE TITLE  (long-presses the image and taps the action TITLE)", &tapCommand});
}
