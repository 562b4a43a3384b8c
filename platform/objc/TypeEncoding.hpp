// Runtime type encodings of C++ types, for the method and ivar descriptions given to the runtime.
#pragma once

#include "runtime/Encoding.hpp"

#include <objc/runtime.h>

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

// The encoding of a method returning R with the given arguments after self and _cmd.
template <class R, class... Args> std::string encodeMethod() {
    return encode<R>() + "@:" + (std::string() + ... + encode<Args>());
}

} // namespace objc
