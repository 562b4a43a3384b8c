#include "UIKit/UIApplication.hpp"
#include "UIKit/UIApplicationInternals.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "Foundation/AppendLine.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSURL.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

namespace UI {
namespace {

using NS::literals::operator""_ns;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Whether the Info.plist `info` lists `scheme` (lower case) among its URL types' schemes. The file
// is the app's, so anything may stand where a list or a text belongs: that part claims nothing.
bool claims(NS::Dictionary* info, const std::string& scheme) {
    auto types = NS::cast<NS::Array>(info->objectForKey("CFBundleURLTypes"_ns));
    for (NS::Object* type : types) {
        auto entry = NS::cast<NS::Dictionary>(type);
        for (NS::Object* name : NS::cast<NS::Array>(entry->objectForKey("CFBundleURLSchemes"_ns))) {
            if (auto text = NS::cast<NS::String>(name); text != nullptr && lower(text->str()) == scheme) {
                return true;
            }
        }
    }
    return false;
}

// The app that opens `url`, by bundle identifier; empty when none does.
std::string handlerOf(NS::URL* url) {
    auto scheme = url->scheme();
    return scheme != nullptr ? applicationForScheme(scheme->str()) : std::string();
}

Application* sharedApplication(Class) {
    // Made once and never released: the application outlives everything that asks.
    static Application* const shared = Application::alloc()->init();
    return shared;
}

long statusBarStyle(Application* self) { return objc::ivar(self, UI::ApplicationInternals::_statusBarStyle); }

void setStatusBarStyle(Application* self, long style) { self->setStatusBarStyle(style, false); }

void setStatusBarStyleAnimated(Application* self, long style, bool) {
    objc::setIvar(self, UI::ApplicationInternals::_statusBarStyle, style);
    statusBarStyleChanged();
}

bool canOpenURL(Application*, NS::URL* url) { return !handlerOf(url).empty(); }

bool openURL(Application*, NS::URL* url) {
    if (url == nullptr) {
        return false;
    }
    const std::string text = objc::Ptr(url->absoluteString())->str();
    const std::string handler = handlerOf(url);
    std::cout << "opened " << text << std::endl;
    if (handler.empty()) {
        std::cerr << "UIApplication: no app claims the scheme of " << text << std::endl;
    }
    const std::string error = NS::detail::appendLine(kOpenedURLsBase, kOpenedURLsFolder, kOpenedURLsFile,
                                                     text + " -> " + (handler.empty() ? "(none)" : handler));
    if (!error.empty()) {
        std::cerr << "UIApplication: " << error << std::endl;
    }
    return !handler.empty();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Application>()
        .ivar(ApplicationInternals::_statusBarStyle)
        .method<&sharedApplication>(Application::sharedApplication_)
        .method<&statusBarStyle>(Application::statusBarStyle_)
        .method<&setStatusBarStyle>(Application::setStatusBarStyle_)
        .method<&setStatusBarStyleAnimated>(Application::setStatusBarStyleAnimated_)
        .method<&canOpenURL>(Application::canOpenURL_)
        .method<&openURL>(Application::openURL_)
        .build();
}

} // namespace

std::string applicationForScheme(const std::string& scheme, const std::string& applicationsFolder) {
    const std::string wanted = lower(scheme);
    if (wanted.empty()) {
        return {};
    }
    NS::AutoreleaseScope pool;
    std::error_code ec;
    std::vector<std::filesystem::path> apps;
    for (const auto& entry : std::filesystem::directory_iterator(applicationsFolder, ec)) {
        if (entry.path().extension() == ".app") {
            apps.push_back(entry.path());
        }
    }
    // In a fixed order, so that two apps claiming one scheme always resolve alike.
    std::sort(apps.begin(), apps.end());
    for (const auto& app : apps) {
        auto info =
            NS::Dictionary::dictionaryWithContentsOfFile(NS::String::string((app / "Info.plist").string()));
        if (info != nullptr && claims(info, wanted)) {
            auto identifier = NS::cast<NS::String>(info->objectForKey("CFBundleIdentifier"_ns));
            return identifier != nullptr ? identifier->str() : app.stem().string();
        }
    }
    return {};
}

} // namespace UI
