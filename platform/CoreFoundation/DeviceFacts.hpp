// What the device says it is (model, screen, idiom, system), read once from the device's facts file.
#pragma once

#include "objc/Runtime.hpp"

#include <string>

namespace CF {

// The facts of the device the process runs in. A process outside any device (or in one whose file
// is missing or unreadable) sees the tool's default device: an iPhone6,1 on 8.4.
struct DeviceFacts {
    std::string productType = "iPhone6,1";
    std::string deviceClass = "iPhone";
    // False where the system has no `userInterfaceIdiom` to answer with.
    bool answersIdiom = true;
    long idiom = 0;
    double screenWidth = 320;
    double screenHeight = 568;
    double scale = 2;
    double coreFoundationVersion = 1145.15;
};

// Where the device keeps its facts.
inline constexpr const char* kDeviceFactsPath = "/System/Library/CoreServices/DeviceFacts.plist";

// The facts in the property list at `path`; each fact that is missing or malformed keeps its default.
GLINTMERE_EXPORT DeviceFacts readDeviceFacts(const char* path);

// This process's device, read on first use.
GLINTMERE_EXPORT const DeviceFacts& deviceFacts();

} // namespace CF
