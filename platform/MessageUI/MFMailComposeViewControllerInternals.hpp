// The inner workings of MFMailComposeViewController: what the stand-in keeps and does beside what
// iOS declares.
#pragma once

#include "MessageUI/MFMailComposeViewController.hpp"
#include "MessageUI/MailMessage.hpp"
#include "MessageUI/MailOutbox.hpp"
#include "objc/Internals.hpp"

namespace MF {

class MailComposeViewControllerInternals
    : public objc::Internals<MailComposeViewControllerInternals, MailComposeViewController> {
  public:
    OBJC_IVAR(_subject, NS::String*, Copying)
    OBJC_IVAR(_toRecipients, NS::Array*, Copying)
    OBJC_IVAR(_messageBody, NS::String*, Copying)
    OBJC_IVAR(_isHTML, bool)
    // Each attachment as [data, MIME type, file name], in the order added.
    OBJC_IVAR(_attachments, NS::MutableArray*, Owning)
};

// What the person in front of the composer sees and does: the mail as it stands, sent from the
// device's mail account, and the Send and Cancel buttons.
[[gnu::visibility("default")]] MailMessage draftOf(MailComposeViewController* composer);

// Send: the mail goes to the outbox, and the delegate is told Sent; when it cannot be made or
// written, the delegate is told Failed and the error says why.
[[gnu::visibility("default")]] QueuedMail sendMail(MailComposeViewController* composer,
                                                   const Outbox& outbox = {});

// Cancel: nothing is sent, and the delegate is told Cancelled.
[[gnu::visibility("default")]] void cancelMail(MailComposeViewController* composer);

} // namespace MF
