#include "UIKit/UIPasteboard.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <mutex>
#include <utility>

namespace UI {
namespace {

using objc::operator""_sel;

// Copying happens on whatever thread the app chooses, reading on the main queue: the contents
// change under a lock, and readers get their own reference before it is let go.
struct Contents {
    std::mutex lock;
    id image = nil;
    id string = nil;
    long changeCount = 0;
};

Contents& contentsOf(id self) { return *static_cast<Contents*>(objc::ivar<void*>(self, "_contents")); }

id init(id self, SEL sel) {
    self = objc::sendSuper<id>(objc_lookUpClass("UIPasteboard"), self, sel);
    if (self != nil) {
        objc::setIvar<void*>(self, "_contents", new Contents);
    }
    return self;
}

void dealloc(id self, SEL sel) {
    auto* contents = static_cast<Contents*>(objc::ivar<void*>(self, "_contents"));
    if (contents != nullptr) {
        objc::send(contents->image, "release"_sel);
        objc::send(contents->string, "release"_sel);
        delete contents;
    }
    objc::sendSuper(objc_lookUpClass("UIPasteboard"), self, sel);
}

id generalPasteboard(Class cls, SEL) {
    static id const general = objc::send<id>(cls, "new"_sel);
    return general;
}

id read(id self, id Contents::*field) {
    Contents& c = contentsOf(self);
    id value;
    {
        std::lock_guard guard(c.lock);
        value = objc::send<id>(c.*field, "retain"_sel);
    }
    return objc::send<id>(value, "autorelease"_sel);
}

// Setting one kind of content replaces all of it, as a copy does on the device.
void replace(id self, id image, id string) {
    Contents& c = contentsOf(self);
    objc::send<id>(image, "retain"_sel);
    string = objc::send<id>(string, "copy"_sel);
    id oldImage;
    id oldString;
    {
        std::lock_guard guard(c.lock);
        oldImage = std::exchange(c.image, image);
        oldString = std::exchange(c.string, string);
        ++c.changeCount;
    }
    objc::send(oldImage, "release"_sel);
    objc::send(oldString, "release"_sel);
}

id image(id self, SEL) { return read(self, &Contents::image); }
id string(id self, SEL) { return read(self, &Contents::string); }
void setImage(id self, SEL, id image) { replace(self, image, nil); }
void setString(id self, SEL, id string) { replace(self, nil, string); }
long changeCount(id self, SEL) {
    Contents& c = contentsOf(self);
    std::lock_guard guard(c.lock);
    return c.changeCount;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UIPasteboard", "NSObject")
        .ivar<void*>("_contents")
        .classMethod<&generalPasteboard>("generalPasteboard")
        .method<&init>("init")
        .method<&dealloc>("dealloc")
        .method<&image>("image")
        .method<&setImage>("setImage:")
        .method<&string>("string")
        .method<&setString>("setString:")
        .method<&changeCount>("changeCount")
        .build();
}

} // namespace
} // namespace UI
