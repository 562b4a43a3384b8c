#include "../../../tests/support/Files.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "Social/SLComposeViewController.hpp"
#include "Social/SLComposeViewControllerInternals.hpp"

#include "../../../tests/support/DeviceKind.hpp"

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
using SL::ComposeViewController;

class ShareComposer : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(logBase);
        fs::create_directories(logBase);
    }
    void TearDown() override { fs::remove_all(logBase); }

    // A composer whose handler records each result.
    objc::Ptr<ComposeViewController> composer(std::vector<long>& results) {
        auto made = ComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter);
        made->setCompletionHandler(NS::Block::create(
            [&results](SL::ComposeViewControllerResult result) { results.push_back(result); }));
        return made;
    }

    const fs::path logBase = "/tmp/share-home";
    const SL::PostLog log{logBase.string(), "Library/Social"};
    NS::AutoreleaseScope pool;
    DeviceKindKept kept;
};

TEST_F(ShareComposer, TwitterIsOfferedWithAnAccountOnSystemsBeforeEleven) {
    EXPECT_EQ(SLServiceTypeTwitter->str(), "com.apple.social.twitter");
    EXPECT_TRUE(ComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter))
        << "8.4 with an account";
    EXPECT_FALSE(ComposeViewController::isAvailableForServiceType("com.apple.social.facebook"_ns));
    EXPECT_FALSE(ComposeViewController::isAvailableForServiceType(nullptr));

    ASSERT_TRUE(writeAccounts({{"com.apple.account.IMAP", "mobile@example.com"}}));
    EXPECT_FALSE(ComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter)) << "no account";
    EXPECT_NE(ComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter), nullptr)
        << "the system still carries Twitter";

    ASSERT_TRUE(writeAccounts({{"com.apple.twitter", "glintmere"}}));
    for (const char* version : {"10.0", "9.0", "7.0"}) {
        ASSERT_TRUE(writeSystemVersion(version, "X"));
        EXPECT_TRUE(ComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter)) << version;
    }
    for (const char* version : {"11.0", "11.4", "12.1"}) {
        ASSERT_TRUE(writeSystemVersion(version, "X"));
        EXPECT_FALSE(ComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter)) << version;
        EXPECT_EQ(ComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter), nullptr)
            << version << " has no Twitter at all";
    }
}

TEST_F(ShareComposer, PostAppendsTheTextAndTellsTheHandlerDone) {
    std::vector<long> results;
    auto made = composer(results);
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->serviceType()->isEqualToString(SLServiceTypeTwitter));
    EXPECT_FALSE(made->setInitialText(nullptr));
    EXPECT_TRUE(made->setInitialText("#Glintmere is awesome!"_ns));
    EXPECT_EQ(SL::textOf(made), "#Glintmere is awesome!");
    EXPECT_EQ(SL::post(made, log), "");
    EXPECT_EQ(results, std::vector<long>{SL::ComposeViewControllerResultDone});
    EXPECT_EQ(readAll(logBase / "Library/Social/posts.txt"), "#Glintmere is awesome!\n");
}

TEST_F(ShareComposer, CancelPostsNothingAndTellsTheHandlerAsPostDoes) {
    std::vector<long> results;
    auto made = composer(results);
    made->setInitialText("never posted"_ns);
    SL::cancel(made);
    EXPECT_EQ(results, std::vector<long>{SL::ComposeViewControllerResultCancelled});
    EXPECT_FALSE(fs::exists(logBase / "Library/Social/posts.txt"));
}

TEST_F(ShareComposer, APostThatCannotBeWrittenLeavesTheComposerOpen) {
    fs::create_directories(logBase / "Library");
    std::ofstream(logBase / "Library/Social") << "a file where the folder belongs";
    std::vector<long> results;
    auto made = composer(results);
    made->setInitialText("kept"_ns);
    EXPECT_NE(SL::post(made, log), "");
    EXPECT_TRUE(results.empty()) << "nothing is told; the person may try again or cancel";
}

TEST_F(ShareComposer, AHandlerMayLetGoOfItsComposerWhileBeingTold) {
    // Owned here alone, and let go of by the handler.
    ComposeViewController* held = ComposeViewController::alloc()->init();
    int calls = 0;
    // Refers to its composer without owning it, as a handler must.
    held->setCompletionHandler(NS::Block::create([held, &calls](SL::ComposeViewControllerResult) {
        ++calls;
        held->release();
    }));
    SL::cancel(held);
    EXPECT_EQ(calls, 1);
}

} // namespace
