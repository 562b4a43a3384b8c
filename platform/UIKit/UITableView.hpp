// UITableView: a view of rows in sections, filled by its data source and shaped by its delegate.
#pragma once

#include "UIKit/UIView.hpp"

namespace UI {

// The height that lets the table choose for itself.
inline constexpr CGFloat TableViewAutomaticDimension = -1.0;

class GLINTMERE_EXPORT TableView : public NS::Referencing<TableView, "UITableView", View> {
  public:
    // Not owned: a table's owner is normally its data source and delegate.
    OBJC_MESSAGE(dataSource, "dataSource", id())
    OBJC_MESSAGE(setDataSource, "setDataSource:", void(id))
    OBJC_MESSAGE(delegate, "delegate", id())
    OBJC_MESSAGE(setDelegate, "setDelegate:", void(id))
};

} // namespace UI
