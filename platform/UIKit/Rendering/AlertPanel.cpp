#include "UIKit/Rendering/AlertPanel.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"

#include <algorithm>

namespace UI {
namespace {

constexpr double kBoxWidth = 270;
constexpr double kTextInset = 16;
constexpr double kButtonHeight = 44;

// A label of `text` wrapped to the box's text width, centred in it at `y`; returns its bottom.
double addCentredText(View* box, const std::string& text, const char* font, double size, double y) {
    View* label = makeLabel(text.c_str(), font, size, colorRGB(0, 0, 0), {}, kBoxWidth - 2 * kTextInset);
    reinterpret_cast<Label*>(label)->setTextAlignment(TextAlignmentCenter);
    CGRect f = label->frame();
    f.origin = {(kBoxWidth - f.size.width) / 2, y};
    label->setFrame(f);
    box->addSubview(label);
    return y + f.size.height;
}

} // namespace

void fillAlertPanel(View* screen, const std::string& title, const std::string& message,
                    const std::vector<AlertButton>& buttons) {
    for (NS::Object* child : screen->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
    screen->setBackgroundColor(colorRGB(0, 0, 0, 0.4));
    auto panel = makeBox(CGRectZero, colorRGB(247, 247, 247));
    double y = 20;
    if (!title.empty()) {
        y = addCentredText(panel, title, "HelveticaNeue-Medium", 17, y);
    }
    if (!message.empty()) {
        y = addCentredText(panel, message, "HelveticaNeue", 13, title.empty() ? y : y + 4);
    }
    y += 20;
    const std::size_t count = buttons.size();
    const bool sideBySide = count == 2;
    const double buttonWidth = sideBySide ? kBoxWidth / 2 : kBoxWidth;
    for (std::size_t i = 0; i < count; ++i) {
        const AlertButton& button = buttons[i];
        const double x = sideBySide ? buttonWidth * static_cast<double>(i) : 0;
        const double top = sideBySide ? y : y + kButtonHeight * static_cast<double>(i);
        panel->addSubview(makeBox(CGRectMake(x, top, buttonWidth, 0.5), colorRGB(200, 199, 204)));
        if (sideBySide && i == 1) {
            panel->addSubview(makeBox(CGRectMake(x, top, 0.5, kButtonHeight), colorRGB(200, 199, 204)));
        }
        const bool cancel = button.kind == AlertButton::Kind::Cancel;
        View* label = makeLabel(button.title.c_str(), cancel ? "HelveticaNeue-Medium" : "HelveticaNeue", 17,
                                button.kind == AlertButton::Kind::Destructive ? colorRGB(255, 59, 48)
                                                                              : systemTintColor());
        CGRect f = label->frame();
        f.size.width = std::min(f.size.width, buttonWidth);
        f.origin = {x + (buttonWidth - f.size.width) / 2, top + (kButtonHeight - f.size.height) / 2};
        label->setFrame(f);
        panel->addSubview(label);
    }
    const double height = y + (count == 0   ? 0
                               : sideBySide ? kButtonHeight
                                            : kButtonHeight * static_cast<double>(count));
    panel->setFrame(CGRectMake(0, 0, kBoxWidth, height));
    screen->addSubview(panel);
}

void centreAlertPanel(View* screen) {
    const CGSize size = screen->frame().size;
    for (NS::Object* child : screen->subviews()) {
        auto panel = reinterpret_cast<View*>(child);
        const CGSize box = panel->frame().size;
        panel->setFrame(
            CGRectMake((size.width - box.width) / 2, (size.height - box.height) / 2, box.width, box.height));
    }
}

} // namespace UI
