// What the stand-in keeps in each PSListController beside what iOS declares: its instance variables.
#pragma once

#include "Preferences/PSListController.hpp"
#include "objc/Internals.hpp"

namespace PS {

class ListControllerInternals : public objc::Internals<ListControllerInternals, ListController> {
  public:
    OBJC_IVAR(_specifier, Specifier*, Owning)
    OBJC_IVAR(_values, NS::MutableDictionary*, Owning)
    OBJC_IVAR(_sectionIndex, void*)
    OBJC_IVAR(_table, UI::TableView*, Owning)
};

} // namespace PS
