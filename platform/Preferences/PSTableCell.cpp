#include "Preferences/PSTableCell.hpp"

#include "Preferences/PSSpecifier.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstring>
#include <utility>

namespace {

using objc::operator""_sel;

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

long cellTypeFromString(Class, SEL, id name) {
    const char* text = objc::send<const char*>(name, "UTF8String"_sel);
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

id initWithStyleSpecifier(id self, SEL, long style, id reuseIdentifier, id specifier) {
    self = objc::sendSuper<id>(objc_lookUpClass("PSTableCell"), self, "initWithStyle:reuseIdentifier:"_sel,
                               style, reuseIdentifier);
    if (self == nil) {
        return nil;
    }
    objc::send(self, "setSpecifier:"_sel, specifier);
    objc::setIvar<long>(self, "_type", objc::send<long>(specifier, "cellType"_sel));
    objc::send(objc::send<id>(self, "titleLabel"_sel), "setText:"_sel, objc::send<id>(specifier, "name"_sel));
    return self;
}

id titleLabel(id self, SEL) { return objc::send<id>(self, "textLabel"_sel); }
long type(id self, SEL) { return objc::ivar<long>(self, "_type"); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("PSTableCell", "UITableViewCell")
        .property<id>("specifier")
        .property<id>("value")
        .ivar<long>("_type")
        .classMethod<&cellTypeFromString>("cellTypeFromString:")
        .method<&initWithStyleSpecifier>("initWithStyle:reuseIdentifier:specifier:")
        .method<&titleLabel>("titleLabel")
        .method<&type>("type")
        .build();
}

} // namespace
