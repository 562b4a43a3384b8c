#include "WebKit/WKActionSheetAssistant.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "WebKit/WKActivatedElementInfoInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKElementAction.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

// What a handler is called with: the element, passed on as `id` because blocks are untyped.
objc::Ptr<ActivatedElementInfo> elementOf(id element) {
    return reinterpret_cast<ActivatedElementInfo*>(element);
}

// The handler of every action the browser performs itself. It keeps the assistant, not the
// delegate: the delegate may change, or go, between building the sheet and the tap.
objc::Ref<NS::Block> delegatedHandler(ActionSheetAssistant* assistant, ElementActionType type) {
    objc::Ref<ActionSheetAssistant> keep = objc::retain(assistant);
    return NS::Block::create([keep, type](id element) {
        auto delegate = keep->delegate().as<ActionSheetAssistantDelegate>();
        // The delegate's method is optional, as a protocol's may be.
        if (delegate->respondsToSelector(ActionSheetAssistantDelegate::performActionForElement_.selector())) {
            delegate->performActionForElement(keep, type, elementOf(element));
        }
    });
}

objc::Ref<NS::Block> copyHandler() {
    return NS::Block::create([](id element) {
        UI::Pasteboard::generalPasteboard()->setImage(
            WK::ActivatedElementInfoInternals::of(elementOf(element))->image());
    });
}

objc::Ref<NS::Block> saveHandler() {
    return NS::Block::create([](id element) {
        UIImageWriteToSavedPhotosAlbum(WK::ActivatedElementInfoInternals::of(elementOf(element))->image(),
                                       nil, nullptr, nullptr);
    });
}

// The title in the device's language, from WebKit's own string tables: on a device set to another
// language than English, no action is titled "Copy".
objc::Ptr<NS::String> localizedTitle(const char* english) {
    auto title = NS::String::string(english);
    auto webKit =
        NS::Bundle::bundleWithPath(NS::String::string("/System/Library/Frameworks/WebKit.framework"));
    auto localized = webKit->localizedStringForKey(title, title, nullptr);
    return localized != nullptr ? localized : title;
}

// Made through the runtime, as any code in the process may watch or change how actions are made,
// with the initialiser of the release.
objc::Ptr<ElementAction> makeAction(ActionSheetAssistant* assistant, const char* title,
                                    const objc::Ref<NS::Block>& handler, ElementActionType type) {
    if (CF::systemIsAtLeast(CF::release::iOS9_0)) {
        return ElementAction::alloc()
            ->initWithTitleForAssistant(localizedTitle(title), handler, type, assistant)
            ->autorelease();
    }
    return ElementAction::alloc()->initWithTitle(localizedTitle(title), handler, type)->autorelease();
}

NS::Array* defaultActionsForImageSheet(ActionSheetAssistant* self, ActivatedElementInfo*) {
    auto actions = NS::MutableArray::make()->autorelease();
    actions->addObject(
        makeAction(self, "Open", delegatedHandler(self, ElementActionTypeOpen), ElementActionTypeOpen));
    actions->addObject(makeAction(self, "Open in New Tab",
                                  delegatedHandler(self, ElementActionTypeOpenInNewTab),
                                  ElementActionTypeOpenInNewTab));
    actions->addObject(makeAction(self, "Add to Reading List",
                                  delegatedHandler(self, ElementActionTypeAddToReadingList),
                                  ElementActionTypeAddToReadingList));
    actions->addObject(makeAction(self, "Copy", copyHandler(), ElementActionTypeCopy));
    actions->addObject(makeAction(self, "Save Image", saveHandler(), ElementActionTypeSaveImage));
    return actions;
}

GLINTMERE_REGISTER_CLASSES {
    if (!CF::systemIsAtLeast(CF::release::iOS8_0)) {
        return;
    }
    objc::ClassDefinition<ActionSheetAssistant>()
        .property<NS::Object*>("delegate", objc::Ownership::Plain)
        .method<&defaultActionsForImageSheet>(ActionSheetAssistant::defaultActionsForImageSheet_)
        .build();
}

} // namespace
} // namespace WK
