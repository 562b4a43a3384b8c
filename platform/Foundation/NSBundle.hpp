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
    static Bundle* bundleWithPath(String* path) {
        return objc::send<Bundle*>(runtimeClass(), objc::Selector<"bundleWithPath:">(), path);
    }
    // The directory that holds the running executable.
    static Bundle* mainBundle() {
        return objc::send<Bundle*>(runtimeClass(), objc::Selector<"mainBundle">());
    }

    String* bundlePath() { return objc::send<String*>(this, objc::Selector<"bundlePath">()); }
    String* bundleIdentifier() { return objc::send<String*>(this, objc::Selector<"bundleIdentifier">()); }
    // The bundle's Info.plist; empty when it has none.
    Dictionary* infoDictionary() { return objc::send<Dictionary*>(this, objc::Selector<"infoDictionary">()); }
    Object* objectForInfoDictionaryKey(String* key) {
        return objc::send<Object*>(this, objc::Selector<"objectForInfoDictionaryKey:">(), key);
    }

    // Looks in the bundle directory, then the preferred language's .lproj, "en.lproj" and "Base.lproj".
    // A nil or empty type means that `name` carries its extension. nullptr when not found.
    String* pathForResource(String* name, String* type) {
        return objc::send<String*>(this, objc::Selector<"pathForResource:ofType:">(), name, type);
    }
    URL* URLForResource(String* name, String* extension) {
        return objc::send<URL*>(this, objc::Selector<"URLForResource:withExtension:">(), name, extension);
    }

    // The translation of `key` in the string table `table` ("Localizable" when nil) of the preferred
    // language, "en" or "Base", in that order. A key no table has gives `value`, or the key itself
    // when `value` is nil or empty.
    String* localizedStringForKey(String* key, String* value, String* table) {
        return objc::send<String*>(this, objc::Selector<"localizedStringForKey:value:table:">(), key, value,
                                   table);
    }

    // Opens the executable named by CFBundleExecutable; false, with the reason on stderr, when it is
    // missing or cannot be loaded.
    bool load() { return objc::send<bool>(this, objc::Selector<"load">()); }
    bool isLoaded() { return objc::send<bool>(this, objc::Selector<"isLoaded">()); }
    // The class named by NSPrincipalClass, after loading the executable; nil when either fails.
    Class principalClass() { return objc::send<Class>(this, objc::Selector<"principalClass">()); }
};

} // namespace NS
