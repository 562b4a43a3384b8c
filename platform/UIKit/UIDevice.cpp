#include "UIKit/UIDevice.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

id currentDevice(Class cls, SEL) {
    // Made once and never released: the device outlives everything that asks for it.
    static id const device = objc::send<id>(cls, "new"_sel);
    return device;
}

long userInterfaceIdiom(id, SEL) { return CF::deviceFacts().idiom; }

id model(id, SEL) { return objc::toId(NS::String::string(CF::deviceFacts().deviceClass.c_str())); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder builder("UIDevice", "NSObject");
    builder.classMethod<&currentDevice>("currentDevice").method<&model>("model");
    // The oldest systems have no idioms: there the method does not exist at all, so
    // `respondsToSelector:` says NO and a send of it fails as it would there.
    if (CF::deviceFacts().answersIdiom) {
        builder.method<&userInterfaceIdiom>("userInterfaceIdiom");
    }
    builder.build();
}

} // namespace
