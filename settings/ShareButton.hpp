// The share button of the Glintmere panes and the Twitter composer that it
// opens.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace glintmere {

// What the root and ZeridOvuvoru panes' composers start with.
inline constexpr const char* kShareText =
    "#Glintmere makes settings a wallpaper easy from Safari, thanks @Brightmoth";

// Makes a compose-style bar-button item, with `pane` as target and
// `tweetSupport:` as action, the right bar-button item of the pane's navigation
// item.
void installShareButton(UI::ViewController* pane);

// The secondary panes' `loadView`: the host's own, then the share button.
template <class Pane> void loadViewWithShareButton(Pane* pane) {
    UI::ViewController::loadView_.super<Pane>(pane);
    installShareButton(pane);
}

// Where Twitter is available, presents its composer from `pane`, starting with
// `text`, and closes it when the person posts or cancels; does nothing
// otherwise.
void presentTwitterComposer(UI::ViewController* pane, const char* text);

} // namespace glintmere
