// The Settings app's navigation: its list of PreferenceLoader entries and the panes they lead to.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace PS {
class ListController;
class Specifier;
} // namespace PS

namespace UI {
class NavigationController;
} // namespace UI

namespace settings {

// A failure a person would meet in Settings: no such pane, row or value. Nothing has changed.
struct SettingsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One package's entry in Settings' top list, from /Library/PreferenceLoader/Preferences/*.plist.
struct Entry {
    std::string label;
    std::string bundlePath;
};

// The entries that the device's PreferenceLoader folder lists, in the order of their labels.
// Files that do not describe a controller bundle are passed over.
std::vector<Entry> loadEntries(const std::string& folder = "/Library/PreferenceLoader/Preferences");

// Settings on screen: a navigation controller whose root is the top list. Panes opened by `open`
// stay until `close`, which takes them off the screen again (viewWillDisappear:) and frees them.
class Session {
  public:
    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    // Opens the pane at `path`: titles as shown, from an entry of the top list down through link
    // rows, separated by "/". Throws SettingsError, having opened nothing, when a step is missing.
    PS::ListController* open(const std::string& path);
    void close();
    // The pane on top; nullptr when none is open or the top is not a pane.
    PS::ListController* top();

    const std::vector<Entry>& entries() const { return entries_; }

  private:
    PS::ListController* openEntry(const Entry& entry);
    UI::NavigationController* navigation_;
    std::vector<Entry> entries_;
};

// The path components of a pane path ("Glintmere/Makers" → Glintmere, Makers).
std::vector<std::string> splitPath(const std::string& path);

} // namespace settings
