#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "MobileGestalt/MobileGestalt.h"

#include "../../../tests/support/DeviceKind.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using namespace testing_support;

// The answer as text, released as the caller must; nullopt when there is none.
std::optional<std::string> answer(const char* question) {
    auto answered =
        objc::adopt(MGCopyAnswer(question != nullptr ? NS::String::string(question).get() : nullptr));
    if (answered == nullptr) {
        return std::nullopt;
    }
    auto text = NS::cast<NS::String>(answered.get());
    return text != nullptr ? std::optional(text->str()) : std::optional<std::string>("(not a string)");
}

class Gestalt : public ::testing::Test {
  protected:
    NS::AutoreleaseScope pool;
    DeviceKindKept kept;
};

TEST_F(Gestalt, AnswersTheModelVersionAndBuildTheDeviceWasMadeWith) {
    // The test device is the tool's default: an iPhone6,1 on 8.4.
    EXPECT_EQ(answer("ProductType"), "iPhone6,1");
    EXPECT_EQ(answer("ProductVersion"), "8.4");
    EXPECT_EQ(answer("BuildVersion"), "12H143");
}

TEST_F(Gestalt, ReadsTheSystemVersionAfreshOnEveryQuestion) {
    ASSERT_TRUE(writeSystemVersion("11.0", "15A372"));
    EXPECT_EQ(answer("ProductVersion"), "11.0");
    EXPECT_EQ(answer("BuildVersion"), "15A372");
    ASSERT_TRUE(writeSystemVersion("7.1", "11D167"));
    EXPECT_EQ(answer("ProductVersion"), "7.1");
}

TEST_F(Gestalt, AnswersNothingItDoesNotKnow) {
    EXPECT_EQ(answer("UniqueDeviceID"), std::nullopt);
    EXPECT_EQ(answer(""), std::nullopt);
    EXPECT_EQ(answer(nullptr), std::nullopt);

    std::filesystem::remove(kSystemVersionPlist);
    EXPECT_EQ(answer("ProductVersion"), std::nullopt) << "no version file";
    EXPECT_EQ(answer("ProductType"), "iPhone6,1") << "the model does not come from that file";

    ASSERT_TRUE(writeFile(kSystemVersionPlist, "<?xml version=\"1.0\"?><plist><dict><key>Produ"));
    EXPECT_EQ(answer("ProductVersion"), std::nullopt) << "a damaged version file";
    ASSERT_TRUE(writePlist(kSystemVersionPlist, dictionaryWith("ProductVersion", plist_new_uint(8))));
    EXPECT_EQ(answer("ProductVersion"), std::nullopt) << "a version that is no text";
    EXPECT_EQ(answer("BuildVersion"), std::nullopt) << "a file without a build";
}

} // namespace
