// Typed C++ access to the GNU Objective-C runtime: selectors, message sends and owning references.
#pragma once

#include <objc/message.h>
#include <objc/runtime.h>

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>

#define GLINTMERE_EXPORT __attribute__((visibility("default")))

namespace objc {

// A string usable as a template argument, so that each selector literal names one static SEL.
template <std::size_t N> struct FixedString {
    char text[N]{};
    constexpr FixedString(const char (&s)[N]) { std::copy_n(s, N, text); }
};

// Registers its selector once, the first time any call site that spells it runs.
template <FixedString Name> struct Selector {
    static SEL get() {
        static const SEL sel = sel_registerName(Name.text);
        return sel;
    }
    operator SEL() const { return get(); }
};

namespace literals {
template <FixedString Name> constexpr Selector<Name> operator""_sel() { return {}; }
} // namespace literals
using namespace literals;

template <class T> struct IsSelector : std::false_type {};
template <FixedString Name> struct IsSelector<Selector<Name>> : std::true_type {};

// How an argument travels in a send: selector literals as the SEL they name, the rest as they are.
template <class T> using Passed = std::conditional_t<IsSelector<T>::value, SEL, T>;

// Anything that is a runtime object: `id`, `Class`, or a pointer to a C++ view type.
template <class T>
concept ObjectPointer = std::is_pointer_v<T> || std::is_same_v<T, std::nullptr_t>;

template <ObjectPointer T> inline id toId(T object) {
    return reinterpret_cast<id>(const_cast<std::remove_cv_t<std::remove_pointer_t<T>>*>(object));
}
inline id toId(std::nullptr_t) { return nil; }

// A zero value of any result type; what a send to nil yields.
template <class R> R zeroValue() {
    if constexpr (std::is_void_v<R>) {
        return;
    } else {
        return R{};
    }
}

// Sends `sel` to `receiver`. A nil receiver yields the zero value of R whatever R is: the GNU runtime
// only zeroes the integer register, which would leave float and struct results undefined.
template <class R = void, class Recv, class... Args> R send(Recv receiver, SEL sel, Args... args) {
    id self = toId(receiver);
    if (self == nil) {
        return zeroValue<R>();
    }
    IMP imp = objc_msg_lookup(self, sel);
    return reinterpret_cast<R (*)(id, SEL, Passed<Args>...)>(reinterpret_cast<void (*)()>(imp))(
        self, sel, static_cast<Passed<Args>>(args)...);
}

// Sends `sel` to `receiver`, starting the method lookup at the superclass of `cls` (the class whose
// method is making the call), as `[super sel]` does. From a class method, whose receiver is a class,
// the lookup starts at the superclass's metaclass.
template <class R = void, class Recv, class... Args>
R sendSuper(Class cls, Recv receiver, SEL sel, Args... args) {
    id self = toId(receiver);
    if (self == nil) {
        return zeroValue<R>();
    }
    if (class_isMetaClass(object_getClass(self)) && !class_isMetaClass(cls)) {
        cls = object_getClass(reinterpret_cast<id>(cls));
    }
    objc_super super{self, class_getSuperclass(cls)};
    IMP imp = objc_msg_lookup_super(&super, sel);
    return reinterpret_cast<R (*)(id, SEL, Passed<Args>...)>(reinterpret_cast<void (*)()>(imp))(
        self, sel, static_cast<Passed<Args>>(args)...);
}

// Any function pointer as a method implementation. The detour through `void (*)()` is the one
// function-pointer cast that compilers accept without a warning.
template <class F>
requires std::is_function_v<std::remove_pointer_t<F>> IMP toImp(F fn) {
    return reinterpret_cast<IMP>(reinterpret_cast<void (*)()>(fn));
}

// Looks a class up by name; nil when there is none.
inline Class getClass(const char* name) { return objc_lookUpClass(name); }

template <class T = id, class Recv> T ivar(Recv object, const char* name) {
    id self = toId(object);
    if (self == nil) {
        return T{};
    }
    Ivar v = class_getInstanceVariable(object_getClass(self), name);
    if (v == nullptr) {
        return T{};
    }
    T value;
    __builtin_memcpy(&value, reinterpret_cast<char*>(self) + ivar_getOffset(v), sizeof(T));
    return value;
}

// Stores a plain value into an instance variable, with no retain or release.
template <class T, class Recv> bool setIvar(Recv object, const char* name, T value) {
    id self = toId(object);
    if (self == nil) {
        return false;
    }
    Ivar v = class_getInstanceVariable(object_getClass(self), name);
    if (v == nullptr) {
        return false;
    }
    __builtin_memcpy(reinterpret_cast<char*>(self) + ivar_getOffset(v), &value, sizeof(T));
    return true;
}

// An owning reference: retains on copy, releases when it goes. Cocoa's rules decide how one is made:
// `adopt` takes over the ownership that alloc/new/copy already gave, `retain` takes a new one.
template <class T> class Ref {
  public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(const Ref& other) : ptr_(other.ptr_) { retainObject(ptr_); }
    Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& other)
    noexcept : ptr_(other.leak()) {}
    ~Ref() { releaseObject(ptr_); }

    Ref& operator=(Ref other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }

    static Ref adopt(T* owned) {
        Ref r;
        r.ptr_ = owned;
        return r;
    }
    static Ref retain(T* borrowed) {
        retainObject(borrowed);
        return adopt(borrowed);
    }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T& operator*() const { return *ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    operator T*() const { return ptr_; }

    // Gives up ownership without releasing; the caller now owns the object.
    [[nodiscard]] T* leak() { return std::exchange(ptr_, nullptr); }

  private:
    static void retainObject(T* p) {
        if (p) {
            send<id>(p, Selector<"retain">::get());
        }
    }
    static void releaseObject(T* p) {
        if (p) {
            send<void>(p, Selector<"release">::get());
        }
    }
    T* ptr_ = nullptr;
};

template <class T> Ref<T> adopt(T* owned) { return Ref<T>::adopt(owned); }
template <class T> Ref<T> retain(T* borrowed) { return Ref<T>::retain(borrowed); }

} // namespace objc
