#include "MessageUI/MFMailComposeViewController.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "MessageUI/MFMailComposeViewControllerInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "CoreFoundation/DeviceAccounts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

// What the composer shows over the app: a bar with Cancel, the subject and Send, the address and
// subject fields, the body and the attachments' names, on white.
class ComposeView : public NS::Referencing<ComposeView, "MFMailComposeView", UI::View> {};

constexpr double kBarHeight = 44;
constexpr double kFieldHeight = 44;
constexpr double kInset = 15;

// A label at (x, y), at most `width` wide (wrapping when `wrap`), vertically centred in `height`
// when that is positive; returns its bottom.
double addText(UI::View* parent, const std::string& text, const char* font, UI::Color* color, double x,
               double y, double width, double height = 0, bool wrap = false) {
    UI::View* label = UI::makeLabel(text.c_str(), font, 17, color, {}, wrap ? width : -1);
    CGRect f = label->frame();
    f.size.width = std::min(f.size.width, width);
    f.origin = {x, height > 0 ? y + (height - f.size.height) / 2 : y};
    label->setFrame(f);
    parent->addSubview(label);
    return f.origin.y + f.size.height;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const std::string& part : parts) {
        all += (all.empty() ? "" : ", ") + part;
    }
    return all;
}

void showDraft(ComposeView* self) {
    for (NS::Object* child : self->subviews()) {
        reinterpret_cast<UI::View*>(child)->removeFromSuperview();
    }
    auto composer = NS::cast<Composer>(UI::controllerOfView(self));
    if (composer == nullptr) {
        return;
    }
    const MailMessage mail = draftOf(composer);
    const double width = self->frame().size.width;
    self->setBackgroundColor(UI::colorRGB(255, 255, 255));
    UI::Color* gray = UI::colorRGB(142, 142, 147);
    UI::Color* black = UI::colorRGB(0, 0, 0);
    UI::Color* line = UI::colorRGB(200, 199, 204);

    // The bar, its light background reaching up behind the status bar.
    const double top = UI::kStatusBarHeight;
    self->addSubview(UI::makeBox(CGRectMake(0, 0, width, top + kBarHeight), UI::colorRGB(247, 247, 247)));
    self->addSubview(UI::makeBox(CGRectMake(0, top + kBarHeight, width, 0.5), UI::colorRGB(0, 0, 0, 0.3)));
    addText(self, "Cancel", "HelveticaNeue", UI::systemTintColor(), 8, top, width / 3, kBarHeight);
    UI::View* send = UI::makeLabel("Send", "HelveticaNeue-Medium", 17, UI::systemTintColor());
    CGRect sf = send->frame();
    sf.origin = {width - 8 - sf.size.width, top + (kBarHeight - sf.size.height) / 2};
    send->setFrame(sf);
    self->addSubview(send);
    const std::string title = mail.subject.empty() ? "New Message" : mail.subject;
    UI::View* heading = UI::makeLabel(title.c_str(), "HelveticaNeue-Medium", 17, black);
    CGRect hf = heading->frame();
    hf.size.width = std::min(hf.size.width, width - 2 * (sf.size.width + 24));
    hf.origin = {(width - hf.size.width) / 2, top + (kBarHeight - hf.size.height) / 2};
    heading->setFrame(hf);
    self->addSubview(heading);

    // The fields, one a row, each with its label in gray.
    double y = top + kBarHeight;
    const std::pair<const char*, std::string> fields[] = {
        {"To:", joined(mail.to)}, {"Cc/Bcc, From:", mail.from}, {"Subject:", mail.subject}};
    for (const auto& [name, value] : fields) {
        UI::View* label = UI::makeLabel(name, "HelveticaNeue", 17, gray);
        CGRect lf = label->frame();
        lf.origin = {kInset, y + (kFieldHeight - lf.size.height) / 2};
        label->setFrame(lf);
        self->addSubview(label);
        const double x = kInset + lf.size.width + 6;
        addText(self, value, "HelveticaNeue", black, x, y, width - x - kInset, kFieldHeight);
        y += kFieldHeight;
        self->addSubview(UI::makeBox(CGRectMake(kInset, y, width - kInset, 0.5), line));
    }

    // The body as written, then each attachment's name and size.
    y = addText(self, mail.body, "HelveticaNeue", black, kInset, y + 10, width - 2 * kInset, 0, true);
    for (const MailAttachment& attachment : mail.attachments) {
        const std::string text =
            attachment.fileName + " (" + std::to_string(attachment.data.size()) + " bytes)";
        y = addText(self, text, "HelveticaNeue", gray, kInset, y + 10, width - 2 * kInset);
    }
}

// The draft is shown as it is when the composer appears: it is filled in before it is presented.
void viewWillAppear(Composer* self, bool animated) {
    UI::ViewController::viewWillAppear_.super<Composer>(self, animated);
    showDraft(self->view().as<ComposeView>());
}

bool canSendMail(Class) { return CF::findDeviceAccount(kMailAccountType); }

Composer* init(Composer* self) {
    if (!Composer::canSendMail()) {
        self->release();
        return nullptr;
    }
    auto made = Composer::init_.super<Composer>(self);
    objc::setIvar(made, MF::MailComposeViewControllerInternals::_attachments,
                  NS::MutableArray::alloc()->init());
    return made;
}

void loadView(Composer* self) {
    self->setView(objc::adopt(ComposeView::alloc()->initWithFrame(UI::Screen::mainScreen()->bounds())));
}

// The composer keeps copies of what it is given, as a copying property does.
template <class Variable> void storeCopy(Composer* self, const Variable& variable, NS::Object* value) {
    auto old = objc::ivar(self, variable);
    objc::setIvar(self, variable,
                  objc::Ptr(value)->copy().template as<std::remove_pointer_t<typename Variable::Type>>());
    objc::Ptr(old)->release();
}

void setSubject(Composer* self, NS::String* subject) {
    storeCopy(self, MailComposeViewControllerInternals::_subject, subject);
}

void setToRecipients(Composer* self, NS::Array* recipients) {
    storeCopy(self, MailComposeViewControllerInternals::_toRecipients, recipients);
}

void setMessageBodyIsHTML(Composer* self, NS::String* body, bool html) {
    storeCopy(self, MailComposeViewControllerInternals::_messageBody, body);
    objc::setIvar(self, MF::MailComposeViewControllerInternals::_isHTML, html);
}

void addAttachmentDataMimeTypeFileName(Composer* self, NS::Data* data, NS::String* type, NS::String* name) {
    if (data == nullptr || type == nullptr || name == nullptr) {
        return;
    }
    auto entry = objc::adopt(NS::MutableArray::alloc()->init());
    entry->addObject(objc::adopt(objc::Ptr(data)->copy()));
    entry->addObject(objc::adopt(objc::Ptr(type)->copy()));
    entry->addObject(objc::adopt(objc::Ptr(name)->copy()));
    objc::Ptr(objc::ivar(self, MF::MailComposeViewControllerInternals::_attachments))->addObject(entry);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ComposeView>().build();

    objc::ClassDefinition<Composer>()
        .ivar(MailComposeViewControllerInternals::_subject)
        .ivar(MailComposeViewControllerInternals::_toRecipients)
        .ivar(MailComposeViewControllerInternals::_messageBody)
        .ivar(MailComposeViewControllerInternals::_isHTML)
        .ivar(MailComposeViewControllerInternals::_attachments)
        .property<NS::Object*>("mailComposeDelegate", objc::Ownership::Plain)
        .method<&canSendMail>(Composer::canSendMail_)
        .method<&init>(Composer::init_)
        .method<&loadView>(UI::ViewController::loadView_)
        .method<&viewWillAppear>(UI::ViewController::viewWillAppear_)
        .method<&setSubject>(Composer::setSubject_)
        .method<&setToRecipients>(Composer::setToRecipients_)
        .method<&setMessageBodyIsHTML>(Composer::setMessageBodyIsHTML_)
        .method<&addAttachmentDataMimeTypeFileName>(Composer::addAttachmentDataMimeTypeFileName_)
        .build();
}

} // namespace

MailMessage draftOf(MailComposeViewController* composer) {
    MailMessage mail;
    CF::DeviceAccount account;
    if (CF::findDeviceAccount(kMailAccountType, &account)) {
        mail.from = account.username;
    }
    for (NS::Object* recipient :
         objc::Ptr(objc::ivar(composer, MF::MailComposeViewControllerInternals::_toRecipients))) {
        mail.to.push_back(text(recipient));
    }
    mail.subject = text(objc::ivar(composer, MF::MailComposeViewControllerInternals::_subject));
    mail.body = text(objc::ivar(composer, MF::MailComposeViewControllerInternals::_messageBody));
    mail.html = objc::ivar(composer, MF::MailComposeViewControllerInternals::_isHTML);
    for (NS::Object* entry :
         objc::Ptr(objc::ivar(composer, MF::MailComposeViewControllerInternals::_attachments))) {
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
