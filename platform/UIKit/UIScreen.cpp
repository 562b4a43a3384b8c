#include "UIKit/UIScreen.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

Screen* mainScreen(Class) {
    // Made once and never released, as the device's one screen.
    static Screen* const screen = Screen::alloc()->init();
    return screen;
}

CGRect bounds(Screen*) {
    const CF::DeviceFacts& facts = CF::deviceFacts();
    return CGRectMake(0, 0, facts.screenWidth, facts.screenHeight);
}

CGFloat scale(Screen*) { return CF::deviceFacts().scale; }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Screen>()
        .method<&mainScreen>(Screen::mainScreen_)
        .method<&bounds>(Screen::bounds_)
        .method<&scale>(Screen::scale_)
        .build();
}

} // namespace
} // namespace UI
