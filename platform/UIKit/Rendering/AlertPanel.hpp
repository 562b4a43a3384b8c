// The box that UIAlertController and UIAlertView show: title, message and a row of buttons.
#pragma once

#include "Foundation/NSObject.hpp"

#include <string>
#include <vector>

namespace UI {

class View;

// One button of the box, as it is drawn.
struct AlertButton {
    enum class Kind { Plain, Cancel, Destructive };
    std::string title;
    Kind kind = Kind::Plain;
};

// Fills `screen` (a view of the screen's size) with what an alert looks like: the screen dimmed and
// a light box with the title, the message and the buttons in the order given (two side by side,
// else one under the other). The box stays in the middle of `screen` when it is laid out with
// `centreAlertPanel`. Empty texts take no room.
GLINTMERE_EXPORT void fillAlertPanel(View* screen, const std::string& title, const std::string& message,
                                     const std::vector<AlertButton>& buttons);

// Puts the box that `fillAlertPanel` made in the middle of `screen`: its layoutSubviews.
GLINTMERE_EXPORT void centreAlertPanel(View* screen);

} // namespace UI
