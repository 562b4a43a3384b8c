// What the Settings app's screen shows: its view tree written out and drawn, and the commands that
// move through it (open, back, scroll, tap-bar).
#pragma once

#include "HostApp.hpp"

namespace settings {
class Session;
} // namespace settings

void registerScreenCommands(host::HostApp& app);

// The Settings app's screen, the one every command acts on: made on first use with the top list
// showing, and kept, as it is, for the commands after, until the app ends.
settings::Session& currentScreen();
