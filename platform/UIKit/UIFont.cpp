#include "UIKit/UIFont.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

// The first system with San Francisco as its system font (iOS 9) has this Core Foundation number.
constexpr double kSanFranciscoCoreFoundation = 1240;

bool sanFrancisco() { return CF::deviceFacts().coreFoundationVersion >= kSanFranciscoCoreFoundation; }

const char* systemFontName(bool bold) {
    if (sanFrancisco()) {
        return bold ? ".SFUIText-Semibold" : ".SFUIText-Regular";
    }
    return bold ? ".HelveticaNeueInterface-MediumP4" : ".HelveticaNeueInterface-Regular";
}

Font* make(Class cls, NS::String* name, CGFloat size) {
    auto font = Font::alloc_.send(cls)->init();
    objc::setIvar<NS::Object*>(font, "_fontName", objc::Ptr(name)->copy());
    objc::setIvar<CGFloat>(font, "_pointSize", size);
    return font->autorelease();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Font>()
        .ivar<NS::Object*>("_fontName", objc::Ownership::Owning)
        .ivar<CGFloat>("_pointSize")
        .method(Font::fontWithNameSize_,
                [](Class cls, NS::String* name, CGFloat size) -> Font* {
                    if (name == nullptr || !text::Typesetter::shared().resolve(name->str())) {
                        return nullptr;
                    }
                    return make(cls, name, size);
                })
        .method(Font::systemFontOfSize_,
                [](Class cls, CGFloat size) -> Font* {
                    return make(cls, NS::String::string(systemFontName(false)), size);
                })
        .method(Font::boldSystemFontOfSize_,
                [](Class cls, CGFloat size) -> Font* {
                    return make(cls, NS::String::string(systemFontName(true)), size);
                })
        .method(Font::fontName_,
                [](Font* self) -> NS::String* { return objc::ivar<NS::String*>(self, "_fontName"); })
        .method(Font::pointSize_,
                [](Font* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_pointSize"); })
        .method(Font::fontWithSize_,
                [](Font* self, CGFloat size) -> Font* {
                    return make(object_getClass(objc::toId(self)), self->fontName(), size);
                })
        .build();
}

} // namespace

text::Style textStyleOf(const Font* font) {
    text::Style style;
    if (objc::isNil(font)) {
        style.fontName = systemFontName(false);
        style.size = 17;
        return style;
    }
    style.fontName = objc::Ptr(font)->fontName()->str();
    style.size = objc::Ptr(font)->pointSize();
    return style;
}

} // namespace UI
