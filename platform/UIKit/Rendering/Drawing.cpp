#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColorInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/Text/Typesetter.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"

#include <cmath>

namespace UI {

CGPoint originInWindow(View* view) {
    CGPoint origin{};
    for (objc::Ptr<View> v = view; v != nullptr && v->superview() != nullptr; v = v->superview()) {
        // A scroll view shows its subviews moved by its bounds' origin, the content offset.
        const CGPoint shownFrom = v->superview()->bounds().origin;
        origin.x += v->frame().origin.x - shownFrom.x;
        origin.y += v->frame().origin.y - shownFrom.y;
    }
    return origin;
}

Color* colorRGB(double red, double green, double blue, double alpha) {
    return Color::colorWithRed(red / 255, green / 255, blue / 255, alpha);
}

View* makeLabel(const char* text, const char* fontName, double size, Color* color, CGPoint origin,
                double width) {
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
    label->setTextColor(color);
    if (width > 0) {
        label->setNumberOfLines(0);
    }
    return label->autorelease().as<View>();
}

objc::Ptr<View> makeBox(CGRect frame, Color* color) {
    auto view = View::alloc()->initWithFrame(frame);
    view->setBackgroundColor(color);
    return view->autorelease().as<View>();
}

objc::Ptr<View> artworkView(const char* file, CGSize size, Color* tint) {
    auto image = Image::imageWithContentsOfFile(
        NS::String::string(std::string("/System/Library/Frameworks/UIKit.framework/Artwork/") + file));
    // Always-template rendering: only the shape, in the tint colour.
    auto view =
        ImageView::alloc()->initWithImage(image->imageWithRenderingMode(ImageRenderingModeAlwaysTemplate));
    view->setFrame(CGRectMake(0, 0, size.width, size.height));
    view->setTintColor(tint);
    return view->autorelease().as<View>();
}

Color* systemTintColor() {
    const CGColor tint = defaultTintColor();
    return Color::colorWithRed(tint.red, tint.green, tint.blue, tint.alpha);
}

} // namespace UI
