// The hooking framework's loader: how a host process brings its hook libraries in, as MobileSubstrate
// does before an app starts; no library calls it.
#pragma once

extern "C" {

// Opens each hook library of /Library/MobileSubstrate/DynamicLibraries whose filter (the .plist of
// the same name) matches this process: a listed bundle identifier is the main bundle's, a listed
// executable is this program's name, or a listed class exists. Libraries without a filter, with
// an empty or unreadable one, or that fail to open are skipped (the last two with a note on
// standard error). Libraries load in name order. Host applications call this once their own
// frameworks are up.
__attribute__((visibility("default"))) void MSLoadDynamicLibraries(void);
}
