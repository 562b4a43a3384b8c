// The Objective-C runtime's imports. A send is marshalled by the types of the method it reaches, as
// the host runtime records them; a send to nil yields zeros, as on a device.
#include "Foundation/NSAutoreleasePool.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Blocks.hpp"
#include "runtime/Classes.hpp"

#include <objc/message.h>
#include <objc/runtime.h>

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
        signature->callHost(reinterpret_cast<void*>(implementation), r, objectForHost);
        return;
    }
    std::string error;
    const Signature* signature = Signature::of(types, error);
    if (signature == nullptr) {
        guestFault(std::string(sel_getName(selector)) + ": " + error);
    }
    signature->callHost(reinterpret_cast<void*>(implementation), r, objectForHost);
}

// The size of the struct that a method named `selector` returns through x8 (over 16 bytes, not a float
// aggregate), as any class of the process answers it; 0 when none does.
std::size_t resultInMemory(SEL selector) {
    static std::mutex lock;
    static auto* const found = new std::map<SEL, std::size_t>();
    std::lock_guard<std::mutex> hold(lock);
    if (auto it = found->find(selector); it != found->end()) {
        return it->second;
    }
    const int count = objc_getClassList(nullptr, 0);
    std::vector<Class> classes(static_cast<std::size_t>(count));
    objc_getClassList(classes.data(), count);
    for (Class cls : classes) {
        for (Class side : {cls, object_getClass(reinterpret_cast<id>(cls))}) {
            Method method = class_getInstanceMethod(side, selector);
            std::string error;
            const Signature* signature =
                method != nullptr ? Signature::of(method_getTypeEncoding(method), error) : nullptr;
            if (signature == nullptr) {
                continue;
            }
            const ValueType& result = signature->result();
            const std::size_t size =
                result.kind == ValueType::Kind::Struct && result.size > 16 && result.floats == 0 ? result.size
                                                                                                 : 0;
            // Only what a method answers is kept: a class that comes later may answer one.
            found->emplace(selector, size);
            return size;
        }
    }
    return 0;
}

void sendToNil(Registers& r) {
    // A struct returned in memory is zeroed there too, as the caller reads it from there.
    if (const std::size_t size = resultInMemory(reinterpret_cast<SEL>(r.x[1])); size != 0 && r.x[8] != 0) {
        std::memset(reinterpret_cast<void*>(r.x[8]), 0, size);
    }
    r.x[0] = r.x[1] = 0;
    r.d[0] = r.d[1] = r.d[2] = r.d[3] = 0;
}

// Guest block literals answer the memory messages as a device's global blocks do: they are never
// freed. Anything else sent to one goes to the NSBlock that stands for it.
bool sendToLiteral(Registers& r) {
    const std::string_view name = sel_getName(reinterpret_cast<SEL>(r.x[1]));
    if (name == "retain" || name == "copy" || name == "autorelease") {
        return true;
    }
    if (name == "release") {
        r.x[0] = 0;
        return true;
    }
    r.x[0] = objectForHost(r.x[0]);
    return false;
}

std::uint64_t msgSend(std::string_view symbol) {
    static const std::uint64_t address = Cpu::trampoline(
        [](Registers& r) {
            if (r.x[0] == 0) {
                return sendToNil(r);
            }
            if (isGuestLiteral(r.x[0]) && sendToLiteral(r)) {
                return;
            }
            auto receiver = reinterpret_cast<id>(r.x[0]);
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

// Implementations made from guest blocks, each with the block it keeps: host functions already, added
// to classes as they are.
std::mutex& blockImplementationsLock() {
    static auto* const lock = new std::mutex();
    return *lock;
}
std::map<std::uint64_t, std::uint64_t>& blockImplementations() {
    static auto* const made = new std::map<std::uint64_t, std::uint64_t>();
    return *made;
}

std::uint64_t implementationWithBlock(std::uint64_t block) {
    // The implementation keeps the block for good, as the runtime's own copy would be kept.
    const std::uint64_t held = copyBlock(block);
    const std::uint64_t literal = guestLiteralOf(held);
    const char* own = literal != 0 ? literalSignature(literal) : nullptr;
    if (own == nullptr) {
        guestFault(
            "imp_implementationWithBlock: given a block without its types, which guest code did not make");
    }
    std::string error;
    const Signature* signature = Signature::of(own, error);
    if (signature == nullptr) {
        guestFault("imp_implementationWithBlock: " + error);
    }
    const auto imp =
        reinterpret_cast<std::uint64_t>(signature->callableByHostAsMethod(literalInvoke(literal), literal));
    std::lock_guard<std::mutex> hold(blockImplementationsLock());
    blockImplementations().emplace(imp, held);
    return imp;
}

// A method guest code adds: the host runtime calls its guest implementation through a closure made by
// the method's types.
BOOL addMethod(Class cls, SEL selector, std::uint64_t implementation, const char* types) {
    bool fromBlock = false;
    {
        std::lock_guard<std::mutex> hold(blockImplementationsLock());
        fromBlock = blockImplementations().contains(implementation);
    }
    if (fromBlock || implementation == 0) {
        return class_addMethod(cls, selector, reinterpret_cast<IMP>(implementation), types);
    }
    std::string error;
    const Signature* signature = types != nullptr ? Signature::of(types, error) : nullptr;
    if (signature == nullptr) {
        guestFault(std::string("class_addMethod ") +
                   (selector != nullptr ? sel_getName(selector) : "(null)") + ": " +
                   (types != nullptr ? error : "no types"));
    }
    return class_addMethod(cls, selector, reinterpret_cast<IMP>(signature->callableByHost(implementation)),
                           types);
}

// Protocols guest code declares. The host runtime makes none at run time; the stand-ins know which
// protocols a class adopts by name.
struct DeclaredProtocol {
    std::string name;
    bool registered = false;
};
std::mutex& protocolsLock() {
    static auto* const lock = new std::mutex();
    return *lock;
}
std::map<std::string, std::unique_ptr<DeclaredProtocol>, std::less<>>& declaredProtocols() {
    static auto* const table = new std::map<std::string, std::unique_ptr<DeclaredProtocol>, std::less<>>();
    return *table;
}
DeclaredProtocol* declared(Protocol* protocol) {
    for (auto& [name, entry] : declaredProtocols()) {
        if (reinterpret_cast<Protocol*>(entry.get()) == protocol) {
            return entry.get();
        }
    }
    return nullptr;
}

Protocol* getProtocol(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> hold(protocolsLock());
        auto it = declaredProtocols().find(std::string_view(name));
        if (it != declaredProtocols().end()) {
            return it->second->registered ? reinterpret_cast<Protocol*>(it->second.get()) : nullptr;
        }
    }
    return objc_getProtocol(name);
}

// Nil when a protocol of that name exists already, as on a device.
Protocol* allocateProtocol(const char* name) {
    if (name == nullptr || objc_getProtocol(name) != nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(protocolsLock());
    auto [it, added] = declaredProtocols().try_emplace(name, nullptr);
    if (!added) {
        return nullptr;
    }
    it->second = std::make_unique<DeclaredProtocol>(DeclaredProtocol{name});
    return reinterpret_cast<Protocol*>(it->second.get());
}

void registerProtocol(Protocol* protocol) {
    std::lock_guard<std::mutex> hold(protocolsLock());
    if (DeclaredProtocol* entry = declared(protocol)) {
        entry->registered = true;
    }
}

BOOL addProtocol(Class cls, Protocol* protocol) {
    if (cls == Nil || protocol == nullptr) {
        return NO;
    }
    std::string name;
    {
        std::lock_guard<std::mutex> hold(protocolsLock());
        if (DeclaredProtocol* entry = declared(protocol)) {
            name = entry->name;
        }
    }
    if (name.empty()) {
        name = protocol_getName(protocol);
        class_addProtocol(cls, protocol);
    }
    objc::runtime::classRegistered(cls, {}, {name});
    return YES;
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
    Binding{"_class_addMethod", call<addMethod>},
    Binding{"_class_addIvar", call<class_addIvar>},
    Binding{"_class_addProtocol", call<addProtocol>},
    Binding{"_class_getInstanceVariable", call<class_getInstanceVariable>},
    Binding{"_ivar_getOffset", call<ivar_getOffset>},
    Binding{"_ivar_getTypeEncoding", call<ivar_getTypeEncoding>},
    Binding{"_class_getInstanceMethod", call<class_getInstanceMethod>},
    Binding{"_objc_allocateClassPair", call<objc_allocateClassPair>},
    Binding{"_objc_registerClassPair", call<objc_registerClassPair>},
    Binding{"_objc_allocateProtocol", call<allocateProtocol>},
    Binding{"_objc_getProtocol", call<getProtocol>},
    Binding{"_objc_registerProtocol", call<registerProtocol>},
    Binding{"_imp_implementationWithBlock", call<implementationWithBlock>},
};

} // namespace

std::span<const Binding> objcBindings() { return bindings; }

} // namespace dyld
