// The installed settings bundle, loaded into a test as the Settings app loads it, and the files the
// tests look at.
#pragma once

#include "Foundation/Foundation.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSDictionary.hpp"

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

inline constexpr const char* kBundlePath = "/Library/PreferenceBundles/Glintmere.bundle";
// The preferences file as the device keeps it (the bundle writes it through "/User/...").
inline constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
inline constexpr const char* kBackup = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist.bak";
inline constexpr const char* kSettingsChanged = "com.brightmoth.glintmere/settingschanged";

// Loads the bundle once per process; its classes are then registered by name.
inline NS::Bundle* settingsBundle() {
    static NS::Bundle* bundle = [] {
        NS::AutoreleaseScope pool;
        NS::Bundle* b = NS::Bundle::bundleWithPath(NS::String::string(kBundlePath));
        return b != nullptr && b->load() ? b : nullptr;
    }();
    return bundle;
}

inline NS::String* ns(const std::string& text) { return NS::String::string(text); }

} // namespace testing_support
