#include "UIKit/UITableView.hpp"
#include "UIKit/UITableViewCellInternals.hpp"
#include "UIKit/UITableViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

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
// Far more than a screen holds; a data source that claims more is asked for this many, the rows
// counted over all sections together.
constexpr long kMaxSections = 10000;
constexpr long kMaxRows = 100000;
// Cells that wait for reuse, all identifiers together: more than a screen shows, so that a data
// source that takes its cells back finds them, and few enough that one that never does holds little.
constexpr std::size_t kMaxReusable = 64;
// Far taller than a screen: a part claiming more is cut there.
constexpr double kMaxPartHeight = 10000;

class SeparatorView : public NS::Referencing<SeparatorView, "_UITableViewCellSeparatorView", View> {};

bool answers(id object, SEL sel) { return NS::Object::respondsToSelector_.send(object, sel); }

Color* secondaryTextColor() { return colorRGB(109, 109, 114); }

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

// A separator line in `cell`, in front of what the cell shows but behind its accessory.
void addSeparator(TableViewCell* cell, double x, double y, double width) {
    auto line = SeparatorView::alloc()->initWithFrame(CGRectMake(x, y, width, 0.5));
    line->setBackgroundColor(colorRGB(200, 199, 204));
    cell->insertSubview(line, shownAccessory(cell));
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
    return std::min(std::ceil(bottom), kMaxPartHeight);
}

std::string text(NS::String* s) { return s != nullptr ? s->str() : std::string(); }

// A section's header or footer, or one of its rows.
enum class Part { Header, Row, Footer };

// One part of the table where it lies in the content, and the view that shows it while it is in
// view (none when the table was given none for it).
struct Placed {
    Part part = Part::Row;
    long section = 0;
    long row = 0;
    bool lastRow = false;
    double y = 0;
    double height = 0;
    objc::Ref<View> shown;
};

// A cell that left the bounds, kept under the reuse identifier it had then.
struct Reusable {
    std::string identifier;
    objc::Ref<TableViewCell> cell;
};

// The parts of the table as reloadData laid them out, top to bottom, for the width it had then; the
// run of them in view; and the cells that wait for reuse, the latest last.
struct Layout {
    std::vector<Placed> parts;
    // Where each section's header is among the parts, and after them the number of parts.
    std::vector<std::size_t> sectionStarts;
    std::size_t shownBegin = 0;
    std::size_t shownEnd = 0;
    // The bounds the shown parts were picked for.
    double shownTop = NAN;
    double shownBottom = NAN;
    std::vector<Reusable> reusable;
    double width = 0;
    bool loaded = false;
    // While the data source is asked for what comes into view, which may ask the table again.
    bool tiling = false;
};

Layout& layoutOf(TableView* self) {
    auto layout = static_cast<Layout*>(objc::ivar(self, UI::TableViewInternals::_layout));
    if (layout == nullptr) {
        layout = new Layout();
        objc::setIvar(self, UI::TableViewInternals::_layout, layout);
    }
    return *layout;
}

// What the delegate or the data source says of a section's header or footer: the two differ only in
// the message asked. `fallback` when the receiver does not answer it.
template <class Result, class HeaderMessage, class FooterMessage>
Result askAbout(TableView* self, id receiver, Part edge, long s, const HeaderMessage& header,
                const FooterMessage& footer, Result fallback) {
    if (edge == Part::Header && answers(receiver, header.selector())) {
        return header.send(receiver, self, s);
    }
    if (edge == Part::Footer && answers(receiver, footer.selector())) {
        return footer.send(receiver, self, s);
    }
    return fallback;
}

double askedHeight(TableView* self, Part edge, long s) {
    return askAbout<double>(self, self->delegate(), edge, s, TableViewDelegate::heightForHeader_,
                            TableViewDelegate::heightForFooter_, TableViewAutomaticDimension);
}

objc::Ptr<View> delegateView(TableView* self, Part edge, long s) {
    return askAbout<objc::Ptr<View>>(self, self->delegate(), edge, s, TableViewDelegate::viewForHeader_,
                                     TableViewDelegate::viewForFooter_, nullptr);
}

// A header's title is shown in capitals, a footer's text as written.
std::string sourceTitle(TableView* self, Part edge, long s) {
    const std::string title = text(askAbout<objc::Ptr<NS::String>>(
        self, self->dataSource(), edge, s, TableViewDataSource::titleForHeader_,
        TableViewDataSource::titleForFooter_, nullptr));
    return edge == Part::Header ? upper(title) : title;
}

// The table's own height for a header or footer: the grouped style's gaps, and room for a title.
double ownHeight(TableView* self, Part edge, long s, const std::string& title, bool hasView, double width) {
    const bool grouped = self->style() == UITableViewStyleGrouped;
    if (edge == Part::Header) {
        if (!grouped) {
            return title.empty() && !hasView ? 0 : 22;
        }
        return title.empty() ? (s == 0 ? kFirstHeader : kHeader)
                             : (s == 0 ? kFirstTitledHeader : kTitledHeader);
    }
    if (!title.empty()) {
        return kFooterGap + textHeight(title, width) + kFooter;
    }
    return grouped ? kFooter : 0;
}

// A header's or footer's height: the delegate's, else that of the delegate's view (its own height,
// else what it holds), else the table's own. A view asked for here is only measured.
double edgeHeight(TableView* self, Part edge, long s, double width) {
    const double asked = askedHeight(self, edge, s);
    if (asked > 0) {
        return std::min(asked, kMaxPartHeight);
    }
    if (auto view = delegateView(self, edge, s)) {
        const double own = view->frame().size.height;
        if (own > 0) {
            return std::min(own, kMaxPartHeight);
        }
        return std::max(ownHeight(self, edge, s, {}, true, width), contentHeight(view, width));
    }
    return ownHeight(self, edge, s, sourceTitle(self, edge, s), false, width);
}

// The view for a header or footer coming into view: the delegate's, made anew, else one of the
// table's own showing the title; nil when there is neither.
objc::Ptr<View> makeEdge(TableView* self, const Placed& part, double width) {
    if (auto view = delegateView(self, part.part, part.section)) {
        return view;
    }
    const std::string title = sourceTitle(self, part.part, part.section);
    if (title.empty()) {
        return nullptr;
    }
    const double textY =
        part.part == Part::Header ? part.height - kTitleGap - textHeight(title, width) : kFooterGap;
    return titleView(title, width, part.height, textY);
}

// The cell's separator lines: one above the first row of a section, one below every row. Rows of a
// section are parted where their titles start; the last closes the section. A reused cell's lines
// from the row it showed are moved, or taken out where this row has fewer.
void placeSeparators(TableViewCell* cell, const Placed& part, double width) {
    std::vector<CGRect> wanted;
    if (part.row == 0) {
        wanted.push_back(CGRectMake(0, 0, width, 0.5));
    }
    const double inset = part.lastRow ? 0 : textInset(cell);
    wanted.push_back(CGRectMake(inset, part.height - 0.5, width - inset, 0.5));
    std::size_t placed = 0;
    for (NS::Object* child : cell->subviews()) {
        if (auto line = NS::cast<SeparatorView>(child)) {
            if (placed < wanted.size()) {
                line->setFrame(wanted[placed++]);
            } else {
                line->removeFromSuperview();
            }
        }
    }
    for (; placed < wanted.size(); ++placed) {
        const CGRect& f = wanted[placed];
        addSeparator(cell, f.origin.x, f.origin.y, f.size.width);
    }
}

objc::Ptr<View> makeCell(TableView* self, const Placed& part, double width) {
    id source = self->dataSource();
    if (!answers(source, TableViewDataSource::cellForRow_.selector())) {
        return nullptr;
    }
    auto cell =
        TableViewDataSource::cellForRow_.send(source, self, NS::IndexPath::indexPath(part.row, part.section));
    if (cell == nullptr) {
        return nullptr;
    }
    // Placed first, so that it knows its height where its picture goes.
    cell->setFrame(CGRectMake(0, part.y, width, part.height));
    if (cell->backgroundColor() == nullptr) {
        cell->setBackgroundColor(colorRGB(255, 255, 255));
    }
    placeSeparators(cell, part, width);
    return cell.as<View>();
}

// Whether a part lies wholly above `top`; one of no height is in view where it starts. Parts follow
// one another down the content, so those above come first.
bool above(const Placed& part, double top) {
    return part.height <= 0 ? part.y < top : part.y + part.height <= top;
}

// Lets go of the view of a part that left the bounds; a cell with a reuse identifier waits for the
// data source to take it back, the oldest let go when too many wait.
void letGo(Layout& layout, Placed& part) {
    objc::Ref<View> view = std::move(part.shown);
    part.shown = nullptr;
    view->removeFromSuperview();
    auto cell = NS::cast<TableViewCell>(view.get());
    const std::string identifier = text(cell->reuseIdentifier());
    if (part.part != Part::Row || cell == nullptr || identifier.empty()) {
        return;
    }
    if (layout.reusable.size() >= kMaxReusable) {
        layout.reusable.erase(layout.reusable.begin());
    }
    layout.reusable.push_back(Reusable{identifier, objc::retain(cell)});
}

// Shows what has come into the bounds at the content offset, made as it comes, and lets go of what
// has left them, as the device's table does while it scrolls. Only the parts at the edges of the
// bounds are looked at, however many the table holds.
void tile(TableView* self) {
    Layout& layout = layoutOf(self);
    const double top = self->contentOffset().y;
    const double bottom = top + self->frame().size.height;
    std::vector<Placed>& parts = layout.parts;
    const auto first = std::partition_point(parts.begin(), parts.end(),
                                            [&](const Placed& part) { return above(part, top); });
    const auto last =
        std::partition_point(first, parts.end(), [&](const Placed& part) { return part.y < bottom; });
    const auto begin = static_cast<std::size_t>(first - parts.begin());
    const auto end = std::max(begin, static_cast<std::size_t>(last - parts.begin()));
    layout.tiling = true;
    // Gone first, so that the cells leaving are there for the rows coming.
    for (std::size_t i = layout.shownBegin; i < layout.shownEnd; ++i) {
        if (i < begin || i >= end) {
            letGo(layout, parts[i]);
        }
    }
    for (std::size_t i = begin; i < end; ++i) {
        if (i >= layout.shownBegin && i < layout.shownEnd) {
            continue;
        }
        Placed& part = parts[i];
        objc::Ptr<View> view =
            part.part == Part::Row ? makeCell(self, part, layout.width) : makeEdge(self, part, layout.width);
        if (view != nullptr) {
            view->setFrame(CGRectMake(0, part.y, layout.width, part.height));
            self->addSubview(view);
            part.shown = objc::retain(view);
        }
    }
    layout.shownBegin = begin;
    layout.shownEnd = end;
    layout.shownTop = top;
    layout.shownBottom = bottom;
    layout.tiling = false;
}

void reload(TableView* self) {
    Layout& layout = layoutOf(self);
    if (layout.tiling) {
        // Asked from inside the data source while it makes a row: the parts being shown stay as
        // they are until then, and the rows are asked for again at the next layout.
        layout.loaded = false;
        self->setNeedsLayout();
        return;
    }
    for (std::size_t i = layout.shownBegin; i < layout.shownEnd; ++i) {
        letGo(layout, layout.parts[i]);
    }
    layout.parts.clear();
    layout.sectionStarts.clear();
    layout.shownBegin = layout.shownEnd = 0;
    layout.width = self->frame().size.width;
    layout.loaded = true;
    const double width = layout.width;
    id source = self->dataSource();
    id delegate = self->delegate();

    long sections = 1;
    if (answers(source, TableViewDataSource::numberOfSections_.selector())) {
        sections = std::clamp(TableViewDataSource::numberOfSections_.send(source, self), 0L, kMaxSections);
    }
    double y = 0;
    auto place = [&](Part kind, long s, long r, double height) {
        Placed part;
        part.part = kind;
        part.section = s;
        part.row = r;
        part.y = y;
        part.height = height;
        layout.parts.push_back(std::move(part));
        y += height;
    };
    long rowsLeft = kMaxRows;
    for (long s = 0; s < sections; ++s) {
        layout.sectionStarts.push_back(layout.parts.size());
        place(Part::Header, s, 0, edgeHeight(self, Part::Header, s, width));
        long rows = 0;
        if (answers(source, TableViewDataSource::numberOfRows_.selector())) {
            rows = std::clamp(TableViewDataSource::numberOfRows_.send(source, self, s), 0L, rowsLeft);
        }
        rowsLeft -= rows;
        for (long r = 0; r < rows; ++r) {
            double rowHeight = kRowHeight;
            if (answers(delegate, TableViewDelegate::heightForRow_.selector())) {
                const double h =
                    TableViewDelegate::heightForRow_.send(delegate, self, NS::IndexPath::indexPath(r, s));
                rowHeight = h > 0 ? std::min(h, kMaxPartHeight) : kRowHeight;
            }
            place(Part::Row, s, r, rowHeight);
            layout.parts.back().lastRow = r + 1 == rows;
        }
        place(Part::Footer, s, 0, edgeHeight(self, Part::Footer, s, width));
    }
    layout.sectionStarts.push_back(layout.parts.size());
    self->setContentSize(CGSize{width, y});
    tile(self);
}

// The rows are asked for at the table's first layout once its data source is there, and again for
// another width; after that, moving its bounds only brings rows into view and takes others out.
void layoutTable(TableView* self) {
    const Layout& layout = layoutOf(self);
    if (!layout.loaded || layout.width != self->frame().size.width) {
        reload(self);
    } else {
        tile(self);
    }
}

// Another data source or delegate has different rows: they are asked for at the next layout.
void forgetRows(TableView* self) {
    layoutOf(self).loaded = false;
    self->setNeedsLayout();
}

id dataSource(TableView* self) { return objc::ivar(self, UI::TableViewInternals::_dataSource); }
id delegate(TableView* self) { return objc::ivar(self, UI::TableViewInternals::_delegate); }

void setDataSource(TableView* self, id source) {
    objc::setIvar(self, UI::TableViewInternals::_dataSource, source);
    forgetRows(self);
}

void setDelegate(TableView* self, id delegate) {
    objc::setIvar(self, UI::TableViewInternals::_delegate, delegate);
    forgetRows(self);
}

TableView* initWithFrameStyle(TableView* self, CGRect frame, long style) {
    auto table = View::initWithFrame_.super<TableView>(self, frame).as<TableView>();
    if (table == nullptr) {
        return nullptr;
    }
    objc::setIvar(table, UI::TableViewInternals::_style, style);
    table->setBackgroundColor(style == UITableViewStyleGrouped ? colorRGB(239, 239, 244)
                                                               : colorRGB(255, 255, 255));
    // Rows beyond the bounds are not drawn over what lies around the table.
    table->setClipsToBounds(true);
    return table;
}

View* initWithFrame(TableView* self, CGRect frame) {
    return self->initWithFrameStyle(frame, static_cast<long>(UITableViewStylePlain));
}

long style(TableView* self) { return objc::ivar(self, UI::TableViewInternals::_style); }

// The layout, asked for first when the table has not yet asked its data source.
Layout& loadedLayout(TableView* self) {
    if (!layoutOf(self).loaded) {
        reload(self);
    }
    return layoutOf(self);
}

long numberOfSections(TableView* self) {
    return std::max(0L, static_cast<long>(loadedLayout(self).sectionStarts.size()) - 1);
}

// Between a section's header and its footer.
long rowsIn(const Layout& layout, long section) {
    if (section < 0 || section + 1 >= static_cast<long>(layout.sectionStarts.size())) {
        return 0;
    }
    const auto s = static_cast<std::size_t>(section);
    return static_cast<long>(layout.sectionStarts[s + 1] - layout.sectionStarts[s]) - 2;
}

long numberOfRowsInSection(TableView* self, long section) { return rowsIn(loadedLayout(self), section); }

// The row's part; nullptr for a row the table does not have.
const Placed* rowPart(const Layout& layout, objc::Ptr<NS::IndexPath> path) {
    if (path == nullptr || path->row() < 0 || path->row() >= rowsIn(layout, path->section())) {
        return nullptr;
    }
    const std::size_t header = layout.sectionStarts[static_cast<std::size_t>(path->section())];
    return &layout.parts[header + 1 + static_cast<std::size_t>(path->row())];
}

// The cells shown are brought up to date with the bounds when they are asked for, as on the device:
// a table scrolled and asked at once answers for where it is now, before it is next laid out.
TableViewCell* cellForRowAtIndexPath(TableView* self, NS::IndexPath* path) {
    Layout& layout = layoutOf(self);
    const double top = self->contentOffset().y;
    if (layout.loaded && !layout.tiling &&
        (top != layout.shownTop || top + self->frame().size.height != layout.shownBottom)) {
        tile(self);
    }
    const Placed* part = rowPart(layout, path);
    return part != nullptr ? part->shown.get().as<TableViewCell>() : nullptr;
}

CGRect rectForRowAtIndexPath(TableView* self, NS::IndexPath* path) {
    const Layout& layout = loadedLayout(self);
    const Placed* part = rowPart(layout, path);
    return part != nullptr ? CGRectMake(0, part->y, layout.width, part->height) : CGRectZero;
}

TableViewCell* dequeueReusableCellWithIdentifier(TableView* self, NS::String* identifier) {
    const std::string wanted = text(identifier);
    std::vector<Reusable>& waiting = layoutOf(self).reusable;
    const auto found = std::find_if(waiting.rbegin(), waiting.rend(),
                                    [&](const Reusable& r) { return r.identifier == wanted; });
    if (wanted.empty() || found == waiting.rend()) {
        return nullptr;
    }
    objc::Ref<TableViewCell> cell = std::move(found->cell);
    waiting.erase(std::next(found).base());
    if (answers(objc::toId(cell), TableViewCell::prepareForReuse_.selector())) {
        cell->prepareForReuse();
    }
    return objc::Ptr(cell.leak())->autorelease().as<TableViewCell>();
}

void dealloc(TableView* self) {
    delete static_cast<Layout*>(objc::ivar(self, UI::TableViewInternals::_layout));
    objc::setIvar(self, UI::TableViewInternals::_layout, nullptr);
    View::dealloc_.super<TableView>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TableViewHeaderFooterView>().build();
    objc::ClassDefinition<SeparatorView>().build();
    objc::ClassDefinition<TableView>()
        .ivar(TableViewInternals::_dataSource)
        .ivar(TableViewInternals::_delegate)
        .ivar(TableViewInternals::_style)
        .ivar(TableViewInternals::_layout)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&initWithFrameStyle>(TableView::initWithFrameStyle_)
        .method<&style>(TableView::style_)
        .method<&dataSource>(TableView::dataSource_)
        .method<&setDataSource>(TableView::setDataSource_)
        .method<&delegate>(TableView::delegate_)
        .method<&setDelegate>(TableView::setDelegate_)
        .method<&reload>(TableView::reloadData_)
        .method<&cellForRowAtIndexPath>(TableView::cellForRowAtIndexPath_)
        .method<&dequeueReusableCellWithIdentifier>(TableView::dequeueReusableCellWithIdentifier_)
        .method<&numberOfSections>(TableView::numberOfSections_)
        .method<&numberOfRowsInSection>(TableView::numberOfRowsInSection_)
        .method<&rectForRowAtIndexPath>(TableView::rectForRowAtIndexPath_)
        .method<&layoutTable>(View::layoutSubviews_)
        .method<&dealloc>(View::dealloc_)
        .build();
}

} // namespace
} // namespace UI
