// What the Settings app's screen shows: its view tree written out and drawn, and the commands that
// move through it (open, back, tap-bar) in a script.
#pragma once

#include "HostApp.hpp"

void registerScreenCommands(host::HostApp& app);
