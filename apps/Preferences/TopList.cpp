#include "TopList.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "UIKit/UIImage.hpp"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

namespace settings {
namespace {

using NS::literals::operator""_ns;

constexpr const char* kBundles = "/Library/PreferenceBundles/";
// Where the Settings app keeps the icons of its own rows.
constexpr const char* kAppFolder = "/Applications/Preferences.app/";

struct SystemRow {
    const char* title;
    const char* icon;
};

// The system's own rows as this system's Settings shows them at its top, group by group: from 8.0 on
// the display has a row of its own beside the wallpaper's.
std::vector<std::vector<SystemRow>> systemGroups() {
    const bool displayApart = kCFCoreFoundationVersionNumber >= 1140.10;
    std::vector<SystemRow> general = {{"General", "General"}};
    if (displayApart) {
        general.push_back({"Display & Brightness", "Display"});
        general.push_back({"Wallpaper", "Wallpaper"});
    } else {
        general.push_back({"Wallpapers & Brightness", "Wallpaper"});
    }
    return {{{"Wi-Fi", "WiFi"}, {"Bluetooth", "Bluetooth"}}, general};
}

std::string text(NS::Object* object) {
    auto s = NS::cast<NS::String>(object);
    return s != nullptr ? s->str() : std::string();
}

// A plain name of a file or folder: no folder of its own, not the folder itself or its parent.
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The entry `file` describes; nullopt, with `why` said, when it describes none that can be shown.
std::optional<Entry> readEntry(const std::filesystem::path& file, std::string& why, std::ostream& notes) {
    auto plist = NS::Dictionary::dictionaryWithContentsOfFile(NS::String::string(file.string()));
    if (plist == nullptr) {
        why = "it is not a property list holding a dictionary";
        return std::nullopt;
    }
    auto entry = NS::cast<NS::Dictionary>(plist->objectForKey("entry"_ns));
    if (entry == nullptr) {
        why = "it has no \"entry\" dictionary";
        return std::nullopt;
    }
    const std::string bundle = text(entry->objectForKey("bundle"_ns));
    if (bundle.empty()) {
        why = "its entry names no bundle";
        return std::nullopt;
    }
    if (!isPlainName(bundle)) {
        why = "its bundle \"" + bundle + "\" is not the name of a bundle in " + kBundles;
        return std::nullopt;
    }
    auto isController = NS::cast<NS::Number>(entry->objectForKey("isController"_ns));
    if (isController == nullptr || !isController->boolValue()) {
        why = "its entry is no pane of its own (isController is not true)";
        return std::nullopt;
    }
    Entry made;
    made.bundlePath = kBundles + bundle + ".bundle";
    made.label = text(entry->objectForKey("label"_ns));
    if (made.label.empty()) {
        made.label = bundle;
    }
    if (auto icon = entry->objectForKey("icon"_ns)) {
        const std::string name = text(icon);
        if (isPlainName(name)) {
            made.iconPath = made.bundlePath + "/" + name;
        } else {
            notes << "Settings: " << file.string() << ": its icon is not the name of a file in its bundle; "
                  << "the row shows none\n";
        }
    }
    return made;
}

NS::Object* row(const std::string& title, const std::string& iconPath) {
    auto specifier = PS::Specifier::preferenceSpecifier(NS::String::string(title), nullptr, nullptr, nullptr,
                                                        Nil, PS::LinkCell, 0);
    if (!iconPath.empty()) {
        specifier->setProperty(UI::Image::imageWithContentsOfFile(NS::String::string(iconPath)),
                               "iconImage"_ns);
    }
    return specifier;
}

NS::Object* group() {
    return PS::Specifier::preferenceSpecifier(nullptr, nullptr, nullptr, nullptr, Nil, PS::GroupCell, 0);
}

} // namespace

std::vector<Entry> loadEntries(std::ostream& notes, const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(folder, ec)) {
        if (file.path().extension() == ".plist") {
            files.push_back(file.path());
        }
    }
    // The folder's own order is the file system's; the notes come in a steady one.
    std::sort(files.begin(), files.end());
    std::vector<Entry> entries;
    for (const auto& file : files) {
        std::string why;
        if (auto entry = readEntry(file, why, notes)) {
            entries.push_back(std::move(*entry));
        } else {
            notes << "Settings: skipped " << file.string() << ": " << why << "\n";
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.label < b.label; });
    return entries;
}

NS::Array* topListRows(const std::vector<Entry>& entries) {
    auto rows = NS::MutableArray::array();
    for (const std::vector<SystemRow>& rowsOfGroup : systemGroups()) {
        rows->addObject(group());
        for (const SystemRow& system : rowsOfGroup) {
            rows->addObject(row(system.title, std::string(kAppFolder) + system.icon + ".png"));
        }
    }
    if (!entries.empty()) {
        rows->addObject(group());
        for (const Entry& entry : entries) {
            rows->addObject(row(entry.label, entry.iconPath));
        }
    }
    return rows;
}

bool isSystemRow(const std::string& title) {
    for (const std::vector<SystemRow>& rows : systemGroups()) {
        for (const SystemRow& system : rows) {
            if (title == system.title) {
                return true;
            }
        }
    }
    return false;
}

} // namespace settings
