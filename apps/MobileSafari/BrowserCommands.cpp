#include "BrowserCommands.hpp"

// The browser has no commands of its own yet; the frame's wait, echo and script serve meanwhile.
void registerBrowserCommands(host::HostApp&) {}
