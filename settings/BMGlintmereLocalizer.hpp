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
    static BMGlintmereLocalizer* sharedLocalizer() {
        return objc::send<BMGlintmereLocalizer*>(runtimeClass(), objc::Selector<"sharedLocalizer">());
    }

    // The installed settings bundle, opened anew on every read; nil when none is there.
    NS::Bundle* localizationBundle() {
        return objc::send<NS::Bundle*>(this, objc::Selector<"localizationBundle">());
    }

    // The translation of `key` from `table` (nil: the default table); the key itself when there is none.
    NS::String* localizedStringForKey(NS::String* key, NS::String* table) {
        return objc::send<NS::String*>(this, objc::Selector<"localizedStringForKey:inTable:">(), key, table);
    }
    NS::String* localizedStringForKey(NS::String* key) {
        return objc::send<NS::String*>(this, objc::Selector<"localizedStringForKey:">(), key);
    }

    // Translates the title, footer text and value titles of each row in place; returns `specifiers`.
    NS::Array* localizedSpecifiersForSpecifiers(NS::Array* specifiers, NS::String* table) {
        return objc::send<NS::Array*>(this, objc::Selector<"localizedSpecifiersForSpecifiers:inTable:">(),
                                      specifiers, table);
    }
    NS::Array* localizedSpecifiersForSpecifiers(NS::Array* specifiers) {
        return objc::send<NS::Array*>(this, objc::Selector<"localizedSpecifiersForSpecifiers:">(),
                                      specifiers);
    }
    // Stores what localizedSpecifiersForSpecifiers: gives for `specifiers` into `*into`.
    void loadLocalizedSpecifiersForSpecifiers(NS::Array* specifiers, NS::Array** into) {
        objc::send<void>(this, objc::Selector<"loadLocalizedSpecifiersForSpecifiers:intoArray:">(),
                         specifiers, into);
    }
};
