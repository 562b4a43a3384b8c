// The Settings app's first screen: a few of the system's own rows, then a row for each package that
// PreferenceLoader lists, with the package's icon and label.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace NS {
class Array;
} // namespace NS

namespace settings {

// One package's entry in the top list, from /Library/PreferenceLoader/Preferences/*.plist.
struct Entry {
    std::string label;
    std::string bundlePath;
    std::string iconPath; // empty when the entry names no icon
};

// The entries of the device's PreferenceLoader folder, in the order of their labels. A file that
// does not describe a package's own pane is skipped, with a line on `notes` saying which and why.
std::vector<Entry> loadEntries(std::ostream& notes,
                               const std::string& folder = "/Library/PreferenceLoader/Preferences");

// The top list's rows as specifiers (autoreleased): the system's own rows in their groups, then a
// group of the entries' rows, each with its icon as `iconImage` where the file is there.
NS::Array* topListRows(const std::vector<Entry>& entries);

// Whether `title` names one of the system's own rows of the top list: rows that open nothing here.
bool isSystemRow(const std::string& title);

} // namespace settings
