#include "UIKit/UIDevice.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::Device;

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Device> definition;
    definition
        .method(Device::currentDevice_,
                [](Class cls) -> Device* {
                    // Made once and never released: the device outlives everything that asks for it.
                    static Device* const device = Device::make_.send(cls);
                    return device;
                })
        .method(Device::model_, [](Device*) -> NS::String* {
            return NS::String::string(CF::deviceFacts().deviceClass.c_str());
        });
    // The oldest systems have no idioms: there the method does not exist at all, so
    // `respondsToSelector:` says NO and a send of it fails as it would there.
    if (CF::deviceFacts().answersIdiom) {
        definition.method(Device::userInterfaceIdiom_,
                          [](Device*) -> long { return CF::deviceFacts().idiom; });
    }
    definition.build();
}

} // namespace
