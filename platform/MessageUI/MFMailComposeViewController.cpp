#include "MessageUI/MFMailComposeViewController.hpp"

#include "CoreFoundation/DeviceAccounts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace MF {
namespace {

using Composer = MailComposeViewController;

// Every kind of mail account the device knows is named so ("com.apple.account.IMAP", ...POP, ...).
constexpr const char* kMailAccountType = "com.apple.account.";

std::string text(NS::Object* object) { return NS::cast<NS::String>(object)->str(); }

std::string bytes(NS::Object* object) {
    auto data = NS::cast<NS::Data>(object);
    const auto* start = static_cast<const char*>(data->bytes());
    return start != nullptr ? std::string(start, data->length()) : std::string();
}

// Tells the delegate, keeping the composer alive through the call: the delegate usually dismisses
// it, which may release the last reference to it.
void finish(Composer* composer, MailComposeResult result) {
    auto keep = objc::retain(composer);
    auto delegate = keep->mailComposeDelegate().as<MailComposeViewControllerDelegate>();
    if (delegate->respondsToSelector(
            MailComposeViewControllerDelegate::mailComposeControllerDidFinishWithResultError_.selector())) {
        delegate->didFinish(keep, result, nullptr);
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Composer>()
        .ivar<NS::String*>("_subject", objc::Ownership::Copying)
        .ivar<NS::Array*>("_toRecipients", objc::Ownership::Copying)
        .ivar<NS::String*>("_messageBody", objc::Ownership::Copying)
        .ivar<bool>("_isHTML")
        // Each attachment as [data, MIME type, file name], in the order added.
        .ivar<NS::MutableArray*>("_attachments", objc::Ownership::Owning)
        .property<NS::Object*>("mailComposeDelegate", objc::Ownership::Plain)
        .method(Composer::canSendMail_, [](Class) -> bool { return CF::findDeviceAccount(kMailAccountType); })
        .method(Composer::init_,
                [](Composer* self) -> Composer* {
                    if (!Composer::canSendMail()) {
                        self->release();
                        return nullptr;
                    }
                    auto made = Composer::init_.super<Composer>(self);
                    objc::setIvar<NS::MutableArray*>(made, "_attachments", NS::MutableArray::alloc()->init());
                    return made;
                })
        .method(Composer::setSubject_,
                [](Composer* self, NS::String* subject) {
                    auto old = objc::ivar<NS::Object*>(self, "_subject");
                    objc::setIvar<NS::Object*>(self, "_subject", objc::Ptr(subject)->copy());
                    objc::Ptr(old)->release();
                })
        .method(Composer::setToRecipients_,
                [](Composer* self, NS::Array* recipients) {
                    auto old = objc::ivar<NS::Object*>(self, "_toRecipients");
                    objc::setIvar<NS::Object*>(self, "_toRecipients", objc::Ptr(recipients)->copy());
                    objc::Ptr(old)->release();
                })
        .method(Composer::setMessageBodyIsHTML_,
                [](Composer* self, NS::String* body, bool html) {
                    auto old = objc::ivar<NS::Object*>(self, "_messageBody");
                    objc::setIvar<NS::Object*>(self, "_messageBody", objc::Ptr(body)->copy());
                    objc::Ptr(old)->release();
                    objc::setIvar<bool>(self, "_isHTML", html);
                })
        .method(Composer::addAttachmentDataMimeTypeFileName_,
                [](Composer* self, NS::Data* data, NS::String* type, NS::String* name) {
                    if (data == nullptr || type == nullptr || name == nullptr) {
                        return;
                    }
                    auto entry = objc::adopt(NS::MutableArray::alloc()->init());
                    entry->addObject(objc::adopt(objc::Ptr(data)->copy()));
                    entry->addObject(objc::adopt(objc::Ptr(type)->copy()));
                    entry->addObject(objc::adopt(objc::Ptr(name)->copy()));
                    objc::Ptr(objc::ivar<NS::MutableArray*>(self, "_attachments"))->addObject(entry);
                })
        .build();
}

} // namespace

MailMessage draftOf(MailComposeViewController* composer) {
    MailMessage mail;
    CF::DeviceAccount account;
    if (CF::findDeviceAccount(kMailAccountType, &account)) {
        mail.from = account.username;
    }
    for (NS::Object* recipient : objc::Ptr(objc::ivar<NS::Array*>(composer, "_toRecipients"))) {
        mail.to.push_back(text(recipient));
    }
    mail.subject = text(objc::ivar<NS::Object*>(composer, "_subject"));
    mail.body = text(objc::ivar<NS::Object*>(composer, "_messageBody"));
    mail.html = objc::ivar<bool>(composer, "_isHTML");
    for (NS::Object* entry : objc::Ptr(objc::ivar<NS::Array*>(composer, "_attachments"))) {
        auto parts = objc::Ptr(reinterpret_cast<NS::Array*>(entry));
        mail.attachments.push_back(
            {text(parts->objectAtIndex(2)), text(parts->objectAtIndex(1)), bytes(parts->objectAtIndex(0))});
    }
    return mail;
}

QueuedMail sendMail(MailComposeViewController* composer, const Outbox& outbox) {
    QueuedMail queued = sendToOutbox(draftOf(composer), outbox);
    finish(composer, queued.error.empty() ? MailComposeResultSent : MailComposeResultFailed);
    return queued;
}

void cancelMail(MailComposeViewController* composer) { finish(composer, MailComposeResultCancelled); }

} // namespace MF
