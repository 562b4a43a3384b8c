#include "UIKit/Layout/LayoutPass.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "UIKit/UIViewInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_map>

namespace UI {
namespace {

// Changes counted process-wide: a tree remembers the count it was laid out at. Views live on the
// main thread, as in UIKit, so a plain counter does.
unsigned long generation = 1;

// Reports already written: a layout that stays broken is reported once, not at every pass.
constexpr std::size_t kMaxRemembered = 1000;

// Deeper than any screen nests its views: a tree past it is laid out down to here only.
constexpr std::size_t kMaxDepth = 256;

// A view's own layoutSubviews may move views that constraints hang on, or mark a view already passed;
// a few rounds settle any ordinary screen, and a layout that keeps moving stops here rather than
// spinning.
constexpr int kMaxRounds = 3;

// The view whose layoutSubviews is running: what it does to itself does not mark it again.
View* layingOut = nullptr;

// Windows, not owned: each removes itself as it goes.
std::vector<View*>& windows() {
    static std::vector<View*> list;
    return list;
}

// Whether the main run loop has a pass of the windows to come.
bool passScheduled = false;

void layOutWindows() {
    passScheduled = false;
    // A copy: a window's layoutSubviews may make or let go of another window.
    const std::vector<View*> now = windows();
    for (View* window : now) {
        if (std::find(windows().begin(), windows().end(), window) != windows().end()) {
            objc::Ref<View> keep = objc::retain(window);
            window->layoutIfNeeded();
        }
    }
}

// Like the device's, the main run loop lays out what changed once its current work is done, before
// it waits again.
void schedulePass() {
    if (passScheduled) {
        return;
    }
    passScheduled = true;
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())
        ->scheduleWork(NS::RunLoopInternals::monotonicNow(), &layOutWindows);
}

bool isMarked(View* view) { return objc::ivar(view, UI::ViewInternals::_needsLayout); }

char* addressText(const void* object, char (&buffer)[32]) {
    std::snprintf(buffer, sizeof buffer, "%p", object);
    return buffer;
}

// How reports name a view: its class and address, as UIKit's do, and a label's text.
std::string nameOf(View* view) {
    char address[32];
    std::string name = std::string(class_getName(view->getClass())) + ":" + addressText(view, address);
    if (auto label = NS::cast<Label>(view); label != nullptr && label->text() != nullptr) {
        std::string text = label->text()->str();
        if (text.size() > 40) {
            text = text.substr(0, 40) + "...";
        }
        name += " '" + text + "'";
    }
    return name;
}

std::string nameOf(NS::LayoutConstraint* constraint) {
    if (auto identifier = constraint->identifier(); identifier != nullptr && identifier->length() > 0) {
        return "'" + identifier->str() + "'";
    }
    char address[32];
    return std::string("NSLayoutConstraint:") + addressText(constraint, address);
}

geometry::Rect rectOf(CGRect r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }
CGRect cgRectOf(const geometry::Rect& r) { return CGRectMake(r.x, r.y, r.width, r.height); }

struct Tree {
    std::vector<objc::Ref<View>> views; // depth first, superviews before their subviews
    std::unordered_map<const View*, int> index;
    std::vector<layout::Item> items;
    std::vector<layout::ItemConstraint> constraints;
};

View* topmost(View* view) {
    objc::Ptr<View> top = view;
    while (top->superview() != nullptr) {
        top = top->superview();
    }
    return top;
}

void addView(Tree& tree, View* view, int parent) {
    const int i = static_cast<int>(tree.views.size());
    tree.views.push_back(objc::retain(view));
    tree.index[view] = i;
    layout::Item item;
    item.name = nameOf(view);
    item.parent = parent;
    item.frame = rectOf(view->frame());
    item.translatesAutoresizingMask = parent < 0 || view->translatesAutoresizingMaskIntoConstraints();
    if (!item.translatesAutoresizingMask) {
        // Only views that constraints place need their content's size.
        const CGSize size = view->intrinsicContentSize();
        item.intrinsicWidth = size.width;
        item.intrinsicHeight = size.height;
        item.huggingHorizontal = view->contentHuggingPriorityForAxis(LayoutConstraintAxisHorizontal);
        item.huggingVertical = view->contentHuggingPriorityForAxis(LayoutConstraintAxisVertical);
        item.compressionHorizontal =
            view->contentCompressionResistancePriorityForAxis(LayoutConstraintAxisHorizontal);
        item.compressionVertical =
            view->contentCompressionResistancePriorityForAxis(LayoutConstraintAxisVertical);
        const BaselineMetrics baseline = ViewInternals::of(view)->baselineMetrics();
        item.baselineHeightFactor = baseline.heightFactor;
        item.firstBaselineOffset = baseline.firstOffset;
        item.lastBaselineOffset = baseline.lastOffset;
    }
    tree.items.push_back(item);
}

Tree collect(View* root) {
    Tree tree;
    struct Pending {
        View* view;
        int parent;
        std::size_t depth;
    };
    std::vector<Pending> stack{{root, -1, 0}};
    while (!stack.empty()) {
        const Pending next = stack.back();
        stack.pop_back();
        addView(tree, next.view, next.parent);
        if (next.depth >= kMaxDepth) {
            continue;
        }
        const int self = static_cast<int>(tree.views.size()) - 1;
        auto subviews = next.view->subviews();
        // Backwards onto the stack, so that they come off it back to front.
        for (unsigned long k = subviews->count(); k-- > 0;) {
            stack.push_back({subviews->objectAtIndex(k).as<View>(), self, next.depth + 1});
        }
    }
    const int count = static_cast<int>(tree.views.size());
    for (int on = 0; on < count; ++on) {
        for (NS::Object* object : tree.views[static_cast<std::size_t>(on)]->constraints()) {
            auto c = reinterpret_cast<NS::LayoutConstraint*>(object);
            // The items are looked up, never sent to: one that is not in the tree is named by an
            // index past the end, which the engine reports as a view that is not laid out.
            auto indexOf = [&](const View* v) {
                if (v == nullptr) {
                    return -1;
                }
                const auto found = tree.index.find(v);
                return found != tree.index.end() ? found->second : count;
            };
            layout::ItemConstraint item;
            item.name = nameOf(c);
            item.item = c->firstItem() == nullptr ? count : indexOf(c->firstItem());
            item.attribute = static_cast<layout::Attribute>(c->firstAttribute());
            item.relation = static_cast<layout::LayoutRelation>(c->relation());
            item.toItem = indexOf(c->secondItem());
            item.toAttribute = static_cast<layout::Attribute>(c->secondAttribute());
            item.multiplier = c->multiplier();
            item.constant = c->constant();
            item.priority = c->priority();
            item.installedOn = on;
            tree.constraints.push_back(item);
        }
    }
    return tree;
}

void report(const std::vector<layout::Problem>& problems) {
    static std::set<std::string> reported;
    for (const layout::Problem& p : problems) {
        if (reported.count(p.message) != 0) {
            continue;
        }
        if (reported.size() < kMaxRemembered) {
            reported.insert(p.message);
        }
        std::fprintf(stderr, "%s\n", p.message.c_str());
    }
}

// Sends layoutSubviews to every marked view of the tree below `root`, each before its subviews, which
// are looked at as they are after it ran.
void layOutMarked(View* root) {
    std::vector<std::pair<objc::Ref<View>, std::size_t>> stack;
    stack.emplace_back(objc::retain(root), 0);
    while (!stack.empty()) {
        auto [view, depth] = std::move(stack.back());
        stack.pop_back();
        if (isMarked(view.get())) {
            objc::setIvar(view.get(), UI::ViewInternals::_needsLayout, false);
            View* outer = layingOut;
            layingOut = view.get();
            view->layoutSubviews();
            layingOut = outer;
        }
        if (depth >= kMaxDepth) {
            continue;
        }
        auto subviews = view->subviews();
        for (unsigned long k = subviews->count(); k-- > 0;) {
            stack.emplace_back(objc::retain(subviews->objectAtIndex(k).as<View>().get()), depth + 1);
        }
    }
}

bool anyMarked(View* root) {
    std::vector<std::pair<View*, std::size_t>> stack{{root, 0}};
    while (!stack.empty()) {
        const auto [view, depth] = stack.back();
        stack.pop_back();
        if (isMarked(view)) {
            return true;
        }
        if (depth >= kMaxDepth) {
            continue;
        }
        for (NS::Object* child : view->subviews()) {
            stack.emplace_back(reinterpret_cast<View*>(child), depth + 1);
        }
    }
    return false;
}

} // namespace

void layoutChanged() {
    ++generation;
    schedulePass();
}

void markNeedsLayout(View* view) {
    if (view == nullptr || view == layingOut) {
        return;
    }
    objc::setIvar(view, UI::ViewInternals::_needsLayout, true);
    schedulePass();
}

bool treeNeedsLayout(View* view) {
    return view != nullptr && (!layoutIsCurrent(view) || anyMarked(topmost(view)));
}

void addWindowToLayOut(View* window) {
    windows().push_back(window);
    schedulePass();
}

void removeWindowToLayOut(View* window) { std::erase(windows(), window); }

const std::vector<View*>& windowsToLayOut() { return windows(); }

bool ambiguityIsChecked(View* view) {
    return view != nullptr && objc::ivar(topmost(view), UI::ViewInternals::_checkedGeneration) == generation;
}

bool layoutIsCurrent(View* view) {
    return view != nullptr && objc::ivar(topmost(view), UI::ViewInternals::_layoutGeneration) == generation;
}

std::vector<layout::Problem> layoutViewTree(View* view, const LayoutPassOptions& options) {
    if (view == nullptr) {
        return {};
    }
    objc::Ref<View> root = objc::retain(topmost(view));
    std::vector<layout::Problem> problems;
    for (int round = 0; round < kMaxRounds; ++round) {
        const Tree tree = collect(root.get());
        layout::Options engine;
        engine.findAmbiguity = options.findAmbiguity && round == 0;
        layout::Solution solved = layout::solve(tree.items, tree.constraints, engine);
        if (round == 0) {
            problems = std::move(solved.problems);
        }
        for (std::size_t i = 1; i < tree.views.size() && i < solved.frames.size(); ++i) {
            if (!(solved.frames[i] == tree.items[i].frame)) {
                tree.views[i]->setFrame(cgRectOf(solved.frames[i]));
            }
        }
        const unsigned long solvedAt = generation;
        layOutMarked(root.get());
        // Views added or moved by layoutSubviews (a table's rows coming into view) may hang on
        // constraints that this round did not solve.
        bool moved = generation != solvedAt;
        for (std::size_t i = 1; i < tree.views.size() && i < solved.frames.size(); ++i) {
            moved = moved || !(rectOf(tree.views[i]->frame()) == solved.frames[i]);
        }
        if (!moved && !anyMarked(root.get())) {
            break;
        }
    }
    objc::setIvar(root, UI::ViewInternals::_layoutGeneration, generation);
    if (options.findAmbiguity) {
        objc::setIvar(root, UI::ViewInternals::_checkedGeneration, generation);
    }
    if (options.report) {
        report(problems);
    }
    return problems;
}

} // namespace UI
