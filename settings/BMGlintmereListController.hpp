// BMGlintmereListController: the base of every Glintmere pane; loads its rows, keeps their values
// in the preferences file and gives the pane its colours while it is on screen.
#pragma once

#include "PreferencesHost.hpp"

class BMGlintmereListController
    : public NS::Referencing<BMGlintmereListController, "BMGlintmereListController", PS::ListController> {
  public:
    OBJC_IVAR(prevStatusStyle, long)

    // The rows of the bundle's specifier file `name`, localized in place. The caller owns the array.
    OBJC_MESSAGE(specifiersForPlistName, "specifiersForPlistName:", NS::Array*(NS::String*))
    // readPreferenceValue: and setPreferenceValue:specifier: (declared by the host's view) read the
    // preferences file afresh on every call and replace it on every store.
    // viewWillAppear: colours the pane's navigation bar, its switches and the status bar, keeping the
    // status bar style it found in `prevStatusStyle`; viewWillDisappear: hands the bar back to the
    // system's defaults and puts that style back; tableView:cellForRowAtIndexPath: colours every row's
    // title.
};

namespace glintmere {

// The pane's rows as the host keeps them in its `_specifiers` field: loaded from the bundle's
// specifier file `name` (the field owns them) while the field holds none, so a load that gave no
// list is tried again on the next call.
NS::Array* cachedSpecifiers(BMGlintmereListController* pane, NS::String* name);
// The secondary panes' `specifiers`: their cached rows of the specifier file `name`, under the title
// that the shared localizer gives `titleKey`, set anew on every call.
NS::Array* titledSpecifiers(BMGlintmereListController* pane, NS::String* name, NS::String* titleKey);

// The preferences file, as the settings bundle spells its path.
inline constexpr const char* kPreferencesPath = "/User/Library/Preferences/com.brightmoth.glintmere.plist";
// Where a preferences file that could not be read is kept when a store replaces it.
inline constexpr const char* kPreferencesBackupPath =
    "/User/Library/Preferences/com.brightmoth.glintmere.plist.bak";
// Held (flock) by a store from its read of the file to the end of its write.
inline constexpr const char* kPreferencesLockPath =
    "/User/Library/Preferences/com.brightmoth.glintmere.plist.lock";

} // namespace glintmere
