#include "ShareButton.hpp"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "Social/SLComposeViewController.hpp"
#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UINavigationItem.hpp"

namespace glintmere {

using objc::operator""_sel;

void installShareButton(UI::ViewController* pane) {
    auto item = objc::adopt(UI::BarButtonItem::alloc()->initWithBarButtonSystemItem(
        UI::UIBarButtonSystemItemCompose, objc::toId(pane), "tweetSupport:"_sel));
    pane->navigationItem()->setRightBarButtonItem(item);
}

void presentTwitterComposer(UI::ViewController* pane, const char* text) {
    using Composer = SL::ComposeViewController;
    if (!Composer::isAvailableForServiceType(SLServiceTypeTwitter)) {
        return;
    }
    auto composer = Composer::composeViewControllerForServiceType(SLServiceTypeTwitter);
    composer->setInitialText(NS::String::string(text));
    pane->presentViewController(composer, true, nullptr);
    // The composer owns its handler, so the handler must not own the composer
    // back.
    Composer* weak = composer;
    composer->setCompletionHandler(NS::Block::create(
        [weak](SL::ComposeViewControllerResult) { weak->dismissViewController(true, nullptr); }));
}

} // namespace glintmere
