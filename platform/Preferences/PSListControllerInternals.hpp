// The inner workings of PSListController: what the stand-in keeps and does beside what iOS declares.
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
