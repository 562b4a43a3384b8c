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

// The Core Foundation numbers of the releases whose frameworks differ in what they hold.
namespace release {
inline constexpr double iOS7_0 = 847.20;
inline constexpr double iOS8_0 = 1140.10;
inline constexpr double iOS8_3 = 1144.17;
inline constexpr double iOS8_4 = 1145.15;
inline constexpr double iOS9_0 = 1240.10;
inline constexpr double iOS10_0 = 1348.00;
inline constexpr double iOS12_0 = 1556.00;
inline constexpr double iOS13_0 = 1665.15;
inline constexpr double iOS14_0 = 1751.108;
} // namespace release

// Whether the device's system is `release` (one of the numbers above) or later.
inline bool systemIsAtLeast(double release) { return deviceFacts().coreFoundationVersion >= release; }

} // namespace CF
