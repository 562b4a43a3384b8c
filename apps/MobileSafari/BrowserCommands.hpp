// The browser's commands: what a person does in the web browser.
#pragma once

#include "HostApp.hpp"

void registerBrowserCommands(host::HostApp& app);
