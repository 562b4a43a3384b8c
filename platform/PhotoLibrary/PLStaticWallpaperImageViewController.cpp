#include "PhotoLibrary/PLStaticWallpaperImageViewController.hpp"

#include "UIKit/UIImage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace PL {
namespace {

using objc::operator""_sel;

Class controllerClass() { return objc_lookUpClass("PLStaticWallpaperImageViewController"); }

id initWithUIImage(id self, SEL, id image) {
    self = objc::sendSuper<id>(controllerClass(), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    objc::setIvar<id>(self, "_image", objc::send<id>(image, "retain"_sel));
    return self;
}

id image(id self, SEL) { return objc::ivar<id>(self, "_image"); }
void setSaveWallpaperData(id self, SEL, bool save) { objc::setIvar<bool>(self, "_saveWallpaperData", save); }
bool saveWallpaperData(id self, SEL) { return objc::ivar<bool>(self, "_saveWallpaperData"); }

void savePhoto(id self, SEL) {
    auto* picture = reinterpret_cast<UI::Image*>(objc::ivar<id>(self, "_image"));
    if (!objc::ivar<bool>(self, "_saveWallpaperData") || picture == nullptr) {
        return;
    }
    const auto mode = objc::ivar<std::intptr_t>(self, "_wallpaperMode");
    if (mode == WallpaperModeBoth || mode == WallpaperModeLockScreen) {
        UI::writePNGFile(picture, LockBackgroundPath);
    }
    if (mode == WallpaperModeBoth || mode == WallpaperModeHomeScreen) {
        UI::writePNGFile(picture, HomeBackgroundPath);
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("PLStaticWallpaperImageViewController", "UIViewController")
        .ivar<id>("_image", objc::Ownership::Owning)
        .ivar<bool>("_saveWallpaperData")
        .ivar<std::intptr_t>("_wallpaperMode")
        .method<&initWithUIImage>("initWithUIImage:")
        .method<&image>("image")
        .method<&setSaveWallpaperData>("setSaveWallpaperData:")
        .method<&saveWallpaperData>("saveWallpaperData")
        .method<&savePhoto>("_savePhoto")
        .build();
}

} // namespace
} // namespace PL
