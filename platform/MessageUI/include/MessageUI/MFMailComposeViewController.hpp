// MFMailComposeViewController: the system's screen for writing a mail, prefilled by the app that shows it.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
class Data;
class MutableArray;
class String;
} // namespace NS

namespace MF {

// How a composition ended, as the delegate is told: an `int` enum in the headers up to 9.x, NSInteger
// from iOS 10.0; passed in a register either way.
enum MailComposeResult : long {
    MailComposeResultCancelled = 0,
    MailComposeResultSaved = 1,
    MailComposeResultSent = 2,
    MailComposeResultFailed = 3,
};

class GLINTMERE_EXPORT MailComposeViewController
    : public NS::Referencing<MailComposeViewController, "MFMailComposeViewController", UI::ViewController> {
  public:
    // Whether the device has a mail account to send from.
    OBJC_CLASS_MESSAGE(canSendMail, "canSendMail", bool())
    // Nil (and nothing kept) on a device without a mail account, as on iOS 10 and later: the
    // caller must not present what it did not get.
    // (`init`, inherited.)

    OBJC_MESSAGE(setSubject, "setSubject:", void(NS::String*))
    // Mail addresses, each "Name <address>" or a bare address.
    OBJC_MESSAGE(setToRecipients, "setToRecipients:", void(NS::Array*))
    OBJC_MESSAGE_NAMED(setMessageBody, setMessageBodyIsHTML_,
                       "setMessageBody:isHTML:", void(NS::String*, bool))
    // Attachments go in the order they are added. Nil data, type or name adds nothing.
    OBJC_MESSAGE_NAMED(addAttachmentData, addAttachmentDataMimeTypeFileName_,
                       "addAttachmentData:mimeType:fileName:", void(NS::Data*, NS::String*, NS::String*))

    // Told when the composition ends (plain reference: the delegate usually presents the composer).
    OBJC_MESSAGE(mailComposeDelegate, "mailComposeDelegate", NS::Object*())
    OBJC_MESSAGE(setMailComposeDelegate, "setMailComposeDelegate:", void(NS::Object*))
};

// What the delegate answers (a protocol, MFMailComposeViewControllerDelegate: any class may take it
// on). The delegate dismisses the composer; the composer does not close itself.
class MailComposeViewControllerDelegate : public NS::Object {
  public:
    OBJC_MESSAGE_NAMED(didFinish, mailComposeControllerDidFinishWithResultError_,
                       "mailComposeController:didFinishWithResult:error:",
                       void(MailComposeViewController*, MailComposeResult, NS::Object*))
};

} // namespace MF
