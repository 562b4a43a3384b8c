// PSListController: a pane of the Settings app, a view controller showing rows made from specifiers.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
class Bundle;
class String;
class IndexPath;
} // namespace NS

namespace UI {
class TableView;
class TableViewCell;
class View;
} // namespace UI

namespace PS {

class Specifier;

class GLINTMERE_EXPORT ListController
    : public NS::Referencing<ListController, "PSListController", UI::ViewController> {
  public:
    // The pane's rows. The host's own version returns the field `_specifiers` (nil until a pane
    // fills it); panes override it to fill the field on first use.
    NS::Array* specifiers() { return objc::send<NS::Array*>(this, objc::Selector<"specifiers">()); }
    // Replaces the rows (the field takes its own ownership).
    void setSpecifiers(NS::Array* specifiers) {
        objc::send<void>(this, objc::Selector<"setSpecifiers:">(), specifiers);
    }
    // The rows of "<name>.plist" in the pane's bundle, autoreleased, with `target` as every row's
    // target; nil when the file is missing or holds no `items` array.
    NS::Array* loadSpecifiersFromPlistName(NS::String* name, id target) {
        return objc::send<NS::Array*>(this, objc::Selector<"loadSpecifiersFromPlistName:target:">(), name,
                                      target);
    }

    // The bundle the pane came from; a pane opened from a link row gets its parent's.
    NS::Bundle* bundle() { return objc::send<NS::Bundle*>(this, objc::Selector<"bundle">()); }
    void setBundle(NS::Bundle* bundle) { objc::send<void>(this, objc::Selector<"setBundle:">(), bundle); }
    // The row that opened the pane; setting it titles the pane after the row.
    Specifier* specifier() { return objc::send<Specifier*>(this, objc::Selector<"specifier">()); }
    void setSpecifier(Specifier* specifier) {
        objc::send<void>(this, objc::Selector<"setSpecifier:">(), specifier);
    }
    ListController* parentController() {
        return objc::send<ListController*>(this, objc::Selector<"parentController">());
    }
    void setParentController(ListController* parent) {
        objc::send<void>(this, objc::Selector<"setParentController:">(), parent);
    }

    // The host's own value storage: the defaults domain named by the specifier's `defaults`
    // property, or the pane's memory when it names none. Panes override both.
    NS::Object* readPreferenceValue(Specifier* specifier) {
        return objc::send<NS::Object*>(this, objc::Selector<"readPreferenceValue:">(), specifier);
    }
    void setPreferenceValue(NS::Object* value, Specifier* specifier) {
        objc::send<void>(this, objc::Selector<"setPreferenceValue:specifier:">(), value, specifier);
    }

    // The pane's table: its view, made by loadView.
    UI::TableView* table() { return objc::send<UI::TableView*>(this, objc::Selector<"table">()); }
    // Shows `controller` on top of this pane in the navigation controller.
    void pushController(UI::ViewController* controller) {
        objc::send<void>(this, objc::Selector<"pushController:">(), controller);
    }

    // The table callbacks. Sections start at each group row; rows before the first group make a
    // section without a header.
    long numberOfSections(UI::TableView* table) {
        return objc::send<long>(this, objc::Selector<"numberOfSectionsInTableView:">(), table);
    }
    long numberOfRows(UI::TableView* table, long section) {
        return objc::send<long>(this, objc::Selector<"tableView:numberOfRowsInSection:">(), table, section);
    }
    UI::TableViewCell* cellForRow(UI::TableView* table, NS::IndexPath* indexPath) {
        return objc::send<UI::TableViewCell*>(this, objc::Selector<"tableView:cellForRowAtIndexPath:">(),
                                              table, indexPath);
    }
    NS::String* titleForHeader(UI::TableView* table, long section) {
        return objc::send<NS::String*>(this, objc::Selector<"tableView:titleForHeaderInSection:">(), table,
                                       section);
    }
    NS::String* titleForFooter(UI::TableView* table, long section) {
        return objc::send<NS::String*>(this, objc::Selector<"tableView:titleForFooterInSection:">(), table,
                                       section);
    }
    UI::View* viewForHeader(UI::TableView* table, long section) {
        return objc::send<UI::View*>(this, objc::Selector<"tableView:viewForHeaderInSection:">(), table,
                                     section);
    }
    UI::View* viewForFooter(UI::TableView* table, long section) {
        return objc::send<UI::View*>(this, objc::Selector<"tableView:viewForFooterInSection:">(), table,
                                     section);
    }
    double heightForHeader(UI::TableView* table, long section) {
        return objc::send<double>(this, objc::Selector<"tableView:heightForHeaderInSection:">(), table,
                                  section);
    }
    // A tap on the row: a button row sends its action to its target, a link row opens its pane.
    void didSelectRow(UI::TableView* table, NS::IndexPath* indexPath) {
        objc::send<void>(this, objc::Selector<"tableView:didSelectRowAtIndexPath:">(), table, indexPath);
    }
    // The row's specifier at an index path of the table; nullptr when there is none.
    Specifier* specifierAtIndexPath(NS::IndexPath* indexPath) {
        return objc::send<Specifier*>(this, objc::Selector<"specifierAtIndexPath:">(), indexPath);
    }
};

} // namespace PS
