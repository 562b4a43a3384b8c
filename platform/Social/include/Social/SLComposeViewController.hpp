// SLComposeViewController: the system's screen for writing a post to a social service.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Block;
class String;
} // namespace NS

// The Twitter service, "com.apple.social.twitter". Twitter is offered where the device has a
// Twitter account and the system still carries Twitter (before 11.0). Deprecated from iOS 11.0.
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

} // namespace SL
