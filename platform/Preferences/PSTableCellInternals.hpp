// The inner workings of PSTableCell: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Preferences/PSTableCell.hpp"
#include "objc/Internals.hpp"

namespace PS {

class TableCellInternals : public objc::Internals<TableCellInternals, TableCell> {
  public:
    OBJC_IVAR(_type, long)
};

} // namespace PS
