// kind-probe: prints what a program inside the device learns about the device it runs on.
#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIDevice.hpp"

#include <cstdio>

int main() {
    NS::AutoreleaseScope pool;
    auto device = UI::Device::currentDevice();
    std::printf("kCFCoreFoundationVersionNumber %.2f\n", kCFCoreFoundationVersionNumber);
    std::printf("model %s\n", device->model()->utf8String());
    if (device->respondsToSelector(objc::Selector<"userInterfaceIdiom">())) {
        std::printf("userInterfaceIdiom %ld\n", device->userInterfaceIdiom());
    } else {
        std::printf("userInterfaceIdiom unanswered\n");
    }
    return 0;
}
