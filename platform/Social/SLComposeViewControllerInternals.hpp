// The inner workings of SLComposeViewController: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Social/PostLog.hpp"
#include "Social/SLComposeViewController.hpp"
#include "objc/Internals.hpp"

namespace SL {

class ComposeViewControllerInternals
    : public objc::Internals<ComposeViewControllerInternals, ComposeViewController> {
  public:
    OBJC_IVAR(_initialText, NS::String*, Copying)
    OBJC_IVAR(_serviceType, NS::String*, Copying)
};

// What the person in front of the composer sees and does: the text as it stands, and the Post and
// Cancel buttons.
[[gnu::visibility("default")]] std::string textOf(ComposeViewController* composer);

// Post: the text goes to the post log, then the handler is told Done. When it cannot be written
// the composer stays as it is, nothing is told, and the error says why.
[[gnu::visibility("default")]] std::string post(ComposeViewController* composer, const PostLog& log = {});

// Cancel: nothing is posted, and the handler is told Cancelled.
[[gnu::visibility("default")]] void cancel(ComposeViewController* composer);

} // namespace SL
