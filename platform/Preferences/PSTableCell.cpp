#include "Preferences/PSTableCell.hpp"
#include "Preferences/PSTableCellInternals.hpp"
#include "UIKit/UITableViewCellInternals.hpp"

#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UISwitch.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstring>
#include <utility>

namespace {

constexpr std::pair<const char*, long> kCellTypes[] = {
    {"PSGroupCell", PS::GroupCell},
    {"PSLinkCell", PS::LinkCell},
    {"PSLinkListCell", PS::LinkListCell},
    {"PSListItemCell", PS::ListItemCell},
    {"PSTitleValueCell", PS::TitleValueCell},
    {"PSSliderCell", PS::SliderCell},
    {"PSSwitchCell", PS::SwitchCell},
    {"PSStaticTextCell", PS::StaticTextCell},
    {"PSEditTextCell", PS::EditTextCell},
    {"PSSegmentCell", PS::SegmentCell},
    {"PSGiantIconCell", PS::GiantIconCell},
    {"PSGiantCell", PS::GiantCell},
    {"PSSecureEditTextCell", PS::SecureEditTextCell},
    {"PSButtonCell", PS::ButtonCell},
    {"PSEditTextViewCell", PS::EditTextViewCell},
};

using PS::TableCell;
using PS::TableCellInternals;
using NS::literals::operator""_ns;

// What a switch shows for the cell's value: a number or a text as it reads, else the row's
// `default`, else off.
bool switchIsOn(TableCell* cell) {
    for (NS::Object* shown : {cell->value().get(), cell->specifier()->propertyForKey("default"_ns).get()}) {
        if (auto number = NS::cast<NS::Number>(shown)) {
            return number->boolValue();
        }
        if (auto string = NS::cast<NS::String>(shown)) {
            return string->boolValue();
        }
    }
    return false;
}

// What the row's type shows, set when the cell is made so that a pane's own cell setup, which
// comes after, has the last word: the chevron for a link, a button row's title in the tint colour,
// a switch for a switch row.
void setUpType(TableCell* cell) {
    switch (cell->type()) {
    case PS::SwitchCell:
        // A cell shown again for another switch row keeps its switch.
        if (NS::cast<UI::Switch>(cell->accessoryView()) == nullptr) {
            auto toggle = objc::adopt(UI::Switch::alloc()->init());
            cell->setAccessoryView(toggle.get());
        }
        break;
    case PS::LinkCell:
    case PS::LinkListCell:
        cell->setAccessoryType(UI::UITableViewCellAccessoryDisclosureIndicator);
        break;
    case PS::ButtonCell:
        cell->titleLabel()->setTextColor(UI::systemTintColor());
        break;
    default:
        break;
    }
}

// Puts back what showRow gave the row shown before beyond its title, as a new cell has it.
void clearRow(TableCell* cell) {
    if (auto picture = objc::ivar(cell, UI::TableViewCellInternals::_imageView)) {
        picture->setImage(nullptr);
    }
    if (cell->type() != PS::SwitchCell) {
        cell->setAccessoryView(nullptr);
    }
    cell->setAccessoryType(UI::UITableViewCellAccessoryNone);
    cell->titleLabel()->setTextColor(UI::Color::blackColor());
}

// The row's title, its icon (such as a package's in the Settings app's top list) and what its type
// shows.
void showRow(TableCell* cell, objc::Ptr<PS::Specifier> specifier) {
    cell->setSpecifier(specifier);
    objc::setIvar(cell, PS::TableCellInternals::_type, specifier->cellType());
    cell->titleLabel()->setText(specifier->name());
    if (auto icon = NS::cast<UI::Image>(specifier->propertyForKey("iconImage"_ns))) {
        cell->imageView()->setImage(icon);
    }
    setUpType(cell);
}

long cellTypeFromString(Class, objc::Ptr<NS::String> name) {
    const char* text = name->utf8String();
    if (text == nullptr) {
        return -1;
    }
    for (const auto& [known, type] : kCellTypes) {
        if (std::strcmp(known, text) == 0) {
            return type;
        }
    }
    return -1;
}

NS::String* stringFromCellType(Class, long type) {
    for (const auto& [known, named] : kCellTypes) {
        if (named == type) {
            return NS::String::string(known);
        }
    }
    return nullptr;
}

TableCell* initWithStyleReuseIdentifierSpecifier(TableCell* self, long style, NS::String* reuseIdentifier,
                                                 objc::Ptr<PS::Specifier> specifier) {
    auto cell =
        UI::TableViewCell::initWithStyleReuseIdentifier_.super<TableCell>(self, style, reuseIdentifier)
            .as<TableCell>();
    if (cell == nullptr) {
        return nullptr;
    }
    showRow(cell, specifier);
    return cell;
}

void refreshCellContentsWithSpecifier(TableCell* self, PS::Specifier* specifier) {
    objc::setIvar(self, PS::TableCellInternals::_type, objc::Ptr(specifier)->cellType());
    clearRow(self);
    showRow(self, specifier);
    self->setNeedsLayout();
}

// The value belonged to the row shown before; the pane gives the next row's, if it has one.
void prepareForReuse(TableCell* self) { self->setValue(nullptr); }

UI::Label* titleLabel(TableCell* self) { return self->textLabel(); }

long type(TableCell* self) { return objc::ivar(self, PS::TableCellInternals::_type); }

// A switch shows the value the pane gave the cell; then the cell is laid out as any.
void layoutCell(TableCell* self) {
    if (auto toggle = NS::cast<UI::Switch>(self->accessoryView())) {
        toggle->setOn(switchIsOn(self));
    }
    UI::View::layoutSubviews_.super<TableCell>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableCell>()
        .property<PS::Specifier*>("specifier")
        .property<NS::Object*>("value")
        .ivar(TableCellInternals::_type)
        .method<&cellTypeFromString>(TableCell::cellTypeFromString_)
        .method<&stringFromCellType>(TableCell::stringFromCellType_)
        .method<&initWithStyleReuseIdentifierSpecifier>(TableCell::initWithStyleReuseIdentifierSpecifier_)
        .method<&refreshCellContentsWithSpecifier>(TableCell::refreshCellContentsWithSpecifier_)
        .method<&prepareForReuse>(UI::TableViewCell::prepareForReuse_)
        .method<&titleLabel>(TableCell::titleLabel_)
        .method<&type>(TableCell::type_)
        .method<&layoutCell>(UI::View::layoutSubviews_)
        .build();
}

} // namespace
