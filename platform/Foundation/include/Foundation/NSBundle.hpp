// NSBundle: a directory of code and resources, with its Info.plist, string tables and executable.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class Dictionary;
class String;
class URL;

// One bundle object per directory, as on the device: asking again for the same path gives the same
// object, which lives as long as the process.
class GLINTMERE_EXPORT Bundle : public Referencing<Bundle, "NSBundle"> {
  public:
    // nullptr when there is no directory at `path`.
    OBJC_CLASS_MESSAGE(bundleWithPath, "bundleWithPath:", Bundle*(String*))
    // The directory that holds the running executable.
    OBJC_CLASS_MESSAGE(mainBundle, "mainBundle", Bundle*())

    // The same bundle object as bundleWithPath: gives; nullptr when there is no directory at `path`.
    OBJC_MESSAGE(initWithPath, "initWithPath:", Bundle*(String*))

    OBJC_MESSAGE(bundlePath, "bundlePath", String*())
    // Resources sit in the bundle's directory itself.
    OBJC_MESSAGE(resourcePath, "resourcePath", String*())
    OBJC_MESSAGE(bundleIdentifier, "bundleIdentifier", String*())
    // The bundle's Info.plist; empty when it has none.
    OBJC_MESSAGE(infoDictionary, "infoDictionary", Dictionary*())
    OBJC_MESSAGE(objectForInfoDictionaryKey, "objectForInfoDictionaryKey:", Object*(String*))

    // Looks in the bundle directory, then the preferred language's .lproj, "en.lproj" and "Base.lproj".
    // A nil or empty type means that `name` carries its extension. nullptr when not found.
    OBJC_MESSAGE_NAMED(pathForResource, pathForResourceOfType_,
                       "pathForResource:ofType:", String*(String*, String*))
    OBJC_MESSAGE_NAMED(URLForResource, URLForResourceWithExtension_,
                       "URLForResource:withExtension:", URL*(String*, String*))

    // The translation of `key` in the string table `table` ("Localizable" when nil) of the preferred
    // language, "en" or "Base", in that order. A key no table has gives `value`, or the key itself
    // when `value` is nil or empty.
    OBJC_MESSAGE_NAMED(localizedStringForKey, localizedStringForKeyValueTable_,
                       "localizedStringForKey:value:table:", String*(String*, String*, String*))

    // Opens the executable named by CFBundleExecutable; false, with the reason on stderr, when it is
    // missing or cannot be loaded.
    OBJC_MESSAGE(load, "load", bool())
    OBJC_MESSAGE(isLoaded, "isLoaded", bool())
    // The class named by NSPrincipalClass, after loading the executable; nil when either fails.
    OBJC_MESSAGE(principalClass, "principalClass", Class())
};

} // namespace NS
