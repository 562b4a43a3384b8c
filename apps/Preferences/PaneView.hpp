// What a pane shows a person, read through the table callbacks as the table view would.
#pragma once

#include "objc/Runtime.hpp"

#include <string>
#include <vector>

namespace NS {
class Object;
} // namespace NS

namespace PS {
class ListController;
class Specifier;
class TableCell;
} // namespace PS

namespace settings {

// A row as its cell showed it while it was in view: the table reuses the cell for other rows.
struct RowView {
    long section = 0;
    long row = 0;
    PS::Specifier* specifier = nullptr;
    std::string title;
    // The row as `list` prints it: title, then the control's shown value, e.g. "Enabled: on".
    std::string line;
    // The value the control showed; autoreleased, valid until the enclosing pool drains.
    NS::Object* value = nullptr;
};

struct SectionView {
    std::string header;                  // the group's title; empty when it has none
    std::vector<std::string> headerView; // texts of a custom header view: its class, then its labels
    std::vector<RowView> rows;
    std::string footer;
    std::vector<std::string> footerView;
};

// Every section and row of `pane` as its table shows them, asked of the pane again and scrolled
// through from the top as a person reads them, each row read from its cell while it is in view; loads
// its view first. The table is scrolled back to where it was.
std::vector<SectionView> readPane(PS::ListController* pane);

// A value as `get` prints it: true/false, a number, or the text itself; "(none)" for nil.
std::string valueText(NS::Object* value);

// The title a choice row shows for `value`: its short title, else its title, else the value.
std::string choiceTitle(PS::Specifier* specifier, NS::Object* value, bool preferShort);

// The lines `list` prints for a whole pane.
std::vector<std::string> paneLines(PS::ListController* pane);

} // namespace settings
