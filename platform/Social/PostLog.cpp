#include "Social/PostLog.hpp"

#include "Foundation/AppendLine.hpp"

namespace SL {

std::string appendPost(std::string_view text, const PostLog& log) {
    return NS::detail::appendLine(log.base, log.folder, "posts.txt", text);
}

} // namespace SL
