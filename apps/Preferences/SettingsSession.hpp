// The Settings app on screen: its top list and the panes a person opens from it.
#pragma once

#include "TopList.hpp"

#include <cstdint>
#include <optional>
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

// Whether Settings holds each pane's navigation controller inside an outer one whose bar is the one on
// screen, as the system's Settings did from 8.0 to 8.1.2 (by Core Foundation number).
bool nestsPanes(double coreFoundationVersion);

// Settings on screen: a window of the device's size whose root is a navigation controller with the
// top list at its root, the first screen. Panes opened from it stay until `back` or `close` takes
// them off the screen again (viewWillDisappear:) and frees them. Where the system nests panes, a
// package's pane is the root of a navigation controller of its own (its bar hidden) that the outer
// one holds; panes it opens go on that one.
class Session {
  public:
    // Settings as it starts, showing the top list; entries of the PreferenceLoader folder that
    // cannot be shown are noted on standard error.
    Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    // Shows the pane at `path`: titles as shown, from a package's row of the top list down through
    // link rows, separated by "/". Goes back to the top list first, then taps each row in turn.
    // Throws SettingsError when a step is missing: the screen as it was when no package has that
    // title, else the top list again.
    PS::ListController* open(const std::string& path);
    // Opens the first package's pane, as a person taps the first package row they see. Throws
    // SettingsError when the top list has none.
    PS::ListController* openFirst();
    // The pane a command acts on: `path` opened when given; else the pane on screen; else, on the top
    // list, the first package's pane, opened.
    PS::ListController* paneFor(const std::optional<std::string>& path);
    // Back to the top list, every pane taken off the screen.
    void close();
    // Takes the top pane off the screen, as the bar's back button does; false on the top list.
    bool back();

    // Taps the row of `pane` at `section` and `row`, as a person does: a button sends its action,
    // a link opens its pane above.
    void select(PS::ListController* pane, long section, long row);
    // Taps the top list's row titled `title` while the top list shows: a package's row opens its
    // pane, which is returned; nullptr when there is no such row. Throws SettingsError for one of the
    // system's rows, which open nothing here.
    PS::ListController* tapTopList(const std::string& title);

    // The pane on top; nullptr on the top list.
    PS::ListController* top();
    // The list on screen: the top pane, else the top list.
    PS::ListController* shown();
    // The titles that lead to the pane on top ("Glintmere/Makers"); "Settings" on the top list.
    std::string where();
    // When the list on screen appeared (monotonic nanoseconds): what a look's `--at` counts from.
    std::uint64_t appearedAt() const { return appearedAt_; }

    UI::Window* window() { return window_; }
    // The bar on screen: the outer navigation controller's.
    UI::NavigationBar* bar();

    const std::vector<Entry>& entries() const { return entries_; }

  private:
    PS::ListController* openEntry(const Entry& entry);
    // The navigation controller that holds the panes: the inner one where panes are nested.
    UI::NavigationController* paneNavigation();
    // The panes on screen, from the package's pane up.
    std::vector<PS::ListController*> panes();
    std::vector<Entry> entries_;
    bool nested_;
    UI::Window* window_;
    UI::NavigationController* navigation_;
    PS::ListController* topList_;
    std::uint64_t appearedAt_ = 0;
};

// The path components of a pane path ("Glintmere/Makers" → Glintmere, Makers).
std::vector<std::string> splitPath(const std::string& path);

} // namespace settings
