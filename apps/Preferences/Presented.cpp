#include "Presented.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"
#include "Social/SLComposeViewController.hpp"
#include "UIKit/UIAlertController.hpp"

#include <cstdio>
#include <iostream>

namespace settings {
namespace {

// What was last printed as presented; the same controller is not printed twice in a row.
const void* lastReported = nullptr;

objc::Ptr<UI::ViewController> presentedOver(UI::ViewController* presenter) {
    return objc::Ptr(presenter)->presentedViewController();
}

void printMail(MF::MailComposeViewController* composer, std::ostream& out) {
    const MF::MailMessage mail = MF::draftOf(composer);
    for (const std::string& to : mail.to) {
        out << "  to " << to << "\n";
    }
    out << "  subject " << mail.subject << "\n";
    out << "  body " << cQuoted(mail.body) << "\n";
    for (const MF::MailAttachment& attachment : mail.attachments) {
        out << "  attachment " << attachment.fileName << " " << attachment.mimeType << " "
            << attachment.data.size() << "\n";
    }
}

void printAlert(UI::AlertController* alert, std::ostream& out) {
    out << "  title " << objc::Ptr(alert)->title()->str() << "\n";
    out << "  message " << objc::Ptr(alert)->message()->str() << "\n";
    for (NS::Object* action : objc::Ptr(alert)->actions()) {
        out << "  button " << reinterpret_cast<UI::AlertAction*>(action)->title()->str() << "\n";
    }
}

} // namespace

std::string cQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '\n':
            quoted += "\\n";
            break;
        case '\t':
            quoted += "\\t";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                // Octal, as three digits always end the escape (a hex one runs on through hex digits).
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\%03o", c);
                quoted += escaped;
            } else {
                quoted += static_cast<char>(c);
            }
        }
    }
    return quoted + "\"";
}

void reportPresented(UI::ViewController* presenter, std::ostream& out) {
    auto shown = presentedOver(presenter);
    if (shown.get() == lastReported) {
        return;
    }
    lastReported = shown.get();
    if (shown == nullptr) {
        return;
    }
    out << "presented " << object_getClassName(objc::toId(shown)) << "\n";
    if (auto mail = NS::cast<MF::MailComposeViewController>(shown)) {
        printMail(mail, out);
    } else if (auto share = NS::cast<SL::ComposeViewController>(shown)) {
        out << "  text " << SL::textOf(share) << "\n";
    } else if (auto alert = NS::cast<UI::AlertController>(shown)) {
        printAlert(alert, out);
    }
}

} // namespace settings
