// Typed C++ access to the Objective-C runtime: selectors, message sends, nil-safe and owning references.
#pragma once

// The runtime this build runs on decides how a message is sent (the include path chooses: see README).
#include "runtime/MessageSend.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

template <class T> class Ptr;

// How an argument travels in a send: selector literals as the SEL they name, nil-safe references as
// the pointer they hold, the rest as they are.
template <class T> struct PassedAs { using type = std::conditional_t<IsSelector<T>::value, SEL, T>; };
template <class T> struct PassedAs<Ptr<T>> { using type = T*; };
template <class T> using Passed = typename PassedAs<T>::type;

// Why typed calls are safe on nil
// ------------------------------
// A view (NS::String, UI::View, ...) is a C++ class that is never constructed: `this` is the runtime
// object itself, as in metal-cpp, so a member call is one send with no wrapper in between. A member
// call through a null pointer is undefined behaviour, though, while Objective-C code leans on
// sending to nil everywhere. So results and references are held in `Ptr<T>` (or the owning
// `Ref<T>`), one pointer wide, whose `->` yields, for nil, the address `nilAddress`: a stand-in that
// is never an object and never read. Every send takes any receiver at or below that address for nil
// and yields the zero result of its kind without looking anything up. The alternative, views as
// value handles of one pointer, would make every view constructible and copyable in C++ and turn
// `this` into a pointer to a handle; the stand-in keeps the views what they are, costs one compare
// that the nil check already makes, and needs no symbol shared between libraries.
inline constexpr std::uintptr_t nilAddress = alignof(std::max_align_t);

// True for nil and for nil's stand-in.
inline bool isNil(const void* object) { return reinterpret_cast<std::uintptr_t>(object) <= nilAddress; }

// What `->` of a nil reference yields: the stand-in, typed.
template <class T> T* nilStandIn() { return reinterpret_cast<T*>(nilAddress); }

// The base of every view type: a runtime object seen from C++. Nothing in C++ makes, copies or
// destroys one; the runtime does.
class ObjectView {
  public:
    ObjectView() = delete;
    ObjectView(const ObjectView&) = delete;
    ObjectView& operator=(const ObjectView&) = delete;
    ~ObjectView() = delete;
};

// A class a typed reference may point to: a view (complete or not yet), not `id`'s or `Class`'s struct.
template <class T>
concept ViewType = std::is_class_v<T> && !std::is_same_v<std::remove_cv_t<T>, objc_object> &&
                   !std::is_same_v<std::remove_cv_t<T>, objc_class>;

template <class T> class Ptr;
template <class T> class Ref;

template <class T>
concept Iterable = requires(T& collection) {
    collection.begin();
    collection.end();
};

// Anything that is a runtime object: `id`, `Class`, or a pointer to a C++ view type.
template <class T>
concept ObjectPointer = std::is_pointer_v<T> || std::is_same_v<T, std::nullptr_t>;

template <ObjectPointer T> inline id toId(T object) {
    return reinterpret_cast<id>(const_cast<std::remove_cv_t<std::remove_pointer_t<T>>*>(object));
}
inline id toId(std::nullptr_t) { return nil; }
template <class T> inline id toId(Ptr<T> object) { return toId(object.get()); }

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
    if (isNil(self)) {
        return zeroValue<R>();
    }
    return runtime::send<R(Passed<Args>...)>(self, sel, static_cast<Passed<Args>>(args)...);
}

// Sends `sel` to `receiver`, starting the method lookup at the superclass of `cls` (the class whose
// method is making the call), as `[super sel]` does. From a class method, whose receiver is a class,
// the lookup starts at the superclass's metaclass.
template <class R = void, class Recv, class... Args>
R sendSuper(Class cls, Recv receiver, SEL sel, Args... args) {
    id self = toId(receiver);
    if (isNil(self)) {
        return zeroValue<R>();
    }
    if (class_isMetaClass(object_getClass(self)) && !class_isMetaClass(cls)) {
        cls = object_getClass(reinterpret_cast<id>(cls));
    }
    return runtime::sendSuper<R(Passed<Args>...)>(self, class_getSuperclass(cls), sel,
                                                  static_cast<Passed<Args>>(args)...);
}

// Any function pointer as a method implementation.
template <class F>
requires std::is_function_v<std::remove_pointer_t<F>> IMP toImp(F fn) { return runtime::functionAs<IMP>(fn); }

// Reads and writes an instance variable by a name known only at run time (a property's accessors
// find theirs from the selector, a class's dealloc from the list of its owning ones). Code that
// knows the variable declares it in its view instead (objc/InstanceVariable.hpp).
template <class T, class Recv> T ivarByName(Recv object, const char* name) {
    id self = toId(object);
    if (isNil(self)) {
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

// Stores a plain value into an instance variable named at run time, with no retain or release.
template <class T, class Recv> bool setIvarByName(Recv object, const char* name, T value) {
    id self = toId(object);
    if (isNil(self)) {
        return false;
    }
    Ivar v = class_getInstanceVariable(object_getClass(self), name);
    if (v == nullptr) {
        return false;
    }
    __builtin_memcpy(reinterpret_cast<char*>(self) + ivar_getOffset(v), &value, sizeof(T));
    return true;
}

// A reference that does not own: one pointer, copied freely, and safe to call through when nil (see
// above). It converts to the plain pointer for code that has checked for nil.
template <class T> class Ptr {
  public:
    constexpr Ptr() = default;
    constexpr Ptr(std::nullptr_t) {}
    constexpr Ptr(T* object) : ptr_(object) {}
    template <class U>
    requires std::is_convertible_v<U*, T*>
    constexpr Ptr(Ptr<U> other) : ptr_(other.get()) {}

    T* get() const { return ptr_; }
    operator T*() const { return ptr_; }
    T* operator->() const { return ptr_ != nullptr ? ptr_ : nilStandIn<T>(); }
    // The same object seen as a U, unchecked, as an Objective-C cast is: for what is known to be a U.
    template <class U> Ptr<U> as() const { return reinterpret_cast<U*>(ptr_); }
    // Iterates a collection view; nil is an empty collection.
    auto begin() const requires Iterable<T> { return operator->()->begin(); }
    auto end() const requires Iterable<T> { return operator->()->end(); }

  private:
    T* ptr_ = nullptr;
};

// An owning reference: retains on copy, releases when it goes. Cocoa's rules decide how one is made:
// `adopt` takes over the ownership that alloc/new/copy already gave, `retain` takes a new one. It
// does not turn into a plain pointer by itself, so that a function cannot hand out an object that
// the reference is about to release; sends take it as an argument as it is.
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

    Ptr<T> get() const { return ptr_; }
    T* operator->() const { return ptr_ != nullptr ? ptr_ : nilStandIn<T>(); }
    explicit operator bool() const { return ptr_ != nullptr; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.ptr_ == nullptr; }

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
template <class T> Ref<T> adopt(Ptr<T> owned) { return Ref<T>::adopt(owned.get()); }
template <class T> Ref<T> retain(T* borrowed) { return Ref<T>::retain(borrowed); }
template <class T> Ref<T> retain(Ptr<T> borrowed) { return Ref<T>::retain(borrowed.get()); }
template <class T> inline id toId(const Ref<T>& object) { return toId(object.get()); }

} // namespace objc
