// The record of posted shares: each post the share composer sends is appended to posts.txt.
#pragma once

#include <string>
#include <string_view>

namespace SL {

// Where posts go: the file "posts.txt" in the folder `folder` below `base`
// ("/var/mobile/Library/Social/posts.txt"); the user's home is the base, as for the mail outbox.
struct PostLog {
    std::string base = "/var/mobile";
    std::string folder = "Library/Social";
};

// Appends `text` and a line feed to the log in one write, so that posts of several processes do
// not mix. The folder is made when missing and the file is created with mode 0644. No link below
// `base` is followed: a link, a file with other names (a hard link) or anything but a regular
// file at posts.txt is left as it is and nothing is written. Returns what went wrong, or nothing.
[[gnu::visibility("default")]] std::string appendPost(std::string_view text, const PostLog& log = {});

} // namespace SL
