#include "ScreenCommands.hpp"

#include "Presented.hpp"
#include "SettingsSession.hpp"

#include "Foundation/NSRunLoop.hpp"
#include "Preferences/PSListController.hpp"
#include "UIKit/Scene.hpp"
#include "UIKit/SceneSnapshot.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIDisplay.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIWindow.hpp"

#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

namespace {

// The package's root pane, shown when a command names none.
constexpr const char* kDefaultPane = "Glintmere";
// How long after a pane appeared its screen is shown, unless `--at` says otherwise.
constexpr double kDefaultAt = 1.5;
// The longest `--at` the run loop counts; what a person would wait for at most.
constexpr double kLongestAt = 3600;
// How long a tap may leave work behind (a timer, a presentation) before the command ends.
constexpr double kSettleSeconds = 10.0;

// The Settings app as a script moves through it: opened by `open`, kept between commands.
struct Shown {
    std::unique_ptr<settings::Session> session;
    std::uint64_t appearedAt = 0; // monotonic nanoseconds
};

Shown& shown() {
    static Shown current;
    return current;
}

void openPane(const std::string& pane) {
    Shown& s = shown();
    s.session.reset();
    s.session = std::make_unique<settings::Session>();
    s.session->open(pane);
    s.appearedAt = NS::RunLoop::monotonicNow();
}

// The screen a command looks at: PANE freshly opened when it names one, else the one a script has
// open, else the default pane.
settings::Session& screenFor(const std::optional<std::string>& pane) {
    if (pane || !shown().session) {
        openPane(pane.value_or(kDefaultPane));
    }
    return *shown().session;
}

// Runs the main run loop until `at` seconds after the pane appeared.
void runUntil(double at) {
    const double passed = static_cast<double>(NS::RunLoop::monotonicNow() - shown().appearedAt) / 1e9;
    if (at > passed) {
        NS::RunLoop::mainRunLoop()->runFor(at - passed);
    }
}

struct LookArgs {
    std::optional<std::string> pane;
    double at = kDefaultAt;
};

// "[PANE] [--at SECONDS]", after `fixed` leading words.
LookArgs lookArgs(const host::Args& args, std::size_t fixed, const char* usage) {
    LookArgs look;
    for (std::size_t i = fixed; i < args.size(); ++i) {
        if (args[i] == "--at") {
            if (i + 1 >= args.size()) {
                throw host::UsageError(std::string("--at takes a number of seconds; ") + usage);
            }
            look.at = host::parseSeconds(args[++i]);
            if (look.at > kLongestAt) {
                throw host::UsageError("--at takes at most " + std::to_string(static_cast<int>(kLongestAt)) +
                                       " seconds, not " + args[i]);
            }
        } else if (!look.pane && !args[i].starts_with("--")) {
            look.pane = args[i];
        } else {
            throw host::UsageError(std::string("unexpected \"") + args[i] + "\"; " + usage);
        }
    }
    return look;
}

draw::Node screenTree(settings::Session& session, double at) {
    runUntil(at);
    session.prepareForDisplay();
    return UI::snapshotScene(session.window());
}

int views(const host::Args& args) {
    const LookArgs look = lookArgs(args, 0, "views [PANE] [--at SECONDS]");
    settings::Session& session = screenFor(look.pane);
    const draw::Node tree = screenTree(session, look.at);
    std::cout << "statusBarStyle = " << UI::Application::sharedApplication()->statusBarStyle() << "\n"
              << draw::describe(tree);
    return 0;
}

int screenshot(const host::Args& args) {
    if (args.empty() || args[0].starts_with("--")) {
        throw host::UsageError("screenshot takes the PNG file to write");
    }
    const LookArgs look = lookArgs(args, 1, "screenshot OUT.png [PANE] [--at SECONDS]");
    settings::Session& session = screenFor(look.pane);
    runUntil(look.at);
    std::cout << args[0] << ": " << UI::writeScreenshot(session.window(), args[0]) << "\n";
    return 0;
}

int open(const host::Args& args) {
    if (args.size() != 1) {
        throw host::UsageError("open takes a pane, e.g. Glintmere or Glintmere/Makers");
    }
    openPane(args[0]);
    return 0;
}

int back(const host::Args& args) {
    if (!args.empty()) {
        throw host::UsageError("back takes no words");
    }
    if (!shown().session || !shown().session->back()) {
        throw settings::SettingsError("no pane is open");
    }
    if (shown().session->top() == nullptr) {
        shown().session.reset();
    }
    shown().appearedAt = NS::RunLoop::monotonicNow();
    return 0;
}

int tapBar(const host::Args& args) {
    if (args.empty() || args.size() > 2 || args[0] != "right") {
        throw host::UsageError("tap-bar takes \"right\" and at most a pane");
    }
    settings::Session& session =
        screenFor(args.size() > 1 ? std::optional<std::string>(args[1]) : std::nullopt);
    // The bar shows the top pane's item once the screen is laid out.
    session.prepareForDisplay();
    auto item = NS::cast<UI::BarButtonItem>(session.bar()->topItem()->rightBarButtonItem());
    if (item == nullptr) {
        throw settings::SettingsError("the bar has no right button");
    }
    if (!UI::tapBarButtonItem(item)) {
        throw settings::SettingsError("the bar's right button does nothing");
    }
    NS::RunLoop::mainRunLoop()->runUntilIdle(kSettleSeconds);
    settings::reportPresented(session.window()->rootViewController(), std::cout);
    return 0;
}

} // namespace

settings::Session& currentScreen(const std::optional<std::string>& pane) { return screenFor(pane); }

void registerScreenCommands(host::HostApp& app) {
    app.addCommand({"views", "views [PANE] [--at SECONDS]  (the screen's views, one a line)", views});
    app.addCommand(
        {"screenshot", "screenshot OUT.png [PANE] [--at SECONDS]  (the screen as a PNG)", screenshot});
    app.addCommand({"open", "open PANE  (show the pane, for the commands after it)", open});
    app.addCommand({"back", "back  (leave the pane on top, as the back button does)", back});
    app.addCommand({"tap-bar", "tap-bar right [PANE]  (tap the bar's right button)", tapBar});
    app.atEnd([] { shown().session.reset(); });
}
