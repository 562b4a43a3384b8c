// The inner workings of PLWallpaperImageViewController and PLStaticWallpaperImageViewController: what the
// stand-in keeps and does beside what iOS declares.
#pragma once

#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"
#include "objc/Internals.hpp"

namespace PL {

class WallpaperImageViewControllerInternals
    : public objc::Internals<WallpaperImageViewControllerInternals, WallpaperImageViewController> {
  public:
    OBJC_IVAR(_saveWallpaperData, bool)
    OBJC_IVAR(_wallpaperMode, int)
    OBJC_IVAR(_image, UI::Image*, Owning)
};

// Where SpringBoard reads the two wallpapers from.
inline constexpr const char* LockBackgroundPath = "/var/mobile/Library/SpringBoard/LockBackground.png";

inline constexpr const char* HomeBackgroundPath = "/var/mobile/Library/SpringBoard/HomeBackground.png";

} // namespace PL
