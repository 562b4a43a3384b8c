// PLStaticWallpaperImageViewController: the system's screen for choosing a still picture as wallpaper.
#pragma once

#include "UIKit/UIViewController.hpp"

#include <cstdint>

namespace UI {
class Image;
}

namespace PL {

// Which screens receive the wallpaper; the controller keeps it in its `int` ivar `_wallpaperMode`,
// set by whoever prepares the controller.
enum WallpaperMode : int {
    WallpaperModeBoth = 0,
    WallpaperModeLockScreen = 1,
    WallpaperModeHomeScreen = 2,
};

// What every wallpaper screen shares: the picture, whether saving writes it, and for which screens.
// It and its subclass are in the system from iOS 7.0 to 13.x; iOS 14.0 has neither.
class GLINTMERE_EXPORT WallpaperImageViewController
    : public NS::Referencing<WallpaperImageViewController, "PLWallpaperImageViewController",
                             UI::ViewController> {
  public:
};

class GLINTMERE_EXPORT StaticWallpaperImageViewController
    : public NS::Referencing<StaticWallpaperImageViewController, "PLStaticWallpaperImageViewController",
                             WallpaperImageViewController> {
  public:
    // Keeps the image (which may be nil).
    OBJC_MESSAGE(initWithUIImage, "initWithUIImage:", StaticWallpaperImageViewController*(UI::Image*))
    OBJC_MESSAGE(image, "image", UI::Image*())

    // Whether saving writes the wallpaper files; off until set.
    OBJC_MESSAGE(setSaveWallpaperData, "setSaveWallpaperData:", void(bool))
    OBJC_MESSAGE(saveWallpaperData, "saveWallpaperData", bool())

    // With the save flag set and an image held, writes the image as PNG to the files of the screens
    // that the wallpaper mode names, from one encoding, on a background thread: the main run loop is
    // not idle until they are in place. Each file is replaced whole; nothing happens otherwise.
    OBJC_MESSAGE_NAMED(savePhoto, _savePhoto_, "_savePhoto", void())
};

} // namespace PL
