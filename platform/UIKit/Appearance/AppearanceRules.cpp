#include "UIKit/Appearance/AppearanceRules.hpp"

#include <algorithm>

namespace appearance {
namespace {

bool isKindOf(const ClassChain& chain, const std::string& name) {
    return std::find(chain.begin(), chain.end(), name) != chain.end();
}

// Each container in turn is found further out than the one before: taking the nearest ancestor that
// fits at each step leaves the most room for the containers still to find.
bool matches(const Rule& rule, const std::vector<ClassChain>& ancestors) {
    std::size_t next = 0;
    for (const std::string& container : rule.containers) {
        while (next < ancestors.size() && !isKindOf(ancestors[next], container)) {
            ++next;
        }
        if (next == ancestors.size()) {
            return false;
        }
        ++next;
    }
    return true;
}

} // namespace

int select(const std::vector<Rule>& rules, const std::vector<ClassChain>& ancestors) {
    int best = -1;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (!matches(rules[i], ancestors)) {
            continue;
        }
        if (best < 0 ||
            rules[i].containers.size() >= rules[static_cast<std::size_t>(best)].containers.size()) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace appearance
