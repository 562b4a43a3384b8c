#include "ScreenCommands.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "UIKit/UIBarButtonItemInternals.hpp"
#include "UIKit/UIScrollViewInternals.hpp"

#include "Presented.hpp"
#include "SettingsSession.hpp"

#include "Foundation/NSRunLoop.hpp"
#include "Preferences/PSListController.hpp"
#include "UIKit/Rendering/Scene.hpp"
#include "UIKit/Rendering/SceneSnapshot.hpp"
#include "UIKit/Rendering/Screenshot.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UIWindow.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

namespace {

// How long after a pane appeared its screen is shown, unless `--at` says otherwise.
constexpr double kDefaultAt = 1.5;
// The longest `--at` the run loop counts; what a person would wait for at most.
constexpr double kLongestAt = 3600;
// How long a tap may leave work behind (a timer, a presentation) before the command ends.
constexpr double kSettleSeconds = 10.0;
// What a scroll up or down keeps in view of the screen it leaves: about a row.
constexpr double kScrollOverlap = 44;
// The tallest picture the canvas draws, in points.
constexpr double kTallestPicture = 8192;

std::unique_ptr<settings::Session>& screen() {
    static std::unique_ptr<settings::Session> current;
    return current;
}

// Runs the main run loop until `at` seconds after what the screen shows appeared.
void runUntil(settings::Session& session, double at) {
    const double passed =
        static_cast<double>(NS::RunLoopInternals::monotonicNow() - session.appearedAt()) / 1e9;
    if (at > passed) {
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(at - passed);
    }
}

// The table on screen, laid out, so that it knows how tall its content is.
UI::TableView* shownTable(settings::Session& session) {
    session.window()->layoutIfNeeded();
    UI::TableView* table = session.shown()->table();
    if (table == nullptr) {
        throw settings::SettingsError("\"" + session.where() + "\" has nothing to scroll");
    }
    return table;
}

// Scrolls the table on screen as `how` says: to its top or bottom, a screenful down or up (keeping
// about a row of what was shown), or to a number of points; never beyond its content.
void scroll(settings::Session& session, const std::string& how) {
    UI::TableView* table = shownTable(session);
    const CGPoint now = table->contentOffset();
    const double bottom = UI::bottomOffset(table);
    const double page = std::max(table->frame().size.height - kScrollOverlap, kScrollOverlap);
    double to = 0;
    if (how == "bottom") {
        to = bottom;
    } else if (how == "down") {
        to = std::min(bottom, now.y + page);
    } else if (how == "up") {
        to = std::max(0.0, std::min(bottom, now.y) - page);
    } else if (how != "top") {
        to = std::min(bottom, host::parseAmount(how).value_or(0));
    }
    table->setContentOffset(CGPoint{now.x, to});
}

struct LookArgs {
    std::optional<std::string> pane;
    double at = kDefaultAt;
    std::optional<std::string> scroll;
    bool full = false;
};

// "[PANE] [--at SECONDS] [--scroll bottom|top|POINTS]" and, where `full` is offered, "[--full]",
// after `fixed` leading words.
LookArgs lookArgs(const host::Args& args, std::size_t fixed, bool offersFull, const char* usage) {
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
        } else if (args[i] == "--scroll") {
            if (i + 1 >= args.size() || (args[i + 1] != "bottom" && args[i + 1] != "top" &&
                                         !host::parseAmount(args[i + 1]).has_value())) {
                throw host::UsageError(std::string("--scroll takes bottom, top or a number of points; ") +
                                       usage);
            }
            look.scroll = args[++i];
        } else if (offersFull && args[i] == "--full") {
            look.full = true;
        } else if (!look.pane && !args[i].starts_with("--")) {
            look.pane = args[i];
        } else {
            throw host::UsageError(std::string("unexpected \"") + args[i] + "\"; " + usage);
        }
    }
    if (look.full && look.scroll) {
        throw host::UsageError(std::string("--full shows the whole content: it takes no --scroll; ") + usage);
    }
    return look;
}

// The screen a look shows: PANE, opened, when it names one; in a script, the screen as it is; run on
// its own, the first package's pane (the top list when there is none).
settings::Session& screenToLookAt(const LookArgs& look, bool inScript) {
    settings::Session& session = currentScreen();
    if (look.pane) {
        session.open(*look.pane);
    } else if (!inScript && session.top() == nullptr && !session.entries().empty()) {
        session.openFirst();
    }
    runUntil(session, look.at);
    if (look.scroll) {
        scroll(session, *look.scroll);
    }
    return session;
}

// The whole content of the table on screen in one picture: the window made as much taller than the
// screen as the content is than the table, drawn from the content's top, then put back.
std::string writeFullScreenshot(settings::Session& session, const std::string& path) {
    UI::TableView* table = shownTable(session);
    const CGRect screenBounds = UI::Screen::mainScreen()->bounds();
    double extra = std::max(0.0, table->contentSize().height - table->frame().size.height);
    if (screenBounds.size.height + extra > kTallestPicture) {
        extra = std::max(0.0, kTallestPicture - screenBounds.size.height);
        std::cerr << "screenshot: \"" << session.where()
                  << "\" is taller than a picture can be; drawn down to " << kTallestPicture << " points\n";
    }
    const CGPoint offset = table->contentOffset();
    table->setContentOffset(CGPoint{offset.x, 0});
    UI::Window* window = session.window();
    const CGSize tall = {screenBounds.size.width, screenBounds.size.height + extra};
    window->setFrame(CGRect{screenBounds.origin, tall});
    std::string written;
    try {
        written = UI::writeScreenshot(window, path, tall);
    } catch (...) {
        window->setFrame(screenBounds);
        table->setContentOffset(offset);
        throw;
    }
    window->setFrame(screenBounds);
    table->setContentOffset(offset);
    session.window()->layoutIfNeeded();
    return written;
}

int views(const host::HostApp& app, const host::Args& args) {
    const LookArgs look =
        lookArgs(args, 0, false, "views [PANE] [--at SECONDS] [--scroll bottom|top|POINTS]");
    settings::Session& session = screenToLookAt(look, app.inScript());
    session.window()->layoutIfNeeded();
    const draw::Node tree = UI::snapshotScene(session.window());
    std::cout << "statusBarStyle = " << UI::Application::sharedApplication()->statusBarStyle() << "\n"
              << draw::describe(tree);
    return 0;
}

int screenshot(const host::HostApp& app, const host::Args& args) {
    if (args.empty() || args[0].starts_with("--")) {
        throw host::UsageError("screenshot takes the PNG file to write");
    }
    const LookArgs look = lookArgs(
        args, 1, true, "screenshot OUT.png [PANE] [--at SECONDS] [--scroll bottom|top|POINTS] [--full]");
    settings::Session& session = screenToLookAt(look, app.inScript());
    const std::string size =
        look.full ? writeFullScreenshot(session, args[0]) : UI::writeScreenshot(session.window(), args[0]);
    std::cout << args[0] << ": " << size << "\n";
    return 0;
}

int scrollCommand(const host::Args& args) {
    if (args.size() != 1 ||
        (args[0] != "down" && args[0] != "up" && args[0] != "top" && args[0] != "bottom")) {
        throw host::UsageError("scroll takes down, up, top or bottom");
    }
    scroll(currentScreen(), args[0]);
    return 0;
}

int open(const host::Args& args) {
    if (args.size() != 1) {
        throw host::UsageError("open takes a pane, e.g. Glintmere or Glintmere/Makers");
    }
    currentScreen().open(args[0]);
    return 0;
}

int back(const host::Args& args) {
    if (!args.empty()) {
        throw host::UsageError("back takes no words");
    }
    if (!currentScreen().back()) {
        throw settings::SettingsError("no pane is open");
    }
    return 0;
}

int tapBar(const host::Args& args) {
    if (args.empty() || args.size() > 2 || args[0] != "right") {
        throw host::UsageError("tap-bar takes \"right\" and at most a pane");
    }
    settings::Session& session = currentScreen();
    session.paneFor(args.size() > 1 ? std::optional<std::string>(args[1]) : std::nullopt);
    // The bar shows the top pane's item once the screen is laid out.
    session.window()->layoutIfNeeded();
    auto item = NS::cast<UI::BarButtonItem>(session.bar()->topItem()->rightBarButtonItem());
    if (item == nullptr) {
        throw settings::SettingsError("the bar has no right button");
    }
    if (!UI::tapBarButtonItem(item)) {
        throw settings::SettingsError("the bar's right button does nothing");
    }
    NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runUntilIdle(kSettleSeconds);
    settings::reportPresented(session.window()->rootViewController(), std::cout);
    return 0;
}

} // namespace

settings::Session& currentScreen() {
    if (!screen()) {
        screen() = std::make_unique<settings::Session>();
    }
    return *screen();
}

void registerScreenCommands(host::HostApp& app) {
    app.addCommand(
        {"views",
         "views [PANE] [--at SECONDS] [--scroll bottom|top|POINTS]  (the screen's views, one a line)",
         [&app](const host::Args& args) { return views(app, args); }});
    app.addCommand({"screenshot",
                    "screenshot OUT.png [PANE] [--at SECONDS] [--scroll bottom|top|POINTS] [--full]  (the "
                    "screen as a PNG; --full: the whole pane, top to bottom)",
                    [&app](const host::Args& args) { return screenshot(app, args); }});
    app.addCommand({"open", "open PANE  (show the pane, e.g. Glintmere or Glintmere/Makers)", open});
    app.addCommand({"back", "back  (leave the pane on top, as the back button does)", back});
    app.addCommand({"scroll", "scroll down|up|top|bottom  (scroll the list on screen)", scrollCommand});
    app.addCommand({"tap-bar", "tap-bar right [PANE]  (tap the bar's right button)", tapBar});
    app.atEnd([] { screen().reset(); });
}
