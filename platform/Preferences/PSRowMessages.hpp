// Whether the host may send a row's target the action, getter or setter that the row names.
#pragma once

#include "objc/Runtime.hpp"

#include <string>

namespace NS {
class Object;
} // namespace NS

namespace PS {

class Specifier;

// The three messages a row names for its target, as the host sends them: a tapped button row's
// action, given the row's specifier when its selector takes an argument; the getter, given the
// specifier, for the value the row shows; the setter, given the new value and the specifier.
enum class RowMessage { Action, Getter, Setter };

// Why `specifier`'s target is not to be sent the row's `message`: the selector, the target's method
// and what the host would send, in words; empty when the method takes what the host passes and
// gives back what the host uses. A specifier file may name any method of the pane, and one sent
// other arguments than it takes, or whose number the host reads as an object, crashes the app.
// `value` is what a setter would be told.
GLINTMERE_EXPORT std::string refusalToSend(Specifier* specifier, RowMessage message,
                                           NS::Object* value = nullptr);

// The row as a message names it: its title in quotes, else its identifier, else "a row without a title".
GLINTMERE_EXPORT std::string rowName(Specifier* specifier);

} // namespace PS
