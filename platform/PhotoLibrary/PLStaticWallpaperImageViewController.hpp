// PLStaticWallpaperImageViewController: the system's screen for choosing a still picture as wallpaper.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstdint>

namespace UI {
class Image;
}

namespace PL {

// Which screens receive the wallpaper; the controller keeps it in its ivar `_wallpaperMode`
// (pointer-sized), set by whoever prepares the controller.
enum WallpaperMode : std::intptr_t {
    WallpaperModeBoth = 0,
    WallpaperModeLockScreen = 1,
    WallpaperModeHomeScreen = 2,
};

// Where SpringBoard reads the two wallpapers from.
inline constexpr const char* LockBackgroundPath = "/var/mobile/Library/SpringBoard/LockBackground.png";
inline constexpr const char* HomeBackgroundPath = "/var/mobile/Library/SpringBoard/HomeBackground.png";

class GLINTMERE_EXPORT StaticWallpaperImageViewController
    : public NS::Referencing<StaticWallpaperImageViewController, "PLStaticWallpaperImageViewController"> {
  public:
    // Keeps the image (which may be nil).
    StaticWallpaperImageViewController* initWithUIImage(UI::Image* image) {
        return objc::send<StaticWallpaperImageViewController*>(this, objc::Selector<"initWithUIImage:">(),
                                                               image);
    }
    UI::Image* image() { return objc::send<UI::Image*>(this, objc::Selector<"image">()); }

    // Whether saving writes the wallpaper files; off until set.
    void setSaveWallpaperData(bool save) {
        objc::send(this, objc::Selector<"setSaveWallpaperData:">(), save);
    }
    bool saveWallpaperData() { return objc::send<bool>(this, objc::Selector<"saveWallpaperData">()); }

    // With the save flag set and an image held, writes the image as PNG to the files of the screens
    // that the wallpaper mode names. Each file is replaced whole; nothing happens otherwise.
    void savePhoto() { objc::send(this, objc::Selector<"_savePhoto">()); }
};

} // namespace PL
