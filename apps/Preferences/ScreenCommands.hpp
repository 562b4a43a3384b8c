// What the Settings app's screen shows: its view tree written out and drawn, and the commands that
// move through it (open, back, tap-bar) in a script.
#pragma once

#include "HostApp.hpp"

#include <optional>
#include <string>

namespace settings {
class Session;
} // namespace settings

void registerScreenCommands(host::HostApp& app);

// The screen the commands look at: PANE freshly opened when one is named, else the one a script
// has open, else the default pane.
settings::Session& currentScreen(const std::optional<std::string>& pane = std::nullopt);
