#include "../support/DeviceKind.hpp"
#include "../support/Plists.hpp"
#include "../support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

constexpr const char* kSettings = "/Applications/Preferences.app/Preferences";
constexpr const char* kPreferences = "/var/mobile/Library/Preferences/com.brightmoth.glintmere.plist";
constexpr const char* kDeviceFacts = "/System/Library/CoreServices/DeviceFacts.plist";
constexpr const char* kOutbox = "/var/mobile/Library/Mail/Outbox";
constexpr const char* kListing = "/tmp/dpkgl.log";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<fs::path> mails() {
    std::vector<fs::path> found;
    if (fs::is_directory(kOutbox)) {
        for (const auto& entry : fs::directory_iterator(kOutbox)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

class SupportFromTheApp : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(kOutbox);
        facts = readAll(kDeviceFacts);
        ASSERT_TRUE(
            writeFile(kPreferences, "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n"));
    }
    void TearDown() override {
        writeFile(kDeviceFacts, facts);
        fs::remove(kPreferences);
        fs::remove_all(kOutbox);
    }

    std::string facts;
    DeviceKindKept kept;
};

TEST_F(SupportFromTheApp, TheSupportRowShowsTheMailWithTheDeviceFactsAndBothAttachments) {
    // A device that answers A, B and C.
    plist_t made = nullptr;
    plist_from_memory(facts.data(), static_cast<uint32_t>(facts.size()), &made);
    ASSERT_NE(made, nullptr);
    plist_dict_set_item(made, "ProductType", plist_new_string("A"));
    ASSERT_TRUE(writePlist(kDeviceFacts, made));
    ASSERT_TRUE(writeSystemVersion("B", "C"));

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

TEST_F(SupportFromTheApp, WithoutAMailAccountTheAppShowsTheAlertAndNoComposer) {
    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    const Outcome run = runProcess({kSettings, "tap", "Contact Support"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("MFMailComposeViewController"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.rfind("presented UIAlertController\n  title Cannot Send Mail\n  message ", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("support@brightmoth.example"), std::string::npos);
    EXPECT_TRUE(run.out.ends_with("\n  button OK\n")) << run.out;
}

TEST_F(SupportFromTheApp, APackageRowOpensItsPageInThePackageManager) {
    const Outcome run = runProcess({kSettings, "tap", "Quillfern", "Glintmere/ZeridOvuvoru"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("cydia://package/com.brightmoth.quillfern"), std::string::npos) << run.out;
    const std::string opened = readAll("/var/mobile/Library/SpringBoard/OpenedURLs.txt");
    EXPECT_EQ(opened.substr(0, opened.find(" -> ")), "cydia://package/com.brightmoth.quillfern") << opened;
    EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 1) << "one URL, and only its own";
}

} // namespace
