// What a Settings pane of many rows costs its table: the pane opened and its first screen laid out,
// and the whole pane read row by row as `list` reads it, scrolled through from the top. The first
// should cost what a screen costs however many rows the pane has; the second what its rows cost.
#include "Foundation/Foundation.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIScrollViewInternals.hpp"
#include "UIKit/UITableView.hpp"
#include "objc/Runtime.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using objc::operator""_sel;
using NS::literals::operator""_ns;

// `count` switches in groups of forty, as a long specifier file gives them, their values read from
// `store`'s memory (their defaults, as nothing is stored).
objc::Ref<NS::Array> switchRows(long count, id store) {
    NS::AutoreleaseScope pool;
    auto rows = NS::MutableArray::array();
    for (long i = 0; i < count; ++i) {
        if (i % 40 == 0) {
            rows->addObject(
                PS::Specifier::preferenceSpecifier(NS::String::string("Group " + std::to_string(i)), nil,
                                                   nullptr, nullptr, Nil, PS::GroupCell, 0));
        }
        auto row = PS::Specifier::preferenceSpecifier(NS::String::string("Switch " + std::to_string(i)),
                                                      store, "setPreferenceValue:specifier:"_sel,
                                                      "readPreferenceValue:"_sel, Nil, PS::SwitchCell, 0);
        row->setProperty(NS::String::string("k" + std::to_string(i)), "key"_ns);
        row->setProperty(NS::Number::number(i % 2 == 0), "default"_ns);
        rows->addObject(row);
    }
    return objc::retain(rows.as<NS::Array>());
}

// A pane showing `rows`, its view loaded and laid out: the table has made its first screen.
objc::Ref<PS::ListController> openPane(const objc::Ref<NS::Array>& rows) {
    auto pane = objc::adopt(PS::ListController::alloc()->init());
    pane->setSpecifiers(rows.get());
    pane->view();
    pane->table()->layoutIfNeeded();
    return pane;
}

void PaneScreen(benchmark::State& state) {
    auto store = objc::adopt(PS::ListController::alloc()->init());
    const auto rows = switchRows(state.range(0), store->self());
    unsigned long cells = 0;
    for (auto _ : state) {
        NS::AutoreleaseScope pool;
        auto pane = openPane(rows);
        cells = pane->table()->subviews()->count();
        benchmark::DoNotOptimize(pane.get());
    }
    state.counters["views"] = static_cast<double>(cells);
}

// Every row's cell read while the row is in view, the table scrolled to bring each row that is not.
void PaneListed(benchmark::State& state) {
    auto store = objc::adopt(PS::ListController::alloc()->init());
    const auto rows = switchRows(state.range(0), store->self());
    std::size_t cells = 0;
    for (auto _ : state) {
        NS::AutoreleaseScope pool;
        auto pane = openPane(rows);
        UI::TableView* table = pane->table();
        std::set<const UI::TableViewCell*> seen;
        std::size_t read = 0;
        for (long s = 0, sections = table->numberOfSections(); s < sections; ++s) {
            for (long r = 0, n = table->numberOfRowsInSection(s); r < n; ++r) {
                NS::AutoreleaseScope rowPool;
                auto path = NS::IndexPath::indexPath(r, s);
                auto cell = table->cellForRowAtIndexPath(path);
                if (cell == nullptr) {
                    const double top =
                        std::min(table->rectForRowAtIndexPath(path).origin.y, UI::bottomOffset(table));
                    table->setContentOffset(CGPoint{0, top});
                    cell = table->cellForRowAtIndexPath(path);
                }
                read +=
                    cell->textLabel()->text()->length() > 0 && cell.as<PS::TableCell>()->value() != nullptr;
                seen.insert(cell.get());
            }
        }
        if (read != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("a row showed no title or no value");
            break;
        }
        cells = seen.size();
    }
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["rows"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(PaneScreen)->Arg(40)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(PaneListed)->Arg(40)->Arg(4000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
