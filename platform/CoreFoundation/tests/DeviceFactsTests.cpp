#include "CoreFoundation/DeviceFacts.hpp"

#include "../../../tests/support/NotFiles.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class DeviceFactsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "facts-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    CF::DeviceFacts read(const std::string& content) {
        const fs::path file = dir_ / "DeviceFacts.plist";
        std::ofstream(file, std::ios::binary) << content;
        return CF::readDeviceFacts(file.c_str());
    }
    static std::string plist(const std::string& entries) {
        return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" + entries + "</dict></plist>";
    }

    fs::path dir_;
};

TEST(DeviceFacts, TheTestsOwnDeviceIsTheDefaultPhone) {
    const CF::DeviceFacts& facts = CF::deviceFacts();
    EXPECT_EQ(facts.productType, "iPhone6,1");
    EXPECT_TRUE(facts.answersIdiom);
    EXPECT_EQ(facts.idiom, 0);
    EXPECT_DOUBLE_EQ(facts.screenHeight, 568);
    EXPECT_DOUBLE_EQ(facts.coreFoundationVersion, 1145.15);
}

TEST_F(DeviceFactsFile, ReadsEachFactAndLacksTheIdiomWhereTheFileHasNone) {
    const auto pad =
        read(plist("<key>ProductType</key><string>iPad4,1</string>"
                   "<key>DeviceClass</key><string>iPad</string>"
                   "<key>ScreenWidth</key><real>768</real><key>ScreenHeight</key><integer>1024</integer>"
                   "<key>ScreenScale</key><real>2</real><key>UserInterfaceIdiom</key><integer>1</integer>"
                   "<key>CoreFoundationVersionNumber</key><real>1141.18</real>"));
    EXPECT_EQ(pad.productType, "iPad4,1");
    EXPECT_EQ(pad.deviceClass, "iPad");
    EXPECT_TRUE(pad.answersIdiom);
    EXPECT_EQ(pad.idiom, 1);
    EXPECT_DOUBLE_EQ(pad.screenWidth, 768);
    EXPECT_DOUBLE_EQ(pad.screenHeight, 1024);
    EXPECT_DOUBLE_EQ(pad.coreFoundationVersion, 1141.18);

    const auto old = read(plist("<key>ProductType</key><string>iPhone1,1</string>"
                                "<key>ScreenScale</key><real>1</real>"));
    EXPECT_FALSE(old.answersIdiom);
    EXPECT_DOUBLE_EQ(old.scale, 1);
}

TEST_F(DeviceFactsFile, AnythingMalformedKeepsTheDefaults) {
    const CF::DeviceFacts standard;
    for (const std::string& bad :
         {std::string(), std::string("not a property list"),
          std::string("<plist version=\"1.0\"><array/></plist>"), std::string(200 * 1024, '<')}) {
        const auto facts = read(bad);
        EXPECT_EQ(facts.productType, standard.productType);
        EXPECT_TRUE(facts.answersIdiom);
        EXPECT_DOUBLE_EQ(facts.coreFoundationVersion, standard.coreFoundationVersion);
    }
    // Numbers that no screen or system has are not taken; the others are.
    const auto wild =
        read(plist("<key>ScreenWidth</key><real>-3</real><key>ScreenHeight</key><real>nan</real>"
                   "<key>ScreenScale</key><string>2</string><key>ProductType</key><integer>4</integer>"
                   "<key>CoreFoundationVersionNumber</key><real>1e300</real>"
                   "<key>UserInterfaceIdiom</key><integer>7</integer>"));
    EXPECT_DOUBLE_EQ(wild.screenWidth, standard.screenWidth);
    EXPECT_DOUBLE_EQ(wild.screenHeight, standard.screenHeight);
    EXPECT_DOUBLE_EQ(wild.scale, standard.scale);
    EXPECT_EQ(wild.productType, standard.productType);
    EXPECT_DOUBLE_EQ(wild.coreFoundationVersion, standard.coreFoundationVersion);
    EXPECT_EQ(wild.idiom, 0);
    EXPECT_EQ(CF::readDeviceFacts((dir_ / "absent").c_str()).productType, standard.productType);
    EXPECT_EQ(CF::readDeviceFacts(dir_.c_str()).productType, standard.productType);
}

TEST_F(DeviceFactsFile, AnythingButARegularFileKeepsTheDefaultsWithoutWaiting) {
    const CF::DeviceFacts standard;
    for (const testing_support::NotAFile kind : testing_support::kNotFiles) {
        const fs::path path = dir_ / "DeviceFacts.plist";
        ASSERT_TRUE(testing_support::plant(kind, path)) << describe(kind);
        const bool returned = testing_support::returnsWithoutAWriter(path, [&] {
            EXPECT_EQ(CF::readDeviceFacts(path.c_str()).productType, standard.productType) << describe(kind);
        });
        EXPECT_TRUE(returned) << describe(kind) << " was waited on";
        fs::remove_all(path);
    }
}

} // namespace
