#include "WebKit/WKActionSheetAssistant.hpp"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIPasteboard.hpp"
#include "WebKit/WKActivatedElementInfo.hpp"
#include "WebKit/WKElementAction.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

using objc::operator""_sel;

// The handler of every action the browser performs itself. It keeps the assistant, not the
// delegate: the delegate may change, or go, between building the sheet and the tap.
objc::Ref<NS::Block> delegatedHandler(id assistant, ElementActionType type) {
    objc::Ref<NS::Object> keep = objc::retain(reinterpret_cast<NS::Object*>(assistant));
    return NS::Block::create([keep, type](id element) {
        id delegate = objc::send<id>(keep.get(), "delegate"_sel);
        SEL perform = "actionSheetAssistant:performAction:forElement:"_sel;
        if (objc::send<bool>(delegate, "respondsToSelector:"_sel, perform)) {
            objc::send(delegate, perform, keep.get(), static_cast<long>(type), element);
        }
    });
}

objc::Ref<NS::Block> copyHandler() {
    return NS::Block::create([](id element) {
        id image = objc::send<id>(element, "image"_sel);
        objc::send(UI::Pasteboard::generalPasteboard(), "setImage:"_sel, image);
    });
}

objc::Ref<NS::Block> saveHandler() {
    return NS::Block::create([](id element) {
        UIImageWriteToSavedPhotosAlbum(reinterpret_cast<UI::Image*>(objc::send<id>(element, "image"_sel)),
                                       nil, nullptr, nullptr);
    });
}

// Made through the runtime, as any code in the process may watch or change how actions are made.
id makeAction(const char* title, const objc::Ref<NS::Block>& handler, ElementActionType type) {
    id action = objc::send<id>(objc_lookUpClass("_WKElementAction"), "alloc"_sel);
    action = objc::send<id>(action, "_initWithTitle:actionHandler:type:"_sel, NS::String::string(title),
                            handler.get(), static_cast<long>(type));
    return objc::send<id>(action, "autorelease"_sel);
}

id defaultActionsForImageSheet(id self, SEL, id) {
    id actions =
        objc::send<id>(objc::send<id>(objc_lookUpClass("NSMutableArray"), "new"_sel), "autorelease"_sel);
    auto add = [actions](id action) { objc::send(actions, "addObject:"_sel, action); };
    add(makeAction("Open", delegatedHandler(self, ElementActionTypeOpen), ElementActionTypeOpen));
    add(makeAction("Open in New Tab", delegatedHandler(self, ElementActionTypeOpenInNewTab),
                   ElementActionTypeOpenInNewTab));
    add(makeAction("Add to Reading List", delegatedHandler(self, ElementActionTypeAddToReadingList),
                   ElementActionTypeAddToReadingList));
    add(makeAction("Copy", copyHandler(), ElementActionTypeCopy));
    add(makeAction("Save Image", saveHandler(), ElementActionTypeSaveImage));
    return actions;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("WKActionSheetAssistant", "NSObject")
        .property<id>("delegate", objc::Ownership::Plain)
        .method<&defaultActionsForImageSheet>("defaultActionsForImageSheet:")
        .build();
}

} // namespace
} // namespace WK
