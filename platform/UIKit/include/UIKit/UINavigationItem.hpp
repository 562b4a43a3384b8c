// UINavigationItem: what a view controller puts in the navigation bar while it is on top.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class BarButtonItem;
class View;

class GLINTMERE_EXPORT NavigationItem : public NS::Referencing<NavigationItem, "UINavigationItem"> {
  public:
    OBJC_MESSAGE(initWithTitle, "initWithTitle:", NavigationItem*(NS::String*))

    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(setTitle, "setTitle:", void(NS::String*))
    // A view shown in place of the title text.
    OBJC_MESSAGE(titleView, "titleView", View*())
    OBJC_MESSAGE(setTitleView, "setTitleView:", void(View*))
    OBJC_MESSAGE(rightBarButtonItem, "rightBarButtonItem", BarButtonItem*())
    OBJC_MESSAGE(setRightBarButtonItem, "setRightBarButtonItem:", void(BarButtonItem*))
    OBJC_MESSAGE(leftBarButtonItem, "leftBarButtonItem", BarButtonItem*())
    OBJC_MESSAGE(setLeftBarButtonItem, "setLeftBarButtonItem:", void(BarButtonItem*))
};

} // namespace UI
