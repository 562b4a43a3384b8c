#include "BMGlintmereLocalizer.hpp"

#include "PreferencesHost.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <dispatch/dispatch.h>

namespace {

using objc::operator""_sel;

constexpr const char* kBundlePath = "/Library/PreferenceBundles/Glintmere.bundle";

id str(const char* text) {
    return objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, text);
}
bool isString(id object) {
    return objc::send<bool>(object, "isKindOfClass:"_sel, objc_lookUpClass("NSString"));
}

id sharedLocalizer(Class cls, SEL) {
    static dispatch_once_t once;
    static id shared = nil;
    dispatch_once(&once, [cls] { shared = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "init"_sel); });
    return shared;
}

id localizationBundle(id, SEL) {
    return objc::send<id>(objc_lookUpClass("NSBundle"), "bundleWithPath:"_sel, str(kBundlePath));
}

id localizedStringForKeyInTable(id self, SEL, id key, id table) {
    id bundle = objc::send<id>(self, "localizationBundle"_sel);
    if (bundle == nil || key == nil) {
        // Without the bundle there is no table: every text stays as written.
        return key;
    }
    return objc::send<id>(bundle, "localizedStringForKey:value:table:"_sel, key, str(""), table);
}

id localizedStringForKey(id self, SEL, id key) {
    return objc::send<id>(self, "localizedStringForKey:inTable:"_sel, key, static_cast<id>(nil));
}

// Looked up through the runtime, so that a subclass's lookup serves every text.
id lookUp(id self, id text, id table) {
    return objc::send<id>(self, "localizedStringForKey:inTable:"_sel, text, table);
}

// A new dictionary with the same keys, each value translated; values that are not texts are kept.
id translatedTitles(id self, id titles, id table) {
    id translated = objc::send<id>(objc_lookUpClass("NSMutableDictionary"), "dictionary"_sel);
    id keys = objc::send<id>(titles, "allKeys"_sel);
    const auto n = objc::send<unsigned long>(keys, "count"_sel);
    for (unsigned long i = 0; i < n; ++i) {
        id key = objc::send<id>(keys, "objectAtIndex:"_sel, i);
        id title = objc::send<id>(titles, "objectForKey:"_sel, key);
        objc::send(translated, "setObject:forKey:"_sel, isString(title) ? lookUp(self, title, table) : title,
                   key);
    }
    return translated;
}

id localizedSpecifiersInTable(id self, SEL, id specifiers, id table) {
    const auto n = objc::send<unsigned long>(specifiers, "count"_sel);
    id footerKey = str(glintmere::host::kFooterText);
    for (unsigned long i = 0; i < n; ++i) {
        id specifier = objc::send<id>(specifiers, "objectAtIndex:"_sel, i);
        if (id name = objc::send<id>(specifier, "name"_sel); isString(name)) {
            objc::send(specifier, "setName:"_sel, lookUp(self, name, table));
        }
        if (id footer = objc::send<id>(specifier, "propertyForKey:"_sel, footerKey); isString(footer)) {
            objc::send(specifier, "setProperty:forKey:"_sel, lookUp(self, footer, table), footerKey);
        }
        if (id titles = objc::send<id>(specifier, "titleDictionary"_sel)) {
            objc::send(specifier, "setTitleDictionary:"_sel, translatedTitles(self, titles, table));
        }
        if (id titles = objc::send<id>(specifier, "shortTitleDictionary"_sel)) {
            objc::send(specifier, "setShortTitleDictionary:"_sel, translatedTitles(self, titles, table));
        }
    }
    return specifiers;
}

id localizedSpecifiers(id self, SEL, id specifiers) {
    return objc::send<id>(self, "localizedSpecifiersForSpecifiers:inTable:"_sel, specifiers,
                          static_cast<id>(nil));
}

void loadLocalizedSpecifiers(id self, SEL, id specifiers, id* into) {
    id localized = objc::send<id>(self, "localizedSpecifiersForSpecifiers:"_sel, specifiers);
    if (into != nullptr) {
        *into = localized;
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("BMGlintmereLocalizer", "NSObject")
        .classMethod<&sharedLocalizer>("sharedLocalizer")
        .method<&localizationBundle>("localizationBundle")
        .method<&localizedStringForKeyInTable>("localizedStringForKey:inTable:")
        .method<&localizedStringForKey>("localizedStringForKey:")
        .method<&localizedSpecifiersInTable>("localizedSpecifiersForSpecifiers:inTable:")
        .method<&localizedSpecifiers>("localizedSpecifiersForSpecifiers:")
        .method<&loadLocalizedSpecifiers>("loadLocalizedSpecifiersForSpecifiers:intoArray:")
        .build();
}

} // namespace
