#include "BMGlintmereLocalizer.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "PreferencesHost.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <dispatch/dispatch.h>

namespace {

using NS::literals::operator""_ns;

// A new dictionary with the same keys, each value translated; values that are not texts are kept.
NS::MutableDictionary* translatedTitles(BMGlintmereLocalizer* self, objc::Ptr<NS::Dictionary> titles,
                                        NS::String* table) {
    auto translated = NS::MutableDictionary::dictionary();
    for (NS::Object* key : titles->allKeys()) {
        auto title = titles->objectForKey(key);
        if (auto text = NS::cast<NS::String>(title)) {
            translated->setObjectForKey(self->localizedStringForKey(text, table), key);
        } else {
            translated->setObjectForKey(title, key);
        }
    }
    return translated;
}

GLINTMERE_REGISTER_CLASSES {
    using Localizer = BMGlintmereLocalizer;
    objc::ClassDefinition<Localizer>()
        .method(Localizer::sharedLocalizer_,
                [](Class cls) -> Localizer* {
                    static dispatch_once_t once;
                    static Localizer* shared = nullptr;
                    dispatch_once(&once, [cls] { shared = Localizer::alloc_.send(cls)->init(); });
                    return shared;
                })
        .method(Localizer::localizationBundle_,
                [](Localizer*) -> NS::Bundle* {
                    // The settings bundle itself, where it is installed: its string tables are its resources.
                    return NS::Bundle::bundleWithPath("/Library/PreferenceBundles/Glintmere.bundle"_ns);
                })
        .method(Localizer::localizedStringForKeyInTable_,
                [](Localizer* self, NS::String* key, NS::String* table) -> NS::String* {
                    auto bundle = self->localizationBundle();
                    if (bundle == nullptr || key == nullptr) {
                        // Without the bundle there is no table: every text stays as written.
                        return key;
                    }
                    return bundle->localizedStringForKey(key, ""_ns, table);
                })
        .method(Localizer::localizedStringForKey_,
                [](Localizer* self, NS::String* key) -> NS::String* {
                    return self->localizedStringForKey(key, nullptr);
                })
        // Every text goes through localizedStringForKey:inTable:, so that a subclass's lookup serves them
        // all.
        .method(Localizer::localizedSpecifiersForSpecifiersInTable_,
                [](Localizer* self, objc::Ptr<NS::Array> specifiers, NS::String* table) -> NS::Array* {
                    auto footerKey = NS::String::string(glintmere::host::kFooterText);
                    for (objc::Ptr<NS::Object> entry : specifiers) {
                        auto specifier = entry.as<PS::Specifier>();
                        if (auto name = NS::cast<NS::String>(specifier->name())) {
                            specifier->setName(self->localizedStringForKey(name, table));
                        }
                        if (auto footer = NS::cast<NS::String>(specifier->propertyForKey(footerKey))) {
                            specifier->setProperty(self->localizedStringForKey(footer, table), footerKey);
                        }
                        if (auto titles = specifier->titleDictionary()) {
                            specifier->setTitleDictionary(translatedTitles(self, titles, table));
                        }
                        if (auto titles = specifier->shortTitleDictionary()) {
                            specifier->setShortTitleDictionary(translatedTitles(self, titles, table));
                        }
                    }
                    return specifiers;
                })
        .method(Localizer::localizedSpecifiersForSpecifiers_,
                [](Localizer* self, NS::Array* specifiers) -> NS::Array* {
                    return self->localizedSpecifiersForSpecifiers(specifiers, nullptr);
                })
        .method(Localizer::loadLocalizedSpecifiersForSpecifiersIntoArray_,
                [](Localizer* self, NS::Array* specifiers, NS::Array** into) {
                    auto localized = self->localizedSpecifiersForSpecifiers(specifiers);
                    if (into != nullptr) {
                        *into = localized;
                    }
                })
        .build();
}

} // namespace
