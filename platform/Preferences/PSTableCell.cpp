#include "Preferences/PSTableCell.hpp"

#include "Foundation/NSString.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "UIKit/UILabel.hpp"
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

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableCell>()
        .property<PS::Specifier*>("specifier")
        .property<NS::Object*>("value")
        .ivar<long>("_type")
        .method(TableCell::cellTypeFromString_,
                [](Class, objc::Ptr<NS::String> name) -> long {
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
                })
        .method(TableCell::initWithStyleReuseIdentifierSpecifier_,
                [](TableCell* self, long style, NS::String* reuseIdentifier,
                   objc::Ptr<PS::Specifier> specifier) -> TableCell* {
                    auto cell = UI::TableViewCell::initWithStyleReuseIdentifier_
                                    .super<TableCell>(self, style, reuseIdentifier)
                                    .as<TableCell>();
                    if (cell == nullptr) {
                        return nullptr;
                    }
                    cell->setSpecifier(specifier);
                    objc::setIvar<long>(cell, "_type", specifier->cellType());
                    cell->titleLabel()->setText(specifier->name());
                    return cell;
                })
        .method(TableCell::titleLabel_, [](TableCell* self) -> UI::Label* { return self->textLabel(); })
        .method(TableCell::type_, [](TableCell* self) -> long { return objc::ivar<long>(self, "_type"); })
        .build();
}

} // namespace
