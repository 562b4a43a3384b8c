#include "../../../tests/support/Files.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"
#include "MessageUI/MFMailComposeViewControllerInternals.hpp"
#include "objc/ClassBuilder.hpp"
#include "support/DeviceKind.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

using testing_support::readAll;

namespace fs = std::filesystem;
using namespace testing_support;
using NS::literals::operator""_ns;
using MF::MailComposeViewController;

// What the test delegate was told, in order; and whether it lets go of the composer it was given
// (as a dismissal would) while being told.
std::vector<long> told;
MailComposeViewController* releaseOnFinish = nullptr;

void didFinish(NS::Object*, MailComposeViewController* composer, MF::MailComposeResult result,
               NS::Object* error) {
    EXPECT_EQ(error, nullptr);
    EXPECT_NE(composer, nullptr);
    told.push_back(result);
    if (releaseOnFinish != nullptr) {
        std::exchange(releaseOnFinish, nullptr)->release();
    }
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            files.push_back(entry.path());
        }
    }
    return files;
}

NS::Data* nsData(std::string_view bytes) { return NS::Data::dataWithBytes(bytes.data(), bytes.size()); }

class Composer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<MF::MailComposeViewControllerDelegate>("TestMailDelegate", "NSObject")
            .protocol("MFMailComposeViewControllerDelegate")
            .method<&didFinish>(
                MF::MailComposeViewControllerDelegate::mailComposeControllerDidFinishWithResultError_)
            .build();
    }
    void SetUp() override {
        told.clear();
        fs::remove_all(outboxBase);
        fs::create_directories(outboxBase);
        delegate = objc::adopt(NS::RootObject::make_.send(objc_lookUpClass("TestMailDelegate")));
    }
    void TearDown() override { fs::remove_all(outboxBase); }

    // A composer filled as the support mail is.
    objc::Ref<MailComposeViewController> supportMail() {
        auto composer = objc::adopt(MailComposeViewController::alloc()->init());
        composer->setSubject("Glintmere Support"_ns);
        composer->setToRecipients(NS::Array::arrayWithObject("Brightmoth <support@brightmoth.example>"_ns));
        composer->setMessageBody("\n\nCurrent Device: A, iOS B (C)"_ns, false);
        composer->addAttachmentData(nsData(std::string("<plist/>\0\n", 10)), "application/xml"_ns,
                                    "GlintmerePrefs.plist"_ns);
        composer->addAttachmentData(nsData("ii  dpkg\n"), "text/plain"_ns, "dpkgl.txt"_ns);
        composer->setMailComposeDelegate(delegate);
        return composer;
    }

    const fs::path outboxBase = "/tmp/composer-home";
    const MF::Outbox outbox{outboxBase.string(), "Library/Mail/Outbox"};
    NS::AutoreleaseScope pool;
    DeviceKindKept kept;
    objc::Ref<NS::Object> delegate;
};

TEST_F(Composer, IsMadeOnlyWhereTheDeviceHasAMailAccount) {
    EXPECT_TRUE(MailComposeViewController::canSendMail()) << "the test device has a mail account";
    EXPECT_NE(objc::adopt(MailComposeViewController::alloc()->init()), nullptr);

    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    EXPECT_FALSE(MailComposeViewController::canSendMail());
    EXPECT_EQ(objc::adopt(MailComposeViewController::alloc()->init()), nullptr)
        << "no composer without a mail account";

    ASSERT_TRUE(writeAccounts({{"com.apple.account.POP", "me@example.org"}}));
    EXPECT_TRUE(MailComposeViewController::canSendMail()) << "any kind of mail account";

    ASSERT_TRUE(writeAccounts({{"com.apple.account.IMAP", ""}}));
    EXPECT_FALSE(MailComposeViewController::canSendMail()) << "an account without an address";

    for (const char* damaged :
         {"", "not a property list", "<?xml version=\"1.0\"?><plist><array/></plist>"}) {
        ASSERT_TRUE(writeFile(kAccountsPlist, damaged));
        EXPECT_FALSE(MailComposeViewController::canSendMail()) << damaged;
    }
    fs::remove(kAccountsPlist);
    EXPECT_FALSE(MailComposeViewController::canSendMail()) << "no accounts file";
}

TEST_F(Composer, TheDraftHoldsWhatTheAppFilledInWithAttachmentsInOrder) {
    auto composer = supportMail();
    const MF::MailMessage draft = MF::draftOf(composer.get());
    EXPECT_EQ(draft.from, "mobile@example.com") << "the device's mail account sends";
    EXPECT_EQ(draft.to, std::vector<std::string>{"Brightmoth <support@brightmoth.example>"});
    EXPECT_EQ(draft.subject, "Glintmere Support");
    EXPECT_EQ(draft.body, "\n\nCurrent Device: A, iOS B (C)");
    EXPECT_FALSE(draft.html);
    ASSERT_EQ(draft.attachments.size(), 2u);
    EXPECT_EQ(draft.attachments[0].fileName, "GlintmerePrefs.plist");
    EXPECT_EQ(draft.attachments[0].mimeType, "application/xml");
    EXPECT_EQ(draft.attachments[0].data, std::string("<plist/>\0\n", 10)) << "bytes kept whole";
    EXPECT_EQ(draft.attachments[1].fileName, "dpkgl.txt");
    EXPECT_EQ(draft.attachments[1].mimeType, "text/plain");
    EXPECT_EQ(draft.attachments[1].data, "ii  dpkg\n");
}

TEST_F(Composer, KeepsItsOwnCopiesAndPassesOverMissingParts) {
    auto composer = objc::adopt(MailComposeViewController::alloc()->init());
    auto recipients = objc::adopt(NS::MutableArray::alloc()->init());
    recipients->addObject("before@example.org"_ns);
    composer->setToRecipients(recipients);
    recipients->addObject("after@example.org"_ns);
    composer->addAttachmentData(nullptr, "text/plain"_ns, "a.txt"_ns);
    composer->addAttachmentData(nsData("x"), nullptr, "a.txt"_ns);
    composer->addAttachmentData(nsData("x"), "text/plain"_ns, nullptr);
    composer->setMessageBody("<p>hi</p>"_ns, true);
    const MF::MailMessage draft = MF::draftOf(composer.get());
    EXPECT_EQ(draft.to, std::vector<std::string>{"before@example.org"});
    EXPECT_TRUE(draft.attachments.empty());
    EXPECT_EQ(draft.subject, "");
    EXPECT_TRUE(draft.html);
}

TEST_F(Composer, SendWritesTheMailToTheOutboxAndTellsTheDelegate) {
    auto composer = supportMail();
    const MF::QueuedMail queued = MF::sendMail(composer.get(), outbox);
    ASSERT_EQ(queued.error, "");
    EXPECT_EQ(told, std::vector<long>{MF::MailComposeResultSent});
    const auto files = filesIn(outboxBase / "Library/Mail/Outbox");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].string(), queued.path);
    const std::string eml = readAll(files[0]);
    EXPECT_NE(eml.find("Subject: Glintmere Support\r\n"), std::string::npos) << eml;
    EXPECT_NE(eml.find("filename=dpkgl.txt"), std::string::npos) << eml;
}

TEST_F(Composer, CancelSendsNothingAndTellsTheDelegateAsSendDoes) {
    auto composer = supportMail();
    MF::cancelMail(composer.get());
    EXPECT_EQ(told, std::vector<long>{MF::MailComposeResultCancelled});
    EXPECT_TRUE(filesIn(outboxBase / "Library/Mail/Outbox").empty());
}

TEST_F(Composer, AMailThatCannotBeWrittenIsReportedAsFailed) {
    fs::create_directories(outboxBase / "Library/Mail");
    std::ofstream(outboxBase / "Library/Mail/Outbox") << "a file where the folder belongs";
    auto composer = supportMail();
    EXPECT_NE(MF::sendMail(composer.get(), outbox).error, "");
    EXPECT_EQ(told, std::vector<long>{MF::MailComposeResultFailed});

    told.clear();
    auto noRecipient = objc::adopt(MailComposeViewController::alloc()->init());
    noRecipient->setMailComposeDelegate(delegate);
    EXPECT_NE(MF::sendMail(noRecipient.get(), outbox).error, "");
    EXPECT_EQ(told, std::vector<long>{MF::MailComposeResultFailed});
}

TEST_F(Composer, ADelegateMayLetGoOfTheComposerWhileBeingTold) {
    auto composer = supportMail();
    releaseOnFinish = composer->retain().get();
    composer = nullptr;
    // The last reference goes inside the delegate's call; the composer outlives the call.
    MF::cancelMail(releaseOnFinish);
    EXPECT_EQ(releaseOnFinish, nullptr);
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(Composer, ADelegateWithoutTheCallbackIsNotSentIt) {
    auto composer = supportMail();
    auto plain = objc::adopt(objc::send<NS::Object*>(objc_lookUpClass("NSObject"), objc::Selector<"new">()));
    composer->setMailComposeDelegate(plain);
    MF::cancelMail(composer.get());
    composer->setMailComposeDelegate(nullptr);
    MF::cancelMail(composer.get());
    EXPECT_TRUE(told.empty());
}

} // namespace
