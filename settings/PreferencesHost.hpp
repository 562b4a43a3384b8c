// What the settings bundle relies on of the Settings host: its pane, row and cell classes and the
// names under which rows keep what the panes read.
#pragma once

#include "Preferences/PSListController.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"

namespace glintmere::host {

// Properties of a row, as the specifier files spell them.
inline constexpr const char* kKey = "key";
inline constexpr const char* kDefault = "default";
inline constexpr const char* kPostNotification = "PostNotification";
inline constexpr const char* kFooterText = "footerText";

} // namespace glintmere::host
