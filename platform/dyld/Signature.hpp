// A function's types, read from a runtime type encoding: how its arguments and result travel between
// arm64 guest code (Apple's calling convention) and host code (libffi).
#pragma once

#include "dyld/Cpu.hpp"

#include <ffi.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace dyld {

struct ValueType {
    enum class Kind { Void, Integer, Floating, Struct };
    Kind kind = Kind::Void;
    std::size_t size = 0;
    std::size_t align = 1;
    bool isSigned = false;
    int floats = 0;         // a homogeneous float aggregate's member count (1-4), else 0
    std::size_t member = 0; // and the size of each member (4 or 8)
    bool object = false;    // an object ('@')
    ffi_type* ffi = nullptr;
};

class GLINTMERE_EXPORT Signature {
  public:
    // The signature of an encoding such as "v@:{CGRect={CGPoint=dd}{CGSize=dd}}" (result first;
    // qualifiers and frame offsets are skipped), made once per encoding and kept for the process.
    // `variadicFrom` > 0 marks the arguments from that index on as variadic. Null, with `error` set,
    // for an encoding it cannot call through (long double, unions, bit fields...).
    static const Signature* of(std::string_view encoding, std::string& error, std::size_t variadicFrom = 0);
    // The same, where a bad encoding is the program's fault and stops it.
    static const Signature& of(std::string_view encoding);

    const ValueType& result() const { return result_; }
    const std::vector<ValueType>& arguments() const { return arguments_; }

    // What an object argument from the guest becomes for the host.
    using ObjectFilter = std::uint64_t (*)(std::uint64_t object);

    // Guest code called with `registers`: calls the host `function` and leaves the results in them.
    // For a variadic signature, `extra` more arguments follow the fixed ones, each an 8-byte stack slot.
    // Each object argument passes through `objects` where one is given. Guest memory it reads or writes
    // (stack arguments, structs passed or returned by address) is checked first; a fault there stops
    // the process with a message naming `import`.
    void callHost(void* function, Registers& registers, const char* import,
                  ObjectFilter objects = nullptr) const;
    // Calls the guest `function` from the host: `arguments` point at the values, `result` receives
    // the result (widened to a whole ffi_arg for integers, as libffi closures return them).
    void callGuest(std::uint64_t function, void* result, void** arguments) const;

    // A host function pointer that runs the guest `function` (a libffi closure; one per function and
    // signature, kept for the process). A pointer that callableByGuest made comes back as it was.
    void* callableByHost(std::uint64_t function) const;
    // The same for a method's implementation made from a guest block: called with the method's self
    // and selector first, it runs the block's `invoke` with the block and self in their place (both
    // pointers, so the other arguments lie where they did). `this` is the block's own signature.
    void* callableByHostAsMethod(std::uint64_t invoke, std::uint64_t block) const;

    // Whether guest code of this signature can be called with `other`'s arguments and result, taking
    // the first `skip` arguments of this one as given: the same kinds and sizes ('q' and 'l' are both
    // 64-bit integers, '@' and '^v' both pointers).
    bool takesLike(const Signature& other, std::size_t skip) const;
    // A guest address that calls the host `function` (a trampoline; one per function and signature). A
    // closure that callableByHost made gives back its guest function.
    std::uint64_t callableByGuest(void* function, const std::string& name) const;

    Signature(const Signature&) = delete;
    Signature& operator=(const Signature&) = delete;

  private:
    Signature() = default;
    bool parse(std::string_view encoding, std::string& error);
    // The layout of one type of the encoding, as objc::splitTypes gives it.
    bool layOut(std::string_view type, ValueType& into, std::string& error);
    // Which registers a call of this signature passes its arguments and results in.
    RegisterUse findRegisterUse() const;
    // A libffi struct of `elements` (null-terminated), kept with the signature.
    ffi_type* structType(std::vector<ffi_type*>& elements);

    std::string encoding_;
    ValueType result_;
    std::vector<ValueType> arguments_;
    std::size_t variadicFrom_ = 0;
    RegisterUse use_;
    std::deque<ffi_type> structs_;
    std::deque<std::vector<ffi_type*>> elements_;
    std::vector<ffi_type*> ffiArguments_;
    // Where each argument's bytes begin in a call's storage, in words, and how many words it takes.
    std::vector<std::size_t> offsets_;
    std::size_t words_ = 0;
    ffi_cif cif_{};
};

} // namespace dyld
