// UINavigationItem: what a view controller puts in the navigation bar while it is on top.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class View;

class GLINTMERE_EXPORT NavigationItem : public NS::Referencing<NavigationItem, "UINavigationItem"> {
  public:
    NavigationItem* initWithTitle(NS::String* title) {
        return objc::send<NavigationItem*>(this, objc::Selector<"initWithTitle:">(), title);
    }

    NS::String* title() { return objc::send<NS::String*>(this, objc::Selector<"title">()); }
    void setTitle(NS::String* title) { objc::send<void>(this, objc::Selector<"setTitle:">(), title); }
    // A view shown in place of the title text.
    View* titleView() { return objc::send<View*>(this, objc::Selector<"titleView">()); }
    void setTitleView(View* view) { objc::send<void>(this, objc::Selector<"setTitleView:">(), view); }
    id rightBarButtonItem() { return objc::send<id>(this, objc::Selector<"rightBarButtonItem">()); }
    void setRightBarButtonItem(id item) {
        objc::send<void>(this, objc::Selector<"setRightBarButtonItem:">(), item);
    }
    id leftBarButtonItem() { return objc::send<id>(this, objc::Selector<"leftBarButtonItem">()); }
    void setLeftBarButtonItem(id item) {
        objc::send<void>(this, objc::Selector<"setLeftBarButtonItem:">(), item);
    }
};

} // namespace UI
