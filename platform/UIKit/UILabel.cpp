#include "UIKit/UILabel.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIFontInternals.hpp"
#include "UIKit/UILabelInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
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
template <class Variable>
void setAndRelayout(Label* self, const Variable& variable, typename Variable::Type value) {
    objc::setIvar(self, variable, value);
    layoutChanged();
}

View* initWithFrame(Label* self, CGRect frame) {
    auto label = View::initWithFrame_.super<Label>(self, frame);
    objc::setIvar(label.as<Label>(), LabelInternals::_numberOfLines, 1);
    return label;
}

void setText(Label* self, NS::String* text) {
    auto copy = objc::Ptr(text)->copy().as<NS::String>();
    auto old = objc::ivar(self, LabelInternals::_text);
    objc::setIvar(self, LabelInternals::_text, copy);
    objc::Ptr(old)->release();
    layoutChanged();
}

Color* textColor(Label* self) {
    auto own = objc::ivar(self, LabelInternals::_textColor);
    return own != nullptr ? own : Color::blackColor().get();
}

Font* font(Label* self) {
    auto own = objc::ivar(self, LabelInternals::_font);
    return own != nullptr ? own : Font::systemFontOfSize(17).get();
}

void setFont(Label* self, Font* font) {
    objc::storeOwned(self, LabelInternals::_font, font);
    layoutChanged();
}

TextAlignment textAlignment(Label* self) { return objc::ivar(self, UI::LabelInternals::_textAlignment); }

void setTextAlignment(Label* self, TextAlignment alignment) {
    objc::setIvar(self, UI::LabelInternals::_textAlignment, alignment);
}

long numberOfLines(Label* self) { return objc::ivar(self, UI::LabelInternals::_numberOfLines); }

void setNumberOfLines(Label* self, long lines) {
    setAndRelayout(self, LabelInternals::_numberOfLines, lines < 0 ? 0 : lines);
}

CGFloat preferredMaxLayoutWidth(Label* self) {
    return objc::ivar(self, UI::LabelInternals::_preferredMaxLayoutWidth);
}

void setPreferredMaxLayoutWidth(Label* self, CGFloat width) {
    setAndRelayout(self, LabelInternals::_preferredMaxLayoutWidth, std::isfinite(width) ? width : 0);
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
    ViewInternals::fillSceneNode_.super<Label>(self, node);
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
        .property(LabelInternals::_text)
        .property(LabelInternals::_textColor)
        .property(LabelInternals::_font)
        .ivar(LabelInternals::_textAlignment)
        .ivar(LabelInternals::_numberOfLines)
        .ivar(LabelInternals::_preferredMaxLayoutWidth)
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
        .method<&baselineMetrics>(ViewInternals::baselineMetrics_)
        .method<&fillSceneNode>(ViewInternals::fillSceneNode_)
        .build();
}

} // namespace
} // namespace UI
