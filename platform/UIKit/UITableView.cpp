#include "UIKit/UITableView.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UIDisplay.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace UI {
namespace {

// The grouped table's measures, as the system's Settings shows them.
constexpr double kRowHeight = 44;
constexpr double kInset = 15;
constexpr double kFirstHeader = 35;       // above the first section, without a title
constexpr double kFirstTitledHeader = 55; // above the first section, with a title
constexpr double kHeader = 17;            // above a later section, without a title
constexpr double kTitledHeader = 38;      // above a later section, with a title
constexpr double kFooter = 18;            // below a section, without a text
constexpr double kTitleGap = 7;           // between a header's title and the first row
constexpr double kFooterGap = 8;          // between the last row and a footer's text
// Far more than a screen holds; a data source that claims more is asked for this many.
constexpr long kMaxSections = 10000;
constexpr long kMaxRows = 100000;
constexpr double kMaxHeaderFooterHeight = 10000;

class SeparatorView : public NS::Referencing<SeparatorView, "_UITableViewCellSeparatorView", View> {};

bool answers(id object, SEL sel) { return NS::Object::respondsToSelector_.send(object, sel); }

Color* secondaryTextColor() { return colorRGB(109, 109, 114); }

void clear(View* view) {
    for (NS::Object* child : view->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A header or footer of the table's own making, showing `text` at `textY`.
View* titleView(const std::string& text, double width, double height, double textY) {
    auto view = TableViewHeaderFooterView::alloc()->initWithFrame(CGRectMake(0, 0, width, height));
    view->addSubview(makeLabel(text.c_str(), "HelveticaNeue", 13, secondaryTextColor(), {kInset, textY},
                               width - 2 * kInset));
    return view->autorelease().as<View>();
}

double textHeight(const std::string& text, double width) {
    return makeLabel(text.c_str(), "HelveticaNeue", 13, nullptr, {}, width - 2 * kInset)->frame().size.height;
}

void addSeparator(View* cell, double x, double y, double width) {
    auto line = SeparatorView::alloc()->initWithFrame(CGRectMake(x, y, width, 0.5));
    line->setBackgroundColor(colorRGB(200, 199, 204));
    cell->addSubview(line);
    line->release();
}

// How tall a header or footer view is by its content: laid out at the table's width, down to the
// lowest edge of what it shows, as a self-sizing header or footer is. For a view that has no height of
// its own and none from the delegate.
double contentHeight(View* view, double width) {
    const CGRect f = view->frame();
    view->setFrame(CGRectMake(f.origin.x, f.origin.y, width, f.size.height));
    view->layoutIfNeeded();
    double bottom = 0;
    for (NS::Object* child : view->subviews()) {
        auto shown = reinterpret_cast<View*>(child);
        const CGRect s = shown->frame();
        if (!shown->isHidden() && std::isfinite(s.origin.y + s.size.height)) {
            bottom = std::max(bottom, s.origin.y + s.size.height);
        }
    }
    // Far more than a screen holds: a view claiming more is cut there.
    return std::min(std::ceil(bottom), kMaxHeaderFooterHeight);
}

std::string text(NS::String* s) { return s != nullptr ? s->str() : std::string(); }

void reload(TableView* self) {
    clear(self);
    auto cells = objc::ivar<NS::MutableArray*>(self, "_visibleCells");
    cells->removeAllObjects();
    auto paths = objc::ivar<NS::MutableArray*>(self, "_visiblePaths");
    paths->removeAllObjects();
    id source = self->dataSource();
    id delegate = self->delegate();
    const bool grouped = self->style() == UITableViewStyleGrouped;
    const double width = self->frame().size.width;
    const double visible = self->frame().size.height;

    long sections = 1;
    if (answers(source, TableViewDataSource::numberOfSections_.selector())) {
        sections = std::clamp(TableViewDataSource::numberOfSections_.send(source, self), 0L, kMaxSections);
    }
    double y = 0;
    for (long s = 0; s < sections; ++s) {
        long rows = 0;
        if (answers(source, TableViewDataSource::numberOfRows_.selector())) {
            rows = std::clamp(TableViewDataSource::numberOfRows_.send(source, self, s), 0L, kMaxRows);
        }
        // Header: the delegate's height and view where it gives them, else the title's.
        double asked = TableViewAutomaticDimension;
        if (answers(delegate, TableViewDelegate::heightForHeader_.selector())) {
            asked = TableViewDelegate::heightForHeader_.send(delegate, self, s);
        }
        objc::Ptr<View> header;
        if (y < visible && answers(delegate, TableViewDelegate::viewForHeader_.selector())) {
            header = TableViewDelegate::viewForHeader_.send(delegate, self, s);
        }
        std::string title;
        if (header == nullptr && answers(source, TableViewDataSource::titleForHeader_.selector())) {
            title = text(TableViewDataSource::titleForHeader_.send(source, self, s));
        }
        double height =
            title.empty() ? (s == 0 ? kFirstHeader : kHeader) : (s == 0 ? kFirstTitledHeader : kTitledHeader);
        if (!grouped) {
            height = title.empty() && header == nullptr ? 0 : 22;
        }
        if (asked > 0) {
            height = asked;
        } else if (header != nullptr && header->frame().size.height > 0) {
            height = header->frame().size.height;
        } else if (header != nullptr) {
            height = std::max(height, contentHeight(header, width));
        }
        if (header == nullptr && !title.empty() && y < visible) {
            const double h = textHeight(upper(title), width);
            header = titleView(upper(title), width, height, height - kTitleGap - h);
        }
        if (header != nullptr) {
            header->setFrame(CGRectMake(0, y, width, height));
            self->addSubview(header);
        }
        y += height;

        for (long r = 0; r < rows; ++r) {
            NS::IndexPath* path = NS::IndexPath::indexPath(r, s);
            double rowHeight = kRowHeight;
            if (answers(delegate, TableViewDelegate::heightForRow_.selector())) {
                const double h = TableViewDelegate::heightForRow_.send(delegate, self, path);
                rowHeight = h > 0 ? h : kRowHeight;
            }
            if (y < visible && answers(source, TableViewDataSource::cellForRow_.selector())) {
                if (auto cell = TableViewDataSource::cellForRow_.send(source, self, path)) {
                    cell->setFrame(CGRectMake(0, y, width, rowHeight));
                    if (cell->backgroundColor() == nullptr) {
                        cell->setBackgroundColor(colorRGB(255, 255, 255));
                    }
                    if (r == 0) {
                        addSeparator(cell, 0, 0, width);
                    }
                    const double inset = r + 1 == rows ? 0 : kInset;
                    addSeparator(cell, inset, rowHeight - 0.5, width - inset);
                    self->addSubview(cell);
                    cells->addObject(cell);
                    paths->addObject(path);
                }
            }
            y += rowHeight;
        }

        // Footer, likewise.
        asked = TableViewAutomaticDimension;
        if (answers(delegate, TableViewDelegate::heightForFooter_.selector())) {
            asked = TableViewDelegate::heightForFooter_.send(delegate, self, s);
        }
        objc::Ptr<View> footer;
        if (y < visible && answers(delegate, TableViewDelegate::viewForFooter_.selector())) {
            footer = TableViewDelegate::viewForFooter_.send(delegate, self, s);
        }
        std::string note;
        if (footer == nullptr && answers(source, TableViewDataSource::titleForFooter_.selector())) {
            note = text(TableViewDataSource::titleForFooter_.send(source, self, s));
        }
        height = grouped ? kFooter : 0;
        const double noteHeight = note.empty() ? 0 : textHeight(note, width);
        if (!note.empty()) {
            height = kFooterGap + noteHeight + kFooter;
        }
        if (asked > 0) {
            height = asked;
        } else if (footer != nullptr && footer->frame().size.height > 0) {
            height = footer->frame().size.height;
        } else if (footer != nullptr) {
            height = std::max(height, contentHeight(footer, width));
        }
        if (footer == nullptr && !note.empty() && y < visible) {
            footer = titleView(note, width, height, kFooterGap);
        }
        if (footer != nullptr) {
            footer->setFrame(CGRectMake(0, y, width, height));
            self->addSubview(footer);
        }
        y += height;
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableViewHeaderFooterView>().build();
    objc::ClassDefinition<SeparatorView>().build();
    objc::ClassDefinition<TableView>()
        .property<NS::Object*>("dataSource", objc::Ownership::Plain)
        .property<NS::Object*>("delegate", objc::Ownership::Plain)
        .ivar<long>("_style")
        // The cells on screen and their index paths, in step.
        .ivar<NS::MutableArray*>("_visibleCells", objc::Ownership::Owning)
        .ivar<NS::MutableArray*>("_visiblePaths", objc::Ownership::Owning)
        .method(View::initWithFrame_,
                [](TableView* self, CGRect frame) -> View* {
                    return self->initWithFrameStyle(frame, static_cast<long>(UITableViewStylePlain));
                })
        .method(
            TableView::initWithFrameStyle_,
            [](TableView* self, CGRect frame, long style) -> TableView* {
                auto table = View::initWithFrame_.super<TableView>(self, frame).as<TableView>();
                if (table == nullptr) {
                    return nullptr;
                }
                objc::setIvar<long>(table, "_style", style);
                objc::setIvar<NS::MutableArray*>(table, "_visibleCells", NS::MutableArray::alloc()->init());
                objc::setIvar<NS::MutableArray*>(table, "_visiblePaths", NS::MutableArray::alloc()->init());
                table->setBackgroundColor(style == UITableViewStyleGrouped ? colorRGB(239, 239, 244)
                                                                           : colorRGB(255, 255, 255));
                // Rows below the bottom edge are not drawn over what lies beneath the table.
                table->setClipsToBounds(true);
                return table;
            })
        .method(TableView::style_, [](TableView* self) -> long { return objc::ivar<long>(self, "_style"); })
        .method(TableView::reloadData_, [](TableView* self) { reload(self); })
        .method(TableView::cellForRowAtIndexPath_,
                [](TableView* self, NS::IndexPath* path) -> TableViewCell* {
                    objc::Ptr<NS::IndexPath> wanted = path;
                    auto cells = objc::ivar<NS::MutableArray*>(self, "_visibleCells");
                    auto paths = objc::ivar<NS::MutableArray*>(self, "_visiblePaths");
                    for (unsigned long i = 0; i < paths->count(); ++i) {
                        auto shown = paths->objectAtIndex(i).as<NS::IndexPath>();
                        if (wanted != nullptr && shown->section() == wanted->section() &&
                            shown->row() == wanted->row()) {
                            return cells->objectAtIndex(i).as<TableViewCell>();
                        }
                    }
                    return nullptr;
                })
        .method(Display::prepare_, [](TableView* self) { reload(self); })
        .build();
}

} // namespace
} // namespace UI
