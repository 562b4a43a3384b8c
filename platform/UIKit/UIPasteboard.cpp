#include "UIKit/UIPasteboard.hpp"

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
    return *static_cast<Contents*>(objc::ivar<void*>(self, "_contents"));
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

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Pasteboard>()
        .ivar<void*>("_contents")
        .method(Pasteboard::generalPasteboard_,
                [](Class cls) -> Pasteboard* {
                    static Pasteboard* const general = Pasteboard::make_.send(cls);
                    return general;
                })
        .method(Pasteboard::init_,
                [](Pasteboard* self) -> Pasteboard* {
                    auto pasteboard = Pasteboard::init_.super<Pasteboard>(self);
                    if (pasteboard != nullptr) {
                        objc::setIvar<void*>(pasteboard, "_contents", new Contents);
                    }
                    return pasteboard;
                })
        .method(NS::Object::dealloc_,
                [](Pasteboard* self) {
                    if (auto* contents = static_cast<Contents*>(objc::ivar<void*>(self, "_contents"))) {
                        objc::Ptr(contents->image)->release();
                        objc::Ptr(contents->string)->release();
                        delete contents;
                    }
                    NS::Object::dealloc_.super<Pasteboard>(self);
                })
        .method(Pasteboard::image_,
                [](Pasteboard* self) -> Image* { return read(self, &Contents::image).as<Image>(); })
        .method(
            Pasteboard::string_,
            [](Pasteboard* self) -> NS::String* { return read(self, &Contents::string).as<NS::String>(); })
        // The device's pasteboard keeps a copied image as PNG data: encoding begins at once, in the
        // background, so that whoever takes the image from here finds it encoded. An image copied is
        // likely to be saved next, so its bytes are staged on the device's disk too.
        .method(Pasteboard::setImage_,
                [](Pasteboard* self, Image* image) {
                    replace(self, image, nullptr);
                    beginPNGEncoding(image, stagingFolder());
                })
        .method(Pasteboard::setString_,
                [](Pasteboard* self, NS::String* string) { replace(self, nullptr, string); })
        .method(Pasteboard::changeCount_,
                [](Pasteboard* self) -> long {
                    Contents& c = contentsOf(self);
                    std::lock_guard guard(c.lock);
                    return c.changeCount;
                })
        .build();
}

} // namespace
} // namespace UI
