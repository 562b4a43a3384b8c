// Appending one record to a log file in the user's part of a device, never through a planted link.
#pragma once

#include <string>
#include <string_view>

namespace NS::detail {

// Appends `text` and a line feed to the file `fileName` in the folder `folder` below `base`, in one
// write, so that records of several processes do not mix. The folder is made when missing and the
// file is created with mode 0644. No link below `base` is followed: a link, a file with other names
// (a hard link) or anything but a regular file there is left as it is and nothing is written.
// Returns what went wrong, or nothing.
[[gnu::visibility("default")]] std::string appendLine(const std::string& base, std::string_view folder,
                                                      const char* fileName, std::string_view text);

} // namespace NS::detail
