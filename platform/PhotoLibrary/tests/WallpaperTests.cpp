#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSString.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewControllerInternals.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageInternals.hpp"
#include "UIKit/UIPasteboard.hpp"

#include "../../../tests/support/Pictures.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

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

    // A controller prepared as a caller does: save flag set, mode written straight to the ivar;
    // then the main run loop runs until what the save set going is done.
    void save(UI::Image* picture, int mode, bool saveFlag = true) {
        startSaving(picture, mode, saveFlag);
        EXPECT_TRUE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(10.0));
    }
    static void startSaving(UI::Image* picture, int mode, bool saveFlag = true) {
        auto controller = objc::adopt(Controller::alloc()->initWithUIImage(picture));
        ASSERT_TRUE(controller);
        controller->setSaveWallpaperData(saveFlag);
        objc::setIvar(controller.get(), PL::WallpaperImageViewControllerInternals::_wallpaperMode, mode);
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

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(WallpaperSaving, TheCallerGetsItsThreadBackAndBothFilesComeFromOneEncoding) {
    // The background thread is held busy, so whatever the save leaves to it has to wait.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    UI::writePNGFilesInBackground(nullptr, {}, [released](bool) { released.wait(); });
    {
        NS::AutoreleaseScope inner;
        startSaving(image, 0);
    }
    EXPECT_FALSE(fs::exists(PL::LockBackgroundPath)) << "encoded or written on the caller's thread";
    EXPECT_FALSE(fs::exists(PL::HomeBackgroundPath)) << "encoded or written on the caller's thread";
    EXPECT_FALSE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(0.05))
        << "the main run loop is idle before the files are written";

    release.set_value();
    EXPECT_TRUE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(10.0));
    EXPECT_EQ(readPng(PL::LockBackgroundPath), picture);
    EXPECT_EQ(readPng(PL::HomeBackgroundPath), picture);
    EXPECT_EQ(contentsOf(PL::LockBackgroundPath), contentsOf(PL::HomeBackgroundPath));
    EXPECT_EQ(contentsOf(PL::LockBackgroundPath), UI::pngBytes(image));
}

TEST_F(WallpaperSaving, ACopiedImageIsPlacedFromBytesOnDiskWithoutWaitingForTheBackground) {
    const int probe = ::open("/var/mobile/Library", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (probe < 0) {
        GTEST_SKIP() << "this filesystem keeps no files without a name";
    }
    ::close(probe);
    UI::Pasteboard::generalPasteboard()->setImage(image);
    // Writing a first file waits for the copy's bytes to reach the disk.
    const std::string first = "/var/mobile/Library/first.png";
    ASSERT_TRUE(UI::writePNGFile(image, first));

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    UI::writePNGFilesInBackground(nullptr, {}, [released](bool) { released.wait(); });
    {
        NS::AutoreleaseScope inner;
        startSaving(image, 0);
    }
    // In place before the busy background thread could have done anything.
    EXPECT_EQ(readPng(PL::LockBackgroundPath), picture);
    EXPECT_EQ(readPng(PL::HomeBackgroundPath), picture);
    EXPECT_EQ(fs::status(PL::LockBackgroundPath).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(fs::hard_link_count(first), 3u) << "a file was written anew, not placed from the copy's bytes";
    release.set_value();
    EXPECT_TRUE(NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(10.0));
    EXPECT_EQ(contentsOf(PL::LockBackgroundPath), UI::pngBytes(image));
    fs::remove(first);
}

// The other side of the test below: this binary again, saving the wallpaper and exiting at once.
[[maybe_unused]] const bool savingChild = [] {
    const char* source = std::getenv("WALLPAPER_TEST_SAVE_AND_EXIT");
    if (source == nullptr) {
        return false;
    }
    {
        NS::AutoreleaseScope pool;
        auto controller = objc::adopt(Controller::alloc()->initWithUIImage(
            UI::Image::imageWithContentsOfFile(NS::String::string(source))));
        controller->setSaveWallpaperData(true);
        controller->savePhoto();
    }
    std::exit(0);
}();

TEST_F(WallpaperSaving, AProcessThatExitsRightAfterSavingLeavesBothFilesWhole) {
    std::string variable = "WALLPAPER_TEST_SAVE_AND_EXIT=/tmp/wallpaper-source.png";
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    env.push_back(variable.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, self, nullptr, nullptr, argv, env.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readPng(PL::LockBackgroundPath), picture);
    EXPECT_EQ(readPng(PL::HomeBackgroundPath), picture);
}

TEST(WallpaperController, KeepsItsImageAndStartsWithoutSaving) {
    NS::AutoreleaseScope pool;
    cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    auto image = objc::adopt(UI::ImageInternals::newImageWithCairoSurface(pixels));
    cairo_surface_destroy(pixels);
    {
        auto controller = objc::adopt(Controller::alloc()->initWithUIImage(image.get()));
        EXPECT_EQ(controller->image(), image.get());
        EXPECT_EQ(image->retainCount(), 2u);
        EXPECT_FALSE(controller->saveWallpaperData());
        EXPECT_TRUE(controller->isKindOfClass(objc_lookUpClass("UIViewController")));
        EXPECT_EQ(objc::ivar(controller.get(), PL::WallpaperImageViewControllerInternals::_wallpaperMode), 0);
        objc::setIvar(controller.get(), PL::WallpaperImageViewControllerInternals::_wallpaperMode, -1);
        EXPECT_EQ(controller->image(), image.get());
        EXPECT_FALSE(controller->saveWallpaperData());
    }
    EXPECT_EQ(image->retainCount(), 1u);
}

// The mode is the superclass's `int`, as the system's is, with a pointer right behind it: whoever
// writes it wider than 4 bytes overwrites the picture.
TEST(WallpaperController, KeepsItsModeAsTheSystemDoesInAnIntBeforeAPointer) {
    Class base = objc_lookUpClass("PLWallpaperImageViewController");
    ASSERT_NE(base, Nil);
    EXPECT_EQ(class_getSuperclass(Controller::runtimeClass()), base);
    Ivar mode = class_getInstanceVariable(base, "_wallpaperMode");
    Ivar picture = class_getInstanceVariable(base, "_image");
    ASSERT_TRUE(mode != nullptr && picture != nullptr);
    EXPECT_STREQ(ivar_getTypeEncoding(mode), "i");
    EXPECT_EQ(ivar_getTypeEncoding(picture)[0], '@');
    EXPECT_EQ(ivar_getOffset(picture), ivar_getOffset(mode) + 4);
}

} // namespace
