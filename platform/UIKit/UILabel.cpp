#include "UIKit/UILabel.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/SceneSnapshot.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIFont.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cmath>

namespace UI {
namespace {

text::Style styleOf(Label* self) {
    text::Style style = textStyleOf(self->font());
    style.numberOfLines = static_cast<int>(std::clamp(self->numberOfLines(), 0L, 100000L));
    style.alignment =
        static_cast<text::Alignment>(std::clamp(static_cast<long>(self->textAlignment()), 0L, 4L));
    return style;
}

// The width the text wraps at when it is measured for its intrinsic size: none for one line.
double wrapWidth(Label* self) {
    const CGFloat preferred = self->preferredMaxLayoutWidth();
    return self->numberOfLines() != 1 && preferred > 0 ? preferred : -1;
}

text::Extent extentOf(Label* self) {
    auto text = self->text();
    return text::Typesetter::shared().measure(text != nullptr ? text->str() : std::string(), styleOf(self),
                                              wrapWidth(self));
}

// Sizes as UIKit gives them: rounded up to the device's pixels, so that no glyph is cut.
CGFloat pixelCeil(double points) {
    const double scale = CF::deviceFacts().scale > 0 ? CF::deviceFacts().scale : 1;
    return std::ceil(points * scale - 1e-9) / scale;
}

// Changing what the label shows changes its intrinsic size.
template <class T> void setAndRelayout(Label* self, const char* ivar, T value) {
    objc::setIvar<T>(self, ivar, value);
    layoutChanged();
}

View* initWithFrame(Label* self, CGRect frame) {
    auto label = View::initWithFrame_.super<Label>(self, frame);
    objc::setIvar<long>(label, "_numberOfLines", 1);
    return label;
}

void setText(Label* self, NS::String* text) {
    objc::Ptr<NS::Object> copy = objc::Ptr(text)->copy();
    auto old = objc::ivar<NS::Object*>(self, "_text");
    objc::setIvar<NS::Object*>(self, "_text", copy);
    objc::Ptr(old)->release();
    layoutChanged();
}

Color* textColor(Label* self) {
    auto own = objc::ivar<Color*>(self, "_textColor");
    return own != nullptr ? own : Color::blackColor().get();
}

Font* font(Label* self) {
    auto own = objc::ivar<Font*>(self, "_font");
    return own != nullptr ? own : Font::systemFontOfSize(17).get();
}

void setFont(Label* self, Font* font) {
    objc::Ptr(font)->retain();
    auto old = objc::ivar<Font*>(self, "_font");
    objc::setIvar<Font*>(self, "_font", font);
    objc::Ptr(old)->release();
    layoutChanged();
}

TextAlignment textAlignment(Label* self) { return objc::ivar<TextAlignment>(self, "_textAlignment"); }

void setTextAlignment(Label* self, TextAlignment alignment) {
    objc::setIvar(self, "_textAlignment", alignment);
}

long numberOfLines(Label* self) { return objc::ivar<long>(self, "_numberOfLines"); }

void setNumberOfLines(Label* self, long lines) {
    setAndRelayout<long>(self, "_numberOfLines", lines < 0 ? 0 : lines);
}

CGFloat preferredMaxLayoutWidth(Label* self) { return objc::ivar<CGFloat>(self, "_preferredMaxLayoutWidth"); }

void setPreferredMaxLayoutWidth(Label* self, CGFloat width) {
    setAndRelayout<CGFloat>(self, "_preferredMaxLayoutWidth", std::isfinite(width) ? width : 0);
}

CGSize intrinsicContentSize(Label* self) {
    const text::Extent e = extentOf(self);
    return CGSize{pixelCeil(e.width), pixelCeil(e.height)};
}

CGSize sizeThatFits(Label* self, CGSize) { return self->intrinsicContentSize(); }

// The text is centred vertically in the label's bounds, so its baselines keep their distance
// from the label's middle.
BaselineMetrics baselineMetrics(Label* self) {
    const text::Extent e = extentOf(self);
    if (e.lines <= 0) {
        return BaselineMetrics{};
    }
    const double lineHeight = e.height / e.lines;
    return BaselineMetrics{0.5, e.baseline - e.height / 2, e.height / 2 - lineHeight + e.baseline};
}

void fillSceneNode(Label* self, draw::Node* node) {
    View::fillSceneNode_.super<Label>(self, node);
    if (node == nullptr) {
        return;
    }
    draw::Node::Text text;
    auto string = self->text();
    text.text = string != nullptr ? string->str() : std::string();
    text.style = styleOf(self);
    text.color = sceneColor(rgbaOf(self->textColor()).value_or(CGColor{0, 0, 0, 1}));
    node->text = text;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Label>()
        // Texts are copied on the way in, as Cocoa's `copy` properties do, so that a mutable string
        // changed later by its owner does not change what the label shows.
        .property<NS::String*>("text", objc::Ownership::Copying)
        .property<Color*>("textColor")
        .property<Font*>("font")
        .ivar<TextAlignment>("_textAlignment")
        .ivar<long>("_numberOfLines")
        .ivar<CGFloat>("_preferredMaxLayoutWidth")
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&setText>(Label::setText_)
        .method<&textColor>(Label::textColor_)
        .method<&font>(Label::font_)
        .method<&setFont>(Label::setFont_)
        .method<&textAlignment>(Label::textAlignment_)
        .method<&setTextAlignment>(Label::setTextAlignment_)
        .method<&numberOfLines>(Label::numberOfLines_)
        .method<&setNumberOfLines>(Label::setNumberOfLines_)
        .method<&preferredMaxLayoutWidth>(Label::preferredMaxLayoutWidth_)
        .method<&setPreferredMaxLayoutWidth>(Label::setPreferredMaxLayoutWidth_)
        .method<&intrinsicContentSize>(View::intrinsicContentSize_)
        .method<&sizeThatFits>(View::sizeThatFits_)
        .method<&baselineMetrics>(View::baselineMetrics_)
        .method<&fillSceneNode>(View::fillSceneNode_)
        .build();
}

} // namespace
} // namespace UI
