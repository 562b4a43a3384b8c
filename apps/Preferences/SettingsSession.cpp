#include "SettingsSession.hpp"
#include "Foundation/NSRunLoopInternals.hpp"

#include "PaneView.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <iostream>

namespace settings {
namespace {

using NS::literals::operator""_ns;

std::string text(NS::Object* object) {
    auto s = NS::cast<NS::String>(object);
    return s != nullptr ? s->str() : std::string();
}

// The navigation controller that holds a pane inside the outer one: its own bar stays hidden, and the
// outer bar shows what its top controller puts there.
class PaneNavigationController
    : public NS::Referencing<PaneNavigationController, "PSPaneNavigationController",
                             UI::NavigationController> {};

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<PaneNavigationController>()
        .method(UI::ViewController::navigationItem_,
                [](PaneNavigationController* self) -> UI::NavigationItem* {
                    return self->topViewController()->navigationItem();
                })
        .build();
}

std::string joinTitles(const std::vector<std::string>& titles) {
    std::string joined;
    for (const std::string& t : titles) {
        joined += (joined.empty() ? "" : ", ") + ("\"" + t + "\"");
    }
    return joined.empty() ? "none" : joined;
}

} // namespace

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return parts;
}

bool nestsPanes(double coreFoundationVersion) {
    // 8.0 (1140.10) to 8.1.2 (1141.18), both ends included.
    return coreFoundationVersion >= 1140.10 && coreFoundationVersion <= 1141.18;
}

Session::Session()
    : entries_(loadEntries(std::cerr)), nested_(nestsPanes(kCFCoreFoundationVersionNumber)),
      appearedAt_(NS::RunLoopInternals::monotonicNow()) {
    // The top list of Settings; the packages' panes are pushed above it.
    topList_ = PS::ListController::alloc()->init();
    topList_->setTitle("Settings"_ns);
    topList_->setSpecifiers(topListRows(entries_));
    navigation_ = UI::NavigationController::alloc()->initWithRootViewController(topList_);
    window_ = UI::Window::alloc()->init().as<UI::Window>();
    window_->setRootViewController(navigation_);
    window_->makeKeyAndVisible();
}

Session::~Session() {
    close();
    navigation_->viewWillDisappear(false);
    navigation_->viewDidDisappear(false);
    window_->setRootViewController(nullptr);
    window_->release();
    navigation_->release();
    topList_->release();
}

UI::NavigationController* Session::paneNavigation() {
    if (nested_) {
        if (auto inner = NS::cast<UI::NavigationController>(navigation_->topViewController())) {
            return inner;
        }
    }
    return navigation_;
}

UI::NavigationBar* Session::bar() { return navigation_->navigationBar(); }

bool Session::back() {
    if (top() == nullptr) {
        return false;
    }
    UI::NavigationController* panes = paneNavigation();
    if (panes != navigation_ && panes->viewControllers()->count() < 2) {
        navigation_->popViewController(true); // the pane's own navigation controller goes with it
    } else {
        panes->popViewController(true);
    }
    appearedAt_ = NS::RunLoopInternals::monotonicNow();
    return true;
}

void Session::select(PS::ListController* pane, long section, long row) {
    PS::ListController* before = shown();
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(row, section));
    if (shown() != before) {
        appearedAt_ = NS::RunLoopInternals::monotonicNow();
    }
}

PS::ListController* Session::tapTopList(const std::string& title) {
    for (const Entry& entry : entries_) {
        if (entry.label == title) {
            return openEntry(entry);
        }
    }
    if (isSystemRow(title)) {
        throw SettingsError("\"" + title +
                            "\" in \"Settings\" opens nothing here: only packages' panes open");
    }
    return nullptr;
}

PS::ListController* Session::openEntry(const Entry& entry) {
    NS::Bundle* bundle = NS::Bundle::bundleWithPath(NS::String::string(entry.bundlePath));
    if (bundle == nullptr || !bundle->load()) {
        throw SettingsError("cannot load the bundle of \"" + entry.label + "\" at " + entry.bundlePath);
    }
    Class principal = bundle->principalClass();
    if (principal == Nil ||
        !NS::RootObject::isSubclassOfClass_.send(principal, PS::ListController::runtimeClass())) {
        throw SettingsError("the bundle of \"" + entry.label + "\" has no pane to show");
    }
    PS::ListController* pane = PS::ListController::alloc_.send(principal)->init();
    if (pane == nullptr) {
        throw SettingsError("the pane of \"" + entry.label + "\" could not be made");
    }
    pane->setBundle(bundle);
    pane->setSpecifier(PS::Specifier::preferenceSpecifier(NS::String::string(entry.label), nullptr, nullptr,
                                                          nullptr, principal, PS::LinkCell, 0));
    if (nested_) {
        auto inner = PaneNavigationController::alloc()->initWithRootViewController(pane);
        inner->setNavigationBarHidden(true);
        navigation_->pushViewController(inner, false);
        inner->release();
    } else {
        navigation_->pushViewController(pane, false);
    }
    pane->release();
    appearedAt_ = NS::RunLoopInternals::monotonicNow();
    return pane;
}

PS::ListController* Session::open(const std::string& path) {
    const std::vector<std::string> titles = splitPath(path);
    if (titles.empty()) {
        throw SettingsError("no pane named");
    }
    const auto entry =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.label == titles[0]; });
    if (entry == entries_.end()) {
        std::vector<std::string> labels;
        for (const Entry& e : entries_) {
            labels.push_back(e.label);
        }
        // Nothing was tapped: the screen stays as it was.
        throw SettingsError("no pane \"" + titles[0] + "\" in Settings (there are: " + joinTitles(labels) +
                            ")");
    }
    close();
    try {
        PS::ListController* pane = openEntry(*entry);
        std::string where = titles[0];
        for (std::size_t i = 1; i < titles.size(); ++i) {
            const std::vector<SectionView> sections = readPane(pane);
            const RowView* found = nullptr;
            std::vector<std::string> links;
            for (const SectionView& section : sections) {
                for (const RowView& row : section.rows) {
                    if (row.specifier->detailControllerClass() == Nil &&
                        row.specifier->cellType() != PS::LinkCell) {
                        continue;
                    }
                    links.push_back(row.title);
                    if (found == nullptr && row.title == titles[i]) {
                        found = &row;
                    }
                }
            }
            if (found == nullptr) {
                throw SettingsError("no pane \"" + titles[i] + "\" in \"" + where +
                                    "\" (its links: " + joinTitles(links) + ")");
            }
            if (found->specifier->detailControllerClass() == Nil) {
                const std::string missing = text(found->specifier->propertyForKey("detail"_ns));
                throw SettingsError("\"" + titles[i] + "\" in \"" + where + "\" opens no pane" +
                                    (missing.empty() ? "" : " (there is no " + missing + ")"));
            }
            select(pane, found->section, found->row);
            PS::ListController* next = top();
            if (next == nullptr || next == pane) {
                throw SettingsError("\"" + titles[i] + "\" in \"" + where + "\" opens no pane");
            }
            pane = next;
            where += "/" + titles[i];
        }
        return pane;
    } catch (...) {
        close();
        throw;
    }
}

PS::ListController* Session::openFirst() {
    if (entries_.empty()) {
        throw SettingsError("Settings lists no package's pane: there is no entry in "
                            "/Library/PreferenceLoader/Preferences");
    }
    close();
    return openEntry(entries_.front());
}

PS::ListController* Session::paneFor(const std::optional<std::string>& path) {
    if (path) {
        return open(*path);
    }
    if (PS::ListController* pane = top()) {
        return pane;
    }
    return openFirst();
}

PS::ListController* Session::top() {
    if (navigation_->viewControllers()->count() < 2) {
        return nullptr;
    }
    return NS::cast<PS::ListController>(paneNavigation()->topViewController());
}

PS::ListController* Session::shown() {
    PS::ListController* pane = top();
    return pane != nullptr ? pane : topList_;
}

std::vector<PS::ListController*> Session::panes() {
    std::vector<PS::ListController*> found;
    auto collect = [&](UI::NavigationController* navigation) {
        for (NS::Object* controller : navigation->viewControllers()) {
            if (auto pane = NS::cast<PS::ListController>(controller); pane != nullptr && pane != topList_) {
                found.push_back(pane);
            }
        }
    };
    collect(navigation_);
    if (UI::NavigationController* inner = paneNavigation(); inner != navigation_) {
        collect(inner);
    }
    return found;
}

std::string Session::where() {
    std::string path;
    for (PS::ListController* pane : panes()) {
        // A pane is titled after the row that opened it.
        auto opener = pane->specifier();
        const std::string title = opener != nullptr ? text(opener->name()) : text(pane->title());
        path += (path.empty() ? "" : "/") + title;
    }
    return path.empty() ? "Settings" : path;
}

void Session::close() {
    if (navigation_->viewControllers()->count() > 1) {
        navigation_->popToRootViewController(false);
        appearedAt_ = NS::RunLoopInternals::monotonicNow();
    }
}

} // namespace settings
