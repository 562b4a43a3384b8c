// The Settings application's commands: what a person does in Settings.
#pragma once

#include "HostApp.hpp"

void registerSettingsCommands(host::HostApp& app);
