#include "SettingsCommands.hpp"

// Settings has no commands of its own yet; the frame's wait, echo and script serve meanwhile.
void registerSettingsCommands(host::HostApp&) {}
