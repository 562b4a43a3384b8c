// Writes inside a device root, each made relative to a descriptor of the root, never through a link.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>

namespace device {

// An open file descriptor, closed when it goes.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return fd_; }

  private:
    int fd_ = -1;
};

// The files of one device, reached below its root. A device is untrusted territory: a process
// inside may plant a link anywhere, at any moment, so every path is resolved by the kernel beneath
// the root's descriptor with no link followed (a link where a folder or file is expected is an
// error, never a way out), and every file is written to a fresh temporary made with O_EXCL and
// renamed over its name, which replaces whatever was there (a link included) instead of writing
// through it. Paths given here are relative to the root and hold no "..".
class DeviceFiles {
  public:
    // Opens the root; throws Error when it is not a directory.
    explicit DeviceFiles(const std::filesystem::path& root);

    // The folder at `relative`; its missing parts are made (mode 0755) when `make` is true.
    Descriptor folder(const std::filesystem::path& relative, bool make = true) const;

    // A copy of the host file `source` at `relative`, with the source's mode, appearing whole.
    void placeFile(const std::filesystem::path& source, const std::filesystem::path& relative) const;

    // A file holding `content` at `relative`, appearing whole.
    void placeContent(const std::string& content, const std::filesystem::path& relative,
                      mode_t mode = 0644) const;

    // A symbolic link at `relative` whose target is `target` (the link's text, not followed).
    void placeLink(const std::filesystem::path& target, const std::filesystem::path& relative) const;

    // Removes the file, link or empty folder at `relative`; one that is not there is no error.
    void remove(const std::filesystem::path& relative) const;

    // The content of the regular file at `relative`; nullopt when there is none there, or a link,
    // a pipe or anything else stands in its place. Throws Error when it holds more than `limit`
    // bytes: what a device plants is read only as far as the reader needs.
    std::optional<std::string> readFile(const std::filesystem::path& relative, std::size_t limit) const;

    // A descriptor (O_PATH) of the regular file at `relative`; throws Error when a link or anything
    // but a regular file stands there.
    Descriptor regularFile(const std::filesystem::path& relative) const;

    // Where `relative` leads inside the device when each link already there is followed as a
    // process inside would follow it (an absolute target starts again at the top, ".." stops
    // there); nullopt when a part is missing or the links go round. The empty path is the top.
    std::optional<std::filesystem::path> resolve(const std::filesystem::path& relative) const;

    // Takes back what programs run inside may have handed to other users of the host, where the
    // device's root is the host's: the root folder is its owner's alone again, and no file or folder
    // inside keeps a set-user-id or set-group-id bit. Links are never followed.
    void withdrawPrivileges() const;

    // A new, empty folder named after `prefix` with a random ending, at the top of the device.
    // Returns its name.
    std::string makeUniqueFolder(const std::string& prefix) const;

    const std::filesystem::path& root() const { return root_; }

  private:
    // Writes into a fresh temporary beside `relative` through `fill`, then renames it into place.
    template <typename Fill> void placeWith(const std::filesystem::path& relative, Fill&& fill) const;

    std::filesystem::path root_;
    Descriptor rootFd_;
};

} // namespace device
