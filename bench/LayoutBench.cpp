// What a layout pass costs: a table of developer cells (a picture and three constrained labels each)
// solved from scratch, as the layout pass of a window does.
#include "UIKit/Layout/LayoutEngine.hpp"

#include <benchmark/benchmark.h>

namespace {

using layout::Attribute;

struct Table {
    std::vector<layout::Item> items;
    std::vector<layout::ItemConstraint> constraints;
};

layout::ItemConstraint equal(int item, Attribute a, int to, Attribute b, double constant, int on) {
    layout::ItemConstraint c;
    c.item = item;
    c.attribute = a;
    c.toItem = to;
    c.toAttribute = b;
    c.constant = constant;
    c.installedOn = on;
    return c;
}

Table table(int cells) {
    Table t;
    layout::Item root;
    root.name = "table";
    root.frame = {0, 0, 320, 100.0 * cells};
    t.items.push_back(root);
    for (int i = 0; i < cells; ++i) {
        const int cell = static_cast<int>(t.items.size());
        layout::Item c;
        c.name = "cell";
        c.parent = 0;
        c.frame = {0, 100.0 * i, 320, 100};
        t.items.push_back(c);
        layout::Item picture;
        picture.name = "picture";
        picture.parent = cell;
        picture.frame = {10, 15, 70, 70};
        t.items.push_back(picture);
        for (int line = 0; line < 3; ++line) {
            layout::Item label;
            label.name = "label";
            label.parent = cell;
            label.translatesAutoresizingMask = false;
            label.intrinsicWidth = 80 + 10 * line;
            label.intrinsicHeight = 24 - 4 * line;
            t.items.push_back(label);
        }
        const int name = cell + 2;
        for (int line = 0; line < 3; ++line) {
            t.constraints.push_back(
                equal(name + line, Attribute::Left, cell + 1, Attribute::Right, 30, cell));
        }
        t.constraints.push_back(equal(name, Attribute::CenterY, cell, Attribute::CenterY, -20, cell));
        t.constraints.push_back(equal(name + 1, Attribute::Top, name, Attribute::Bottom, 0, cell));
        t.constraints.push_back(equal(name + 2, Attribute::Top, name + 1, Attribute::Bottom, 5, cell));
    }
    return t;
}

void LayoutPass(benchmark::State& state) {
    const Table t = table(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto solved = layout::solve(t.items, t.constraints, layout::Options{false});
        benchmark::DoNotOptimize(solved);
    }
    state.counters["views"] = benchmark::Counter(static_cast<double>(t.items.size()),
                                                 benchmark::Counter::kIsIterationInvariantRate);
    state.counters["constraints"] = benchmark::Counter(static_cast<double>(t.constraints.size()),
                                                       benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(LayoutPass)->Arg(1)->Arg(10)->Arg(40);

} // namespace

BENCHMARK_MAIN();
