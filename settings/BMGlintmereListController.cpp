#include "BMGlintmereListController.hpp"

#include "BMGlintmereLocalizer.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UITableView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <CoreFoundation/CoreFoundation.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

namespace host = glintmere::host;

// An opaque colour of 8-bit components, each worked out as n/255 in single precision, as the pane's
// colours always were, and only then widened.
objc::Ptr<UI::Color> opaqueColor(int red, int green, int blue) {
    const auto component = [](int n) { return static_cast<CGFloat>(static_cast<float>(n) / 255.0f); };
    return UI::Color::colorWithRed(component(red), component(green), component(blue), 1.0);
}

// From 8.0 to 8.1.2 Settings holds each pane's navigation controller inside another one, whose bar is
// the one on screen.
bool barIsTwoLevelsUp() {
    return kCFCoreFoundationVersionNumber >= 1140.1 && kCFCoreFoundationVersionNumber <= 1141.18;
}

// The bar the pane colours; nil when the navigation controller it belongs to does not exist.
objc::Ptr<UI::NavigationBar> paneBar(objc::Ptr<BMGlintmereListController> pane) {
    if (barIsTwoLevelsUp()) {
        return pane->navigationController()->navigationController()->navigationBar();
    }
    return pane->navigationController()->navigationBar();
}

objc::Ptr<NS::Object> property(objc::Ptr<PS::Specifier> specifier, const char* name) {
    return specifier->properties()->objectForKey(NS::String::string(name));
}
// The preferences file as a dictionary, changeable by the caller; nil when it is missing, unreadable
// or no dictionary. It is read as the hook library and the platform's own readers read it: a link at
// its path is followed, so that every reader sees the same settings. (A store never writes through
// one: the atomic write puts a file in the link's place.)
objc::Ptr<NS::MutableDictionary> readPreferences() {
    return NS::MutableDictionary::dictionaryWithContentsOfFile(
        NS::String::string(glintmere::kPreferencesPath));
}

// An exclusive advisory lock for one read-merge-write of the preferences file, so that two Settings
// processes storing at once each merge into the other's result. Without a lock file (no folder, no
// permission, a link in its place) the store goes ahead unguarded, as it would have anyway; a link is
// never followed, so that it cannot make the store create a file wherever it points.
class PreferencesLock {
  public:
    PreferencesLock()
        : fd_(open(glintmere::kPreferencesLockPath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)) {
        while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    PreferencesLock(const PreferencesLock&) = delete;
    PreferencesLock& operator=(const PreferencesLock&) = delete;
    ~PreferencesLock() {
        if (fd_ >= 0) {
            close(fd_); // also releases the lock
        }
    }

  private:
    int fd_;
};

// Copies the regular file at `path` to the new file `copy`. Neither is followed if it is a link:
// the copy is made only in a name that nothing held before.
bool copyFile(const char* path, const char* copy) {
    const int in = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (in >= 0) {
            close(in);
        }
        return false;
    }
    const int out = open(copy, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, info.st_mode & 0777);
    bool copied = out >= 0;
    char buffer[65536];
    while (copied) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            copied = n == 0;
            break;
        }
        for (ssize_t done = 0; copied && done < n;) {
            const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
            copied = w > 0 || (w < 0 && errno == EINTR);
            done += w > 0 ? w : 0;
        }
    }
    close(in);
    return out >= 0 && close(out) == 0 && copied;
}

// Keeps the file at `path` as the one backup beside it, replacing an earlier backup. A hard link
// keeps the very bytes without reading them (the store then replaces the file by renaming a new one
// over it, which leaves the linked original alone); a copy serves where links are refused. A link at
// `path` is kept as the link it is.
bool keepAside(const char* path, const char* backup) {
    const std::string staging = std::string(backup) + ".new";
    unlink(staging.c_str());
    if (link(path, staging.c_str()) != 0 && !copyFile(path, staging.c_str())) {
        unlink(staging.c_str());
        return false;
    }
    if (rename(staging.c_str(), backup) != 0) {
        unlink(staging.c_str());
        return false;
    }
    return true;
}

// Merges `value` under the row's key into the preferences file and tells the listeners.
void storePreferenceValue(objc::Ptr<NS::Object> value, objc::Ptr<PS::Specifier> specifier) {
    auto key = property(specifier, host::kKey);
    if (value == nullptr || key == nullptr) {
        // There is nothing that could be stored: the file and the listeners are left alone.
        return;
    }
    {
        PreferencesLock lock;
        // The dictionary read is the one the value goes into: nothing is copied entry by entry.
        auto merged = readPreferences();
        bool replace = true;
        if (merged == nullptr) {
            if (struct stat info; lstat(glintmere::kPreferencesPath, &info) == 0) {
                // There is a file, but not one that reads as a dictionary: it goes beside the new
                // one rather than away, and stays where it is if it cannot be kept.
                replace = keepAside(glintmere::kPreferencesPath, glintmere::kPreferencesBackupPath);
            }
            merged = NS::MutableDictionary::dictionary();
        }
        if (replace) {
            merged->setObjectForKey(value, key);
            merged->writeToFile(NS::String::string(glintmere::kPreferencesPath), true);
        }
    }
    if (auto notification = NS::cast<NS::String>(property(specifier, host::kPostNotification))) {
        CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                             reinterpret_cast<CFStringRef>(notification.get()), nullptr,
                                             nullptr, true);
    }
}

GLINTMERE_REGISTER_CLASSES {
    using Controller = BMGlintmereListController;
    objc::ClassDefinition<Controller>()
        .ivar(BMGlintmereListController::prevStatusStyle)
        .method(UI::ViewController::viewWillAppear_,
                [](Controller* self, bool animated) {
                    UI::ViewController::viewWillAppear_.super<Controller>(self, animated);
                    auto bar = paneBar(self);
                    bar->setTitleTextAttributes(NS::Dictionary::dictionaryWithObject(
                        UI::Color::whiteColor(), NSForegroundColorAttributeName));
                    bar->setTintColor(opaqueColor(238, 238, 238));
                    bar->setBarTintColor(opaqueColor(36, 55, 71));
                    UI::Switch::appearanceWhenContainedIn(self->getClass(), nullptr)
                        ->setOnTintColor(opaqueColor(65, 169, 214));
                    auto application = UI::Application::sharedApplication();
                    objc::setIvar(self, BMGlintmereListController::prevStatusStyle,
                                  application->statusBarStyle());
                    application->setStatusBarStyle(UI::UIStatusBarStyleLightContent);
                })
        .method(UI::ViewController::viewWillDisappear_,
                [](Controller* self, bool animated) {
                    UI::ViewController::viewWillDisappear_.super<Controller>(self, animated);
                    auto bar = paneBar(self);
                    bar->setTintColor(nullptr);
                    bar->setBarTintColor(nullptr);
                    bar->setTitleTextAttributes(nullptr);
                    UI::Application::sharedApplication()->setStatusBarStyle(
                        objc::ivar(self, BMGlintmereListController::prevStatusStyle));
                })
        .method(PS::ListController::tableViewCellForRowAtIndexPath_,
                [](Controller* self, UI::TableView* table, NS::IndexPath* indexPath) -> UI::TableViewCell* {
                    auto cell = PS::ListController::tableViewCellForRowAtIndexPath_.super<Controller>(
                        self, table, indexPath);
                    cell.as<PS::TableCell>()->titleLabel()->setTextColor(opaqueColor(22, 36, 51));
                    return cell;
                })
        .method(Controller::specifiersForPlistName_,
                [](Controller* self, NS::String* name) -> NS::Array* {
                    auto loaded = self->loadSpecifiersFromPlistName(name, self->self());
                    // The one ownership that passes to the caller.
                    loaded->retain();
                    return BMGlintmereLocalizer::sharedLocalizer()->localizedSpecifiersForSpecifiers(loaded);
                })
        .method(PS::ListController::readPreferenceValue_,
                [](Controller*, objc::Ptr<PS::Specifier> specifier) -> NS::Object* {
                    auto key = property(specifier, host::kKey);
                    auto value = key != nullptr ? readPreferences()->objectForKey(key) : nullptr;
                    return value != nullptr ? value : property(specifier, host::kDefault);
                })
        .method(PS::ListController::setPreferenceValueSpecifier_,
                [](Controller*, NS::Object* value, objc::Ptr<PS::Specifier> specifier) {
                    storePreferenceValue(value, specifier);
                })
        .build();
}

} // namespace

namespace glintmere {

NS::Array* cachedSpecifiers(BMGlintmereListController* pane, NS::String* name) {
    if (objc::ivar(pane, PS::ListController::_specifiers) == nullptr) {
        objc::setIvar(pane, PS::ListController::_specifiers, pane->specifiersForPlistName(name));
    }
    return objc::ivar(pane, PS::ListController::_specifiers);
}

NS::Array* titledSpecifiers(BMGlintmereListController* pane, NS::String* name, NS::String* titleKey) {
    NS::Array* rows = cachedSpecifiers(pane, name);
    pane->setTitle(BMGlintmereLocalizer::sharedLocalizer()->localizedStringForKey(titleKey));
    return rows;
}

} // namespace glintmere
