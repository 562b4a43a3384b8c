#include "UIKit/UIPasteboard.hpp"
#include "UIKit/UIImageInternals.hpp"
#include "UIKit/UIPasteboardInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <utility>

namespace UI {
namespace {

// Copying happens on whatever thread the app chooses, reading on the main queue: the contents
// change under a lock, and readers get their own reference before it is let go.
struct Contents {
    std::mutex lock;
    NS::Object* image = nullptr;
    NS::Object* string = nullptr;
    long changeCount = 0;
};

Contents& contentsOf(Pasteboard* self) {
    return *static_cast<Contents*>(objc::ivar(self, UI::PasteboardInternals::_contents));
}

objc::Ptr<NS::Object> read(Pasteboard* self, NS::Object* Contents::*field) {
    Contents& c = contentsOf(self);
    objc::Ptr<NS::Object> value;
    {
        std::lock_guard guard(c.lock);
        value = objc::Ptr(c.*field)->retain();
    }
    return value->autorelease();
}

// Where copied images are staged: the user's caches, on the filesystem of the user's files.
std::string stagingFolder() {
    constexpr const char* folder = "/var/mobile/Library/Caches";
    // Only the last folder is made; a device without the user's library stages nothing.
    if (::mkdir(folder, 0755) != 0 && errno != EEXIST) {
        return {};
    }
    return folder;
}

// Setting one kind of content replaces all of it, as a copy does on the device.
void replace(Pasteboard* self, objc::Ptr<NS::Object> image, objc::Ptr<NS::Object> string) {
    Contents& c = contentsOf(self);
    NS::Object* newImage = image->retain();
    NS::Object* newString = string->copy();
    objc::Ptr<NS::Object> oldImage;
    objc::Ptr<NS::Object> oldString;
    {
        std::lock_guard guard(c.lock);
        oldImage = std::exchange(c.image, newImage);
        oldString = std::exchange(c.string, newString);
        ++c.changeCount;
    }
    oldImage->release();
    oldString->release();
}

Pasteboard* generalPasteboard(Class cls) {
    static Pasteboard* const general = Pasteboard::make_.send(cls);
    return general;
}

Pasteboard* init(Pasteboard* self) {
    auto pasteboard = Pasteboard::init_.super<Pasteboard>(self);
    if (pasteboard != nullptr) {
        objc::setIvar(pasteboard, UI::PasteboardInternals::_contents, new Contents);
    }
    return pasteboard;
}

void dealloc(Pasteboard* self) {
    if (auto* contents = static_cast<Contents*>(objc::ivar(self, UI::PasteboardInternals::_contents))) {
        objc::Ptr(contents->image)->release();
        objc::Ptr(contents->string)->release();
        delete contents;
    }
    NS::Object::dealloc_.super<Pasteboard>(self);
}

Image* image(Pasteboard* self) { return read(self, &Contents::image).as<Image>(); }

NS::String* string(Pasteboard* self) { return read(self, &Contents::string).as<NS::String>(); }

// The device's pasteboard keeps a copied image as PNG data: encoding begins at once, in the
// background, so that whoever takes the image from here finds it encoded. An image copied is
// likely to be saved next, so its bytes are staged on the device's disk too.
void setImage(Pasteboard* self, Image* image) {
    replace(self, image, nullptr);
    beginPNGEncoding(image, stagingFolder());
}

void setString(Pasteboard* self, NS::String* string) { replace(self, nullptr, string); }

long changeCount(Pasteboard* self) {
    Contents& c = contentsOf(self);
    std::lock_guard guard(c.lock);
    return c.changeCount;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pasteboard>()
        .ivar(PasteboardInternals::_contents)
        .method<&generalPasteboard>(Pasteboard::generalPasteboard_)
        .method<&init>(Pasteboard::init_)
        .method<&dealloc>(NS::Object::dealloc_)
        .method<&image>(Pasteboard::image_)
        .method<&string>(Pasteboard::string_)
        .method<&setImage>(Pasteboard::setImage_)
        .method<&setString>(Pasteboard::setString_)
        .method<&changeCount>(Pasteboard::changeCount_)
        .build();
}

} // namespace
} // namespace UI
