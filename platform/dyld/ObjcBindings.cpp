// The Objective-C runtime's imports. A send is marshalled by the types of the method it reaches, as
// the host runtime records them; a send to nil yields zeros, as on a device.
#include "Foundation/NSAutoreleasePool.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Blocks.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/GuestObjects.hpp"
#include "runtime/Classes.hpp"

#include <objc/message.h>
#include <objc/runtime.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace dyld {

namespace {

// Messages whose arguments end in a nil-terminated list of objects.
bool takesObjectList(SEL selector) {
    const std::string_view name = sel_getName(selector);
    return name == "appearanceWhenContainedIn:" || name == "arrayWithObjects:" ||
           name == "dictionaryWithObjectsAndKeys:";
}

// The host runtime's objc_super has the fields of Darwin's, under other names: guest code's record is
// looked up as it is.
struct DarwinSuper __DARWIN_STRUCT_OBJC_SUPER(id, Class);
static_assert(sizeof(DarwinSuper) == sizeof(objc_super) &&
              offsetof(DarwinSuper, receiver) == offsetof(objc_super, self) &&
              offsetof(DarwinSuper, super_class) == offsetof(objc_super, super_class));

constexpr char kMsgSend[] = "objc_msgSend";
constexpr char kMsgSendSuper[] = "objc_msgSendSuper";

// An object a send passes on, as the host takes it. Some of the host's methods declare pointers that
// are no objects as objects ('@' for a CGColorRef): what is checked is that the host can read it.
template <const char* Function> std::uint64_t objectArgument(std::uint64_t object) {
    if (object != 0) {
        darwin::requireReadable(Function, reinterpret_cast<const void*>(object), sizeof(void*),
                                "an object argument");
    }
    if (isGuestLiteral(object) && !readableLiteral(object)) {
        guestFault(std::string(Function) + ": guest code passed a block argument it cannot read");
    }
    return objectForHost(object);
}

// What a send needs of the method it reaches: its types, as the runtime keeps them and as read, and
// whether they end in a list of objects.
struct Reached {
    const char* types;
    const Signature* signature;
    bool objectList;
};

// The method `selector` reaches from `searchFrom` through `implementation`, looked up on the first send
// and kept: a method's types never change, and a replaced implementation is another key. The record
// is dropped whole at a bound, since guest code can make classes without end.
std::optional<Reached> reached(Class searchFrom, SEL selector, IMP implementation) {
    struct Key {
        Class cls;
        SEL selector;
        IMP implementation;
        bool operator==(const Key&) const = default;
    };
    struct Hash {
        std::size_t operator()(const Key& k) const {
            const auto mix = [](std::size_t h, const void* p) {
                return (h ^ reinterpret_cast<std::uintptr_t>(p)) * 0x100000001b3ull;
            };
            return mix(mix(mix(0xcbf29ce484222325ull, k.cls), k.selector),
                       reinterpret_cast<const void*>(k.implementation));
        }
    };
    constexpr std::size_t kKept = 1u << 16;
    static std::mutex lock;
    static auto* const kept = new std::unordered_map<Key, Reached, Hash>();
    const Key key{searchFrom, selector, implementation};
    {
        std::lock_guard<std::mutex> hold(lock);
        if (auto it = kept->find(key); it != kept->end()) {
            return it->second;
        }
    }
    Method method = class_getInstanceMethod(searchFrom, selector);
    if (method == nullptr) {
        return std::nullopt;
    }
    const char* types = method_getTypeEncoding(method);
    std::string error;
    const Signature* signature = Signature::of(types, error);
    if (signature == nullptr) {
        guestFault(std::string(sel_getName(selector)) + ": " + error);
    }
    const Reached found{types, signature, takesObjectList(selector)};
    std::lock_guard<std::mutex> hold(lock);
    if (kept->size() >= kKept) {
        kept->clear();
    }
    kept->emplace(key, found);
    return found;
}

void send(Registers& r, id receiver, Class searchFrom, IMP implementation, const char* function) {
    const Signature::ObjectFilter objects =
        function == kMsgSend ? &objectArgument<kMsgSend> : &objectArgument<kMsgSendSuper>;
    auto selector = reinterpret_cast<SEL>(r.x[1]);
    const std::optional<Reached> method = reached(searchFrom, selector, implementation);
    if (!method) {
        guestFault(std::string(class_isMetaClass(searchFrom) ? "+[" : "-[") + class_getName(searchFrom) +
                   " " + sel_getName(selector) + "]: guest code sent a message its receiver does not answer");
    }
    r.x[0] = reinterpret_cast<std::uint64_t>(receiver);
    if (method->objectList) {
        // The first object is the last fixed argument; the others follow on the stack up to nil.
        const Signature* fixed = method->signature;
        std::string all(method->types);
        const auto* slots = reinterpret_cast<const std::uint64_t*>(r.sp);
        std::size_t extra = 0;
        if (r.x[fixed->arguments().size() - 1] != 0) {
            while (extra < 256 && Cpu::current().onStack(r.sp + 8 * extra, 8) && slots[extra] != 0) {
                ++extra;
            }
            ++extra; // the nil
        }
        all.append(extra, '@');
        std::string error;
        const Signature* signature = Signature::of(all, error, fixed->arguments().size());
        if (signature == nullptr) {
            guestFault(error);
        }
        signature->callHost(reinterpret_cast<void*>(implementation), r, function, objects);
        return;
    }
    method->signature->callHost(reinterpret_cast<void*>(implementation), r, function, objects);
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

void sendToNil(Registers& r, const char* function) {
    // A struct returned in memory is zeroed there too, as the caller reads it from there.
    if (const std::size_t size = resultInMemory(reinterpret_cast<SEL>(r.x[1])); size != 0 && r.x[8] != 0) {
        darwin::requireOverwritable(function, reinterpret_cast<void*>(r.x[8]), size, "a result");
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
            requireSelector("objc_msgSend", reinterpret_cast<SEL>(r.x[1]));
            if (r.x[0] == 0) {
                return sendToNil(r, "objc_msgSend");
            }
            requireObject("objc_msgSend", r.x[0], "a receiver");
            if (isGuestLiteral(r.x[0]) && sendToLiteral(r)) {
                return;
            }
            auto receiver = reinterpret_cast<id>(r.x[0]);
            auto selector = reinterpret_cast<SEL>(r.x[1]);
            send(r, receiver, object_getClass(receiver), objc_msg_lookup(receiver, selector), kMsgSend);
        },
        std::string(symbol));
    return address;
}

std::uint64_t msgSendSuper(std::string_view symbol) {
    static const std::uint64_t address = Cpu::trampoline(
        [](Registers& r) {
            auto* super = reinterpret_cast<objc_super*>(r.x[0]);
            requireSelector("objc_msgSendSuper", reinterpret_cast<SEL>(r.x[1]));
            darwin::requireReadable("objc_msgSendSuper", super, sizeof *super, "a superclass record");
            if (super->self == nil) {
                return sendToNil(r, "objc_msgSendSuper");
            }
            requireObject("objc_msgSendSuper", reinterpret_cast<std::uint64_t>(super->self), "a receiver");
            requireClass("objc_msgSendSuper", super->super_class, "a superclass");
            auto selector = reinterpret_cast<SEL>(r.x[1]);
            send(r, super->self, super->super_class, objc_msg_lookup_super(super, selector), kMsgSendSuper);
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
    requireObject("imp_implementationWithBlock", block, "a block");
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
    requireClass("class_addMethod", cls);
    requireSelector("class_addMethod", selector);
    if (types != nullptr) {
        darwin::requireString("class_addMethod", types, "types");
    }
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
    darwin::requireString("objc_getProtocol", name, "a name");
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
    if (name != nullptr) {
        darwin::requireString("objc_allocateProtocol", name, "a name");
    }
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
    requireClass("class_addProtocol", cls);
    std::string name;
    {
        std::lock_guard<std::mutex> hold(protocolsLock());
        if (DeclaredProtocol* entry = declared(protocol)) {
            name = entry->name;
        }
    }
    if (name.empty()) {
        requireObject("class_addProtocol", reinterpret_cast<std::uint64_t>(protocol), "a protocol");
        name = protocol_getName(protocol);
        class_addProtocol(cls, protocol);
    }
    objc::runtime::classRegistered(cls, {}, {name});
    return YES;
}

// The runtime's functions as guest code calls them, each pointer checked first. Nil and null stay
// what the runtime makes of them.
const char* checkedName(const char* function, const char* name) {
    if (name != nullptr) {
        darwin::requireString(function, name, "a name");
    }
    return name;
}
Class checkedClass(const char* function, Class cls) {
    if (cls != Nil) {
        requireClass(function, cls);
    }
    return cls;
}
id checkedObject(const char* function, id object) {
    if (object != nil) {
        requireObject(function, reinterpret_cast<std::uint64_t>(object), "an object");
    }
    return object;
}

Class getClass(const char* name) { return objc_getClass(checkedName("objc_getClass", name)); }
Class lookUpClass(const char* name) { return objc_lookUpClass(checkedName("objc_lookUpClass", name)); }
Class classOf(id object) { return object_getClass(checkedObject("object_getClass", object)); }
Ivar setInstanceVariable(id object, const char* name, void* value) {
    checkedObject("object_setInstanceVariable", object);
    return object_setInstanceVariable(object, checkedName("object_setInstanceVariable", name), value);
}
SEL registerName(const char* name) { return sel_registerName(checkedName("sel_registerName", name)); }
const char* selectorName(SEL selector) {
    if (selector != nullptr) {
        requireSelector("sel_getName", selector);
    }
    return sel_getName(selector);
}
const char* className(Class cls) { return class_getName(checkedClass("class_getName", cls)); }
Class superclassOf(Class cls) { return class_getSuperclass(checkedClass("class_getSuperclass", cls)); }
BOOL isMetaClass(Class cls) { return class_isMetaClass(checkedClass("class_isMetaClass", cls)); }
BOOL addIvar(Class cls, const char* name, std::size_t size, std::uint8_t alignment, const char* types) {
    checkedClass("class_addIvar", cls);
    checkedName("class_addIvar", name);
    if (types != nullptr) {
        darwin::requireString("class_addIvar", types, "types");
    }
    return class_addIvar(cls, name, size, alignment, types);
}
Ivar instanceVariable(Class cls, const char* name) {
    checkedClass("class_getInstanceVariable", cls);
    return class_getInstanceVariable(cls, checkedName("class_getInstanceVariable", name));
}
std::ptrdiff_t ivarOffset(Ivar ivar) {
    // An ivar's record: its name, its types and its offset.
    if (ivar != nullptr) {
        darwin::requireReadable("ivar_getOffset", ivar, 2 * sizeof(void*) + sizeof(int), "an ivar");
    }
    return ivar_getOffset(ivar);
}
const char* ivarTypeEncoding(Ivar ivar) {
    if (ivar != nullptr) {
        darwin::requireReadable("ivar_getTypeEncoding", ivar, 2 * sizeof(void*) + sizeof(int), "an ivar");
    }
    return ivar_getTypeEncoding(ivar);
}
Method instanceMethod(Class cls, SEL selector) {
    checkedClass("class_getInstanceMethod", cls);
    if (selector != nullptr) {
        requireSelector("class_getInstanceMethod", selector);
    }
    return class_getInstanceMethod(cls, selector);
}
Class allocateClassPair(Class superclass, const char* name, std::size_t extraBytes) {
    checkedClass("objc_allocateClassPair", superclass);
    Class made = objc_allocateClassPair(superclass, checkedName("objc_allocateClassPair", name), extraBytes);
    classPairMade(made);
    return made;
}
void registerClassPair(Class cls) { objc_registerClassPair(checkedClass("objc_registerClassPair", cls)); }

const std::array bindings{
    Binding{"_objc_msgSend", msgSend},
    Binding{"_objc_msgSendSuper", msgSendSuper},
    Binding{"_objc_getClass", call<getClass>},
    Binding{"_objc_autoreleasePoolPush", call<objc_autoreleasePoolPush>},
    Binding{"_objc_autoreleasePoolPop", call<objc_autoreleasePoolPop>},
    Binding{"_objc_lookUpClass", call<lookUpClass>},
    Binding{"_object_getClass", call<classOf>},
    Binding{"_object_setInstanceVariable", call<setInstanceVariable>},
    Binding{"_sel_registerName", call<registerName>},
    Binding{"_sel_getName", call<selectorName>},
    Binding{"_class_getName", call<className>},
    Binding{"_class_getSuperclass", call<superclassOf>},
    Binding{"_class_isMetaClass", call<isMetaClass>},
    Binding{"_class_addMethod", call<addMethod>},
    Binding{"_class_addIvar", call<addIvar>},
    Binding{"_class_addProtocol", call<addProtocol>},
    Binding{"_class_getInstanceVariable", call<instanceVariable>},
    Binding{"_ivar_getOffset", call<ivarOffset>},
    Binding{"_ivar_getTypeEncoding", call<ivarTypeEncoding>},
    Binding{"_class_getInstanceMethod", call<instanceMethod>},
    Binding{"_objc_allocateClassPair", call<allocateClassPair>},
    Binding{"_objc_registerClassPair", call<registerClassPair>},
    Binding{"_objc_allocateProtocol", call<allocateProtocol>},
    Binding{"_objc_getProtocol", call<getProtocol>},
    Binding{"_objc_registerProtocol", call<registerProtocol>},
    Binding{"_imp_implementationWithBlock", call<implementationWithBlock>},
};

} // namespace

std::span<const Binding> objcBindings() { return bindings; }

} // namespace dyld
