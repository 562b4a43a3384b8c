#include "Preferences/PSListController.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Preferences/PSListControllerInternals.hpp"
#include "Preferences/PSSpecifierInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSRowMessages.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using NS::literals::operator""_ns;
using PS::ListController;
using PS::ListControllerInternals;
using PS::Specifier;

objc::Ptr<NS::Object> property(objc::Ptr<Specifier> specifier, const char* key) {
    return specifier->propertyForKey(NS::String::string(key));
}

// ---- Rows of a specifier file --------------------------------------------------------------

// Selectors that free an object, keep it for good, or hand the caller a new one to own. Sent by a
// row to its target they would free the pane under the table or leak: no row may name them.
bool managesMemory(std::string_view name) {
    static constexpr std::string_view exact[] = {"retain",
                                                 "release",
                                                 "autorelease",
                                                 "dealloc",
                                                 "retainCount",
                                                 "finalize",
                                                 ".cxx_destruct",
                                                 ".cxx_construct",
                                                 "_tryRetain",
                                                 "_isDeallocating",
                                                 "zone",
                                                 "allowsWeakReference",
                                                 "retainWeakReference"};
    if (std::find(std::begin(exact), std::end(exact), name) != std::end(exact)) {
        return true;
    }
    // The families whose results the caller owns: the word, then anything but a lowercase letter.
    while (name.starts_with('_')) {
        name.remove_prefix(1);
    }
    for (std::string_view family : {"alloc", "new", "copy", "mutableCopy", "init"}) {
        if (name.starts_with(family) && (name.size() == family.size() ||
                                         !std::islower(static_cast<unsigned char>(name[family.size()])))) {
            return true;
        }
    }
    return false;
}

// The selector a row's entry names under `what`; `fallback` when it names none or one it may not.
SEL selectorNamed(objc::Ptr<NS::Object> entry, const char* what, SEL fallback) {
    const char* name = NS::cast<NS::String>(entry)->utf8String();
    if (name == nullptr || *name == '\0') {
        return fallback;
    }
    if (managesMemory(name)) {
        std::fprintf(stderr,
                     "PSListController: a row names \"%s\" as its %s; it manages memory, so it is not used\n",
                     name, what);
        return fallback;
    }
    return sel_registerName(name);
}

// value → title for the values a row offers, when both lists are there and of one length.
objc::Ptr<NS::Dictionary> titlesFor(objc::Ptr<NS::Object> values, objc::Ptr<NS::Object> titles) {
    auto valueList = NS::cast<NS::Array>(values);
    auto titleList = NS::cast<NS::Array>(titles);
    if (valueList == nullptr || titleList == nullptr || valueList->count() != titleList->count()) {
        return nullptr;
    }
    auto dictionary = NS::MutableDictionary::dictionary();
    for (unsigned long i = 0; i < valueList->count(); ++i) {
        dictionary->setObjectForKey(titleList->objectAtIndex(i), valueList->objectAtIndex(i));
    }
    return dictionary;
}

objc::Ptr<Specifier> specifierFromEntry(objc::Ptr<NS::Dictionary> entry, id target) {
    long type = PS::TableCell::cellTypeFromString(NS::cast<NS::String>(entry->objectForKey("cell"_ns)));
    if (type < 0) {
        type = PS::StaticTextCell;
    }
    SEL get = nullptr;
    SEL set = nullptr;
    if (PS::isControl(type)) {
        get = ListController::readPreferenceValue_.selector();
        set = ListController::setPreferenceValueSpecifier_.selector();
    }
    get = selectorNamed(entry->objectForKey("get"_ns), "get", get);
    set = selectorNamed(entry->objectForKey("set"_ns), "set", set);

    Class detail = Nil;
    if (auto detailName = NS::cast<NS::String>(entry->objectForKey("detail"_ns))) {
        detail = objc_lookUpClass(detailName->utf8String());
    }
    auto specifier = Specifier::preferenceSpecifier(NS::cast<NS::String>(entry->objectForKey("label"_ns)),
                                                    target, set, get, detail, type, 0L);
    specifier->setProperties(entry);
    if (auto action = NS::cast<NS::String>(entry->objectForKey("action"_ns))) {
        specifier->setButtonAction(selectorNamed(action, "action", nullptr));
    }
    auto values = entry->objectForKey("validValues"_ns);
    specifier->setTitleDictionary(titlesFor(values, entry->objectForKey("validTitles"_ns)));
    specifier->setShortTitleDictionary(titlesFor(values, entry->objectForKey("shortTitles"_ns)));
    return specifier;
}

// ---- Sections ------------------------------------------------------------------------------

struct Section {
    long group = -1; // the index of the group row that starts it; -1 for rows before any group
    unsigned long first = 0;
    unsigned long end = 0;
};

// A pane's sections, worked out once for the list they came from. They hold indexes, not rows, so a
// list changed in place never leaves one pointing at a row it let go.
struct SectionIndex {
    objc::Ref<NS::Array> list; // retained, so that no other list can come to have its address
    unsigned long count = 0;
    std::vector<Section> sections;
};

SectionIndex*& indexField(ListController* self) {
    return objc::storage<SectionIndex*>(self, ListControllerInternals::_sectionIndex);
}

void forgetSections(ListController* self) {
    std::unique_ptr<SectionIndex> gone(indexField(self));
    indexField(self) = nullptr;
}

// The pane's rows by section, asked of the pane itself so that its override of `specifiers` fills
// them; worked out again only when it gives another list or the list's length changed.
const SectionIndex& sectionsOf(ListController* self) {
    // First, for a pane may fill its rows through setSpecifiers:, which starts the index afresh.
    auto list = self->specifiers();
    const unsigned long n = list->count();
    SectionIndex*& index = indexField(self);
    if (index == nullptr) {
        index = new SectionIndex();
    } else if (list.get() == index->list.get().get() && n == index->count) {
        return *index;
    }
    index->list = objc::retain(list);
    index->count = n;
    index->sections.clear();
    for (unsigned long i = 0; i < n; ++i) {
        if (list->objectAtIndex(i).as<Specifier>()->cellType() == PS::GroupCell) {
            index->sections.push_back(Section{static_cast<long>(i), i + 1, i + 1});
            continue;
        }
        if (index->sections.empty()) {
            index->sections.push_back(Section{-1, i, i});
        }
        index->sections.back().end = i + 1;
    }
    return *index;
}

const Section* sectionAt(const SectionIndex& index, long section) {
    return section >= 0 && static_cast<std::size_t>(section) < index.sections.size()
               ? &index.sections[static_cast<std::size_t>(section)]
               : nullptr;
}

objc::Ptr<Specifier> groupOf(const SectionIndex& index, const Section* s) {
    if (s == nullptr || s->group < 0) {
        return nullptr;
    }
    return index.list->objectAtIndex(static_cast<unsigned long>(s->group)).as<Specifier>();
}

// The cell class a row names in `cellClass`, when it is one of the host's cells; else the host's own.
Class cellClassFor(objc::Ptr<Specifier> specifier) {
    auto name = NS::cast<NS::String>(property(specifier, "cellClass"));
    Class named = name != nullptr ? objc_lookUpClass(name->utf8String()) : Nil;
    if (named != Nil && NS::RootObject::isSubclassOfClass_.send(named, PS::TableCell::runtimeClass())) {
        return named;
    }
    return PS::TableCell::runtimeClass();
}

// Rows of one type share their cells.
objc::Ptr<NS::String> reuseIdentifierFor(objc::Ptr<Specifier> specifier) {
    return PS::TableCell::stringFromCellType(specifier->cellType());
}

// Whether a cell of `cellClass` can show another row than the one it was made for: the host's own
// can, and a custom class that says how to refresh its contents. Others show what they read from
// their row when they were made, and are made anew.
bool showsAnotherRow(Class cellClass) {
    const SEL refresh = PS::TableCell::refreshCellContentsWithSpecifier_.selector();
    const Class host = PS::TableCell::runtimeClass();
    return cellClass == host ||
           class_getMethodImplementation(cellClass, refresh) != class_getMethodImplementation(host, refresh);
}

// A cell that left the table's view, taken back to show a row of `cellClass` in `style`; nil when
// none fits. One that does not fit is let go.
objc::Ptr<PS::TableCell> reusableCell(objc::Ptr<UI::TableView> table, objc::Ptr<NS::String> identifier,
                                      Class cellClass, long style) {
    if (!showsAnotherRow(cellClass)) {
        return nullptr;
    }
    auto reused = NS::cast<PS::TableCell>(table->dequeueReusableCellWithIdentifier(identifier));
    if (reused == nullptr || reused->getClass() != cellClass || reused->style() != style) {
        return nullptr;
    }
    return reused;
}

// True when the row's target has a method for its `message` that takes what the host passes; else
// says on standard error why the row's selector is not sent.
bool maySend(objc::Ptr<Specifier> specifier, PS::RowMessage message) {
    const std::string why = PS::refusalToSend(specifier, message);
    if (why.empty()) {
        return true;
    }
    std::fprintf(stderr, "PSListController: row %s: %s, so it is not sent\n", PS::rowName(specifier).c_str(),
                 why.c_str());
    return false;
}

// A row's action is a selector its specifier file names, so no view declares it: it is sent as
// named, once maySend has found it fit. One that names its arguments with colons takes the
// specifier; one without takes none.
void sendAction(id target, SEL action, objc::Ptr<Specifier> specifier) {
    const std::string name = sel_getName(action);
    if (name.find(':') != std::string::npos) {
        objc::send(target, action, specifier.get());
    } else {
        objc::send(target, action);
    }
}

// ---- The host's own value storage ---------------------------------------------------------

// The file of a defaults domain, in the user's preferences folder.
objc::Ptr<NS::String> domainPath(objc::Ptr<NS::String> domain) {
    const char* home = std::getenv("HOME");
    const std::string path = std::string(home != nullptr && *home != '\0' ? home : "/var/mobile") +
                             "/Library/Preferences/" + domain->str() + ".plist";
    return NS::String::string(path);
}

// The values of a pane that names no defaults domain; nil until the first is stored.
objc::Ptr<NS::MutableDictionary> storedValues(ListController* self) {
    return objc::ivar(self, PS::ListControllerInternals::_values);
}

UI::View* noView(ListController*, UI::TableView*, long) { return nullptr; }

double automaticHeight(ListController*, UI::TableView*, long) { return UI::TableViewAutomaticDimension; }

NS::Array* specifiers(ListController* self) { return objc::ivar(self, PS::ListController::_specifiers); }

void setSpecifiers(ListController* self, NS::Array* list) {
    objc::storeOwned(self, PS::ListController::_specifiers, list);
    forgetSections(self);
}

NS::Array* loadSpecifiersFromPlistNameTarget(ListController* self, NS::String* name, id target) {
    auto path = self->bundle()->pathForResource(name, "plist"_ns);
    if (path == nullptr) {
        return nullptr;
    }
    auto items =
        NS::cast<NS::Array>(NS::Dictionary::dictionaryWithContentsOfFile(path)->objectForKey("items"_ns));
    if (items == nullptr) {
        return nullptr;
    }
    auto result = NS::MutableArray::array();
    for (NS::Object* entry : items) {
        if (auto row = NS::cast<NS::Dictionary>(entry)) {
            result->addObject(specifierFromEntry(row, target));
        }
    }
    return result;
}

Specifier* specifier(ListController* self) {
    return objc::ivar(self, PS::ListControllerInternals::_specifier);
}

void setSpecifier(ListController* self, objc::Ptr<Specifier> specifier) {
    objc::storeOwned(self, PS::ListControllerInternals::_specifier, specifier);
    self->setTitle(specifier->name());
}

NS::Object* readPreferenceValue(ListController* self, objc::Ptr<Specifier> specifier) {
    auto key = property(specifier, "key");
    objc::Ptr<NS::Object> value;
    if (auto domain = NS::cast<NS::String>(property(specifier, "defaults"));
        key != nullptr && domain != nullptr) {
        value = NS::Dictionary::dictionaryWithContentsOfFile(domainPath(domain))->objectForKey(key);
    } else if (key != nullptr) {
        value = storedValues(self)->objectForKey(key);
    }
    return value != nullptr ? value : property(specifier, "default");
}

void setPreferenceValueSpecifier(ListController* self, objc::Ptr<NS::Object> value,
                                 objc::Ptr<Specifier> specifier) {
    auto key = property(specifier, "key");
    if (key == nullptr || value == nullptr) {
        return;
    }
    if (auto domain = NS::cast<NS::String>(property(specifier, "defaults"))) {
        auto path = domainPath(domain);
        auto stored = NS::MutableDictionary::dictionary();
        stored->addEntriesFromDictionary(NS::Dictionary::dictionaryWithContentsOfFile(path));
        stored->setObjectForKey(value, key);
        stored->writeToFile(path, true);
    } else {
        auto values = storedValues(self);
        if (values == nullptr) {
            // The ivar takes the ownership that alloc gave.
            values = NS::MutableDictionary::alloc()->init();
            objc::setIvar(self, PS::ListControllerInternals::_values, values);
        }
        values->setObjectForKey(value, key);
    }
    if (auto name = NS::cast<NS::String>(property(specifier, "PostNotification"))) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                             reinterpret_cast<CFStringRef>(name.get()), nullptr, nullptr,
                                             true);
    }
}

void loadView(ListController* self) {
    // The Settings app's panes are grouped tables, as large as the screen.
    auto table = objc::adopt(UI::TableView::alloc()->initWithFrameStyle(UI::Screen::mainScreen()->bounds(),
                                                                        UI::UITableViewStyleGrouped));
    table->setDataSource(self->self());
    table->setDelegate(self->self());
    objc::storeOwned(self, ListControllerInternals::_table, table.get());
    self->setView(table);
}

void pushController(ListController* self, UI::ViewController* controller) {
    self->navigationController()->pushViewController(controller, true);
}

long numberOfSectionsInTableView(ListController* self, UI::TableView*) {
    return static_cast<long>(sectionsOf(self).sections.size());
}

long tableViewNumberOfRowsInSection(ListController* self, UI::TableView*, long section) {
    const Section* s = sectionAt(sectionsOf(self), section);
    return s != nullptr ? static_cast<long>(s->end - s->first) : 0;
}

Specifier* specifierAtIndexPath(ListController* self, objc::Ptr<NS::IndexPath> indexPath) {
    if (indexPath == nullptr) {
        return nullptr;
    }
    const long section = indexPath->section();
    const long row = indexPath->row();
    const SectionIndex& index = sectionsOf(self);
    const Section* s = sectionAt(index, section);
    if (s == nullptr || row < 0 || static_cast<unsigned long>(row) >= s->end - s->first) {
        return nullptr;
    }
    return index.list->objectAtIndex(s->first + static_cast<unsigned long>(row)).as<Specifier>();
}

UI::TableViewCell* tableViewCellForRowAtIndexPath(ListController* self, UI::TableView* table,
                                                  NS::IndexPath* indexPath) {
    auto specifier = self->specifierAtIndexPath(indexPath);
    if (specifier == nullptr) {
        return nullptr;
    }
    const long style =
        PS::isControl(specifier->cellType()) ? UI::TableViewCellStyleValue1 : UI::TableViewCellStyleDefault;
    const Class cellClass = cellClassFor(specifier);
    auto identifier = reuseIdentifierFor(specifier);
    objc::Ptr<PS::TableCell> cell = reusableCell(table, identifier, cellClass, style);
    if (cell != nullptr) {
        cell->refreshCellContentsWithSpecifier(specifier);
    } else {
        cell =
            PS::TableCell::alloc_.send(cellClass)->initWithStyle(style, identifier, specifier)->autorelease();
    }
    id target = specifier->target();
    SEL getter = specifier->getter();
    if (getter != nullptr && NS::Object::respondsToSelector_.send(target, getter) &&
        maySend(specifier, PS::RowMessage::Getter)) {
        // The getter is the one the row names, perhaps in its specifier file: no
        // view declares it, so it is sent as named.
        cell->setValue(objc::send<NS::Object*>(target, getter, specifier.get()));
    }
    return cell;
}

NS::String* tableViewTitleForHeaderInSection(ListController* self, UI::TableView*, long section) {
    const SectionIndex& index = sectionsOf(self);
    return groupOf(index, sectionAt(index, section))->name();
}

NS::String* tableViewTitleForFooterInSection(ListController* self, UI::TableView*, long section) {
    const SectionIndex& index = sectionsOf(self);
    // The table shows the footer as text; a specifier file may hold anything there.
    return NS::cast<NS::String>(property(groupOf(index, sectionAt(index, section)), "footerText"));
}

double tableViewHeightForRowAtIndexPath(ListController* self, UI::TableView*, NS::IndexPath* indexPath) {
    auto height = NS::cast<NS::Number>(property(self->specifierAtIndexPath(indexPath), "height"));
    const double asked = height->doubleValue();
    return std::isfinite(asked) && asked > 0 ? asked : UI::TableViewAutomaticDimension;
}

void tableViewDidSelectRowAtIndexPath(ListController* self, UI::TableView*, NS::IndexPath* indexPath) {
    auto specifier = self->specifierAtIndexPath(indexPath);
    if (specifier == nullptr) {
        return;
    }
    id target = specifier->target();
    if (SEL action = specifier->buttonAction(); action != nullptr) {
        if (NS::Object::respondsToSelector_.send(target, action) &&
            maySend(specifier, PS::RowMessage::Action)) {
            sendAction(target, action, specifier);
        }
        return;
    }
    Class detail = specifier->detailControllerClass();
    // A specifier file may name any class; only a view controller can be shown.
    if (detail == Nil ||
        !NS::RootObject::isSubclassOfClass_.send(detail, UI::ViewController::runtimeClass())) {
        return;
    }
    auto child = objc::adopt(UI::ViewController::alloc_.send(detail)->init());
    if (auto pane = NS::cast<ListController>(child.get())) {
        pane->setBundle(self->bundle());
        pane->setParentController(self);
        pane->setSpecifier(specifier);
    }
    self->pushController(child);
}

void dealloc(ListController* self) {
    // The table may outlive the pane in someone else's hands; it must not call back into it.
    auto table = self->table();
    table->setDataSource(nil);
    table->setDelegate(nil);
    forgetSections(self);
    NS::Object::dealloc_.super<ListController>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ListController>()
        .ivar(ListController::_specifiers)
        .ivar(ListControllerInternals::_specifier)
        .ivar(ListControllerInternals::_values)
        .ivar(ListControllerInternals::_sectionIndex)
        .property(ListControllerInternals::_table)
        .property<NS::Bundle*>("bundle")
        .property<ListController*>("parentController", objc::Ownership::Plain)
        .method<&specifiers>(ListController::specifiers_)
        .method<&setSpecifiers>(ListController::setSpecifiers_)
        .method<&loadSpecifiersFromPlistNameTarget>(ListController::loadSpecifiersFromPlistNameTarget_)
        .method<&specifier>(ListController::specifier_)
        .method<&setSpecifier>(ListController::setSpecifier_)
        .method<&readPreferenceValue>(ListController::readPreferenceValue_)
        .method<&setPreferenceValueSpecifier>(ListController::setPreferenceValueSpecifier_)
        .method<&loadView>(UI::ViewController::loadView_)
        .method<&pushController>(ListController::pushController_)
        .method<&numberOfSectionsInTableView>(ListController::numberOfSectionsInTableView_)
        .method<&tableViewNumberOfRowsInSection>(ListController::tableViewNumberOfRowsInSection_)
        .method<&specifierAtIndexPath>(ListController::specifierAtIndexPath_)
        .method<&tableViewCellForRowAtIndexPath>(ListController::tableViewCellForRowAtIndexPath_)
        .method<&tableViewTitleForHeaderInSection>(ListController::tableViewTitleForHeaderInSection_)
        .method<&tableViewTitleForFooterInSection>(ListController::tableViewTitleForFooterInSection_)
        .method<&noView>(ListController::tableViewViewForHeaderInSection_)
        .method<&noView>(ListController::tableViewViewForFooterInSection_)
        .method<&automaticHeight>(ListController::tableViewHeightForHeaderInSection_)
        .method<&automaticHeight>(ListController::tableViewHeightForFooterInSection_)
        .method<&tableViewHeightForRowAtIndexPath>(ListController::tableViewHeightForRowAtIndexPath_)
        .method<&tableViewDidSelectRowAtIndexPath>(ListController::tableViewDidSelectRowAtIndexPath_)
        .method<&dealloc>(NS::Object::dealloc_)
        .build();
}

} // namespace
