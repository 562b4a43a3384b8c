// What Settings shows over its panes (the mail and share composers, alerts), printed as it appears.
#pragma once

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

} // namespace settings
