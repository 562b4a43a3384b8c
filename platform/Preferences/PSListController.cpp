#include "Preferences/PSListController.hpp"

#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using objc::operator""_sel;

Class listControllerClass() { return objc_lookUpClass("PSListController"); }

id str(const char* text) {
    return objc::send<id>(objc_lookUpClass("NSString"), "stringWithUTF8String:"_sel, text);
}
bool isKind(id object, const char* cls) {
    return objc::send<bool>(object, "isKindOfClass:"_sel, objc_lookUpClass(cls));
}
id property(id specifier, const char* key) {
    return objc::send<id>(specifier, "propertyForKey:"_sel, str(key));
}
unsigned long count(id list) { return objc::send<unsigned long>(list, "count"_sel); }
id at(id list, unsigned long i) { return objc::send<id>(list, "objectAtIndex:"_sel, i); }

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
SEL selectorNamed(id entry, const char* what, SEL fallback) {
    const char* name = objc::send<const char*>(isKind(entry, "NSString") ? entry : nil, "UTF8String"_sel);
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
id titlesFor(id values, id titles) {
    if (!isKind(values, "NSArray") || !isKind(titles, "NSArray") || count(values) != count(titles)) {
        return nil;
    }
    id dictionary = objc::send<id>(objc_lookUpClass("NSMutableDictionary"), "dictionary"_sel);
    for (unsigned long i = 0; i < count(values); ++i) {
        objc::send(dictionary, "setObject:forKey:"_sel, at(titles, i), at(values, i));
    }
    return dictionary;
}

id specifierFromEntry(id entry, id target) {
    id cellName = objc::send<id>(entry, "objectForKey:"_sel, str("cell"));
    long type = isKind(cellName, "NSString")
                    ? PS::TableCell::cellTypeFromString(reinterpret_cast<NS::String*>(cellName))
                    : -1;
    if (type < 0) {
        type = PS::StaticTextCell;
    }
    SEL get = nullptr;
    SEL set = nullptr;
    if (PS::isControl(type)) {
        get = "readPreferenceValue:"_sel;
        set = "setPreferenceValue:specifier:"_sel;
    }
    get = selectorNamed(objc::send<id>(entry, "objectForKey:"_sel, str("get")), "get", get);
    set = selectorNamed(objc::send<id>(entry, "objectForKey:"_sel, str("set")), "set", set);

    id label = objc::send<id>(entry, "objectForKey:"_sel, str("label"));
    id detailName = objc::send<id>(entry, "objectForKey:"_sel, str("detail"));
    Class detail = Nil;
    if (isKind(detailName, "NSString")) {
        detail = objc_lookUpClass(objc::send<const char*>(detailName, "UTF8String"_sel));
    }
    id specifier = objc::send<id>(
        objc_lookUpClass("PSSpecifier"), "preferenceSpecifierNamed:target:set:get:detail:cell:edit:"_sel,
        isKind(label, "NSString") ? label : nil, target, set, get, detail, type, 0L);
    objc::send(specifier, "setProperties:"_sel, entry);
    if (id action = objc::send<id>(entry, "objectForKey:"_sel, str("action")); isKind(action, "NSString")) {
        objc::send(specifier, "setButtonAction:"_sel, selectorNamed(action, "action", nullptr));
    }
    id values = objc::send<id>(entry, "objectForKey:"_sel, str("validValues"));
    objc::send(specifier, "setTitleDictionary:"_sel,
               titlesFor(values, objc::send<id>(entry, "objectForKey:"_sel, str("validTitles"))));
    objc::send(specifier, "setShortTitleDictionary:"_sel,
               titlesFor(values, objc::send<id>(entry, "objectForKey:"_sel, str("shortTitles"))));
    return specifier;
}

id loadSpecifiersFromPlistName(id self, SEL, id name, id target) {
    id bundle = objc::send<id>(self, "bundle"_sel);
    id path = objc::send<id>(bundle, "pathForResource:ofType:"_sel, name, str("plist"));
    id plist = path != nil ? objc::send<id>(objc_lookUpClass("NSDictionary"),
                                            "dictionaryWithContentsOfFile:"_sel, path)
                           : nil;
    id items = objc::send<id>(plist, "objectForKey:"_sel, str("items"));
    if (!isKind(items, "NSArray")) {
        return nil;
    }
    id result = objc::send<id>(objc_lookUpClass("NSMutableArray"), "array"_sel);
    for (unsigned long i = 0; i < count(items); ++i) {
        if (id entry = at(items, i); isKind(entry, "NSDictionary")) {
            objc::send(result, "addObject:"_sel, specifierFromEntry(entry, target));
        }
    }
    return result;
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
    id list = nil; // retained, so that no other list can come to have its address
    unsigned long count = 0;
    std::vector<Section> sections;
};

SectionIndex*& indexField(id self) {
    static const std::ptrdiff_t offset =
        ivar_getOffset(class_getInstanceVariable(listControllerClass(), "_sectionIndex"));
    return *reinterpret_cast<SectionIndex**>(reinterpret_cast<char*>(self) + offset);
}

void forgetSections(id self) {
    if (SectionIndex* index = indexField(self)) {
        objc::send(index->list, "release"_sel);
        delete index;
        indexField(self) = nullptr;
    }
}

// The pane's rows by section, asked of the pane itself so that its override of `specifiers` fills
// them; worked out again only when it gives another list or the list's length changed.
const SectionIndex& sectionsOf(id self) {
    // First, for a pane may fill its rows through setSpecifiers:, which starts the index afresh.
    id list = objc::send<id>(self, "specifiers"_sel);
    const unsigned long n = count(list);
    SectionIndex*& index = indexField(self);
    if (index == nullptr) {
        index = new SectionIndex();
    } else if (list == index->list && n == index->count) {
        return *index;
    }
    objc::send<id>(list, "retain"_sel);
    objc::send(index->list, "release"_sel);
    index->list = list;
    index->count = n;
    index->sections.clear();
    for (unsigned long i = 0; i < n; ++i) {
        if (objc::send<long>(at(list, i), "cellType"_sel) == PS::GroupCell) {
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

id groupOf(const SectionIndex& index, const Section* s) {
    return s != nullptr && s->group >= 0 ? at(index.list, static_cast<unsigned long>(s->group)) : nil;
}

long numberOfSections(id self, SEL, id) { return static_cast<long>(sectionsOf(self).sections.size()); }

long numberOfRows(id self, SEL, id, long section) {
    const Section* s = sectionAt(sectionsOf(self), section);
    return s != nullptr ? static_cast<long>(s->end - s->first) : 0;
}

id specifierAtIndexPath(id self, SEL, id indexPath) {
    if (indexPath == nil) {
        return nil;
    }
    const long section = objc::send<long>(indexPath, "section"_sel);
    const long row = objc::send<long>(indexPath, "row"_sel);
    const SectionIndex& index = sectionsOf(self);
    const Section* s = sectionAt(index, section);
    if (s == nullptr || row < 0 || static_cast<unsigned long>(row) >= s->end - s->first) {
        return nil;
    }
    return at(index.list, s->first + static_cast<unsigned long>(row));
}

id titleForHeader(id self, SEL, id, long section) {
    const SectionIndex& index = sectionsOf(self);
    return objc::send<id>(groupOf(index, sectionAt(index, section)), "name"_sel);
}

id titleForFooter(id self, SEL, id, long section) {
    const SectionIndex& index = sectionsOf(self);
    id group = groupOf(index, sectionAt(index, section));
    // The table shows the footer as text; a specifier file may hold anything there.
    id footer = group != nil ? property(group, "footerText") : nil;
    return isKind(footer, "NSString") ? footer : nil;
}

id noView(id, SEL, id, long) { return nil; }
double automaticHeight(id, SEL, id, long) { return UI::TableViewAutomaticDimension; }

// The cell class a row names in `cellClass`, when it is one of the host's cells; else the host's own.
Class cellClassFor(id specifier) {
    id name = property(specifier, "cellClass");
    Class named =
        isKind(name, "NSString") ? objc_lookUpClass(objc::send<const char*>(name, "UTF8String"_sel)) : Nil;
    if (named != Nil && objc::send<bool>(named, "isSubclassOfClass:"_sel, objc_lookUpClass("PSTableCell"))) {
        return named;
    }
    return objc_lookUpClass("PSTableCell");
}

id cellForRow(id self, SEL, id, id indexPath) {
    id specifier = objc::send<id>(self, "specifierAtIndexPath:"_sel, indexPath);
    if (specifier == nil) {
        return nil;
    }
    const long type = objc::send<long>(specifier, "cellType"_sel);
    const long style = PS::isControl(type) ? UI::TableViewCellStyleValue1 : UI::TableViewCellStyleDefault;
    id cell = objc::send<id>(objc::send<id>(cellClassFor(specifier), "alloc"_sel),
                             "initWithStyle:reuseIdentifier:specifier:"_sel, style,
                             property(specifier, "cell"), specifier);
    id target = objc::send<id>(specifier, "target"_sel);
    SEL getter = objc::send<SEL>(specifier, "getter"_sel);
    if (getter != nullptr && objc::send<bool>(target, "respondsToSelector:"_sel, getter)) {
        objc::send(cell, "setValue:"_sel, objc::send<id>(target, getter, specifier));
    }
    return objc::send<id>(cell, "autorelease"_sel);
}

// A selector that names its arguments with colons takes the specifier; one without takes none.
void sendAction(id target, SEL action, id specifier) {
    const std::string name = sel_getName(action);
    if (name.find(':') != std::string::npos) {
        objc::send(target, action, specifier);
    } else {
        objc::send(target, action);
    }
}

void didSelectRow(id self, SEL, id, id indexPath) {
    id specifier = objc::send<id>(self, "specifierAtIndexPath:"_sel, indexPath);
    if (specifier == nil) {
        return;
    }
    SEL action = objc::send<SEL>(specifier, "buttonAction"_sel);
    id target = objc::send<id>(specifier, "target"_sel);
    if (action != nullptr) {
        if (objc::send<bool>(target, "respondsToSelector:"_sel, action)) {
            sendAction(target, action, specifier);
        }
        return;
    }
    Class detail = objc::send<Class>(specifier, "detailControllerClass"_sel);
    // A specifier file may name any class; only a view controller can be shown.
    if (detail == Nil ||
        !objc::send<bool>(detail, "isSubclassOfClass:"_sel, objc_lookUpClass("UIViewController"))) {
        return;
    }
    id child = objc::send<id>(objc::send<id>(detail, "alloc"_sel), "init"_sel);
    if (objc::send<bool>(child, "isKindOfClass:"_sel, listControllerClass())) {
        objc::send(child, "setBundle:"_sel, objc::send<id>(self, "bundle"_sel));
        objc::send(child, "setParentController:"_sel, self);
        objc::send(child, "setSpecifier:"_sel, specifier);
    }
    objc::send(self, "pushController:"_sel, child);
    objc::send(child, "release"_sel);
}

// ---- The host's own value storage ---------------------------------------------------------

// The file of a defaults domain, in the user's preferences folder.
id domainPath(id domain) {
    const char* home = std::getenv("HOME");
    std::string path = std::string(home != nullptr && *home != '\0' ? home : "/var/mobile") +
                       "/Library/Preferences/" + objc::send<const char*>(domain, "UTF8String"_sel) + ".plist";
    return str(path.c_str());
}

id readPreferenceValue(id self, SEL, id specifier) {
    id key = property(specifier, "key");
    id domain = property(specifier, "defaults");
    id value = nil;
    if (key != nil && isKind(domain, "NSString")) {
        id stored = objc::send<id>(objc_lookUpClass("NSDictionary"), "dictionaryWithContentsOfFile:"_sel,
                                   domainPath(domain));
        value = objc::send<id>(stored, "objectForKey:"_sel, key);
    } else if (key != nil) {
        value = objc::send<id>(objc::ivar<id>(self, "_values"), "objectForKey:"_sel, key);
    }
    return value != nil ? value : property(specifier, "default");
}

void setPreferenceValue(id self, SEL, id value, id specifier) {
    id key = property(specifier, "key");
    if (key == nil || value == nil) {
        return;
    }
    id domain = property(specifier, "defaults");
    if (isKind(domain, "NSString")) {
        id path = domainPath(domain);
        id stored = objc::send<id>(objc_lookUpClass("NSMutableDictionary"), "dictionary"_sel);
        objc::send(
            stored, "addEntriesFromDictionary:"_sel,
            objc::send<id>(objc_lookUpClass("NSDictionary"), "dictionaryWithContentsOfFile:"_sel, path));
        objc::send(stored, "setObject:forKey:"_sel, value, key);
        objc::send<bool>(stored, "writeToFile:atomically:"_sel, path, true);
    } else {
        id values = objc::ivar<id>(self, "_values");
        if (values == nil) {
            values = objc::send<id>(objc::send<id>(objc_lookUpClass("NSMutableDictionary"), "alloc"_sel),
                                    "init"_sel);
            objc::setIvar<id>(self, "_values", values);
        }
        objc::send(values, "setObject:forKey:"_sel, value, key);
    }
    if (id name = property(specifier, "PostNotification"); isKind(name, "NSString")) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                             reinterpret_cast<CFStringRef>(name), nullptr, nullptr, true);
    }
}

// ---- View controller -----------------------------------------------------------------------

id specifiers(id self, SEL) { return objc::ivar<id>(self, "_specifiers"); }

void setSpecifiers(id self, SEL, id list) {
    objc::send<id>(list, "retain"_sel);
    objc::send(objc::ivar<id>(self, "_specifiers"), "release"_sel);
    objc::setIvar<id>(self, "_specifiers", list);
    forgetSections(self);
}

id specifier(id self, SEL) { return objc::ivar<id>(self, "_specifier"); }

void setSpecifier(id self, SEL, id specifier) {
    objc::send<id>(specifier, "retain"_sel);
    objc::send(objc::ivar<id>(self, "_specifier"), "release"_sel);
    objc::setIvar<id>(self, "_specifier", specifier);
    objc::send(self, "setTitle:"_sel, objc::send<id>(specifier, "name"_sel));
}

void loadView(id self, SEL) {
    id table = objc::send<id>(objc::send<id>(objc_lookUpClass("UITableView"), "alloc"_sel),
                              "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568));
    objc::send(table, "setDataSource:"_sel, self);
    objc::send(table, "setDelegate:"_sel, self);
    objc::send(objc::ivar<id>(self, "_table"), "release"_sel);
    objc::setIvar<id>(self, "_table", table); // takes the ownership that alloc gave
    objc::send(self, "setView:"_sel, table);
}

void pushController(id self, SEL, id controller) {
    objc::send(objc::send<id>(self, "navigationController"_sel), "pushViewController:animated:"_sel,
               controller, true);
}

void dealloc(id self, SEL sel) {
    // The table may outlive the pane in someone else's hands; it must not call back into it.
    id table = objc::ivar<id>(self, "_table");
    objc::send(table, "setDataSource:"_sel, nil);
    objc::send(table, "setDelegate:"_sel, nil);
    forgetSections(self);
    objc::sendSuper(listControllerClass(), self, sel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("PSListController", "UIViewController")
        // The pane's rows, owned; panes fill it straight from `specifiers`.
        .ivar<id>("_specifiers", objc::Ownership::Owning)
        .ivar<id>("_specifier", objc::Ownership::Owning)
        .ivar<id>("_values", objc::Ownership::Owning)
        .ivar<void*>("_sectionIndex")
        .property<id>("table")
        .property<id>("bundle")
        .property<id>("parentController", objc::Ownership::Plain)
        .method<&specifiers>("specifiers")
        .method<&setSpecifiers>("setSpecifiers:")
        .method<&loadSpecifiersFromPlistName>("loadSpecifiersFromPlistName:target:")
        .method<&specifier>("specifier")
        .method<&setSpecifier>("setSpecifier:")
        .method<&readPreferenceValue>("readPreferenceValue:")
        .method<&setPreferenceValue>("setPreferenceValue:specifier:")
        .method<&loadView>("loadView")
        .method<&pushController>("pushController:")
        .method<&numberOfSections>("numberOfSectionsInTableView:")
        .method<&numberOfRows>("tableView:numberOfRowsInSection:")
        .method<&specifierAtIndexPath>("specifierAtIndexPath:")
        .method<&cellForRow>("tableView:cellForRowAtIndexPath:")
        .method<&titleForHeader>("tableView:titleForHeaderInSection:")
        .method<&titleForFooter>("tableView:titleForFooterInSection:")
        .method<&noView>("tableView:viewForHeaderInSection:")
        .method<&noView>("tableView:viewForFooterInSection:")
        .method<&automaticHeight>("tableView:heightForHeaderInSection:")
        .method<&automaticHeight>("tableView:heightForFooterInSection:")
        .method<&didSelectRow>("tableView:didSelectRowAtIndexPath:")
        .method<&dealloc>("dealloc")
        .build();
}

} // namespace
