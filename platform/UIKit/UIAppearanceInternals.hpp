// The inner workings of UIAppearance: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIAppearance.hpp"

namespace UI {

// Adds the class methods `appearance` and `appearanceWhenContainedIn:` (a nil-ended list of container
// classes, innermost first) to the class being built. Their proxy answers `setKey:` and `key` for the
// keys views take from it: onTintColor, tintColor, thumbTintColor, barTintColor, titleTextAttributes
// and backgroundColor. The same class and containers always give the same proxy.
GLINTMERE_EXPORT void addAppearanceMethods(objc::ClassBuilder& builder);

// The value set for `key` through the proxy of `view`'s class (or a superclass) whose containers
// match those of `view` (its superviews and the view controllers that own them, nearest first); of
// several, the one naming more containers, then the one set last. nil when none applies.
GLINTMERE_EXPORT NS::Object* appearanceValue(View* view, const char* key);

} // namespace UI
