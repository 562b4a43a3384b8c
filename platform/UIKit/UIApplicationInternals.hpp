// The inner workings of UIApplication: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIApplication.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ApplicationInternals : public objc::Internals<ApplicationInternals, Application> {
  public:
    OBJC_IVAR(_statusBarStyle, long)
};

// Where the device records the URLs that apps asked it to open, one a line:
// "URL -> BUNDLE-ID", or "URL -> (none)" when no installed app claims the scheme.
inline constexpr const char* kOpenedURLsBase = "/var/mobile";

inline constexpr const char* kOpenedURLsFolder = "Library/SpringBoard";

inline constexpr const char* kOpenedURLsFile = "OpenedURLs.txt";

// The bundle identifier of the app in `applicationsFolder` whose Info.plist claims `scheme`
// (compared without regard to case); empty when none does.
GLINTMERE_EXPORT std::string applicationForScheme(const std::string& scheme,
                                                  const std::string& applicationsFolder = "/Applications");

} // namespace UI
