// UITableView: a view of rows in sections, filled by its data source and shaped by its delegate.
#pragma once

#include "UIKit/UIView.hpp"

namespace UI {

// The height that lets the table choose for itself.
inline constexpr CGFloat TableViewAutomaticDimension = -1.0;

class GLINTMERE_EXPORT TableView : public NS::Referencing<TableView, "UITableView", View> {
  public:
    // Not owned: a table's owner is normally its data source and delegate.
    id dataSource() { return objc::send<id>(this, objc::Selector<"dataSource">()); }
    void setDataSource(id source) { objc::send<void>(this, objc::Selector<"setDataSource:">(), source); }
    id delegate() { return objc::send<id>(this, objc::Selector<"delegate">()); }
    void setDelegate(id delegate) { objc::send<void>(this, objc::Selector<"setDelegate:">(), delegate); }
};

} // namespace UI
