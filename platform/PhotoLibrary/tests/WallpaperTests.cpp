#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "UIKit/UIImage.hpp"

#include "../../../tests/support/Pictures.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::makePicture;
using testing_support::readPng;
using Controller = PL::StaticWallpaperImageViewController;

const fs::path springBoard = "/var/mobile/Library/SpringBoard";

// Each test starts on a device without wallpapers, and without the folder that holds them.
class WallpaperSaving : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(springBoard);
        ASSERT_TRUE(testing_support::writePng(picture, "/tmp/wallpaper-source.png"));
        image = UI::Image::imageWithContentsOfFile(NS::String::string("/tmp/wallpaper-source.png"));
        ASSERT_NE(image, nullptr);
    }
    void TearDown() override { fs::remove_all(springBoard); }

    // A controller prepared as a caller does: save flag set, mode written straight to the ivar.
    void save(UI::Image* picture, std::intptr_t mode, bool saveFlag = true) {
        auto controller = objc::adopt(Controller::alloc()->initWithUIImage(picture));
        ASSERT_TRUE(controller);
        controller->setSaveWallpaperData(saveFlag);
        object_setInstanceVariable(objc::toId(controller.get()), "_wallpaperMode",
                                   reinterpret_cast<void*>(mode));
        controller->savePhoto();
    }

    NS::AutoreleaseScope pool;
    testing_support::Picture picture = makePicture(6, 4, 9);
    UI::Image* image = nullptr;
};

TEST_F(WallpaperSaving, ModeZeroWritesBothScreens) {
    save(image, 0);
    EXPECT_EQ(readPng(PL::LockBackgroundPath), picture);
    EXPECT_EQ(readPng(PL::HomeBackgroundPath), picture);
}

TEST_F(WallpaperSaving, ModesOneAndTwoWriteOneScreenEach) {
    save(image, 1);
    EXPECT_EQ(readPng(PL::LockBackgroundPath), picture);
    EXPECT_FALSE(fs::exists(PL::HomeBackgroundPath));
    fs::remove_all(springBoard);

    save(image, 2);
    EXPECT_FALSE(fs::exists(PL::LockBackgroundPath));
    EXPECT_EQ(readPng(PL::HomeBackgroundPath), picture);
}

TEST_F(WallpaperSaving, NothingIsWrittenWithoutTheSaveFlagAnImageOrAKnownMode) {
    save(image, 0, false);
    save(nullptr, 0);
    save(image, 3);
    save(image, -1);
    EXPECT_FALSE(fs::exists(springBoard / "LockBackground.png"));
    EXPECT_FALSE(fs::exists(springBoard / "HomeBackground.png"));
}

TEST(WallpaperController, KeepsItsImageAndStartsWithoutSaving) {
    NS::AutoreleaseScope pool;
    cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    auto image = objc::adopt(UI::Image::newImageWithCairoSurface(pixels));
    cairo_surface_destroy(pixels);
    {
        auto controller = objc::adopt(Controller::alloc()->initWithUIImage(image.get()));
        EXPECT_EQ(controller->image(), image.get());
        EXPECT_EQ(image->retainCount(), 2u);
        EXPECT_FALSE(controller->saveWallpaperData());
        EXPECT_TRUE(controller->isKindOfClass(objc_lookUpClass("UIViewController")));
        EXPECT_EQ(objc::ivar<std::intptr_t>(controller.get(), "_wallpaperMode"), 0);
        // Callers set the mode through the runtime, which writes a whole pointer.
        const auto wide = static_cast<std::intptr_t>(0x0102030405060708);
        object_setInstanceVariable(objc::toId(controller.get()), "_wallpaperMode",
                                   reinterpret_cast<void*>(wide));
        EXPECT_EQ(objc::ivar<std::intptr_t>(controller.get(), "_wallpaperMode"), wide);
        EXPECT_EQ(controller->image(), image.get());
        EXPECT_FALSE(controller->saveWallpaperData());
    }
    EXPECT_EQ(image->retainCount(), 1u);
}

} // namespace
