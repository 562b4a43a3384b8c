// Runtime type encodings of C++ types, for the method and ivar descriptions given to the runtime.
#pragma once

#include "runtime/Encoding.hpp"

#include <objc/runtime.h>

#include <concepts>
#include <string>
#include <type_traits>

namespace objc {

// Structs may specialise this to give their runtime encoding; the default names none.
template <class T> struct StructEncoding {
    static std::string value() { return "{?=}"; }
};

template <class T> std::string encode() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_void_v<U>) {
        return "v";
    } else if constexpr (std::is_same_v<U, Class>) {
        return "#";
    } else if constexpr (std::is_same_v<U, SEL>) {
        return ":";
    } else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
        return "*";
    } else if constexpr (std::is_pointer_v<U> && std::is_void_v<std::remove_pointer_t<U>>) {
        return "^v";
    } else if constexpr (std::is_pointer_v<U> && std::is_class_v<std::remove_pointer_t<U>>) {
        return "@";
    } else if constexpr (std::is_pointer_v<U>) {
        return "^" + encode<std::remove_pointer_t<U>>();
    } else if constexpr (std::is_same_v<U, bool>) {
        return "B";
    } else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, signed char>) {
        return "c";
    } else if constexpr (std::is_same_v<U, unsigned char>) {
        return "C";
    } else if constexpr (std::is_same_v<U, short>) {
        return "s";
    } else if constexpr (std::is_same_v<U, unsigned short>) {
        return "S";
    } else if constexpr (std::is_same_v<U, int>) {
        return "i";
    } else if constexpr (std::is_same_v<U, unsigned int>) {
        return "I";
    } else if constexpr (std::is_same_v<U, long>) {
        return runtime::longEncoding;
    } else if constexpr (std::is_same_v<U, unsigned long>) {
        return runtime::unsignedLongEncoding;
    } else if constexpr (std::is_same_v<U, long long>) {
        return "q";
    } else if constexpr (std::is_same_v<U, unsigned long long>) {
        return "Q";
    } else if constexpr (std::is_same_v<U, float>) {
        return "f";
    } else if constexpr (std::is_same_v<U, double>) {
        return "d";
    } else if constexpr (std::is_enum_v<U>) {
        return encode<std::underlying_type_t<U>>();
    } else if constexpr (std::is_class_v<U>) {
        return StructEncoding<U>::value();
    } else {
        return "?";
    }
}

// A class type whose runtime class C++ knows by name: a view.
template <class T>
concept NamesRuntimeClass = requires {
    { T::className() } -> std::convertible_to<const char*>;
};

// True for a C library's type that code sees only through pointers (cairo_surface_t, say): a method
// passes it as a plain pointer. Specialised beside the type's declaration.
template <class T> inline constexpr bool isOpaqueHandle = false;

// The encoding of a method's result or argument: a pointer to a view names the view's class, as
// Objective-C's extended encodings do (`@"UIView"`), so that a send whose selector is known only at
// run time can be checked against the class it must pass; anything else as encode() gives it.
template <class T> std::string encodeInMethod() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_pointer_v<U> && std::is_class_v<std::remove_pointer_t<U>> &&
                  !std::is_same_v<U, Class> && !std::is_same_v<U, SEL>) {
        using Pointee = std::remove_cv_t<std::remove_pointer_t<U>>;
        if constexpr (isOpaqueHandle<Pointee>) {
            return "^v";
        } else {
            // Were the view only declared here, its methods would be recorded without its class.
            static_assert(
                requires { sizeof(Pointee); }, "a method's encoding names the classes it takes: "
                                               "include the header of each view it takes");
            if constexpr (NamesRuntimeClass<Pointee>) {
                return std::string("@\"") + Pointee::className() + "\"";
            } else {
                return encode<T>();
            }
        }
    } else {
        return encode<T>();
    }
}

// The encoding of a method returning R with the given arguments after self and _cmd.
template <class R, class... Args> std::string encodeMethod() {
    return encodeInMethod<R>() + "@:" + (std::string() + ... + encodeInMethod<Args>());
}

} // namespace objc
