#include "UIKit/UITableViewCell.hpp"
#include "UIKit/UITableViewCellInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"

#include "UIKit/Text/Typesetter.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"
#include <algorithm>
#include <cmath>

namespace {

using UI::Label;
using UI::TableViewCell;
using UI::TableViewCellInternals;
using UI::View;

constexpr CGRect kRowFrame = {{0, 0}, {320, 44}};

// A new view of `Part` added to `parent`; the caller owns it too, so that a part taken out of the
// tree by a custom cell stays valid.
template <class Part> Part* addPart(objc::Ptr<View> parent, CGRect frame) {
    auto part = Part::alloc()->initWithFrame(frame).template as<Part>();
    parent->addSubview(part);
    return part;
}

constexpr double kInset = 15;
constexpr const char* kFont = "HelveticaNeue";
constexpr double kFontSize = 17;
constexpr CGSize kChevron = {8, 13};
// Above and below a row's picture, together.
constexpr double kImageMargin = 15;

UI::Font* font() { return UI::Font::fontWithName(NS::String::string(kFont), kFontSize); }

double makeWidth(objc::Ptr<UI::Label> label) {
    text::Style style;
    style.fontName = kFont;
    style.size = kFontSize;
    return std::ceil(text::Typesetter::shared().measure(label->text()->str(), style).width);
}

// The disclosure chevron, in the light gray of the system's marks.
objc::Ptr<View> chevron() {
    return UI::artworkView("UITableNext@2x.png", kChevron, UI::colorRGB(199, 199, 204));
}

// The cell's picture, as big as its image but no taller than the row leaves room for (an icon of
// 29 points in a row of 44), at the left end, centred up and down; zero-sized without an image.
CGRect imageFrame(TableViewCell* self) {
    auto shown = objc::ivar(self, UI::TableViewCellInternals::_imageView);
    const CGSize image = objc::Ptr(shown)->image()->size();
    if (!(image.width > 0 && image.height > 0)) {
        return CGRectZero;
    }
    const double height = self->frame().size.height;
    const double fits = std::min(1.0, std::max(0.0, height - kImageMargin) / image.height);
    const CGSize size = {image.width * fits, image.height * fits};
    return CGRectMake(kInset, (height - size.height) / 2, size.width, size.height);
}

// What the cell shows at its right end: its accessory view, else the chevron of its accessory type, else
// nothing. The shown one is among the subviews, in front of the rest.
void showAccessory(TableViewCell* self) {
    objc::Ptr<View> shown = objc::ivar(self, UI::TableViewCellInternals::_shownAccessory);
    objc::Ptr<View> wanted = self->accessoryView();
    if (wanted == nullptr && self->accessoryType() == UI::UITableViewCellAccessoryDisclosureIndicator) {
        wanted = objc::ivar(self, UI::TableViewCellInternals::_chevron);
        if (wanted == nullptr) {
            wanted = chevron();
            objc::storeOwned(self, UI::TableViewCellInternals::_chevron, wanted);
        }
    }
    if (wanted == shown) {
        return;
    }
    shown->removeFromSuperview();
    objc::storeOwned(self, UI::TableViewCellInternals::_shownAccessory, wanted);
    self->addSubview(wanted);
}

long accessoryType(TableViewCell* self) {
    return objc::ivar(self, UI::TableViewCellInternals::_accessoryType);
}

void setAccessoryType(TableViewCell* self, long type) {
    objc::setIvar(self, UI::TableViewCellInternals::_accessoryType, type);
    showAccessory(self);
}

View* accessoryView(TableViewCell* self) {
    return objc::ivar(self, UI::TableViewCellInternals::_accessoryView);
}

void setAccessoryView(TableViewCell* self, View* view) {
    objc::storeOwned(self, UI::TableViewCellInternals::_accessoryView, view);
    showAccessory(self);
}

// The accessory at the right end, the content view beside it, and in the content the picture at the
// left, the title after it and a detail text right-aligned.
void layoutCell(TableViewCell* self) {
    const CGSize size = self->frame().size;
    objc::Ptr<View> content = self->contentView();
    objc::Ptr<View> accessory = objc::ivar(self, UI::TableViewCellInternals::_shownAccessory);
    double right = size.width;
    if (accessory != nullptr) {
        CGRect f = accessory->frame();
        f.origin = {size.width - kInset - f.size.width, (size.height - f.size.height) / 2};
        accessory->setFrame(f);
        right = f.origin.x - 8;
    }
    content->setFrame(CGRectMake(0, 0, right, size.height));
    objc::Ptr<UI::Label> title = self->textLabel();
    objc::Ptr<UI::Label> detail = self->detailTextLabel();
    const double detailWidth = detail != nullptr && detail->text() != nullptr && detail->text()->length() > 0
                                   ? std::min(makeWidth(detail), right / 2)
                                   : 0;
    if (detail != nullptr) {
        detail->setFrame(CGRectMake(right - kInset - detailWidth, 0, detailWidth, size.height));
    }
    if (auto picture = objc::ivar(self, UI::TableViewCellInternals::_imageView)) {
        picture->setFrame(imageFrame(self));
    }
    const double start = UI::textInset(self);
    if (title != nullptr) {
        title->setFrame(
            CGRectMake(start, 0, std::max(0.0, right - start - kInset - detailWidth), size.height));
    }
}

UI::ImageView* imageView(TableViewCell* self) {
    auto picture = objc::ivar(self, UI::TableViewCellInternals::_imageView);
    if (picture == nullptr) {
        picture = UI::ImageView::alloc()->initWithFrame(CGRectZero).as<UI::ImageView>();
        objc::setIvar(self, UI::TableViewCellInternals::_imageView, picture);
        self->contentView()->addSubview(picture);
    }
    return picture;
}

TableViewCell* initWithStyleReuseIdentifier(TableViewCell* self, long style, NS::String* reuseIdentifier) {
    // UIView's initialiser, not ours: initWithFrame: of a cell comes back here.
    auto cell = View::initWithFrame_.super<TableViewCell>(self, kRowFrame).as<TableViewCell>();
    if (cell == nullptr) {
        return nullptr;
    }
    objc::setIvar(cell, UI::TableViewCellInternals::_style, style);
    objc::setIvar(cell, UI::TableViewCellInternals::_reuseIdentifier,
                  objc::Ptr(reuseIdentifier)->copy().as<NS::String>());
    View* content = addPart<View>(cell, kRowFrame);
    objc::setIvar(cell, UI::TableViewCellInternals::_contentView, content);
    Label* title = addPart<Label>(content, CGRectMake(15, 0, 290, 44));
    title->setFont(font());
    title->setTextColor(UI::Color::blackColor());
    objc::setIvar(cell, UI::TableViewCellInternals::_textLabel, title);
    if (style != UI::TableViewCellStyleDefault) {
        Label* detail = addPart<Label>(content, CGRectMake(160, 0, 145, 44));
        detail->setFont(font());
        detail->setTextColor(UI::colorRGB(142, 142, 147));
        objc::setIvar(cell, UI::TableViewCellInternals::_detailTextLabel, detail);
    }
    return cell;
}

View* initWithFrame(TableViewCell* self, CGRect frame) {
    auto cell = self->initWithStyle(static_cast<long>(UI::TableViewCellStyleDefault), nullptr);
    cell->setFrame(frame);
    return cell;
}

long style(TableViewCell* self) { return objc::ivar(self, UI::TableViewCellInternals::_style); }

NS::String* reuseIdentifier(TableViewCell* self) {
    return objc::ivar(self, UI::TableViewCellInternals::_reuseIdentifier);
}

View* contentView(TableViewCell* self) { return objc::ivar(self, UI::TableViewCellInternals::_contentView); }

Label* textLabel(TableViewCell* self) { return objc::ivar(self, UI::TableViewCellInternals::_textLabel); }

Label* detailTextLabel(TableViewCell* self) {
    return objc::ivar(self, UI::TableViewCellInternals::_detailTextLabel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableViewCell>()
        .ivar(TableViewCellInternals::_style)
        .ivar(TableViewCellInternals::_reuseIdentifier)
        .ivar(TableViewCellInternals::_contentView)
        .ivar(TableViewCellInternals::_textLabel)
        .ivar(TableViewCellInternals::_detailTextLabel)
        .ivar(TableViewCellInternals::_imageView)
        .method<&imageView>(TableViewCell::imageView_)
        .ivar(UI::TableViewCellInternals::_accessoryType)
        .ivar(UI::TableViewCellInternals::_accessoryView)
        // The accessory among the subviews: the accessory view, or the chevron made for the type.
        .ivar(UI::TableViewCellInternals::_shownAccessory)
        .ivar(UI::TableViewCellInternals::_chevron)
        .method<&accessoryType>(TableViewCell::accessoryType_)
        .method<&setAccessoryType>(TableViewCell::setAccessoryType_)
        .method<&accessoryView>(TableViewCell::accessoryView_)
        .method<&setAccessoryView>(TableViewCell::setAccessoryView_)
        .method<&layoutCell>(UI::View::layoutSubviews_)
        .method<&initWithStyleReuseIdentifier>(TableViewCell::initWithStyleReuseIdentifier_)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&style>(TableViewCell::style_)
        .method<&reuseIdentifier>(TableViewCell::reuseIdentifier_)
        .method<&contentView>(TableViewCell::contentView_)
        .method<&textLabel>(TableViewCell::textLabel_)
        .method<&detailTextLabel>(TableViewCell::detailTextLabel_)
        .build();
}

} // namespace

double UI::textInset(TableViewCell* cell) {
    const CGRect picture = imageFrame(cell);
    return picture.size.width > 0 ? kInset + picture.size.width + kInset : kInset;
}

UI::View* UI::shownAccessory(TableViewCell* cell) {
    return objc::ivar(cell, UI::TableViewCellInternals::_shownAccessory);
}
