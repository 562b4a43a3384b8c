// The kinds of device the tool can make: hardware models and system versions, with their facts.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace device {

// How the system lays its interface out for a model; the numbers are UIKit's idiom values.
enum class Idiom { Phone = 0, Pad = 1 };

// One hardware model: its screen in points and the pixels per point.
struct Model {
    std::string_view identifier;  // "iPhone6,1"
    std::string_view deviceClass; // "iPhone", "iPad": what UIDevice's `model` answers
    Idiom idiom;
    // False for the first phone's system, whose UIDevice has no `userInterfaceIdiom` at all.
    bool answersIdiom;
    double screenWidth;
    double screenHeight;
    double scale;
};

// One system version: its build and the Core Foundation version number it reports.
struct SystemVersion {
    std::string_view version; // "8.4"
    std::string_view build;   // "12H143"
    double coreFoundation;    // kCFCoreFoundationVersionNumber
};

std::span<const Model> models();
std::span<const SystemVersion> systemVersions();

inline constexpr std::string_view kDefaultModel = "iPhone6,1";
inline constexpr std::string_view kDefaultVersion = "8.4";

// The model or version named exactly so; throws Error naming the known ones otherwise.
const Model& model(std::string_view identifier);
const SystemVersion& systemVersion(std::string_view version);

// Everything `create` needs to know about the device to make.
struct Kind {
    const Model* model = &device::model(kDefaultModel);
    const SystemVersion* system = &device::systemVersion(kDefaultVersion);
    bool mailAccount = true;
    bool twitterAccount = true;
    // A phone's processor: packages are iphoneos-arm, and its loaders run the phone's arm64 binaries.
    bool arm64 = false;
};

// The package architecture of a device whose processor is a phone's.
inline constexpr const char* kPhoneArchitecture = "iphoneos-arm";

// Device paths of the files that carry a kind into the device, for the stand-ins to read.
inline constexpr const char* kSystemVersionFile = "/System/Library/CoreServices/SystemVersion.plist";
inline constexpr const char* kDeviceFactsFile = "/System/Library/CoreServices/DeviceFacts.plist";
inline constexpr const char* kAccountsFile = "/private/var/mobile/Library/Accounts/Accounts.plist";

// The XML property lists written to those files.
std::string systemVersionPlist(const SystemVersion& system);
std::string deviceFactsPlist(const Kind& kind);
std::string accountsPlist(const Kind& kind);

} // namespace device
