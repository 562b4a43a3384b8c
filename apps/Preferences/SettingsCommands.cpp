#include "SettingsCommands.hpp"
#include "Preferences/PSSpecifierInternals.hpp"

#include "PaneView.hpp"
#include "Presented.hpp"
#include "ScreenCommands.hpp"
#include "SettingsSession.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSRowMessages.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UITableView.hpp"
#include "UIKit/UIWindow.hpp"

#include <cmath>
#include <iostream>
#include <optional>

namespace {

using NS::literals::operator""_ns;
using settings::SettingsError;

// The pane named by the word at `index`, if there is one.
std::optional<std::string> paneArgument(const host::Args& args, std::size_t index) {
    return args.size() > index ? std::optional(args[index]) : std::nullopt;
}

void printPane(PS::ListController* pane) {
    std::cout << "== " << settings::valueText(pane->title()) << " ==\n";
    for (const std::string& line : settings::paneLines(pane)) {
        std::cout << line << "\n";
    }
}

std::string keyOf(PS::Specifier* specifier) {
    auto key = NS::cast<NS::String>(specifier->propertyForKey("key"_ns));
    return key != nullptr ? key->str() : std::string();
}

// The control whose `key` is `key`; the first one when several share it.
PS::Specifier* controlWithKey(PS::ListController* pane, const std::string& key, const std::string& where) {
    std::string keys;
    // A pane whose specifier file is missing or damaged has no rows at all.
    objc::Ptr<NS::Array> rows = pane->specifiers();
    for (unsigned long i = 0, n = rows->count(); i < n; ++i) {
        auto specifier = rows->objectAtIndex(i).as<PS::Specifier>();
        const std::string k = keyOf(specifier);
        if (k.empty() || !PS::isControl(specifier->cellType())) {
            continue;
        }
        if (k == key) {
            return specifier;
        }
        keys += (keys.empty() ? "" : ", ") + k;
    }
    throw SettingsError("no control with key \"" + key + "\" in \"" + where +
                        "\" (keys: " + (keys.empty() ? "none" : keys) + ")");
}

// Throws a SettingsError that starts with `refused` when the row's target has no method for its
// `message` that takes what the host passes (`value` for a setter).
void requireFits(PS::Specifier* specifier, PS::RowMessage message, const std::string& refused,
                 NS::Object* value = nullptr) {
    if (const std::string why = PS::refusalToSend(specifier, message, value); !why.empty()) {
        throw SettingsError(refused + ": " + why);
    }
}

// The shown value of a control, as the Settings app asks for it: its getter, sent to its target.
// `control` names the control for the error thrown when the getter does not fit.
NS::Object* shownValue(PS::Specifier* specifier, const std::string& control) {
    const SEL getter = specifier->getter();
    id target = specifier->target();
    if (getter == nullptr || !NS::Object::respondsToSelector_.send(target, getter)) {
        return nullptr;
    }
    requireFits(specifier, PS::RowMessage::Getter, control + " cannot be read");
    // The getter is the one the row names, perhaps in its specifier file: no view declares it.
    return objc::send<NS::Object*>(target, getter, specifier);
}

NS::Object* parseSwitch(const std::string& text) {
    if (text == "true" || text == "on" || text == "yes" || text == "1") {
        return NS::Number::number(true);
    }
    if (text == "false" || text == "off" || text == "no" || text == "0") {
        return NS::Number::number(false);
    }
    return nullptr;
}

NS::Object* parseNumber(const std::string& text) {
    std::size_t used = 0;
    double number = NAN;
    try {
        number = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    return used == text.size() && std::isfinite(number) ? NS::Number::number(number) : nullptr;
}

// One of the values a choice row offers, named by the value itself or by its title.
NS::Object* parseChoice(PS::Specifier* specifier, const std::string& text, std::string& offered) {
    NS::Array* values = specifier->values();
    if (values == nullptr) {
        return nullptr;
    }
    for (NS::Object* value : *values) {
        const std::string title = settings::choiceTitle(specifier, value, false);
        if (settings::valueText(value) == text || title == text ||
            settings::choiceTitle(specifier, value, true) == text) {
            return value;
        }
        offered += (offered.empty() ? "" : ", ") + title;
    }
    return nullptr;
}

// What the control makes of the text a person enters or picks.
NS::Object* parseValue(PS::Specifier* specifier, const std::string& key, const std::string& text) {
    switch (specifier->cellType()) {
    case PS::SwitchCell:
        if (NS::Object* value = parseSwitch(text)) {
            return value;
        }
        throw SettingsError("\"" + key + "\" is a switch: give true or false, not \"" + text + "\"");
    case PS::SliderCell:
        if (NS::Object* value = parseNumber(text)) {
            return value;
        }
        throw SettingsError("\"" + key + "\" is a slider: give a number, not \"" + text + "\"");
    case PS::LinkListCell:
    case PS::SegmentCell: {
        std::string offered;
        if (NS::Object* value = parseChoice(specifier, text, offered)) {
            return value;
        }
        throw SettingsError("\"" + key + "\" offers " + (offered.empty() ? "no choices" : offered) +
                            ", not \"" + text + "\"");
    }
    default:
        return NS::String::string(text);
    }
}

// The row that shows `specifier` and the value its control holds, both read afresh in one pass, and
// where the row is (section -1 when the pane has no such row).
struct ShownRow {
    std::string line;
    NS::Object* value = nullptr; // autoreleased
    long section = -1;
    long row = -1;
};
ShownRow shownRow(PS::ListController* pane, PS::Specifier* specifier, const std::string& control) {
    for (const settings::SectionView& section : settings::readPane(pane)) {
        for (const settings::RowView& row : section.rows) {
            if (row.specifier == specifier) {
                return {row.line, row.value, row.section, row.row};
            }
        }
    }
    NS::Object* value = shownValue(specifier, control);
    return {settings::valueText(value), value};
}

int list(const host::Args& args) {
    if (args.size() > 1) {
        throw host::UsageError("list takes at most a pane");
    }
    NS::AutoreleaseScope pool;
    printPane(currentScreen().paneFor(paneArgument(args, 0)));
    return 0;
}

int get(const host::Args& args) {
    if (args.empty() || args.size() > 2) {
        throw host::UsageError("get takes a key and at most a pane");
    }
    NS::AutoreleaseScope pool;
    settings::Session& session = currentScreen();
    PS::ListController* pane = session.paneFor(paneArgument(args, 1));
    const std::string where = session.where();
    std::cout << settings::valueText(shownValue(controlWithKey(pane, args[0], where),
                                                "\"" + args[0] + "\" in \"" + where + "\""))
              << "\n";
    return 0;
}

int set(const host::Args& args) {
    if (args.size() < 2 || args.size() > 3) {
        throw host::UsageError("set takes a key, a value and at most a pane");
    }
    NS::AutoreleaseScope pool;
    settings::Session& session = currentScreen();
    PS::ListController* pane = session.paneFor(paneArgument(args, 2));
    const std::string where = session.where();
    PS::Specifier* control = controlWithKey(pane, args[0], where);
    NS::Object* value = parseValue(control, args[0], args[1]);
    const SEL setter = control->setter();
    id target = control->target();
    const std::string named = "\"" + args[0] + "\" in \"" + where + "\"";
    if (setter == nullptr || !NS::Object::respondsToSelector_.send(target, setter)) {
        throw SettingsError(named + " cannot be changed");
    }
    requireFits(control, PS::RowMessage::Setter, named + " cannot be changed", value);
    // As the getter: the setter the row names.
    objc::send<void>(target, setter, value, control);
    // A pane does not say when its store fails (a folder where its file belongs, say); what the
    // control shows afterwards does. The row is read once: a large file is read once more, not twice.
    const ShownRow shown = shownRow(pane, control, named);
    const SEL getter = control->getter();
    if (getter != nullptr && NS::Object::respondsToSelector_.send(target, getter) &&
        PS::refusalToSend(control, PS::RowMessage::Getter).empty()) {
        if (shown.value == nullptr || !value->isEqual(shown.value)) {
            throw SettingsError("could not store \"" + args[1] + "\" for \"" + args[0] + "\" in \"" + where +
                                "\": it still shows \"" + shown.line + "\"");
        }
    }
    // The control on screen shows the new value, as it would had the person changed it there.
    if (shown.section >= 0) {
        auto cell = pane->table()->cellForRowAtIndexPath(NS::IndexPath::indexPath(shown.row, shown.section));
        NS::cast<PS::TableCell>(cell)->setValue(shown.value);
    }
    std::cout << shown.line << "\n";
    return 0;
}

void showChoices(const settings::RowView& row) {
    std::cout << "== " << row.title << " ==\n";
    NS::Object* chosen = row.value;
    if (NS::Array* values = row.specifier->values()) {
        for (NS::Object* value : *values) {
            const bool on = chosen != nullptr && value->isEqual(chosen);
            std::cout << (on ? "  [x] " : "  [ ] ") << settings::choiceTitle(row.specifier, value, false)
                      << "\n";
        }
    }
}

int tap(const host::Args& args) {
    if (args.empty() || args.size() > 2) {
        throw host::UsageError("tap takes a row title and at most a pane");
    }
    NS::AutoreleaseScope pool;
    settings::Session& session = currentScreen();
    // On the top list a package's row opens its pane; any other title is a row of the pane a command
    // takes there, the first package's.
    if (args.size() == 1 && session.top() == nullptr) {
        if (PS::ListController* opened = session.tapTopList(args[0])) {
            printPane(opened);
            return 0;
        }
    }
    PS::ListController* pane = session.paneFor(paneArgument(args, 1));
    const std::string where = session.where();
    std::string titles;
    for (const settings::SectionView& section : settings::readPane(pane)) {
        for (const settings::RowView& row : section.rows) {
            if (row.title != args[0]) {
                titles += (titles.empty() ? "\"" : ", \"") + row.title + "\"";
                continue;
            }
            PS::Specifier* specifier = row.specifier;
            if (const SEL action = specifier->buttonAction()) {
                if (!NS::Object::respondsToSelector_.send(specifier->target(), action)) {
                    throw SettingsError("\"" + row.title + "\" in \"" + where +
                                        "\" does nothing: the pane has no " + sel_getName(action));
                }
                requireFits(specifier, PS::RowMessage::Action,
                            "\"" + row.title + "\" in \"" + where + "\" does nothing");
                session.select(pane, row.section, row.row);
                // A presentation covers every navigation controller that holds the pane: the
                // window's root is the outermost.
                settings::reportPresented(session.window()->rootViewController(), std::cout);
                return 0;
            }
            if (specifier->detailControllerClass() != Nil) {
                session.select(pane, row.section, row.row);
                PS::ListController* opened = session.top();
                if (opened == nullptr || opened == pane) {
                    throw SettingsError("\"" + row.title + "\" in \"" + where + "\" opens no pane");
                }
                printPane(opened);
                return 0;
            }
            if (specifier->cellType() == PS::LinkCell) {
                auto missing = NS::cast<NS::String>(specifier->propertyForKey("detail"_ns));
                throw SettingsError("\"" + row.title + "\" in \"" + where + "\" opens no pane" +
                                    (missing != nullptr ? " (there is no " + missing->str() + ")" : ""));
            }
            if (specifier->cellType() == PS::LinkListCell) {
                showChoices(row);
                return 0;
            }
            throw SettingsError("\"" + row.title + "\" in \"" + where + "\" is not a button or a link");
        }
    }
    throw SettingsError("no row \"" + args[0] + "\" in \"" + where +
                        "\" (rows: " + (titles.empty() ? "none" : titles) + ")");
}

} // namespace

void registerSettingsCommands(host::HostApp& app) {
    app.addCommand({"list",
                    "list [PANE]  (rows of the pane, e.g. Glintmere or Glintmere/Makers; else the pane on "
                    "screen, else the first package's)",
                    list});
    app.addCommand({"get", "get KEY [PANE]  (the value the control with that key shows)", get});
    app.addCommand(
        {"set", "set KEY VALUE [PANE]  (change the control: true/false, a number, a choice or text)", set});
    app.addCommand(
        {"tap", "tap TITLE [PANE]  (tap a row: a package's in the top list, a button or a link)", tap});
    registerScreenCommands(app);
    settings::registerPresentedCommands(app,
                                        [] { return currentScreen().window()->rootViewController().get(); });
}
