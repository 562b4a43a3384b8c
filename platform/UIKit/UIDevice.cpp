#include "UIKit/UIDevice.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::Device;

Device* currentDevice(Class cls) {
    // Made once and never released: the device outlives everything that asks for it.
    static Device* const device = Device::make_.send(cls);
    return device;
}

NS::String* model(Device*) { return NS::String::string(CF::deviceFacts().deviceClass.c_str()); }

long userInterfaceIdiom(Device*) { return CF::deviceFacts().idiom; }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Device> definition;
    definition.method<&currentDevice>(Device::currentDevice_).method<&model>(Device::model_);
    // The oldest systems have no idioms: there the method does not exist at all, so
    // `respondsToSelector:` says NO and a send of it fails as it would there.
    if (CF::deviceFacts().answersIdiom) {
        definition.method<&userInterfaceIdiom>(Device::userInterfaceIdiom_);
    }
    definition.build();
}

} // namespace
