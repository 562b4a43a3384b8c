#include "Presented.hpp"
#include "MessageUI/MFMailComposeViewControllerInternals.hpp"
#include "Social/SLComposeViewControllerInternals.hpp"
#include "UIKit/UIAlertControllerInternals.hpp"
#include "UIKit/UIAlertViewInternals.hpp"

#include "SettingsSession.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"
#include "Social/SLComposeViewController.hpp"
#include "UIKit/UIAlertController.hpp"
#include "UIKit/UIAlertView.hpp"

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

// The controller of class T presented over `presenter`; throws, naming what is there instead.
template <class T> objc::Ptr<T> presented(UI::ViewController* presenter, const char* what) {
    auto shown = presentedOver(presenter);
    if (auto wanted = NS::cast<T>(shown)) {
        return wanted;
    }
    throw SettingsError(
        std::string("no ") + what + " is open" +
        (shown != nullptr ? std::string(" (") + object_getClassName(objc::toId(shown)) + " is)" : ""));
}

// After an action, what was on screen is gone (or something else took its place).
void reportAfter(UI::ViewController* presenter, const char* done) {
    std::cout << done << "\n";
    reportPresented(presenter, std::cout);
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
    // An alert view stands over everything, in a window of its own.
    if (UI::AlertView* alert = UI::visibleAlertView()) {
        if (alert == lastReported) {
            return;
        }
        lastReported = alert;
        out << "presented UIAlertView\n";
        out << "  title " << objc::Ptr(alert->title())->str() << "\n";
        out << "  message " << objc::Ptr(alert->message())->str() << "\n";
        for (long i = 0; i < alert->numberOfButtons(); ++i) {
            out << "  button " << objc::Ptr(alert->buttonTitleAtIndex(i))->str() << "\n";
        }
        return;
    }
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

void registerPresentedCommands(host::HostApp& app, std::function<UI::ViewController*()> presenter) {
    app.addCommand({"mail", "mail send|cancel  (the open mail composer's Send or Cancel)",
                    [presenter](const host::Args& args) {
                        if (args.size() != 1 || (args[0] != "send" && args[0] != "cancel")) {
                            throw host::UsageError("mail takes send or cancel");
                        }
                        UI::ViewController* over = presenter();
                        auto composer = presented<MF::MailComposeViewController>(over, "mail composer");
                        if (args[0] == "cancel") {
                            MF::cancelMail(composer);
                            reportAfter(over, "mail cancelled");
                            return 0;
                        }
                        const MF::QueuedMail queued = MF::sendMail(composer);
                        if (!queued.error.empty()) {
                            throw SettingsError("the mail could not be sent: " + queued.error);
                        }
                        reportAfter(over, ("mail sent " + queued.path).c_str());
                        return 0;
                    }});
    app.addCommand({"compose", "compose post|cancel  (the open share composer's Post or Cancel)",
                    [presenter](const host::Args& args) {
                        if (args.size() != 1 || (args[0] != "post" && args[0] != "cancel")) {
                            throw host::UsageError("compose takes post or cancel");
                        }
                        UI::ViewController* over = presenter();
                        auto composer = presented<SL::ComposeViewController>(over, "share composer");
                        if (args[0] == "cancel") {
                            SL::cancel(composer);
                            reportAfter(over, "post cancelled");
                            return 0;
                        }
                        if (std::string error = SL::post(composer); !error.empty()) {
                            throw SettingsError("the post could not be sent: " + error);
                        }
                        reportAfter(over, "posted");
                        return 0;
                    }});
    app.addCommand({"alert", "alert dismiss  (the open alert's cancel button, else its first)",
                    [presenter](const host::Args& args) {
                        if (args.size() != 1 || args[0] != "dismiss") {
                            throw host::UsageError("alert takes dismiss");
                        }
                        UI::ViewController* over = presenter();
                        if (UI::AlertView* view = UI::visibleAlertView()) {
                            const long cancel = view->cancelButtonIndex();
                            view->dismissWithClickedButtonIndex(cancel >= 0 ? cancel : 0, true);
                            reportAfter(over, "alert dismissed");
                            return 0;
                        }
                        auto alert = presented<UI::AlertController>(over, "alert");
                        objc::Ptr<UI::AlertAction> chosen;
                        for (NS::Object* object : alert->actions()) {
                            auto action = objc::Ptr(reinterpret_cast<UI::AlertAction*>(object));
                            if (chosen == nullptr || action->style() == UI::UIAlertActionStyleCancel) {
                                chosen = action;
                            }
                        }
                        if (chosen != nullptr) {
                            UI::tapAlertAction(alert, chosen);
                        } else {
                            alert->dismissViewController(true, nullptr);
                        }
                        reportAfter(over, "alert dismissed");
                        return 0;
                    }});
}

} // namespace settings
