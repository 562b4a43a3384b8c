#include "UIKit/UIFont.hpp"
#include "UIKit/UIFontInternals.hpp"

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
    objc::setIvar(font, UI::FontInternals::_fontName, objc::Ptr(name)->copy().as<NS::String>());
    objc::setIvar(font, UI::FontInternals::_pointSize, size);
    return font->autorelease();
}

Font* fontWithNameSize(Class cls, NS::String* name, CGFloat size) {
    if (name == nullptr || !text::Typesetter::shared().resolve(name->str())) {
        return nullptr;
    }
    return make(cls, name, size);
}

Font* systemFontOfSize(Class cls, CGFloat size) {
    return make(cls, NS::String::string(systemFontName(false)), size);
}

Font* boldSystemFontOfSize(Class cls, CGFloat size) {
    return make(cls, NS::String::string(systemFontName(true)), size);
}

NS::String* fontName(Font* self) { return objc::ivar(self, UI::FontInternals::_fontName); }

CGFloat pointSize(Font* self) { return objc::ivar(self, UI::FontInternals::_pointSize); }

Font* fontWithSize(Font* self, CGFloat size) {
    return make(object_getClass(objc::toId(self)), self->fontName(), size);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Font>()
        .ivar(FontInternals::_fontName)
        .ivar(FontInternals::_pointSize)
        .method<&fontWithNameSize>(Font::fontWithNameSize_)
        .method<&systemFontOfSize>(Font::systemFontOfSize_)
        .method<&boldSystemFontOfSize>(Font::boldSystemFontOfSize_)
        .method<&fontName>(Font::fontName_)
        .method<&pointSize>(Font::pointSize_)
        .method<&fontWithSize>(Font::fontWithSize_)
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
