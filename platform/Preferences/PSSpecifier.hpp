// PSSpecifier: the Settings host's description of one row of a pane, with its properties and texts.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
class Dictionary;
class MutableDictionary;
class Array;
} // namespace NS

namespace PS {

// The kinds of row a specifier file names in its `cell` entry.
enum CellType : long {
    GroupCell = 0,
    LinkCell = 1,
    LinkListCell = 2,
    ListItemCell = 3,
    TitleValueCell = 4,
    SliderCell = 5,
    SwitchCell = 6,
    StaticTextCell = 7,
    EditTextCell = 8,
    SegmentCell = 9,
    GiantIconCell = 10,
    GiantCell = 11,
    SecureEditTextCell = 12,
    ButtonCell = 13,
    EditTextViewCell = 14,
};

// True for the kinds of row that show a value and let the user change it.
constexpr bool isControl(long type) {
    return type == LinkListCell || type == SliderCell || type == SwitchCell || type == EditTextCell ||
           type == SegmentCell || type == SecureEditTextCell || type == EditTextViewCell;
}

class GLINTMERE_EXPORT Specifier : public NS::Referencing<Specifier, "PSSpecifier"> {
  public:
    // An autoreleased specifier. `set` and `get` are the target's value setter and getter (for
    // controls: setPreferenceValue:specifier: and readPreferenceValue:), `detail` the class of
    // the pane a link row opens.
    static Specifier* preferenceSpecifier(NS::String* name, id target, SEL set, SEL get, Class detail,
                                          long cell, long edit) {
        return objc::send<Specifier*>(
            runtimeClass(), objc::Selector<"preferenceSpecifierNamed:target:set:get:detail:cell:edit:">(),
            name, target, set, get, detail, cell, edit);
    }

    // Every entry of the row in the specifier file (`key`, `default`, `PostNotification`, ...),
    // changeable in place.
    NS::MutableDictionary* properties() {
        return objc::send<NS::MutableDictionary*>(this, objc::Selector<"properties">());
    }
    void setProperties(NS::Dictionary* properties) {
        objc::send<void>(this, objc::Selector<"setProperties:">(), properties);
    }
    NS::Object* propertyForKey(NS::String* key) {
        return objc::send<NS::Object*>(this, objc::Selector<"propertyForKey:">(), key);
    }
    // A nil value removes the property.
    void setProperty(NS::Object* value, NS::String* key) {
        objc::send<void>(this, objc::Selector<"setProperty:forKey:">(), value, key);
    }
    void removePropertyForKey(NS::String* key) {
        objc::send<void>(this, objc::Selector<"removePropertyForKey:">(), key);
    }
    // The `id` property, else the `key`, else the title.
    NS::String* identifier() { return objc::send<NS::String*>(this, objc::Selector<"identifier">()); }

    // The row title.
    NS::String* name() { return objc::send<NS::String*>(this, objc::Selector<"name">()); }
    void setName(NS::String* name) { objc::send<void>(this, objc::Selector<"setName:">(), name); }
    // Value → title, for rows that offer a choice of values; nil when the row has none.
    NS::Dictionary* titleDictionary() {
        return objc::send<NS::Dictionary*>(this, objc::Selector<"titleDictionary">());
    }
    void setTitleDictionary(NS::Dictionary* titles) {
        objc::send<void>(this, objc::Selector<"setTitleDictionary:">(), titles);
    }
    NS::Dictionary* shortTitleDictionary() {
        return objc::send<NS::Dictionary*>(this, objc::Selector<"shortTitleDictionary">());
    }
    void setShortTitleDictionary(NS::Dictionary* titles) {
        objc::send<void>(this, objc::Selector<"setShortTitleDictionary:">(), titles);
    }
    // The values offered, in the order of the specifier file; nil when the row offers none.
    NS::Array* values() { return objc::send<NS::Array*>(this, objc::Selector<"values">()); }

    // The object that answers the row's getter, setter and button action (not owned).
    id target() { return objc::send<id>(this, objc::Selector<"target">()); }
    void setTarget(id target) { objc::send<void>(this, objc::Selector<"setTarget:">(), target); }
    SEL getter() { return objc::send<SEL>(this, objc::Selector<"getter">()); }
    SEL setter() { return objc::send<SEL>(this, objc::Selector<"setter">()); }
    // The selector a button row sends to its target; null for other rows.
    SEL buttonAction() { return objc::send<SEL>(this, objc::Selector<"buttonAction">()); }
    void setButtonAction(SEL action) { objc::send<void>(this, objc::Selector<"setButtonAction:">(), action); }
    // The pane class a link row opens; Nil when none.
    Class detailControllerClass() {
        return objc::send<Class>(this, objc::Selector<"detailControllerClass">());
    }
    void setDetailControllerClass(Class cls) {
        objc::send<void>(this, objc::Selector<"setDetailControllerClass:">(), cls);
    }
    long cellType() { return objc::send<long>(this, objc::Selector<"cellType">()); }
    void setCellType(long type) { objc::send<void>(this, objc::Selector<"setCellType:">(), type); }
};

} // namespace PS
