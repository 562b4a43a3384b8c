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
class NavigationBar;
class NavigationController;
class Window;
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

// Whether Settings holds each pane's navigation controller inside an outer one whose bar is the one on
// screen, as the system's Settings did from 8.0 to 8.1.2 (by Core Foundation number).
bool nestsPanes(double coreFoundationVersion);

// Settings on screen: a window of the device's size whose root is a navigation controller with the
// top list at its root. Panes opened by `open` stay until `close`, which takes them off the screen
// again (viewWillDisappear:) and frees them. Where the system nests panes, the first pane is the root
// of a navigation controller of its own (its bar hidden) that the outer one holds; panes it opens go
// on that one.
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
    // Takes the top pane off the screen, as the bar's back button does; false when none is open.
    bool back();

    UI::Window* window() { return window_; }
    // The bar on screen: the outer navigation controller's.
    UI::NavigationBar* bar();
    // Lays the window out for a look at it.
    void prepareForDisplay();

    const std::vector<Entry>& entries() const { return entries_; }

  private:
    PS::ListController* openEntry(const Entry& entry);
    // The navigation controller that holds the panes: the inner one where panes are nested.
    UI::NavigationController* paneNavigation();
    std::vector<Entry> entries_;
    bool nested_;
    UI::Window* window_;
    UI::NavigationController* navigation_;
};

// The path components of a pane path ("Glintmere/Makers" → Glintmere, Makers).
std::vector<std::string> splitPath(const std::string& path);

} // namespace settings
