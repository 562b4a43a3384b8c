// The inner workings of UIViewController: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIViewController.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ViewControllerInternals : public objc::Internals<ViewControllerInternals, ViewController> {
  public:
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_navigationItem, NavigationItem*, Owning)
    OBJC_IVAR(_view, View*, Owning)
};

// Whether presenting in `style` on `device` takes the presenter's view off the screen, so that the
// presenter is told it disappears (and, on dismissal, that it appears again).
GLINTMERE_EXPORT bool presentationRemovesPresenter(long style, const CF::DeviceFacts& device);

// The controller whose view `view` is; nullptr when it is no controller's view.
GLINTMERE_EXPORT ViewController* controllerOfView(const View* view);

} // namespace UI
