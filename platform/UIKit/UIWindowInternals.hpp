// The inner workings of UIWindow and UIStatusBar: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIWindow.hpp"
#include "objc/Internals.hpp"

namespace UI {

class WindowInternals : public objc::Internals<WindowInternals, Window> {
  public:
    OBJC_IVAR(_rootViewController, ViewController*, Owning)
    OBJC_IVAR(_statusBar, StatusBar*, Owning)
    OBJC_IVAR(_visible, bool)
};

inline constexpr CGFloat kStatusBarHeight = 20;

// Presenting puts the presented controller's view in front of the window whose root view controller
// presents it, under the status bar (nothing when the presenter is no window's root).
void showPresentedViewInWindow(ViewController* presenter);

// The status bars of every window take the application's new style at their next layout.
void statusBarStyleChanged();

} // namespace UI
