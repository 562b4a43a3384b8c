// UIApplication: the running app as the system sees it: its status bar style and the URLs it opens.
#pragma once

#include "Foundation/NSObject.hpp"

#include <string>

namespace NS {
class URL;
} // namespace NS

namespace UI {

enum UIStatusBarStyle : long {
    UIStatusBarStyleDefault = 0,      // dark content, for light backgrounds
    UIStatusBarStyleLightContent = 1, // light content, for dark backgrounds
};

class GLINTMERE_EXPORT Application : public NS::Referencing<Application, "UIApplication"> {
  public:
    // The one application object of the process, made on first use.
    OBJC_CLASS_MESSAGE(sharedApplication, "sharedApplication", Application*())

    OBJC_MESSAGE(statusBarStyle, "statusBarStyle", long())
    // Deprecated from iOS 9.0 (still answered), as is the animated form.
    OBJC_MESSAGE(setStatusBarStyle, "setStatusBarStyle:", void(long))
    OBJC_MESSAGE_NAMED(setStatusBarStyle, setStatusBarStyleAnimated_,
                       "setStatusBarStyle:animated:", void(long, bool))

    // Hands the URL to the installed app whose Info.plist claims its scheme (CFBundleURLTypes);
    // NO when none does, or for nil. Every URL asked for is printed ("opened URL") and recorded
    // (see below).
    // Deprecated from iOS 10.0 (still answered).
    OBJC_MESSAGE(openURL, "openURL:", bool(NS::URL*))
    OBJC_MESSAGE(canOpenURL, "canOpenURL:", bool(NS::URL*))
};

} // namespace UI
