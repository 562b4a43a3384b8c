// Folders reached below a known one without following any link on the way, for writes into the
// user's part of a device, where any file or folder may have been replaced by a link.
#pragma once

#include <string_view>

namespace NS::detail {

// A descriptor (read-only, O_DIRECTORY, close-on-exec) of the folder `below` inside `base`.
// `base` is opened as the system spells it, its links followed ("/var" is one); below it no link
// is followed, so one planted there is an error (ELOOP or ENOTDIR), never a way elsewhere.
// `below` is relative, its parts separated by '/', without "." or ".." (EINVAL). Missing parts
// are made, mode 0755, when `make` is true. -1 with errno set on failure.
[[gnu::visibility("default")]] int openFolderBelow(const char* base, std::string_view below, bool make);

} // namespace NS::detail
