// GlintmereListController: the root pane of the settings bundle, showing the
// rows of "Glintmere", with the share button and the support mail.
#pragma once

#include "BMGlintmereListController.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"

class GlintmereListController
    : public NS::Referencing<GlintmereListController, "GlintmereListController", BMGlintmereListController> {
  public:
    // Fades the title logo in; sent by the timer that viewDidLoad starts.
    OBJC_MESSAGE(increaseAlpha, "increaseAlpha", void())
    // The share button's action: opens the Twitter composer with the pane's text.
    OBJC_MESSAGE(tweetSupport, "tweetSupport:", void(id))
    // The support row's action: opens a mail to the maker with the device's
    // facts, the preferences file and the package listing; without a mail
    // account, an alert naming the support address.
    OBJC_MESSAGE(emailBM, "emailBM", void())
    // The mail composer's delegate callback
    // (MFMailComposeViewControllerDelegate): closes it.
    OBJC_MESSAGE_NAMED(mailComposeControllerDidFinish, mailComposeControllerDidFinishWithResultError_,
                       "mailComposeController:didFinishWithResult:error:",
                       void(MF::MailComposeViewController*, MF::MailComposeResult, NS::Object*))
};

namespace glintmere {

// Where the support mail goes.
inline constexpr const char* kSupportAddress = "support@brightmoth.example";
inline constexpr const char* kSupportRecipient = "Brightmoth <support@brightmoth.example>";
// The preferences file as the support mail reads it.
inline constexpr const char* kMailedPreferencesPath =
    "/var/mobile//Library/Preferences/com.brightmoth.glintmere.plist";
// The logo in the navigation bar's title, drawn in the bar's tint.
inline constexpr const char* kTitleLogoPath = "/Library/PreferenceBundles/Glintmere.bundle/headerLogo.png";

} // namespace glintmere
