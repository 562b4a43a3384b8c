// What the stand-in keeps in each PSTableCell beside what iOS declares: its instance variables.
#pragma once

#include "Preferences/PSTableCell.hpp"
#include "objc/Internals.hpp"

namespace PS {

class TableCellInternals : public objc::Internals<TableCellInternals, TableCell> {
  public:
    OBJC_IVAR(_type, long)
};

} // namespace PS
