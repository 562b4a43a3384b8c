// Tables: how tall a section's own header and footer views are when the delegate names no height,
// what a table makes as it scrolls, and how it hands back the cells that left view.
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIScrollViewInternals.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UITableViewCell.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using NS::literals::operator""_ns;
using UI::TableView;
using UI::View;

// What the test source gives below each section: the height of the view's own frame and of what it
// holds; a negative content height gives no view.
struct Footer {
    double ownHeight;
    double contentBottom;
};
std::vector<Footer> footers;

View* footerFor(long section) {
    const Footer& f = footers.at(static_cast<std::size_t>(section));
    if (f.contentBottom < 0) {
        return nullptr;
    }
    auto view = View::alloc()->initWithFrame(CGRectMake(0, 0, 0, f.ownHeight));
    if (f.contentBottom > 0) {
        auto inside = objc::adopt(View::alloc()->initWithFrame(CGRectMake(10, f.contentBottom - 30, 60, 30)));
        view->addSubview(inside.get());
    }
    return view->autorelease().as<View>();
}

Class sourceClass() {
    static Class cls =
        objc::ClassDefinition<NS::Object>("TestFooterSource", "NSObject")
            .method(UI::TableViewDataSource::numberOfSections_,
                    [](NS::Object*, TableView*) -> long { return static_cast<long>(footers.size()); })
            .method(UI::TableViewDataSource::numberOfRows_,
                    [](NS::Object*, TableView*, long) -> long { return 1; })
            .method(UI::TableViewDataSource::cellForRow_,
                    [](NS::Object*, TableView*, NS::IndexPath*) -> UI::TableViewCell* {
                        return UI::TableViewCell::alloc()
                            ->initWithStyle(0, nullptr)
                            ->autorelease()
                            .as<UI::TableViewCell>();
                    })
            .method(UI::TableViewDelegate::viewForFooter_,
                    [](NS::Object*, TableView*, long section) -> View* { return footerFor(section); })
            .build();
    return cls;
}

// The footer views of a grouped table laid out over `given`, top to bottom.
std::vector<CGRect> footerFrames(const std::vector<Footer>& given) {
    footers = given;
    auto source = objc::adopt(NS::RootObject::make_.send(sourceClass()));
    auto table = objc::adopt(
        TableView::alloc()->initWithFrameStyle(CGRectMake(0, 0, 320, 1000), UI::UITableViewStyleGrouped));
    table->setDataSource(objc::toId(source));
    table->setDelegate(objc::toId(source));
    table->reloadData();
    std::vector<CGRect> frames;
    for (NS::Object* child : table->subviews()) {
        if (NS::cast<UI::TableViewCell>(child) == nullptr) {
            frames.push_back(reinterpret_cast<View*>(child)->frame());
        }
    }
    return frames;
}

TEST(TableFooters, AViewWithoutAHeightIsAsTallAsWhatItHolds) {
    NS::AutoreleaseScope pool;
    // A logo 80 points down, an empty view, a view of its own height, and no view.
    const auto frames = footerFrames({{0, 80}, {0, 0}, {25, 200}, {0, -1}});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].size, (CGSize{320, 80}));
    EXPECT_EQ(frames[1].size.height, 18) << "nothing in it: the table's usual gap";
    EXPECT_EQ(frames[2].size.height, 25) << "a view's own height stands";
    // Each section follows the footer above it, whatever its height.
    EXPECT_EQ(frames[1].origin.y - frames[0].origin.y, 80 + 17 + 44);
}

// One section under a header view 100 points tall, of `rowCount` rows, counting what the table asks.
long rowCount = 0;
int cellsAsked = 0;
int headersAsked = 0;

Class countingSourceClass() {
    static Class cls =
        objc::ClassDefinition<NS::Object>("TestCountingSource", "NSObject")
            .method(UI::TableViewDataSource::numberOfRows_,
                    [](NS::Object*, TableView*, long) -> long { return rowCount; })
            .method(UI::TableViewDataSource::cellForRow_,
                    [](NS::Object*, TableView*, NS::IndexPath*) -> UI::TableViewCell* {
                        ++cellsAsked;
                        return UI::TableViewCell::alloc()
                            ->initWithStyle(0, nullptr)
                            ->autorelease()
                            .as<UI::TableViewCell>();
                    })
            .method(UI::TableViewDelegate::viewForHeader_,
                    [](NS::Object*, TableView*, long) -> View* {
                        ++headersAsked;
                        return View::alloc()->initWithFrame(CGRectZero)->autorelease().as<View>();
                    })
            .method(UI::TableViewDelegate::heightForHeader_,
                    [](NS::Object*, TableView*, long) -> CGFloat { return 100; })
            .build();
    return cls;
}

TEST(TableScrolling, ATableMakesWhatComesIntoViewKeepsWhatStaysAndLetsGoOfWhatLeaves) {
    NS::AutoreleaseScope pool;
    rowCount = 20;
    cellsAsked = headersAsked = 0;
    auto source = objc::adopt(NS::RootObject::make_.send(countingSourceClass()));
    auto table = objc::adopt(
        TableView::alloc()->initWithFrameStyle(CGRectMake(0, 0, 320, 200), UI::UITableViewStyleGrouped));
    table->setDataSource(objc::toId(source));
    table->setDelegate(objc::toId(source));
    table->reloadData();
    // The header, then rows of 44 from 100 on, then the section's gap of 18.
    EXPECT_EQ(table->contentSize(), (CGSize{320, 100 + 20 * 44 + 18}));
    EXPECT_EQ(UI::bottomOffset(table.get()), 100 + 20 * 44 + 18 - 200);
    EXPECT_EQ(cellsAsked, 3) << "rows 0 to 2 reach into the first 200 points";
    EXPECT_EQ(headersAsked, 1);
    auto path = [](long row) { return NS::IndexPath::indexPath(row, 0); };
    EXPECT_NE(table->cellForRowAtIndexPath(path(2)), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath(path(3)), nullptr) << "not in view";
    const UI::TableViewCell* kept = table->cellForRowAtIndexPath(path(2)).get();

    // 120 points down: the header has left, rows 3 and 4 have come.
    table->setContentOffset(CGPoint{0, 120});
    table->layoutIfNeeded();
    EXPECT_EQ(cellsAsked, 5);
    EXPECT_EQ(table->cellForRowAtIndexPath(path(2)).get(), kept) << "a row still in view keeps its cell";
    EXPECT_NE(table->cellForRowAtIndexPath(path(4)), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath(path(5)), nullptr);
    EXPECT_EQ(table->subviews()->count(), 5u) << "five rows and no header";
    EXPECT_EQ(table->bounds().origin.y, 120) << "the bounds start at the offset";

    // Back at the top, the header is asked for again and the rows below the bounds are let go.
    table->setContentOffset(CGPoint{0, 0});
    table->layoutIfNeeded();
    EXPECT_EQ(headersAsked, 2);
    EXPECT_EQ(cellsAsked, 5) << "rows 0 to 2 kept their cells throughout";
    EXPECT_EQ(table->cellForRowAtIndexPath(path(3)), nullptr);
    EXPECT_EQ(table->subviews()->count(), 4u);

    // Laid out again where nothing moved, the table asks for nothing.
    table->layoutIfNeeded();
    EXPECT_EQ(cellsAsked, 5);
    EXPECT_EQ(headersAsked, 2);
}

// One section of `rowCount` rows whose cells show "Row N": taken back from the table when
// `dequeues`, else made anew, always under the identifier "row".
bool dequeues = true;
int cellsMade = 0;

Class reusingSourceClass() {
    static Class cls =
        objc::ClassDefinition<NS::Object>("TestReusingSource", "NSObject")
            .method(UI::TableViewDataSource::numberOfRows_,
                    [](NS::Object*, TableView*, long) -> long { return rowCount; })
            .method(UI::TableViewDataSource::cellForRow_,
                    [](NS::Object*, TableView* table, NS::IndexPath* path) -> UI::TableViewCell* {
                        auto identifier = NS::String::string("row");
                        objc::Ptr<UI::TableViewCell> cell =
                            dequeues ? table->dequeueReusableCellWithIdentifier(identifier).get() : nullptr;
                        if (cell == nullptr) {
                            ++cellsMade;
                            cell = UI::TableViewCell::alloc()->initWithStyle(0, identifier)->autorelease();
                        }
                        const std::string title = "Row " + std::to_string(objc::Ptr(path)->row());
                        cell->textLabel()->setText(NS::String::string(title));
                        return cell;
                    })
            .build();
    return cls;
}

objc::Ref<TableView> reusingTable(id source, double height) {
    auto table = objc::adopt(
        TableView::alloc()->initWithFrameStyle(CGRectMake(0, 0, 320, height), UI::UITableViewStyleGrouped));
    table->setDataSource(source);
    table->reloadData();
    return table;
}

int separatorsIn(UI::TableViewCell* cell) {
    int count = 0;
    for (NS::Object* child : cell->subviews()) {
        count += std::strcmp(class_getName(child->getClass()), "_UITableViewCellSeparatorView") == 0;
    }
    return count;
}

TEST(TableReuse, ALongTableMakesCellsForTheRowsInViewAndEachShowsItsOwnRowWhereverItScrolls) {
    NS::AutoreleaseScope pool;
    rowCount = 500;
    dequeues = true;
    cellsMade = 0;
    auto source = objc::adopt(NS::RootObject::make_.send(reusingSourceClass()));
    // Rows of 44 below a header of 35: five or six of them in 200 points.
    auto table = reusingTable(objc::toId(source), 200);
    EXPECT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->numberOfRowsInSection(0), 500);
    EXPECT_EQ(table->rectForRowAtIndexPath(NS::IndexPath::indexPath(2, 0)),
              CGRectMake(0, 35 + 2 * 44, 320, 44));
    EXPECT_EQ(table->rectForRowAtIndexPath(NS::IndexPath::indexPath(500, 0)), CGRectZero);

    // Down by less than a screen at a time, and asked at once, before the table is laid out; then up.
    std::set<const UI::TableViewCell*> seen;
    std::vector<double> offsets;
    for (double y = 0; y <= UI::bottomOffset(table.get()); y += 150) {
        offsets.push_back(y);
    }
    offsets.push_back(UI::bottomOffset(table.get()));
    for (double y = 4000; y >= 0; y -= 700) {
        offsets.push_back(y);
    }
    long checked = 0;
    for (const double y : offsets) {
        table->setContentOffset(CGPoint{0, y});
        for (long r = 0; r < 500; ++r) {
            auto path = NS::IndexPath::indexPath(r, 0);
            const CGRect where = table->rectForRowAtIndexPath(path);
            const bool inView = where.origin.y < y + 200 && where.origin.y + where.size.height > y;
            auto cell = table->cellForRowAtIndexPath(path);
            ASSERT_EQ(cell != nullptr, inView) << "row " << r << " at offset " << y;
            if (cell == nullptr) {
                continue;
            }
            ++checked;
            seen.insert(cell.get());
            EXPECT_EQ(cell->textLabel()->text()->str(), "Row " + std::to_string(r)) << "at offset " << y;
            EXPECT_EQ(cell->frame().origin.y, where.origin.y);
            EXPECT_EQ(separatorsIn(cell), r == 0 ? 2 : 1) << "row " << r << " at offset " << y;
        }
    }
    EXPECT_GT(checked, 500);
    EXPECT_LE(cellsMade, 7) << "a screen of rows and one more";
    EXPECT_EQ(static_cast<int>(seen.size()), cellsMade);
    table->layoutIfNeeded();
    EXPECT_EQ(cellsMade, static_cast<int>(seen.size())) << "laid out where it was asked, nothing more";
}

TEST(TableReuse, CellsThatAreNotTakenBackAreSoonLetGo) {
    NS::AutoreleaseScope pool;
    rowCount = 500;
    dequeues = false;
    cellsMade = 0;
    auto source = objc::adopt(NS::RootObject::make_.send(reusingSourceClass()));
    auto table = reusingTable(objc::toId(source), 200);
    for (double y = 0; y <= UI::bottomOffset(table.get()); y += 100) {
        table->setContentOffset(CGPoint{0, y});
        table->layoutIfNeeded();
    }
    EXPECT_GT(cellsMade, 400) << "a cell made for every row";
    int waiting = 0;
    auto identifier = NS::String::string("row");
    while (table->dequeueReusableCellWithIdentifier(identifier) != nullptr && waiting <= 500) {
        ++waiting;
    }
    EXPECT_GT(waiting, 5) << "those that left view wait";
    EXPECT_LE(waiting, 64) << "but only a few";
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier(nullptr), nullptr);
}

// Sections and rows without end, as a data source may claim.
Class boundlessSourceClass() {
    static Class cls = objc::ClassDefinition<NS::Object>("TestBoundlessSource", "NSObject")
                           .method(UI::TableViewDataSource::numberOfSections_,
                                   [](NS::Object*, TableView*) -> long { return 1L << 40; })
                           .method(UI::TableViewDataSource::numberOfRows_,
                                   [](NS::Object*, TableView*, long) -> long { return 1L << 40; })
                           .build();
    return cls;
}

TEST(TableReuse, ATableHoldsAtMostAHundredThousandRowsWhateverItsDataSourceClaims) {
    NS::AutoreleaseScope pool;
    auto source = objc::adopt(NS::RootObject::make_.send(boundlessSourceClass()));
    auto table = reusingTable(objc::toId(source), 200);
    const long sections = table->numberOfSections();
    EXPECT_EQ(sections, 10000);
    long rows = 0;
    for (long s = 0; s < sections; ++s) {
        rows += table->numberOfRowsInSection(s);
    }
    EXPECT_EQ(rows, 100000) << "over all sections together";
    EXPECT_EQ(table->numberOfRowsInSection(0), 100000);
    EXPECT_EQ(table->numberOfRowsInSection(sections), 0);
}

// Rows whose cells are made by a data source that asks the table again while it makes each one.
int reentered = 0;

Class reenteringSourceClass() {
    static Class cls =
        objc::ClassDefinition<NS::Object>("TestReenteringSource", "NSObject")
            .method(UI::TableViewDataSource::numberOfRows_,
                    [](NS::Object*, TableView*, long) -> long { return 30; })
            .method(UI::TableViewDataSource::cellForRow_,
                    [](NS::Object*, TableView* table, NS::IndexPath* path) -> UI::TableViewCell* {
                        ++reentered;
                        table->reloadData();
                        table->cellForRowAtIndexPath(path);
                        return UI::TableViewCell::alloc()->initWithStyle(0, "row"_ns)->autorelease();
                    })
            .build();
    return cls;
}

TEST(TableReuse, ADataSourceThatReloadsWhileARowIsMadeHasItsRowsAskedForAtTheNextLayout) {
    NS::AutoreleaseScope pool;
    reentered = 0;
    auto source = objc::adopt(NS::RootObject::make_.send(reenteringSourceClass()));
    auto table = reusingTable(objc::toId(source), 200);
    const int firstScreen = reentered;
    EXPECT_EQ(firstScreen, 4) << "rows 0 to 3 below the header";
    EXPECT_NE(table->cellForRowAtIndexPath(NS::IndexPath::indexPath(0, 0)), nullptr);
    table->setContentOffset(CGPoint{0, 500});
    table->layoutIfNeeded();
    EXPECT_GT(reentered, firstScreen);
    EXPECT_NE(table->cellForRowAtIndexPath(NS::IndexPath::indexPath(12, 0)), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath(NS::IndexPath::indexPath(0, 0)), nullptr);
}

} // namespace
