#include "dyld/Blocks.hpp"

#include "Foundation/NSBlock.hpp"
#include "dyld/Darwin.hpp"
#include "dyld/Signature.hpp"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace dyld {

namespace {

void* globalClass[4];
void* stackClass[4];

constexpr int HasCopyDispose = __DARWIN_BLOCK_HAS_COPY_DISPOSE;
constexpr int HasSignature = __DARWIN_BLOCK_HAS_SIGNATURE;

// A block literal as the phone's compiler lays it out, and its descriptor: the fixed fields, then the
// copy and dispose helpers and the signature, as many of them as the flags say there are.
using Literal = __darwin_block_literal;
struct Descriptor : __darwin_block_descriptor {
    std::uint64_t rest[3];
};

const Literal& literalAt(std::uint64_t address) { return *reinterpret_cast<const Literal*>(address); }
const Descriptor& descriptorOf(const Literal& literal) {
    return *static_cast<const Descriptor*>(literal.descriptor);
}
// The guest addresses a literal holds.
std::uint64_t isaOf(const Literal& literal) { return reinterpret_cast<std::uint64_t>(literal.isa); }
std::uint64_t invokeOf(const Literal& literal) { return reinterpret_cast<std::uint64_t>(literal.invoke); }

// What an NSBlock made from a guest literal runs: the literal's invoke, called with the literal and
// the host's arguments once their types are seen to fit the literal's own.
class GuestBody final : public objc::runtime::block::BodyBase {
  public:
    // `owned`: a heap copy this body disposes of and frees when it goes.
    GuestBody(std::uint64_t literal, bool owned) : literal_(literal), owned_(owned) {}
    GuestBody(const GuestBody&) = delete;
    GuestBody& operator=(const GuestBody&) = delete;

    ~GuestBody() override {
        if (!owned_) {
            return;
        }
        const Literal& literal = literalAt(literal_);
        if ((literal.flags & HasCopyDispose) != 0) {
            void* copy = reinterpret_cast<void*>(literal_);
            void* arguments[] = {&copy};
            std::uint64_t ignored = 0;
            Signature::of("v^v").callGuest(descriptorOf(literal).rest[1], &ignored, arguments);
        }
        std::free(reinterpret_cast<void*>(literal_));
    }

    const char* signature() const override { return nullptr; }

    bool call(const char* encoding, void* result, void** arguments) override {
        const char* own = literalSignature(literal_);
        if (own == nullptr) {
            return false;
        }
        std::string error;
        const Signature* mine = Signature::of(own, error);
        const Signature* caller = Signature::of(encoding, error);
        if (mine == nullptr || caller == nullptr || !mine->takesLike(*caller, 1)) {
            return false;
        }
        std::uint64_t self = literal_;
        std::vector<void*> all{&self};
        all.insert(all.end(), arguments, arguments + caller->arguments().size());
        // Integers come back widened to a whole register.
        std::vector<std::uint64_t> value(std::max<std::size_t>(mine->result().size, 16) / 8 + 1, 0);
        mine->callGuest(invokeOf(literalAt(literal_)), value.data(), all.data());
        if (result != nullptr) {
            std::memcpy(result, value.data(), mine->result().size);
        }
        return true;
    }

    std::uint64_t literal() const { return literal_; }

  private:
    std::uint64_t literal_;
    bool owned_;
};

Class blockClass() {
    static const Class cls = objc_lookUpClass("NSBlock");
    return cls;
}

id hostBlock(std::uint64_t literal, bool owned) {
    return objc::runtime::makeBlockWithBody(new GuestBody(literal, owned));
}

} // namespace

std::uint64_t globalBlockClass() { return reinterpret_cast<std::uint64_t>(&globalClass); }
std::uint64_t stackBlockClass() { return reinterpret_cast<std::uint64_t>(&stackClass); }

bool isGuestLiteral(std::uint64_t object) {
    std::uint64_t isa = 0;
    if (object == 0 || !darwin::copyFromGuest(isa, reinterpret_cast<const void*>(object))) {
        return false;
    }
    return isa == globalBlockClass() || isa == stackBlockClass();
}

bool readableLiteral(std::uint64_t literal) {
    // A literal lives on a guest stack or in an image; a copy is made of its whole size.
    constexpr unsigned long kLargest = 1ul << 20;
    constexpr std::size_t kLongestSignature = 1u << 16;
    Literal l{};
    if (!darwin::copyFromGuest(l, reinterpret_cast<const void*>(literal))) {
        return false;
    }
    Descriptor d{};
    const std::size_t words =
        2 + ((l.flags & HasCopyDispose) != 0 ? 2 : 0) + ((l.flags & HasSignature) != 0 ? 1 : 0);
    if (!darwin::copyFromGuest(&d, l.descriptor, words * sizeof(std::uint64_t)) || d.size < sizeof(Literal) ||
        d.size > kLargest || !darwin::readableInGuest(reinterpret_cast<const void*>(literal), d.size)) {
        return false;
    }
    if ((l.flags & HasSignature) == 0) {
        return true;
    }
    const auto* signature = reinterpret_cast<const char*>(d.rest[(l.flags & HasCopyDispose) != 0 ? 2 : 0]);
    return darwin::stringLengthInGuest(signature, kLongestSignature).has_value();
}

std::uint64_t copyBlock(std::uint64_t block) {
    if (block == 0 || isaOf(literalAt(block)) == globalBlockClass()) {
        return block;
    }
    if (isaOf(literalAt(block)) != stackBlockClass()) {
        objc::send<id>(reinterpret_cast<id>(block), objc::Selector<"retain">::get());
        return block;
    }
    const Literal& literal = literalAt(block);
    void* copy = std::malloc(descriptorOf(literal).size);
    if (copy == nullptr) {
        guestFault("no memory to copy a block");
    }
    std::memcpy(copy, &literal, descriptorOf(literal).size);
    if ((literal.flags & HasCopyDispose) != 0) {
        std::uint64_t from = block;
        void* arguments[] = {&copy, &from};
        std::uint64_t ignored = 0;
        Signature::of("v^v^v").callGuest(descriptorOf(literal).rest[0], &ignored, arguments);
    }
    return reinterpret_cast<std::uint64_t>(hostBlock(reinterpret_cast<std::uint64_t>(copy), true));
}

std::uint64_t objectForHost(std::uint64_t object) {
    if (!isGuestLiteral(object)) {
        return object;
    }
    if (isaOf(literalAt(object)) == stackBlockClass()) {
        const std::uint64_t copy = copyBlock(object);
        objc::send<id>(reinterpret_cast<id>(copy), objc::Selector<"autorelease">::get());
        return copy;
    }
    static std::mutex lock;
    static auto* const kept = new std::map<std::uint64_t, id>();
    std::lock_guard<std::mutex> hold(lock);
    auto [it, added] = kept->try_emplace(object, nil);
    if (added) {
        it->second = hostBlock(object, false);
    }
    return reinterpret_cast<std::uint64_t>(it->second);
}

std::uint64_t guestLiteralOf(std::uint64_t block) {
    if (block == 0 || isGuestLiteral(block)) {
        return block;
    }
    auto object = reinterpret_cast<id>(block);
    if (object_getClass(object) != blockClass()) {
        return 0;
    }
    auto* body = objc::runtime::blockBody(object);
    // Only this loader makes bodies that are not C++.
    return body != nullptr && body->signature() == nullptr ? static_cast<GuestBody*>(body)->literal() : 0;
}

const char* literalSignature(std::uint64_t literal) {
    const Literal& l = literalAt(literal);
    if ((l.flags & HasSignature) == 0) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(descriptorOf(l).rest[(l.flags & HasCopyDispose) != 0 ? 2 : 0]);
}

std::uint64_t literalInvoke(std::uint64_t literal) { return invokeOf(literalAt(literal)); }

void runBlock(std::uint64_t block) {
    if (!isGuestLiteral(block)) {
        reinterpret_cast<NS::Block*>(block)->invoke<void>();
        return;
    }
    void* argument = reinterpret_cast<void*>(block);
    void* arguments[] = {&argument};
    std::uint64_t ignored = 0;
    Signature::of("v^v").callGuest(invokeOf(literalAt(block)), &ignored, arguments);
}

} // namespace dyld
