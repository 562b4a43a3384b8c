#include "PaneView.hpp"

#include "Foundation/NSArray.hpp"
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

std::string rowLine(const RowView& row) {
    const long type = row.specifier->cellType();
    NS::Object* value = row.cell != nullptr ? row.cell->value() : nullptr;
    std::string line = row.title;
    switch (type) {
    case PS::SwitchCell:
        line += std::string(": ") + (switchIsOn(row.specifier, value) ? "on" : "off");
        break;
    case PS::LinkListCell:
        line += ": " + choiceTitle(row.specifier, value, true) + " >";
        break;
    case PS::SegmentCell:
        line += ": " + choiceTitle(row.specifier, value, true);
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
    if (row.cell != nullptr) {
        std::vector<std::string> extra;
        collectLabels(row.cell, extra, {row.cell->titleLabel(), row.cell->detailTextLabel()});
        // A row without a title of its own (a person's cell, say) starts with its first line.
        for (const std::string& e : extra) {
            line += (line.empty() ? "" : " | ") + e;
        }
    }
    return line;
}

std::vector<SectionView> readPane(PS::ListController* pane) {
    pane->view();
    UI::TableView* table = pane->table();
    std::vector<SectionView> sections;
    const long count = pane->numberOfSections(table);
    for (long s = 0; s < count; ++s) {
        SectionView section;
        section.header = text(pane->titleForHeader(table, s));
        section.headerView = describeView(pane->viewForHeader(table, s));
        const long rows = pane->numberOfRows(table, s);
        for (long r = 0; r < rows; ++r) {
            NS::IndexPath* path = NS::IndexPath::indexPath(r, s);
            RowView row;
            row.section = s;
            row.row = r;
            row.specifier = pane->specifierAtIndexPath(path);
            row.cell = pane->cellForRow(table, path).as<PS::TableCell>();
            if (row.specifier == nullptr) {
                continue;
            }
            if (row.cell != nullptr && NS::cast<PS::TableCell>(row.cell) != nullptr &&
                row.cell->titleLabel()) {
                row.title = text(row.cell->titleLabel()->text());
            } else {
                row.title = text(row.specifier->name());
            }
            section.rows.push_back(row);
        }
        section.footer = text(pane->titleForFooter(table, s));
        section.footerView = describeView(pane->viewForFooter(table, s));
        sections.push_back(std::move(section));
    }
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
            lines.push_back("  " + rowLine(row));
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
