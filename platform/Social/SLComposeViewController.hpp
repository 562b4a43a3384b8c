// SLComposeViewController: the system's screen for writing a post to a social service.
#pragma once

#include "Social/PostLog.hpp"
#include "UIKit/UIViewController.hpp"

namespace NS {
class Block;
class String;
} // namespace NS

// The Twitter service, "com.apple.social.twitter". Twitter is offered where the device has a
// Twitter account and the system still carries Twitter (before 11.0).
extern "C" GLINTMERE_EXPORT NS::String* const SLServiceTypeTwitter;

namespace SL {

// How a composition ended, as the completion handler is told.
enum ComposeViewControllerResult : long {
    ComposeViewControllerResultCancelled = 0,
    ComposeViewControllerResultDone = 1,
};

class GLINTMERE_EXPORT ComposeViewController
    : public NS::Referencing<ComposeViewController, "SLComposeViewController", UI::ViewController> {
  public:
    OBJC_IVAR(_initialText, NS::String*, Copying)
    OBJC_IVAR(_serviceType, NS::String*, Copying)

    OBJC_CLASS_MESSAGE(isAvailableForServiceType, "isAvailableForServiceType:", bool(NS::String*))
    // A new composer, autoreleased; nil for a service this system does not carry.
    OBJC_CLASS_MESSAGE(composeViewControllerForServiceType,
                       "composeViewControllerForServiceType:", ComposeViewController*(NS::String*))
    OBJC_MESSAGE(serviceType, "serviceType", NS::String*())

    // The text the post starts with; false (and nothing changed) for nil.
    OBJC_MESSAGE(setInitialText, "setInitialText:", bool(NS::String*))

    // Called when the person posts or cancels, with the result. The handler is an NS::Block made
    // from a callable of type void(SL::ComposeViewControllerResult); the composer keeps it. A
    // handler that refers to its composer must not own it, or neither would ever go.
    OBJC_MESSAGE(completionHandler, "completionHandler", NS::Block*())
    OBJC_MESSAGE(setCompletionHandler, "setCompletionHandler:", void(NS::Block*))
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
