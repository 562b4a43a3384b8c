#include "UIKit/UIScreen.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Screen>()
        .method(Screen::mainScreen_,
                [](Class) -> Screen* {
                    // Made once and never released, as the device's one screen.
                    static Screen* const screen = Screen::alloc()->init();
                    return screen;
                })
        .method(Screen::bounds_,
                [](Screen*) -> CGRect {
                    const CF::DeviceFacts& facts = CF::deviceFacts();
                    return CGRectMake(0, 0, facts.screenWidth, facts.screenHeight);
                })
        .method(Screen::scale_, [](Screen*) -> CGFloat { return CF::deviceFacts().scale; })
        .build();
}

} // namespace
} // namespace UI
