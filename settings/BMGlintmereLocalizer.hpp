// BMGlintmereLocalizer: translates texts and freshly loaded rows with the settings bundle's string tables.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class Array;
class Bundle;
class String;
} // namespace NS

class BMGlintmereLocalizer : public NS::Referencing<BMGlintmereLocalizer, "BMGlintmereLocalizer"> {
  public:
    // The one localizer of the process, made on first use.
    OBJC_CLASS_MESSAGE(sharedLocalizer, "sharedLocalizer", BMGlintmereLocalizer*())

    // The installed settings bundle, opened anew on every read; nil when none is there.
    OBJC_MESSAGE(localizationBundle, "localizationBundle", NS::Bundle*())

    // The translation of `key` from `table` (nil: the default table); the key itself when there is none.
    OBJC_MESSAGE_NAMED(localizedStringForKey, localizedStringForKeyInTable_,
                       "localizedStringForKey:inTable:", NS::String*(NS::String*, NS::String*))
    OBJC_MESSAGE(localizedStringForKey, "localizedStringForKey:", NS::String*(NS::String*))

    // Translates the title, footer text and value titles of each row in place; returns `specifiers`.
    OBJC_MESSAGE_NAMED(localizedSpecifiersForSpecifiers, localizedSpecifiersForSpecifiersInTable_,
                       "localizedSpecifiersForSpecifiers:inTable:", NS::Array*(NS::Array*, NS::String*))
    OBJC_MESSAGE(localizedSpecifiersForSpecifiers,
                 "localizedSpecifiersForSpecifiers:", NS::Array*(NS::Array*))
    // Stores what localizedSpecifiersForSpecifiers: gives for `specifiers` into `*into`.
    OBJC_MESSAGE_NAMED(loadLocalizedSpecifiersForSpecifiers, loadLocalizedSpecifiersForSpecifiersIntoArray_,
                       "loadLocalizedSpecifiersForSpecifiers:intoArray:", void(NS::Array*, NS::Array**))
};
