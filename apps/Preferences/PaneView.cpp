#include "PaneView.hpp"
#include "UIKit/UIScrollViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UITableView.hpp"

namespace settings {
namespace {

std::string text(NS::String* s) { return s != nullptr ? s->str() : std::string(); }

// Texts of the labels in `view` and its subviews, depth first, leaving out `except`.
void collectLabels(UI::View* view, std::vector<std::string>& texts,
                   const std::vector<UI::View*>& except = {}) {
    if (view == nullptr) {
        return;
    }
    bool skip = false;
    for (UI::View* e : except) {
        skip = skip || e == view;
    }
    if (!skip && view->isKindOfClass(UI::Label::runtimeClass())) {
        if (auto label = reinterpret_cast<UI::Label*>(view);
            label->text() != nullptr && label->text()->length() > 0) {
            texts.push_back(label->text()->str());
        }
    }
    for (NS::Object* child : *view->subviews()) {
        collectLabels(reinterpret_cast<UI::View*>(child), texts, except);
    }
}

std::vector<std::string> describeView(UI::View* view) {
    if (view == nullptr) {
        return {};
    }
    std::vector<std::string> parts = {class_getName(view->getClass())};
    collectLabels(view, parts);
    return parts;
}

} // namespace

std::string valueText(NS::Object* object) {
    if (object == nullptr) {
        return "(none)";
    }
    if (auto number = NS::cast<NS::Number>(object)) {
        if (number->isBoolean()) {
            return number->boolValue() ? "true" : "false";
        }
        return number->stringValue()->str();
    }
    if (auto string = NS::cast<NS::String>(object)) {
        return string->str();
    }
    return text(object->description());
}

namespace {

// What a switch shows for `value`: a number or a text as it reads, else the row's `default`, else
// off. A file may hold anything under the key; only these two mean on or off.
bool switchIsOn(PS::Specifier* specifier, NS::Object* value) {
    for (NS::Object* shown : {value, specifier->propertyForKey(NS::String::string("default")).get()}) {
        if (auto number = NS::cast<NS::Number>(shown)) {
            return number->boolValue();
        }
        if (auto string = NS::cast<NS::String>(shown)) {
            return string->boolValue();
        }
    }
    return false;
}

} // namespace

std::string choiceTitle(PS::Specifier* specifier, NS::Object* value, bool preferShort) {
    NS::Dictionary* titles[] = {specifier->shortTitleDictionary(), specifier->titleDictionary()};
    if (!preferShort) {
        std::swap(titles[0], titles[1]);
    }
    for (NS::Dictionary* dictionary : titles) {
        if (dictionary == nullptr || value == nullptr) {
            continue;
        }
        if (auto title = NS::cast<NS::String>(dictionary->objectForKey(value))) {
            return title->str();
        }
    }
    return valueText(value);
}

namespace {

// The row's line as `cell` shows it (nil for a row without one).
std::string rowLine(PS::Specifier* specifier, PS::TableCell* cell, const std::string& title) {
    const long type = specifier->cellType();
    NS::Object* value = cell != nullptr ? cell->value() : nullptr;
    std::string line = title;
    switch (type) {
    case PS::SwitchCell:
        line += std::string(": ") + (switchIsOn(specifier, value) ? "on" : "off");
        break;
    case PS::LinkListCell:
        line += ": " + choiceTitle(specifier, value, true) + " >";
        break;
    case PS::SegmentCell:
        line += ": " + choiceTitle(specifier, value, true);
        break;
    case PS::SecureEditTextCell:
        // A secret is shown as one dot per character, as the field does.
        line += ": " + std::string(value != nullptr ? valueText(value).size() : 0, '*');
        break;
    case PS::LinkCell:
        line += " >";
        break;
    case PS::ButtonCell:
        line += " (button)";
        break;
    default:
        if (value != nullptr) {
            line += ": " + valueText(value);
        }
        break;
    }
    // What else a custom cell shows, beyond the title and value the host gave it.
    if (cell != nullptr) {
        std::vector<std::string> extra;
        collectLabels(cell, extra, {cell->titleLabel(), cell->detailTextLabel()});
        // A row without a title of its own (a person's cell, say) starts with its first line.
        for (const std::string& e : extra) {
            line += (line.empty() ? "" : " | ") + e;
        }
    }
    return line;
}

// The cell of the row at `path`, the table scrolled to bring the row to its top when it is not in
// view; nil when the table shows the row without one.
PS::TableCell* cellInView(UI::TableView* table, NS::IndexPath* path) {
    if (auto shown = table->cellForRowAtIndexPath(path)) {
        return NS::cast<PS::TableCell>(shown);
    }
    const CGRect row = table->rectForRowAtIndexPath(path);
    const double top = table->contentOffset().y;
    if (row.origin.y < top + table->frame().size.height && row.origin.y + row.size.height > top) {
        return nullptr;
    }
    table->setContentOffset(
        CGPoint{table->contentOffset().x, std::min(row.origin.y, UI::bottomOffset(table))});
    return NS::cast<PS::TableCell>(table->cellForRowAtIndexPath(path));
}

// The row as its cell shows it now.
RowView readRow(PS::Specifier* specifier, PS::TableCell* cell, long section, long row) {
    RowView view;
    view.section = section;
    view.row = row;
    view.specifier = specifier;
    if (cell != nullptr && cell->titleLabel()) {
        view.title = text(cell->titleLabel()->text());
    } else {
        view.title = text(specifier->name());
    }
    view.line = rowLine(specifier, cell, view.title);
    return view;
}

// The outermost view that holds `view`, laid out, so that the table has its size on screen.
void layOut(UI::View* view) {
    UI::View* outer = view;
    for (UI::View* above = view; above != nullptr; above = above->superview()) {
        outer = above;
    }
    objc::Ptr(outer)->layoutIfNeeded();
}

} // namespace

std::vector<SectionView> readPane(PS::ListController* pane) {
    layOut(pane->view());
    UI::TableView* table = pane->table();
    std::vector<SectionView> sections;
    if (table == nullptr) {
        return sections;
    }
    const CGPoint was = table->contentOffset();
    // Asked again, so that the rows on screen show what their controls hold now.
    table->reloadData();
    const long count = table->numberOfSections();
    for (long s = 0; s < count; ++s) {
        SectionView section;
        section.header = text(pane->titleForHeader(table, s));
        section.headerView = describeView(pane->viewForHeader(table, s));
        const long rows = table->numberOfRowsInSection(s);
        for (long r = 0; r < rows; ++r) {
            // What reading a row makes goes with it, so that a long pane costs what a screen of it
            // costs; the value outlives it, for the cell lets go of it when it shows another row.
            objc::Ref<NS::Object> value;
            {
                NS::AutoreleaseScope pool;
                NS::IndexPath* path = NS::IndexPath::indexPath(r, s);
                PS::Specifier* specifier = pane->specifierAtIndexPath(path);
                if (specifier == nullptr) {
                    continue;
                }
                PS::TableCell* cell = cellInView(table, path);
                section.rows.push_back(readRow(specifier, cell, s, r));
                value = objc::retain(cell != nullptr ? cell->value().get() : nullptr);
            }
            section.rows.back().value = objc::Ptr(value.leak())->autorelease();
        }
        section.footer = text(pane->titleForFooter(table, s));
        section.footerView = describeView(pane->viewForFooter(table, s));
        sections.push_back(std::move(section));
    }
    table->setContentOffset(was);
    table->layoutIfNeeded();
    return sections;
}

namespace {

// "(header view) Class: first label | second label"
std::string viewLine(const char* what, const std::vector<std::string>& parts) {
    std::string line = std::string("  (") + what + ") " + parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        line += (i == 1 ? ": " : " | ") + parts[i];
    }
    return line;
}

} // namespace

std::vector<std::string> paneLines(PS::ListController* pane) {
    std::vector<std::string> lines;
    for (const SectionView& section : readPane(pane)) {
        lines.push_back("[" + section.header + "]");
        if (!section.headerView.empty()) {
            lines.push_back(viewLine("header view", section.headerView));
        }
        for (const RowView& row : section.rows) {
            lines.push_back("  " + row.line);
        }
        if (!section.footer.empty()) {
            lines.push_back("  (footer) " + section.footer);
        }
        if (!section.footerView.empty()) {
            lines.push_back(viewLine("footer view", section.footerView));
        }
    }
    return lines;
}

} // namespace settings
