#include "dyld/Signature.hpp"

#include "dyld/Darwin.hpp"
#include "objc/MethodSignature.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>

namespace dyld {

namespace {

std::mutex& tablesLock() {
    static std::mutex* const lock = new std::mutex();
    return *lock;
}

// Signatures by encoding, and the crossings made for each function, kept for the process: guest code
// may hold any of them at any time.
std::map<std::string, std::unique_ptr<Signature>, std::less<>>& signatures() {
    static auto* const table = new std::map<std::string, std::unique_ptr<Signature>, std::less<>>();
    return *table;
}
using HostCallableKey = std::tuple<const Signature*, std::uint64_t, std::uint64_t>;
std::map<HostCallableKey, void*>& hostCallables() {
    static auto* const table = new std::map<HostCallableKey, void*>();
    return *table;
}
struct ClosureTarget {
    const Signature* signature;
    std::uint64_t function;
    std::uint64_t block = 0; // for a method made from a block: the block, run in place of self
};
// What each closure runs; the closures themselves live in libffi's memory, which leak checks do not read.
std::deque<ClosureTarget>& closureData() {
    static auto* const data = new std::deque<ClosureTarget>();
    return *data;
}
std::map<const void*, std::uint64_t>& closureTargets() {
    static auto* const table = new std::map<const void*, std::uint64_t>();
    return *table;
}
std::map<std::pair<const Signature*, void*>, std::uint64_t>& guestCallables() {
    static auto* const table = new std::map<std::pair<const Signature*, void*>, std::uint64_t>();
    return *table;
}

std::size_t alignUp(std::size_t value, std::size_t align) { return (value + align - 1) / align * align; }

ValueType scalar(ValueType::Kind kind, std::size_t size, bool isSigned, ffi_type* ffi) {
    ValueType t;
    t.kind = kind;
    t.size = size;
    t.align = size;
    t.isSigned = isSigned;
    t.ffi = ffi;
    if (kind == ValueType::Kind::Floating) {
        t.floats = 1;
        t.member = size;
    }
    return t;
}

} // namespace

ffi_type* Signature::structType(std::vector<ffi_type*>& elements) {
    auto& ffi = structs_.emplace_back();
    ffi.size = 0;
    ffi.alignment = 0;
    ffi.type = FFI_TYPE_STRUCT;
    ffi.elements = elements.data();
    return &ffi;
}

bool Signature::layOut(std::string_view type, ValueType& into, std::string& error) {
    using K = ValueType::Kind;
    // Every type here is one that objc::splitTypes gave, and so one whole type nested no deeper than
    // objc::kMaxTypeNesting: its parts are read there, and the recursion below is bounded by it.
    const auto parts = objc::typeParts(type);
    if (!parts) {
        error = "has a type it cannot read (" + std::string(type.substr(0, 40)) + ")";
        return false;
    }
    switch (type[0]) {
    case 'v':
        into = ValueType{};
        into.ffi = &ffi_type_void;
        return true;
    case 'c':
    case 'C':
    case 'B':
    case 's':
    case 'S':
    case 'i':
    case 'I':
    case 'l':
    case 'q':
    case 'L':
    case 'Q':
    case 'f':
    case 'd': {
        // The host's encodings: `long` is 64 bits here, as on a device.
        struct Scalar {
            char code;
            K kind;
            std::size_t size;
            bool isSigned;
            ffi_type* ffi;
        };
        static const Scalar scalars[] = {
            {'c', K::Integer, 1, true, &ffi_type_sint8},   {'C', K::Integer, 1, false, &ffi_type_uint8},
            {'B', K::Integer, 1, false, &ffi_type_uint8},  {'s', K::Integer, 2, true, &ffi_type_sint16},
            {'S', K::Integer, 2, false, &ffi_type_uint16}, {'i', K::Integer, 4, true, &ffi_type_sint32},
            {'I', K::Integer, 4, false, &ffi_type_uint32}, {'l', K::Integer, 8, true, &ffi_type_sint64},
            {'q', K::Integer, 8, true, &ffi_type_sint64},  {'L', K::Integer, 8, false, &ffi_type_uint64},
            {'Q', K::Integer, 8, false, &ffi_type_uint64}, {'f', K::Floating, 4, true, &ffi_type_float},
            {'d', K::Floating, 8, true, &ffi_type_double},
        };
        for (const Scalar& s : scalars) {
            if (s.code == type[0]) {
                into = scalar(s.kind, s.size, s.isSigned, s.ffi);
            }
        }
        return true;
    }
    case '@': // an object, a block or an object of a named class
        into = scalar(K::Integer, 8, false, &ffi_type_pointer);
        into.object = true;
        return true;
    case '#':
    case ':':
    case '*':
    case '?':
    // What a pointer points at needs no layout.
    case '^':
        into = scalar(K::Integer, 8, false, &ffi_type_pointer);
        return true;
    case '{': {
        if (parts->members.empty()) {
            error = "has a struct whose members it does not name";
            return false;
        }
        std::vector<ValueType> members;
        for (const std::string_view member : parts->members) {
            if (!layOut(member, members.emplace_back(), error)) {
                return false;
            }
            if (members.back().kind == K::Void) {
                error = "has a struct with a member of type void";
                return false;
            }
        }
        ValueType s;
        s.kind = K::Struct;
        auto& elements = elements_.emplace_back();
        std::size_t floats = 0, floatSize = 0;
        bool homogeneous = true;
        for (const auto& m : members) {
            s.size = alignUp(s.size, m.align) + m.size;
            s.align = std::max(s.align, m.align);
            elements.push_back(m.ffi);
            if (m.floats == 0 || (floatSize != 0 && m.member != floatSize)) {
                homogeneous = false;
            } else {
                floats += static_cast<std::size_t>(m.floats);
                floatSize = m.member;
            }
        }
        elements.push_back(nullptr);
        s.size = alignUp(s.size, s.align);
        if (homogeneous && floats >= 1 && floats <= 4) {
            s.floats = static_cast<int>(floats);
            s.member = floatSize;
        }
        s.ffi = structType(elements);
        into = s;
        return true;
    }
    case '[': {
        constexpr std::size_t kLongestArray = 4096;
        const std::size_t count = parts->count;
        if (count > kLongestArray) {
            error = "has an array too long to pass";
            return false;
        }
        ValueType element;
        if (!layOut(parts->element, element, error)) {
            return false;
        }
        if (count == 0 || element.kind == K::Void) {
            error = "has a malformed array";
            return false;
        }
        // An array inside a struct is its elements one after another.
        ValueType s;
        s.kind = K::Struct;
        s.size = element.size * count;
        s.align = element.align;
        auto& elements = elements_.emplace_back(count, element.ffi);
        elements.push_back(nullptr);
        if (element.floats != 0 && static_cast<std::size_t>(element.floats) * count <= 4) {
            s.floats = element.floats * static_cast<int>(count);
            s.member = element.member;
        }
        s.ffi = structType(elements);
        into = s;
        return true;
    }
    default:
        error = std::string("has the type '") + type[0] + "', which cannot cross between guest and host";
        return false;
    }
}

bool Signature::parse(std::string_view text, std::string& error) {
    const auto types = objc::splitTypes(text, error);
    if (!types) {
        return false;
    }
    if (types->empty()) {
        error = "ends where a type was expected";
        return false;
    }
    for (std::size_t i = 0; i < types->size(); ++i) {
        ValueType type;
        if (!layOut((*types)[i], type, error)) {
            return false;
        }
        if (i == 0) {
            result_ = type;
        } else if (type.kind == ValueType::Kind::Void) {
            error = "has an argument of type void";
            return false;
        } else {
            arguments_.push_back(type);
        }
    }
    for (const auto& argument : arguments_) {
        ffiArguments_.push_back(argument.ffi);
        offsets_.push_back(words_);
        words_ += alignUp(std::max<std::size_t>(argument.size, 8), 16) / 8;
    }
    const auto count = static_cast<unsigned>(ffiArguments_.size());
    const ffi_status status =
        variadicFrom_ > 0 ? ffi_prep_cif_var(&cif_, FFI_DEFAULT_ABI, static_cast<unsigned>(variadicFrom_),
                                             count, result_.ffi, ffiArguments_.data())
                          : ffi_prep_cif(&cif_, FFI_DEFAULT_ABI, count, result_.ffi, ffiArguments_.data());
    if (status != FFI_OK) {
        error = "cannot be described to libffi";
        return false;
    }
    return true;
}

const Signature* Signature::of(std::string_view encoding, std::string& error, std::size_t variadicFrom) {
    std::string key(encoding);
    if (variadicFrom > 0) {
        key += "|" + std::to_string(variadicFrom);
    }
    std::lock_guard<std::mutex> hold(tablesLock());
    auto& table = signatures();
    if (auto it = table.find(key); it != table.end()) {
        return it->second.get();
    }
    std::unique_ptr<Signature> signature(new Signature());
    signature->encoding_ = std::string(encoding);
    signature->variadicFrom_ = variadicFrom;
    if (!signature->parse(encoding, error)) {
        // An encoding may be long; what it is and where it fails is said in its first characters.
        constexpr std::size_t kShown = 80;
        const std::string shown = encoding.size() > kShown ? std::string(encoding.substr(0, kShown)) + "..."
                                                           : std::string(encoding);
        error = "the type encoding \"" + shown + "\" " + error;
        return nullptr;
    }
    signature->use_ = signature->findRegisterUse();
    return table.emplace(key, std::move(signature)).first->second.get();
}

const Signature& Signature::of(std::string_view encoding) {
    std::string error;
    const Signature* signature = of(encoding, error);
    if (signature == nullptr) {
        guestFault(error);
    }
    return *signature;
}

namespace {

// Walks the arguments as Apple's arm64 convention places them: integers in x0-x7, floating point
// values and homogeneous float aggregates in v0-v7, other structs up to 16 bytes in x registers and
// larger ones by address; what does not fit goes on the stack, packed by natural alignment.
// Variadic arguments always take the stack, 8 bytes each.
class Placement {
  public:
    enum class Where { X, D, Stack, XIndirect, StackIndirect };
    struct Place {
        Where where;
        unsigned reg = 0;       // the first register
        std::size_t offset = 0; // on the stack, from sp
    };

    Place next(const ValueType& t, bool variadic) {
        using K = ValueType::Kind;
        if (variadic) {
            nsaa_ = alignUp(nsaa_, 8);
            const Place p{t.kind == K::Struct && t.size > 16 ? Where::StackIndirect : Where::Stack, 0, nsaa_};
            nsaa_ += t.kind == K::Struct && t.size <= 16 ? alignUp(t.size, 8) : 8;
            return p;
        }
        if (t.floats != 0 && (t.kind == K::Floating || t.kind == K::Struct)) {
            if (nsrn_ + static_cast<unsigned>(t.floats) <= 8) {
                const Place p{Where::D, nsrn_};
                nsrn_ += static_cast<unsigned>(t.floats);
                return p;
            }
            nsrn_ = 8;
            return onStack(t.kind == K::Struct ? std::max<std::size_t>(t.align, 8) : t.align,
                           t.kind == K::Struct ? alignUp(t.size, 8) : t.size);
        }
        if (t.kind == K::Struct && t.size > 16) {
            if (ngrn_ < 8) {
                return {Where::XIndirect, ngrn_++};
            }
            const Place p = onStack(8, 8);
            return {Where::StackIndirect, 0, p.offset};
        }
        if (t.kind == K::Struct) {
            const unsigned words = static_cast<unsigned>(alignUp(t.size, 8) / 8);
            if (t.align == 16) {
                ngrn_ = alignUp(ngrn_, 2);
            }
            if (ngrn_ + words <= 8) {
                const Place p{Where::X, ngrn_};
                ngrn_ += words;
                return p;
            }
            ngrn_ = 8;
            return onStack(std::max<std::size_t>(t.align, 8), alignUp(t.size, 8));
        }
        if (ngrn_ < 8) {
            return {Where::X, ngrn_++};
        }
        return onStack(t.align, t.size);
    }

    std::size_t stackBytes() const { return alignUp(nsaa_, 16); }

  private:
    Place onStack(std::size_t align, std::size_t size) {
        nsaa_ = alignUp(nsaa_, align);
        const Place p{Where::Stack, 0, nsaa_};
        nsaa_ += size;
        return p;
    }

    unsigned ngrn_ = 0, nsrn_ = 0;
    std::size_t nsaa_ = 0;
};

// A call's scratch space, zeroed: on the stack for the usual few arguments, on the heap past them.
template <class T, std::size_t N> class Scratch {
  public:
    explicit Scratch(std::size_t size) {
        if (size > N) {
            heap_ = std::make_unique<T[]>(size);
            data_ = heap_.get();
        } else {
            std::fill_n(local_, size, T{});
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T* data() { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }

  private:
    T local_[N];
    std::unique_ptr<T[]> heap_;
    T* data_ = local_;
};

// Reads an n-member float aggregate (or one float or double) from consecutive v registers.
void fromFloatRegisters(const ValueType& t, const std::uint64_t* d, void* into) {
    auto* bytes = static_cast<std::uint8_t*>(into);
    for (int i = 0; i < t.floats; ++i) {
        std::memcpy(bytes + static_cast<std::size_t>(i) * t.member, &d[i], t.member);
    }
}

void toFloatRegisters(const ValueType& t, const void* from, std::uint64_t* d) {
    const auto* bytes = static_cast<const std::uint8_t*>(from);
    for (int i = 0; i < t.floats; ++i) {
        d[i] = 0;
        std::memcpy(&d[i], bytes + static_cast<std::size_t>(i) * t.member, t.member);
    }
}

// An integer of `size` bytes widened to 64 bits by its sign.
std::uint64_t widen(const void* value, std::size_t size, bool isSigned) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, value, size);
    if (isSigned && size < 8 && (bits >> (size * 8 - 1) & 1) != 0) {
        bits |= ~0ull << (size * 8);
    }
    return bits;
}

} // namespace

RegisterUse Signature::findRegisterUse() const {
    using K = ValueType::Kind;
    RegisterUse use{0, 0, false, 0, 0};
    Placement placement;
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        const ValueType& t = arguments_[i];
        const auto place = placement.next(t, variadicFrom_ > 0 && i >= variadicFrom_);
        switch (place.where) {
        case Placement::Where::X:
            use.x = std::max<std::uint8_t>(
                use.x,
                static_cast<std::uint8_t>(place.reg + (t.kind == K::Struct ? alignUp(t.size, 8) / 8 : 1)));
            break;
        case Placement::Where::XIndirect:
            use.x = std::max<std::uint8_t>(use.x, static_cast<std::uint8_t>(place.reg + 1));
            break;
        case Placement::Where::D:
            use.d = std::max<std::uint8_t>(
                use.d, static_cast<std::uint8_t>(place.reg + static_cast<unsigned>(t.floats)));
            break;
        case Placement::Where::Stack:
        case Placement::Where::StackIndirect:
            use.stack = true;
            break;
        }
    }
    if (result_.floats != 0) {
        use.resultD = static_cast<std::uint8_t>(result_.floats);
    } else if (result_.kind == K::Integer) {
        use.resultX = 1;
    } else if (result_.kind == K::Struct && result_.size <= 16) {
        use.resultX = 2;
    } else if (result_.kind == K::Struct) {
        use.x = 9; // x8 holds where the result goes
    }
    return use;
}

void Signature::callHost(void* function, Registers& r, const char* import, ObjectFilter objects) const {
    const auto read = [import](void* into, std::uint64_t from, std::size_t size, const char* what) {
        if (!darwin::copyFromGuest(into, reinterpret_cast<const void*>(from), size)) {
            guestFault(std::string(import) + ": guest code passed " + what + " it cannot read");
        }
    };
    const std::size_t count = arguments_.size();
    // Each argument's bytes, 16-aligned; and libffi's table of where each one is.
    Scratch<std::uint64_t, 32> storage(words_ + 2);
    Scratch<void*, 16> values(count);
    Placement placement;
    for (std::size_t i = 0; i < count; ++i) {
        const ValueType& t = arguments_[i];
        void* into = &storage[offsets_[i]];
        values[i] = into;
        const auto place = placement.next(t, variadicFrom_ > 0 && i >= variadicFrom_);
        switch (place.where) {
        case Placement::Where::X:
            std::memcpy(into, &r.x[place.reg], t.size);
            break;
        case Placement::Where::D:
            fromFloatRegisters(t, &r.d[place.reg], into);
            break;
        case Placement::Where::Stack:
            read(into, r.sp + place.offset, t.size, "stack arguments");
            break;
        case Placement::Where::XIndirect:
            read(into, r.x[place.reg], t.size, "a struct");
            break;
        case Placement::Where::StackIndirect: {
            std::uint64_t address = 0;
            read(&address, r.sp + place.offset, 8, "stack arguments");
            read(into, address, t.size, "a struct");
            break;
        }
        }
        if (t.object && objects != nullptr) {
            auto* object = static_cast<std::uint64_t*>(into);
            *object = objects(*object);
        }
    }
    Scratch<std::uint64_t, 4> result(alignUp(std::max<std::size_t>(result_.size, 16), 8) / 8);
    ffi_call(const_cast<ffi_cif*>(&cif_), reinterpret_cast<void (*)()>(function), result.data(),
             values.data());
    using K = ValueType::Kind;
    if (result_.kind == K::Integer) {
        // libffi widens integers narrower than a register to a whole ffi_arg.
        r.x[0] = result[0];
    } else if (result_.floats != 0) {
        toFloatRegisters(result_, result.data(), r.d);
    } else if (result_.kind == K::Struct && result_.size <= 16) {
        std::memcpy(&r.x[0], result.data(), 16);
    } else if (result_.kind == K::Struct &&
               !darwin::copyToGuest(reinterpret_cast<void*>(r.x[8]), result.data(), result_.size)) {
        guestFault(std::string(import) + ": guest code passed a result it cannot write");
    }
}

void Signature::callGuest(std::uint64_t function, void* result, void** arguments) const {
    Cpu& cpu = Cpu::current();
    Registers r;
    // The frame below the caller's stack: the stack arguments at sp, then copies of large structs,
    // then room for a large result.
    Placement placement;
    Scratch<Placement::Place, 16> places(arguments_.size());
    std::size_t copies = 0;
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        const ValueType& t = arguments_[i];
        places[i] = placement.next(t, false);
        if (t.kind == ValueType::Kind::Struct && t.size > 16) {
            copies += alignUp(t.size, 16);
        }
    }
    const bool indirectResult =
        result_.kind == ValueType::Kind::Struct && result_.size > 16 && result_.floats == 0;
    const std::size_t frame =
        placement.stackBytes() + copies + (indirectResult ? alignUp(result_.size, 16) : 0);
    const std::uint64_t sp = (cpu.stackPointer() - frame) & ~15ull;
    auto* stack = reinterpret_cast<std::uint8_t*>(sp);
    std::uint8_t* copy = stack + placement.stackBytes();
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        const ValueType& t = arguments_[i];
        const auto& place = places[i];
        const void* value = arguments[i];
        std::uint64_t indirect = 0;
        if (place.where == Placement::Where::XIndirect || place.where == Placement::Where::StackIndirect) {
            std::memcpy(copy, value, t.size);
            indirect = reinterpret_cast<std::uint64_t>(copy);
            copy += alignUp(t.size, 16);
        }
        switch (place.where) {
        case Placement::Where::X:
            if (t.kind == ValueType::Kind::Integer) {
                r.x[place.reg] = widen(value, t.size, t.isSigned);
            } else {
                std::memcpy(&r.x[place.reg], value, t.size);
            }
            break;
        case Placement::Where::D:
            toFloatRegisters(t, value, &r.d[place.reg]);
            break;
        case Placement::Where::Stack:
            std::memcpy(stack + place.offset, value, t.size);
            break;
        case Placement::Where::XIndirect:
            r.x[place.reg] = indirect;
            break;
        case Placement::Where::StackIndirect:
            std::memcpy(stack + place.offset, &indirect, 8);
            break;
        }
    }
    if (indirectResult) {
        r.x[8] = reinterpret_cast<std::uint64_t>(copy);
    }
    r.sp = sp;
    cpu.run(function, r, use_);
    using K = ValueType::Kind;
    if (result_.kind == K::Integer) {
        const std::uint64_t value = widen(&r.x[0], result_.size, result_.isSigned);
        std::memcpy(result, &value, std::max<std::size_t>(result_.size, sizeof(ffi_arg)));
    } else if (result_.floats != 0) {
        fromFloatRegisters(result_, r.d, result);
    } else if (result_.kind == K::Struct && result_.size <= 16) {
        std::memcpy(result, &r.x[0], result_.size);
    } else if (indirectResult) {
        std::memcpy(result, copy, result_.size);
    }
}

namespace {

void runClosure(ffi_cif*, void* result, void** arguments, void* data) {
    const auto* target = static_cast<const ClosureTarget*>(data);
    if (target->block == 0) {
        target->signature->callGuest(target->function, result, arguments);
        return;
    }
    // A method made from a block: (self, _cmd, ...) becomes (block, self, ...).
    std::vector<void*> shifted(arguments, arguments + target->signature->arguments().size());
    std::uint64_t block = target->block;
    shifted[1] = arguments[0];
    shifted[0] = &block;
    target->signature->callGuest(target->function, result, shifted.data());
}

void* makeClosure(const ffi_cif* cif, const ClosureTarget& target, const std::string& encoding) {
    void* code = nullptr;
    auto* closure = static_cast<ffi_closure*>(ffi_closure_alloc(sizeof(ffi_closure), &code));
    if (closure == nullptr || ffi_prep_closure_loc(closure, const_cast<ffi_cif*>(cif), &runClosure,
                                                   &closureData().emplace_back(target), code) != FFI_OK) {
        guestFault("cannot make a host function for guest code (" + encoding + ")");
    }
    return code;
}

} // namespace

void* Signature::callableByHost(std::uint64_t function) const {
    std::lock_guard<std::mutex> hold(tablesLock());
    auto& table = hostCallables();
    if (auto it = table.find({this, function, 0}); it != table.end()) {
        return it->second;
    }
    void* code = makeClosure(&cif_, ClosureTarget{this, function}, encoding_);
    table.emplace(HostCallableKey{this, function, 0}, code);
    closureTargets().emplace(code, function);
    return code;
}

void* Signature::callableByHostAsMethod(std::uint64_t invoke, std::uint64_t block) const {
    std::lock_guard<std::mutex> hold(tablesLock());
    auto& table = hostCallables();
    if (auto it = table.find({this, invoke, block}); it != table.end()) {
        return it->second;
    }
    if (arguments_.size() < 2 || !arguments_[1].object) {
        guestFault("a block whose first argument is no object (" + encoding_ + ") cannot implement a method");
    }
    void* code = makeClosure(&cif_, ClosureTarget{this, invoke, block}, encoding_);
    table.emplace(HostCallableKey{this, invoke, block}, code);
    return code;
}

bool Signature::takesLike(const Signature& other, std::size_t skip) const {
    const auto same = [](const ValueType& a, const ValueType& b) {
        return a.kind == b.kind && a.size == b.size && a.floats == b.floats && a.member == b.member;
    };
    if (!same(result_, other.result_) || arguments_.size() != other.arguments_.size() + skip) {
        return false;
    }
    for (std::size_t i = 0; i < other.arguments_.size(); ++i) {
        if (!same(arguments_[i + skip], other.arguments_[i])) {
            return false;
        }
    }
    return true;
}

std::uint64_t Signature::callableByGuest(void* function, const std::string& name) const {
    {
        std::lock_guard<std::mutex> hold(tablesLock());
        if (auto it = closureTargets().find(function); it != closureTargets().end()) {
            return it->second;
        }
        if (auto it = guestCallables().find({this, function}); it != guestCallables().end()) {
            return it->second;
        }
    }
    const std::uint64_t address = Cpu::trampoline(
        [this, function, name](Registers& r) { callHost(function, r, name.c_str()); }, name, use_);
    std::lock_guard<std::mutex> hold(tablesLock());
    guestCallables().emplace(std::pair{this, function}, address);
    return address;
}

} // namespace dyld
