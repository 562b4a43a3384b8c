// Which appearance proxy applies to a view: matching `appearanceWhenContainedIn:` lists against the
// chain of views and view controllers that contain it, as plain data.
#pragma once

#include <string>
#include <vector>

namespace appearance {

// A class as the matching sees it: its own name, then its superclasses' names, nearest first.
using ClassChain = std::vector<std::string>;

// One proxy: the container classes it was asked for, innermost first (empty for `appearance`).
struct Rule {
    std::vector<std::string> containers;
};

// The rule whose containers each contain the view, in their order and each inside the one before
// (instances of the class or of a subclass); among several, the one naming more containers, then the
// one made last. `ancestors` are the view's containers, nearest first. -1 when none applies.
[[gnu::visibility("default")]] int select(const std::vector<Rule>& rules,
                                          const std::vector<ClassChain>& ancestors);

} // namespace appearance
