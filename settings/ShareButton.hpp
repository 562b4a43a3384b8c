// The share button of the Glintmere panes and the Twitter composer that it
// opens.
#pragma once

namespace UI {
class ViewController;
} // namespace UI

namespace glintmere {

// Makes a compose-style bar-button item, with `pane` as target and
// `tweetSupport:` as action, the right bar-button item of the pane's navigation
// item.
void installShareButton(UI::ViewController* pane);

// Where Twitter is available, presents its composer from `pane`, starting with
// `text`, and closes it when the person posts or cancels; does nothing
// otherwise.
void presentTwitterComposer(UI::ViewController* pane, const char* text);

} // namespace glintmere
