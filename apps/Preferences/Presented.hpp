// What Settings shows over its panes (the mail and share composers, alerts) and what a person does
// with it: printed as it appears, and the commands that send, post, cancel or dismiss it.
#pragma once

#include "HostApp.hpp"

#include <functional>
#include <iosfwd>
#include <string>

namespace UI {
class ViewController;
} // namespace UI

namespace settings {

// The controller presented over `presenter`'s screen, if it is new since the last call, printed as
// "presented CLASS" and then its fields, one an indented line: for a mail `to`, `subject`, `body`
// (a C-style quoted string) and each `attachment NAME MIME SIZE`; for a share composer its `text`;
// for an alert its `title`, `message` and each `button`.
void reportPresented(UI::ViewController* presenter, std::ostream& out);

// `text` as a C string literal: quoted, with \n, \t, \r, \", \\ and octal \ooo for other control bytes.
std::string cQuoted(const std::string& text);

// Adds "mail send|cancel", "compose post|cancel" and "alert dismiss", which act on what is presented
// over `presenter()` (which may name no controller while nothing is open).
void registerPresentedCommands(host::HostApp& app, std::function<UI::ViewController*()> presenter);

} // namespace settings
