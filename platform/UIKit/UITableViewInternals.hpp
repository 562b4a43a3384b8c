// The inner workings of UITableViewHeaderFooterView and UITableView: what the stand-in keeps and does beside
// what iOS declares.
#pragma once

#include "UIKit/UITableView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class TableViewInternals : public objc::Internals<TableViewInternals, TableView> {
  public:
    OBJC_IVAR(_dataSource, id)
    OBJC_IVAR(_delegate, id)
    OBJC_IVAR(_style, long)
    // The parts laid out and the views showing them: a Layout, owned.
    OBJC_IVAR(_layout, void*)
};

} // namespace UI
