// The Objective-C runtime's imports. A send is marshalled by the types of the method it reaches, as
// the host runtime records them; a send to nil yields zeros, as on a device.
#include "Foundation/NSAutoreleasePool.hpp"
#include "dyld/Bindings.hpp"

#include <objc/message.h>
#include <objc/runtime.h>

#include <array>
#include <string>

namespace dyld {

namespace {

// Messages whose arguments end in a nil-terminated list of objects.
bool takesObjectList(SEL selector) {
    const std::string_view name = sel_getName(selector);
    return name == "appearanceWhenContainedIn:" || name == "arrayWithObjects:" ||
           name == "dictionaryWithObjectsAndKeys:";
}

void send(Registers& r, id receiver, Class searchFrom, IMP implementation) {
    auto selector = reinterpret_cast<SEL>(r.x[1]);
    Method method = class_getInstanceMethod(searchFrom, selector);
    if (method == nullptr) {
        guestFault(std::string(class_isMetaClass(searchFrom) ? "+[" : "-[") + class_getName(searchFrom) +
                   " " + sel_getName(selector) + "]: guest code sent a message its receiver does not answer");
    }
    const char* types = method_getTypeEncoding(method);
    r.x[0] = reinterpret_cast<std::uint64_t>(receiver);
    if (takesObjectList(selector)) {
        // The first object is the last fixed argument; the others follow on the stack up to nil.
        std::string error;
        const Signature* fixed = Signature::of(types, error);
        if (fixed == nullptr) {
            guestFault(error);
        }
        std::string all(types);
        const auto* slots = reinterpret_cast<const std::uint64_t*>(r.sp);
        std::size_t extra = 0;
        if (r.x[fixed->arguments().size() - 1] != 0) {
            while (slots[extra] != 0 && extra < 256) {
                ++extra;
            }
            ++extra; // the nil
        }
        all.append(extra, '@');
        const Signature* signature = Signature::of(all, error, fixed->arguments().size());
        if (signature == nullptr) {
            guestFault(error);
        }
        signature->callHost(reinterpret_cast<void*>(implementation), r);
        return;
    }
    std::string error;
    const Signature* signature = Signature::of(types, error);
    if (signature == nullptr) {
        guestFault(std::string(sel_getName(selector)) + ": " + error);
    }
    signature->callHost(reinterpret_cast<void*>(implementation), r);
}

void sendToNil(Registers& r) {
    r.x[0] = r.x[1] = 0;
    r.d[0] = r.d[1] = r.d[2] = r.d[3] = 0;
}

std::uint64_t msgSend(std::string_view symbol) {
    static const std::uint64_t address = Cpu::trampoline(
        [](Registers& r) {
            auto receiver = reinterpret_cast<id>(r.x[0]);
            if (receiver == nil) {
                return sendToNil(r);
            }
            auto selector = reinterpret_cast<SEL>(r.x[1]);
            send(r, receiver, object_getClass(receiver), objc_msg_lookup(receiver, selector));
        },
        std::string(symbol));
    return address;
}

std::uint64_t msgSendSuper(std::string_view symbol) {
    static const std::uint64_t address = Cpu::trampoline(
        [](Registers& r) {
            auto* super = reinterpret_cast<objc_super*>(r.x[0]);
            if (super->self == nil) {
                return sendToNil(r);
            }
            auto selector = reinterpret_cast<SEL>(r.x[1]);
            send(r, super->self, super->super_class, objc_msg_lookup_super(super, selector));
        },
        std::string(symbol));
    return address;
}

const std::array bindings{
    Binding{"_objc_msgSend", msgSend},
    Binding{"_objc_msgSendSuper", msgSendSuper},
    Binding{"_objc_getClass", call<objc_getClass>},
    Binding{"_objc_autoreleasePoolPush", call<objc_autoreleasePoolPush>},
    Binding{"_objc_autoreleasePoolPop", call<objc_autoreleasePoolPop>},
    Binding{"_objc_lookUpClass", call<objc_lookUpClass>},
    Binding{"_object_getClass", call<object_getClass>},
    Binding{"_object_setInstanceVariable", call<object_setInstanceVariable>},
    Binding{"_sel_registerName", call<sel_registerName>},
    Binding{"_sel_getName", call<sel_getName>},
    Binding{"_class_getName", call<class_getName>},
    Binding{"_class_getSuperclass", call<class_getSuperclass>},
    Binding{"_class_isMetaClass", call<class_isMetaClass>},
};

} // namespace

std::span<const Binding> objcBindings() { return bindings; }

} // namespace dyld
