#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "PhotoLibrary/PLStaticWallpaperImageViewControllerInternals.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace PL {
namespace {

using Base = WallpaperImageViewController;
using Controller = StaticWallpaperImageViewController;

void savePhoto(Controller* self) {
    auto* picture = objc::ivar(self, WallpaperImageViewControllerInternals::_image);
    if (!objc::ivar(self, WallpaperImageViewControllerInternals::_saveWallpaperData) || picture == nullptr) {
        return;
    }
    const auto mode = objc::ivar(self, WallpaperImageViewControllerInternals::_wallpaperMode);
    std::vector<std::string> files;
    if (mode == WallpaperModeBoth || mode == WallpaperModeLockScreen) {
        files.emplace_back(LockBackgroundPath);
    }
    if (mode == WallpaperModeBoth || mode == WallpaperModeHomeScreen) {
        files.emplace_back(HomeBackgroundPath);
    }
    if (files.empty()) {
        return;
    }
    // Encoding a screen-size picture takes longer than a frame, so it does not happen on the
    // caller's thread; the main run loop counts the writing as its own work until it is done.
    NS::RunLoop* loop = NS::RunLoop::mainRunLoop();
    NS::RunLoopInternals::of(loop)->beginBackgroundWork();
    UI::writePNGFilesInBackground(picture, std::move(files), [loop](bool written) {
        if (!written) {
            std::fprintf(stderr, "PLStaticWallpaperImageViewController: the wallpaper could not be saved\n");
        }
        NS::RunLoopInternals::of(loop)->endBackgroundWork();
    });
}

Controller* initWithUIImage(Controller* self, UI::Image* image) {
    auto controller = Controller::init_.super<Controller>(self);
    if (controller == nullptr) {
        return nullptr;
    }
    objc::storeOwned(controller, WallpaperImageViewControllerInternals::_image, image);
    return controller;
}

UI::Image* image(Controller* self) { return objc::ivar(self, WallpaperImageViewControllerInternals::_image); }

void setSaveWallpaperData(Controller* self, bool save) {
    objc::setIvar(self, WallpaperImageViewControllerInternals::_saveWallpaperData, save);
}

bool saveWallpaperData(Controller* self) {
    return objc::ivar(self, WallpaperImageViewControllerInternals::_saveWallpaperData);
}

GLINTMERE_REGISTER_CLASSES {
    if (CF::systemIsAtLeast(CF::release::iOS14_0)) {
        return;
    }
    // The mode sits between a flag and a pointer, as 4 bytes, with the pointer right after it.
    objc::ClassDefinition<Base>()
        .ivar(WallpaperImageViewControllerInternals::_saveWallpaperData)
        .ivar(WallpaperImageViewControllerInternals::_wallpaperMode)
        .ivar(WallpaperImageViewControllerInternals::_image)
        .build();
    objc::ClassDefinition<Controller>()
        .method<&initWithUIImage>(Controller::initWithUIImage_)
        .method<&image>(Controller::image_)
        .method<&setSaveWallpaperData>(Controller::setSaveWallpaperData_)
        .method<&saveWallpaperData>(Controller::saveWallpaperData_)
        .method<&savePhoto>(Controller::_savePhoto_)
        .build();
}

} // namespace
} // namespace PL
