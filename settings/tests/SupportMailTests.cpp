#include "../../tests/support/Files.hpp"
#include "MessageUI/MFMailComposeViewControllerInternals.hpp"
#include "SettingsBundle.hpp"
#include "UIKit/UIAlertControllerInternals.hpp"
#include "UIKit/UIAlertViewInternals.hpp"

#include "Foundation/NSData.hpp"
#include "GlintmereListController.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"
#include "UIKit/UIAlertController.hpp"
#include "UIKit/UIAlertView.hpp"
#include "UIKit/UINavigationController.hpp"

#include "../../tests/support/DeviceKind.hpp"
#include "../../tests/support/Subprocess.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testing_support::hex;
using testing_support::readAll;

namespace fs = std::filesystem;
using namespace testing_support;
using objc::operator""_sel;
using NS::literals::operator""_ns;

constexpr const char* kListing = "/tmp/dpkgl.log";
constexpr const char* kOutbox = "/var/mobile/Library/Mail/Outbox";

bool isLink(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

// The root pane as Settings shows it: the root of a navigation controller.
class SupportMail : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(settingsBundle(), nullptr);
        fs::remove(kListing);
        fs::remove_all(kOutbox);
        // Bytes a parser would not keep as they are: the attachment must be the file itself.
        ASSERT_TRUE(
            writeFile(kPreferences, std::string("<?xml version=\"1.0\"?>\n<plist>\0 not parsed\n", 42)));
        pane = objc::adopt(
            objc::send<GlintmereListController*>(GlintmereListController::runtimeClass(), "new"_sel));
        pane->setBundle(settingsBundle());
        navigation = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane));
    }
    void TearDown() override {
        fs::remove(kPreferences);
        fs::remove_all(kOutbox);
    }

    objc::Ptr<MF::MailComposeViewController> composer() {
        return NS::cast<MF::MailComposeViewController>(navigation->presentedViewController());
    }

    NS::AutoreleaseScope pool;
    DeviceKindKept kept;
    objc::Ref<GlintmereListController> pane;
    objc::Ref<UI::NavigationController> navigation;
};

TEST_F(SupportMail, IsAddressedToTheMakerWithTheDeviceFactsAndBothAttachmentsInOrder) {
    ASSERT_TRUE(writeSystemVersion("B", "C"));
    pane->emailBM();
    auto shown = composer();
    ASSERT_NE(shown, nullptr) << "the composer is presented over the navigation controller";
    EXPECT_EQ(shown->mailComposeDelegate(), pane.get()) << "the pane hears how the mail ended";
    const MF::MailMessage mail = MF::draftOf(shown);
    EXPECT_EQ(mail.subject, "Glintmere Support");
    EXPECT_EQ(mail.to, std::vector<std::string>{"Brightmoth <support@brightmoth.example>"});
    // The model is the test device's; the version and build are what the system file says.
    EXPECT_EQ(mail.body, "\n\nCurrent Device: iPhone6,1, iOS B (C)");
    EXPECT_FALSE(mail.html);
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "GlintmerePrefs.plist");
    EXPECT_EQ(mail.attachments[0].mimeType, "application/xml");
    EXPECT_EQ(mail.attachments[0].data, readAll(kPreferences));
    EXPECT_EQ(mail.attachments[1].fileName, "dpkgl.txt");
    EXPECT_EQ(mail.attachments[1].mimeType, "text/plain");
    EXPECT_EQ(mail.attachments[1].data, readAll(kListing));
    EXPECT_NE(mail.attachments[1].data.find("ii  com.brightmoth.glintmere"), std::string::npos)
        << mail.attachments[1].data;
    EXPECT_EQ(fs::status(kListing).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

TEST_F(SupportMail, AFactTheDeviceDoesNotAnswerAndAMissingPreferencesFileAreSaidSo) {
    fs::remove(kSystemVersionPlist);
    fs::remove(kPreferences);
    pane->emailBM();
    const MF::MailMessage mail = MF::draftOf(composer());
    EXPECT_EQ(mail.body, "\n\nCurrent Device: iPhone6,1, iOS unknown (unknown)");
    ASSERT_EQ(mail.attachments.size(), 1u) << "no preferences file, no attachment of it";
    EXPECT_EQ(mail.attachments[0].fileName, "dpkgl.txt");
}

TEST_F(SupportMail, CancellingClosesTheComposerAsSendingDoes) {
    pane->emailBM();
    ASSERT_NE(composer(), nullptr);
    MF::cancelMail(composer());
    EXPECT_EQ(navigation->presentedViewController(), nullptr);
    EXPECT_FALSE(fs::exists(kOutbox)) << "nothing sent";

    pane->emailBM();
    ASSERT_NE(composer(), nullptr);
    EXPECT_EQ(MF::sendMail(composer()).error, "");
    EXPECT_EQ(navigation->presentedViewController(), nullptr);
    EXPECT_EQ(std::distance(fs::directory_iterator(kOutbox), fs::directory_iterator()), 1);
}

TEST_F(SupportMail, EachUseWritesTheListingAfresh) {
    ASSERT_TRUE(writeFile(kListing, "a listing from long ago\n"));
    pane->emailBM();
    const std::string first = MF::draftOf(composer()).attachments.at(1).data;
    EXPECT_EQ(first.find("long ago"), std::string::npos);
    EXPECT_EQ(first, readAll(kListing));
    MF::cancelMail(composer());

    ASSERT_TRUE(writeFile(kListing, "stale again\n"));
    pane->emailBM();
    EXPECT_EQ(MF::draftOf(composer()).attachments.at(1).data, first) << "made anew, the same packages";
}

TEST_F(SupportMail, ALinkedPreferencesFileIsAttachedAsTheFileItNames) {
    const fs::path linked = "/var/mobile/Documents/linked.plist";
    fs::create_directories(linked.parent_path());
    const std::string settings = readAll(kPreferences);
    fs::rename(kPreferences, linked);
    fs::create_symlink(linked, kPreferences);
    pane->emailBM();
    const MF::MailMessage mail = MF::draftOf(composer());
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_EQ(mail.attachments[0].fileName, "GlintmerePrefs.plist");
    EXPECT_EQ(mail.attachments[0].data, settings) << "the settings the pane and the hook library read";
    EXPECT_TRUE(isLink(kPreferences)) << "reading changes nothing";
    fs::remove(linked);
}

TEST_F(SupportMail, ALinkPlantedAtTheListingChangesNothingItPointsAt) {
    const fs::path outside = "/var/mobile/Documents/precious.txt";
    fs::create_directories(outside.parent_path());
    ASSERT_TRUE(writeFile(outside, "precious\n"));
    fs::create_symlink(outside, kListing);
    pane->emailBM();
    EXPECT_EQ(readAll(outside), "precious\n");
    EXPECT_FALSE(isLink(kListing)) << "the link is replaced by the listing";
    const MF::MailMessage mail = MF::draftOf(composer());
    ASSERT_EQ(mail.attachments.size(), 2u);
    EXPECT_NE(mail.attachments[1].data.find("ii  "), std::string::npos) << "the mail still has the listing";
    EXPECT_EQ(mail.attachments[1].data.find("precious"), std::string::npos);
    fs::remove(outside);
}

// What made a composer: counted by wrapping its initialiser.
int composersMade = 0;
IMP composerInit = nullptr;
id countingInit(id self, SEL sel) {
    ++composersMade;
    return reinterpret_cast<id (*)(id, SEL)>(reinterpret_cast<void (*)()>(composerInit))(self, sel);
}

// Attachments added with nil data, which the composer's header forbids.
int nilAttachments = 0;
IMP attachmentAdder = nullptr;
void checkingAdd(id self, SEL sel, id data, id type, id name) {
    nilAttachments += data == nil ? 1 : 0;
    reinterpret_cast<void (*)(id, SEL, id, id, id)>(reinterpret_cast<void (*)()>(attachmentAdder))(
        self, sel, data, type, name);
}

TEST_F(SupportMail, WithoutAMailAccountAnAlertNamesTheSupportAddressAndNoComposerIsShown) {
    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    Method init = class_getInstanceMethod(MF::MailComposeViewController::runtimeClass(), "init"_sel);
    composersMade = 0;
    composerInit = method_setImplementation(init, objc::toImp(&countingInit));
    pane->emailBM();
    method_setImplementation(init, composerInit);
    EXPECT_EQ(composersMade, 0) << "the pane asks canSendMail before it makes a composer";
    EXPECT_EQ(composer(), nullptr);
    // iOS 7 has no alert controller: there the alert is an alert view, shown over everything.
    if (UI::AlertController::runtimeClass() == Nil) {
        UI::AlertView* view = UI::visibleAlertView();
        ASSERT_NE(view, nullptr) << "the person learns why nothing opens";
        EXPECT_EQ(navigation->presentedViewController(), nullptr);
        EXPECT_EQ(view->title()->str(), "Cannot Send Mail");
        EXPECT_NE(view->message()->str().find("support@brightmoth.example"), std::string::npos);
        ASSERT_EQ(view->numberOfButtons(), 1);
        EXPECT_EQ(view->buttonTitleAtIndex(view->cancelButtonIndex())->str(), "OK");
        view->dismissWithClickedButtonIndex(view->cancelButtonIndex(), true);
        EXPECT_EQ(UI::visibleAlertView(), nullptr) << "the alert goes when tapped";
        EXPECT_FALSE(fs::exists(kListing));
        return;
    }
    auto alert = NS::cast<UI::AlertController>(navigation->presentedViewController());
    ASSERT_NE(alert, nullptr) << "the person learns why nothing opens";
    EXPECT_NE(alert->message()->str().find("support@brightmoth.example"), std::string::npos);
    EXPECT_NE(alert->message()->str().find("mail account"), std::string::npos);
    ASSERT_EQ(alert->actions()->count(), 1u);
    auto ok = alert->actions()->objectAtIndex(0).as<UI::AlertAction>();
    EXPECT_EQ(ok->title()->str(), "OK");
    EXPECT_TRUE(UI::tapAlertAction(alert, ok));
    EXPECT_EQ(navigation->presentedViewController(), nullptr) << "the alert goes when tapped";
    EXPECT_FALSE(fs::exists(kListing)) << "no listing is made for a mail that cannot be written";
}

TEST_F(SupportMail, ASentMailParsesAsTheSupportMailWithBothAttachments) {
    ASSERT_TRUE(writeSystemVersion("8.4", "12H143"));
    pane->emailBM();
    ASSERT_NE(composer(), nullptr);
    const MF::QueuedMail sent = MF::sendMail(composer());
    ASSERT_EQ(sent.error, "");
    const char* script = R"(
import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
parts = list(m.iter_parts())
print(m['subject']); print(m['to']); print(m.get_content_type())
print(parts[0].get_content_type(), parts[0].get_content().encode().hex())
for p in parts[1:]:
    print(p.get_filename(), p.get_content_type(), p['Content-Transfer-Encoding'], p.get_payload(decode=True).hex())
)";
    const testing_support::Outcome parsed =
        testing_support::runProcess({"/usr/bin/python3", "-c", script, sent.path});
    ASSERT_EQ(parsed.status, 0) << parsed.err;
    EXPECT_EQ(parsed.out,
              "Glintmere Support\nBrightmoth <support@brightmoth.example>\nmultipart/mixed\ntext/plain " +
                  hex("\n\nCurrent Device: iPhone6,1, iOS 8.4 (12H143)") +
                  "\nGlintmerePrefs.plist application/xml base64 " + hex(readAll(kPreferences)) +
                  "\ndpkgl.txt text/plain base64 " + hex(readAll(kListing)) + "\n");
}

// A preferences file that cannot be read is left out of the mail, never added as nil data.
TEST_F(SupportMail, AnAttachmentWhoseFileCannotBeReadIsLeftOut) {
    fs::remove(kPreferences);
    Method add =
        class_getInstanceMethod(MF::MailComposeViewController::runtimeClass(),
                                MF::MailComposeViewController::addAttachmentDataMimeTypeFileName_.selector());
    nilAttachments = 0;
    attachmentAdder = method_setImplementation(add, objc::toImp(&checkingAdd));
    pane->emailBM();
    method_setImplementation(add, attachmentAdder);
    EXPECT_EQ(nilAttachments, 0);
    ASSERT_NE(composer(), nullptr);
    const MF::MailMessage mail = MF::draftOf(composer());
    ASSERT_EQ(mail.attachments.size(), 1u);
    EXPECT_EQ(mail.attachments[0].fileName, "dpkgl.txt");
}

} // namespace
