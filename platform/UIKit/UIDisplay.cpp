#include "UIKit/UIDisplay.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Typesetter.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"

#include <cmath>

namespace UI {

void prepareForDisplay(View* root) {
    objc::Ptr<View> view = root;
    if (view == nullptr) {
        return;
    }
    if (view->respondsToSelector(Display::prepare_.selector())) {
        Display::prepare_.send(view);
    }
    for (NS::Object* child : view->subviews()) {
        prepareForDisplay(reinterpret_cast<View*>(child));
    }
}

CGPoint originInWindow(View* view) {
    CGPoint origin{};
    for (objc::Ptr<View> v = view; v != nullptr && v->superview() != nullptr; v = v->superview()) {
        origin.x += v->frame().origin.x;
        origin.y += v->frame().origin.y;
    }
    return origin;
}

id colorRGB(double red, double green, double blue, double alpha) {
    return objc::send<id>(objc::getClass("UIColor"), objc::Selector<"colorWithRed:green:blue:alpha:">(),
                          red / 255, green / 255, blue / 255, alpha);
}

View* makeLabel(const char* text, const char* fontName, double size, id color, CGPoint origin, double width) {
    text::Style style;
    style.fontName = fontName;
    style.size = size;
    style.numberOfLines = width > 0 ? 0 : 1;
    const text::Extent extent = text::Typesetter::shared().measure(text, style, width);
    auto label =
        Label::alloc()
            ->initWithFrame(CGRectMake(origin.x, origin.y, std::ceil(extent.width), std::ceil(extent.height)))
            .as<Label>();
    label->setText(NS::String::string(text));
    label->setFont(Font::fontWithName(NS::String::string(fontName), size));
    label->setTextColor(reinterpret_cast<Color*>(color));
    if (width > 0 && label->respondsToSelector(objc::Selector<"setNumberOfLines:">())) {
        objc::send<void>(label, objc::Selector<"setNumberOfLines:">(), 0L);
    }
    return label->autorelease().as<View>();
}

id systemTintColor() { return colorRGB(0, 122, 255); }

} // namespace UI
