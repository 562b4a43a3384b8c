// Whole-file reads and writes for Foundation's file methods; writes may replace the file atomically.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace NS::detail {

// The bytes of the regular file at `path`; nothing when it is missing, unreadable, not a regular file
// or larger than `limit`.
std::optional<std::string> readFile(const char* path, std::size_t limit);

// Writes `bytes` to `path`. Atomically: into a new file in the same directory, flushed to disk and
// renamed over `path`, so that a reader sees the old file or the new one and never a part; on any
// failure the new file is removed and the old one stays. Otherwise the file is rewritten in place.
bool writeFile(const char* path, std::string_view bytes, bool atomically);

} // namespace NS::detail
