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

class GLINTMERE_EXPORT Specifier : public NS::Referencing<Specifier, "PSSpecifier"> {
  public:
    // An autoreleased specifier. `set` and `get` are the target's value setter and getter (for
    // controls: setPreferenceValue:specifier: and readPreferenceValue:), `detail` the class of
    // the pane a link row opens.
    OBJC_CLASS_MESSAGE_NAMED(preferenceSpecifier, preferenceSpecifierNamedTargetSetGetDetailCellEdit_,
                             "preferenceSpecifierNamed:target:set:get:detail:cell:edit:",
                             Specifier*(NS::String*, id, SEL, SEL, Class, long, long))

    // Every entry of the row in the specifier file (`key`, `default`, `PostNotification`, ...),
    // changeable in place.
    OBJC_MESSAGE(properties, "properties", NS::MutableDictionary*())
    OBJC_MESSAGE(setProperties, "setProperties:", void(NS::Dictionary*))
    OBJC_MESSAGE(propertyForKey, "propertyForKey:", NS::Object*(NS::String*))
    // A nil value removes the property.
    OBJC_MESSAGE_NAMED(setProperty, setPropertyForKey_, "setProperty:forKey:", void(NS::Object*, NS::String*))
    OBJC_MESSAGE(removePropertyForKey, "removePropertyForKey:", void(NS::String*))
    // The `id` property, else the `key`, else the title.
    OBJC_MESSAGE(identifier, "identifier", NS::String*())

    // The row title.
    OBJC_MESSAGE(name, "name", NS::String*())
    OBJC_MESSAGE(setName, "setName:", void(NS::String*))
    // Value → title, for rows that offer a choice of values; nil when the row has none.
    OBJC_MESSAGE(titleDictionary, "titleDictionary", NS::Dictionary*())
    OBJC_MESSAGE(setTitleDictionary, "setTitleDictionary:", void(NS::Dictionary*))
    OBJC_MESSAGE(shortTitleDictionary, "shortTitleDictionary", NS::Dictionary*())
    OBJC_MESSAGE(setShortTitleDictionary, "setShortTitleDictionary:", void(NS::Dictionary*))
    // The values offered, in the order of the specifier file; nil when the row offers none.
    OBJC_MESSAGE(values, "values", NS::Array*())

    // The object that answers the row's getter, setter and button action (not owned).
    OBJC_MESSAGE(target, "target", id())
    OBJC_MESSAGE(setTarget, "setTarget:", void(id))
    OBJC_MESSAGE(getter, "getter", SEL())
    OBJC_MESSAGE(setter, "setter", SEL())
    // The selector a button row sends to its target; null for other rows.
    OBJC_MESSAGE(buttonAction, "buttonAction", SEL())
    OBJC_MESSAGE(setButtonAction, "setButtonAction:", void(SEL))
    // The pane class a link row opens; Nil when none.
    OBJC_MESSAGE(detailControllerClass, "detailControllerClass", Class())
    OBJC_MESSAGE(setDetailControllerClass, "setDetailControllerClass:", void(Class))
    OBJC_MESSAGE(cellType, "cellType", long())
    OBJC_MESSAGE(setCellType, "setCellType:", void(long))
};

} // namespace PS
