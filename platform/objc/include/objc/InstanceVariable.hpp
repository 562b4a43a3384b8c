// Instance variables declared once in a view, beside its messages: a name, a C++ type, an ownership.
#pragma once

#include "objc/Runtime.hpp"

#include <atomic>
#include <cstddef>
#include <type_traits>

namespace objc {

// How an object-typed ivar or property holds its value: owning ones retain on set and are
// released when the object is deallocated; copying ones keep a copy instead (Cocoa's `copy`
// properties, so that a mutable value changed later by its owner does not change what is kept);
// plain ones only store the pointer.
enum class Ownership { Owning, Copying, Plain };

// Where the instance variable `name` lies in instances of the class named `className` (its own or
// inherited). A class that does not exist, or has no such variable, stops the program naming both:
// the variable is declared in the class's view, so its absence is a fault of the build, not of input.
GLINTMERE_EXPORT std::ptrdiff_t instanceVariableOffset(const char* className, const char* name);

// The instance variable `Name` of the class that the view `Owner` stands for, holding a T. Views
// declare one per variable with OBJC_IVAR; reads, writes and class definitions all take it from there.
template <FixedString Name, class T, class Owner, Ownership O = Ownership::Plain> struct InstanceVariable {
    static_assert(O == Ownership::Plain || std::is_pointer_v<T>, "only an object is owned or copied");
    using Type = T;
    using View = Owner;
    static constexpr Ownership ownership = O;

    static constexpr const char* name() { return Name.text; }

    // Looked up once: a class's ivars do not move once it is registered, and a subclass's instances
    // hold the variable where the class's own do.
    static std::ptrdiff_t offset() {
        static std::atomic<std::ptrdiff_t> found{-1};
        std::ptrdiff_t at = found.load(std::memory_order_relaxed);
        if (at < 0) {
            at = instanceVariableOffset(Owner::className(), Name.text);
            found.store(at, std::memory_order_relaxed);
        }
        return at;
    }
};

// The views whose objects hold the variables that the view `Owner` declares: `Owner` and its
// subclasses' views, or, for the inner view of a class (objc/Internals.hpp, which names the view it
// extends as `InterfaceView`), that class's view and its subclasses' views.
template <class Owner> struct HolderOf { using type = Owner; };
template <class Owner>
requires std::is_same_v<typename Owner::InternalsView, Owner>
struct HolderOf<Owner> {
    using type = typename Owner::InterfaceView;
};
template <class Owner> using Holder = typename HolderOf<Owner>::type;

template <class T> struct IsInstanceVariable : std::false_type {};
template <FixedString N, class T, class Owner, Ownership O>
struct IsInstanceVariable<InstanceVariable<N, T, Owner, O>> : std::true_type {};

// The value of `variable` in `object`, a view of its class or of a subclass; zero for nil.
template <FixedString N, class T, class Owner, Ownership O>
T ivar(std::type_identity_t<const Holder<Owner>*> object, const InstanceVariable<N, T, Owner, O>& variable) {
    if (isNil(object)) {
        return T{};
    }
    T value;
    __builtin_memcpy(&value, reinterpret_cast<const char*>(object) + variable.offset(), sizeof(T));
    return value;
}

// Stores `value` into `variable` of `object` as it is, with no retain or release; nothing for nil.
template <FixedString N, class T, class Owner, Ownership O>
void setIvar(std::type_identity_t<const Holder<Owner>*> object,
             const InstanceVariable<N, T, Owner, O>& variable, std::type_identity_t<T> value) {
    if (isNil(object)) {
        return;
    }
    __builtin_memcpy(reinterpret_cast<char*>(const_cast<Holder<Owner>*>(object)) + variable.offset(), &value,
                     sizeof(T));
}

// The variable's own storage in `object`, for the class's implementation, which keeps its state
// there: as the declared type, or as `Stored`, the type of what the class keeps in a variable its
// view declares as a plain pointer (its private state). `object` is not nil.
template <class Stored = void, FixedString N, class T, class Owner, Ownership O> auto&
storage(std::type_identity_t<const Holder<Owner>*> object, const InstanceVariable<N, T, Owner, O>& variable) {
    using Kept = std::conditional_t<std::is_void_v<Stored>, T, Stored>;
    static_assert(sizeof(Kept) == sizeof(T) && alignof(Kept) == alignof(T),
                  "the storage holds the variable's type");
    return *reinterpret_cast<Kept*>(reinterpret_cast<char*>(const_cast<Holder<Owner>*>(object)) +
                                    variable.offset());
}

// The same through an owning reference.
template <FixedString N, class T, class Owner, Ownership O, class U>
T ivar(const Ref<U>& object, const InstanceVariable<N, T, Owner, O>& variable) {
    return ivar(object.get(), variable);
}
template <FixedString N, class T, class Owner, Ownership O, class U>
void setIvar(const Ref<U>& object, const InstanceVariable<N, T, Owner, O>& variable,
             std::type_identity_t<T> value) {
    setIvar(object.get(), variable, value);
}

} // namespace objc

// Declares, inside a view, the instance variable `name` holding a `type` (an object pointer may
// add `Owning` or `Copying`): the static member `name` stands for it in `objc::ivar`,
// `objc::setIvar`, `objc::storeOwned` and the class definition. The view names itself
// `DeclaringView` (NS::Referencing does).
#define OBJC_IVAR(name, type, ...) OBJC_IVAR_NAMED(name, #name, type __VA_OPT__(, ) __VA_ARGS__)

// The same, with a member name of its own for a variable whose name a message already takes.
#define OBJC_IVAR_NAMED(member, ivarName, type, ...)                                                         \
    static constexpr ::objc::InstanceVariable<ivarName, type,                                                \
                                              DeclaringView __VA_OPT__(, ::objc::Ownership::) __VA_ARGS__>   \
        member{};
