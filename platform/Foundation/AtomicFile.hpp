// Whole-file reads and writes for Foundation's file methods; writes may replace the file atomically.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace NS::detail {

// The bytes of the regular file at `path`; nothing when it is missing, unreadable, not a regular file
// or larger than `limit`.
[[gnu::visibility("default")]] std::optional<std::string> readFile(const char* path, std::size_t limit);

// Writes `bytes` to `path`. Atomically: into a new file in the same directory, flushed to disk and
// renamed over `path`, so that a reader sees the old file or the new one and never a part; on any
// failure the new file is removed and the old one stays. Otherwise the file is rewritten in place.
[[gnu::visibility("default")]] bool writeFile(const char* path, std::string_view bytes, bool atomically);

// Replaces `path` as writeFile does atomically, the new file's data on disk before it takes the name,
// but leaves the folder unflushed: for a writer that replaces several files and tells a waiter they
// are in place before flushing their folder once, with flushFolderOf.
[[gnu::visibility("default")]] bool replaceFileUnflushed(const char* path, std::string_view bytes);
// Flushes the folder that holds `path` to disk, and with it the renames into it.
[[gnu::visibility("default")]] void flushFolderOf(const char* path);
// Removes the temporaries of `path` in its folder whose writer is gone (see removeStaleTemporaries).
[[gnu::visibility("default")]] void removeStaleTemporariesOf(const char* path);

// Removes the temporaries in the folder open at `folder` (the regular files whose names `isTemporary`
// accepts) whose writer is gone. A writer holds a lock on its temporary from before it writes until
// the name is gone, and the lock goes with its last descriptor, so a temporary that can be locked
// has none. Nothing is followed: a link, or anything but a regular file, is left alone.
[[gnu::visibility("default")]] void
removeStaleTemporaries(int folder, const std::function<bool(std::string_view)>& isTemporary);

// Bytes on disk ahead of their name: written to a file without a name in some folder and flushed,
// so that putting them in place later takes a link and a rename instead of a write and a wait for
// the disk. Every file placed from one staging is the same file on disk; it is only ever replaced
// whole, never written in place.
class [[gnu::visibility("default")]] StagedFile {
  public:
    // Null when the folder's filesystem keeps no files without a name, or the bytes cannot be
    // written and flushed there.
    static std::unique_ptr<StagedFile> stage(const char* folder, std::string_view bytes);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Replaces `path` with these bytes as replaceFileUnflushed does. False, with `path` as it was,
    // when they cannot be linked there (another filesystem, or an old file whose permissions differ
    // from the new file's), for the caller to write the bytes instead.
    bool replace(const char* path) const;

  private:
    explicit StagedFile(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace NS::detail
