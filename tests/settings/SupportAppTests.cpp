#include "../support/DeviceKind.hpp"
#include "../support/Files.hpp"
#include "../support/HangingDpkg.hpp"
#include "../support/Plists.hpp"
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::hex;
using testing_support::readAll;

namespace fs = std::filesystem;
using namespace testing_support;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
constexpr const char* kDeviceFacts = "/System/Library/CoreServices/DeviceFacts.plist";
constexpr const char* kOutbox = "/var/mobile/Library/Mail/Outbox";
constexpr const char* kPosts = "/var/mobile/Library/Social/posts.txt";
constexpr const char* kListing = "/tmp/dpkgl.log";

// The Settings app running `lines` as a script.
Outcome settingsScript(const std::string& lines) { return runProcess({kSettings, "script"}, lines); }

std::vector<fs::path> mails() {
    std::vector<fs::path> found;
    if (fs::is_directory(kOutbox)) {
        for (const auto& entry : fs::directory_iterator(kOutbox)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// What Python's mail parser makes of the message at `path`: one field a line.
std::string parsedByPython(const fs::path& path) {
    const char* script = R"(
import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
print('subject', m['subject'])
print('to', m['to'])
print('multipart', m.get_content_type())
parts = list(m.iter_parts())
print('body', parts[0].get_content_type(), parts[0].get_content().encode().hex())
for p in parts[1:]:
    print('attachment', p.get_filename(), p.get_content_type(), p['Content-Transfer-Encoding'],
          p.get_payload(decode=True).hex())
)";
    const Outcome parsed = runProcess({"/usr/bin/python3", "-c", script, path.string()});
    EXPECT_EQ(parsed.status, 0) << parsed.err;
    return parsed.out;
}

class SupportFromTheApp : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(kOutbox);
        fs::remove(kPosts);
        facts = readAll(kDeviceFacts);
        ASSERT_TRUE(
            writeFile(kPreferences, "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n"));
    }
    void TearDown() override {
        writeFile(kDeviceFacts, facts);
        fs::remove(kPreferences);
        fs::remove_all(kOutbox);
        fs::remove(kPosts);
    }

    // Makes the device answer A for its product type, and B and C for its version and build.
    void answerABC() {
        plist_t made = nullptr;
        plist_from_memory(facts.data(), static_cast<uint32_t>(facts.size()), &made);
        ASSERT_NE(made, nullptr);
        plist_dict_set_item(made, "ProductType", plist_new_string("A"));
        ASSERT_TRUE(writePlist(kDeviceFacts, made));
        ASSERT_TRUE(writeSystemVersion("B", "C"));
    }

    std::string facts;
    DeviceKindKept kept;
};

TEST_F(SupportFromTheApp, TheSupportRowShowsTheMailWithTheDeviceFactsAndBothAttachments) {
    ASSERT_NO_FATAL_FAILURE(answerABC());

    const Outcome run = runProcess({kSettings, "tap", "Contact Support"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string preferences = readAll(kPreferences);
    const std::string listing = readAll(kListing);
    ASSERT_NE(listing.find("ii  "), std::string::npos) << listing;
    EXPECT_EQ(run.out, "presented MFMailComposeViewController\n"
                       "  to Brightmoth <support@brightmoth.example>\n"
                       "  subject Glintmere Support\n"
                       "  body \"\\n\\nCurrent Device: A, iOS B (C)\"\n"
                       "  attachment GlintmerePrefs.plist application/xml " +
                           std::to_string(preferences.size()) + "\n  attachment dpkgl.txt text/plain " +
                           std::to_string(listing.size()) + "\n");
    EXPECT_TRUE(mails().empty()) << "nothing is sent until the person sends it";
}

// The package database's status a pipe that nobody writes: dpkg would wait on it for ever. The
// mail still comes, at the listing's time limit, without the listing, and no dpkg is left behind.
TEST_F(SupportFromTheApp, ADpkgThatNeverEndsHoldsTheMailUpOnlyUntilTheListingsLimit) {
    const HangingDpkg hanging;
    ASSERT_TRUE(hanging.made());

    const auto start = std::chrono::steady_clock::now();
    testing_support::Child app({kSettings, "tap", "Contact Support"});
    const auto ended = app.waitFor(std::chrono::seconds(20));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(ended) << "the Settings app still waits for dpkg";
    EXPECT_EQ(*ended, 0) << app.err();
    EXPECT_GE(took, std::chrono::seconds(3)) << "the limit the listing had";
    EXPECT_LT(took, std::chrono::seconds(8));
    const std::string preferences = readAll(kPreferences);
    EXPECT_EQ(app.out(), "presented MFMailComposeViewController\n"
                         "  to Brightmoth <support@brightmoth.example>\n"
                         "  subject Glintmere Support\n"
                         "  body \"\\n\\nCurrent Device: iPhone6,1, " +
                             testing_support::systemVersionLine() +
                             "\"\n"
                             "  attachment GlintmerePrefs.plist application/xml " +
                             std::to_string(preferences.size()) + "\n");
    EXPECT_EQ(readAll(kListing), "");
    expectNoDpkgRunning();
}

TEST_F(SupportFromTheApp, ASentMailIsARealMessageWithTheDeviceFactsAndBothAttachments) {
    ASSERT_NO_FATAL_FAILURE(answerABC());

    const Outcome run = settingsScript("tap \"Contact Support\"\nmail send\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string preferences = readAll(kPreferences);
    const std::string listing = readAll(kListing);
    const std::string shown = "presented MFMailComposeViewController\n"
                              "  to Brightmoth <support@brightmoth.example>\n"
                              "  subject Glintmere Support\n"
                              "  body \"\\n\\nCurrent Device: A, iOS B (C)\"\n"
                              "  attachment GlintmerePrefs.plist application/xml " +
                              std::to_string(preferences.size()) + "\n  attachment dpkgl.txt text/plain " +
                              std::to_string(listing.size()) + "\n";
    EXPECT_NE(run.out.find(shown), std::string::npos) << run.out;

    const auto sent = mails();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].extension(), ".eml");
    EXPECT_NE(run.out.find("mail sent " + sent[0].string() + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(parsedByPython(sent[0]), "subject Glintmere Support\n"
                                       "to Brightmoth <support@brightmoth.example>\n"
                                       "multipart multipart/mixed\n"
                                       "body text/plain " +
                                           hex("\n\nCurrent Device: A, iOS B (C)") +
                                           "\n"
                                           "attachment GlintmerePrefs.plist application/xml base64 " +
                                           hex(preferences) + "\nattachment dpkgl.txt text/plain base64 " +
                                           hex(listing) + "\n");
}

TEST_F(SupportFromTheApp, CancellingSendsNothingAndClosesTheComposer) {
    const Outcome run = settingsScript("tap \"Contact Support\"\nmail cancel\nmail send\n");
    EXPECT_NE(run.out.find("presented MFMailComposeViewController\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("mail cancelled\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("no mail composer is open"), std::string::npos) << run.err;
    EXPECT_TRUE(mails().empty());
}

TEST_F(SupportFromTheApp, WithoutAMailAccountTheAppShowsTheAlertAndNoComposer) {
    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    const Outcome run = settingsScript("tap \"Contact Support\"\nalert dismiss\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("MFMailComposeViewController"), std::string::npos) << run.out;
    // iOS 7's alert is an alert view; later ones an alert controller.
    const std::string alert = testing_support::systemMajorVersion() < 8 ? "UIAlertView" : "UIAlertController";
    EXPECT_NE(run.out.find("presented " + alert + "\n  title Cannot Send Mail\n  message "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("support@brightmoth.example"), std::string::npos);
    EXPECT_NE(run.out.find("  button OK\nalert dismissed\n"), std::string::npos) << run.out;
}

TEST_F(SupportFromTheApp, TheShareButtonOpensTheComposerAndAPostIsLogged) {
    // iOS 11 took Twitter out of the system: there the button opens nothing, account or not.
    if (testing_support::systemMajorVersion() >= 11) {
        const Outcome tapped = settingsScript("tap-bar right\n");
        EXPECT_EQ(tapped.status, 0) << tapped.err;
        EXPECT_EQ(tapped.out.find("presented"), std::string::npos) << tapped.out;
        EXPECT_FALSE(fs::exists(kPosts));
        return;
    }
    const Outcome run =
        settingsScript("tap-bar right\ncompose post\nopen Glintmere/Makers\ntap-bar right\ncompose cancel\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(
        run.out.find("presented SLComposeViewController\n  text #Glintmere makes settings a wallpaper easy "
                     "from Safari, thanks @Brightmoth\nposted\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("presented SLComposeViewController\n  text #Glintmere is awesome!\npost cancelled\n"),
        std::string::npos)
        << run.out;
    EXPECT_EQ(readAll(kPosts),
              "#Glintmere makes settings a wallpaper easy from Safari, thanks @Brightmoth\n");

    ASSERT_TRUE(writeAccounts({{"com.apple.account.IMAP", "mobile@example.com"}}));
    const Outcome none = settingsScript("tap-bar right\n");
    EXPECT_EQ(none.out.find("presented"), std::string::npos) << none.out;
}

TEST_F(SupportFromTheApp, APackageRowOpensItsPageInThePackageManager) {
    const Outcome run = runProcess({kSettings, "tap", "Quillfern", "Glintmere/ZeridOvuvoru"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string opened = readAll("/var/mobile/Library/SpringBoard/OpenedURLs.txt");
    EXPECT_EQ(opened.substr(0, opened.find(" -> ")), "cydia://package/com.brightmoth.quillfern") << opened;
    EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 1) << "one URL, and only its own";
    EXPECT_NE(run.out.find("opened cydia://package/com.brightmoth.quillfern\n"), std::string::npos)
        << run.out;
}

} // namespace
