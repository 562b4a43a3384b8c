#include "Foundation/NSData.hpp"

#include "Foundation/AtomicFile.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdint>
#include <cstring>
#include <string>

namespace NS {
namespace {

// Files read whole into memory: anything larger is refused rather than exhaust it.
constexpr std::size_t fileLimit = std::size_t{1} << 30;

std::string*& bytesOf(const Data* self) {
    return detail::slot<std::string*, "NSData", "_bytes">(objc::toId(self));
}

const std::string& bytes(const Data* self) {
    static const std::string empty;
    std::string* b = bytesOf(self);
    return b != nullptr ? *b : empty;
}

// "<0001feff 10>": hex, in groups of four bytes.
std::string hexDescription(const std::string& b) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "<";
    for (std::size_t k = 0; k < b.size(); ++k) {
        if (k > 0 && k % 4 == 0) {
            out += ' ';
        }
        auto c = static_cast<unsigned char>(b[k]);
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out + '>';
}

bool isEqualToData(const Data* self, const Object* other) {
    auto data = cast<Data>(other);
    if (data == nullptr) {
        return false;
    }
    const unsigned long n = data->length();
    const std::string& mine = bytes(self);
    return n == mine.size() && (n == 0 || std::memcmp(mine.data(), data->bytes(), n) == 0);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Data>()
        .ivar<void*>("_bytes")
        .method(Data::data_, [](Class cls) -> Data* { return Data::alloc_.send(cls)->init()->autorelease(); })
        .method(Data::dataWithBytesLength_,
                [](Class cls, const void* data, unsigned long length) -> Data* {
                    return Data::alloc_.send(cls)->initWithBytes(data, length)->autorelease();
                })
        .method(Data::dataWithContentsOfFile_,
                [](Class cls, String* path) -> Data* {
                    return Data::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
                })
        .method(Data::init_,
                [](Data* self) -> Data* {
                    bytesOf(self) = new std::string();
                    return self;
                })
        .method(Data::initWithBytesLength_,
                [](Data* self, const void* data, unsigned long length) -> Data* {
                    if (data == nullptr && length > 0) {
                        self->release();
                        return nullptr;
                    }
                    bytesOf(self) =
                        new std::string(static_cast<const char*>(data), data == nullptr ? 0 : length);
                    return self;
                })
        .method(Data::initWithContentsOfFile_,
                [](Data* self, objc::Ptr<String> path) -> Data* {
                    std::optional<std::string> contents = detail::readFile(path->utf8String(), fileLimit);
                    if (!contents) {
                        self->release();
                        return nullptr;
                    }
                    bytesOf(self) = new std::string(std::move(*contents));
                    return self;
                })
        .method(Object::dealloc_,
                [](Data* self) {
                    delete bytesOf(self);
                    bytesOf(self) = nullptr;
                    Object::dealloc_.super<Data>(self);
                })
        .method(Data::bytes_, [](Data* self) -> const void* { return bytes(self).data(); })
        .method(Data::length_, [](Data* self) -> unsigned long { return bytes(self).size(); })
        .method(Data::isEqualToData_,
                [](Data* self, Data* other) -> bool { return isEqualToData(self, other); })
        .method(Object::isEqual_,
                [](Data* self, const Object* other) -> bool { return isEqualToData(self, other); })
        .method(Object::hash_,
                [](Data* self) -> unsigned long {
                    std::uint64_t h = 14695981039346656037ull;
                    const std::string& b = bytes(self);
                    // The first bytes are enough to spread data apart, as Cocoa also hashes a prefix only.
                    std::size_t n = b.size() < 80 ? b.size() : 80;
                    for (std::size_t k = 0; k < n; ++k) {
                        h = (h ^ static_cast<unsigned char>(b[k])) * 1099511628211ull;
                    }
                    return static_cast<unsigned long>(h ^ b.size());
                })
        .method(Object::copyWithZone_, [](Data* self, void*) -> Object* { return self->retain(); })
        .method(Object::description_,
                [](Data* self) -> String* {
                    return String::string(std::string_view(hexDescription(bytes(self))));
                })
        .method(Data::writeToFileAtomically_,
                [](Data* self, objc::Ptr<String> path, bool atomically) -> bool {
                    return detail::writeFile(path->utf8String(), bytes(self), atomically);
                })
        .build();
}

} // namespace
} // namespace NS
