#include "Foundation/NSData.hpp"
#include "Foundation/NSDataInternals.hpp"

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

std::string*& bytesOf(const Data* self) { return objc::storage<std::string*>(self, DataInternals::_bytes); }

const std::string& storedBytes(const Data* self) {
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

bool isEqual(Data* self, const Object* other) {
    auto data = cast<Data>(other);
    if (data == nullptr) {
        return false;
    }
    const unsigned long n = data->length();
    const std::string& mine = storedBytes(self);
    return n == mine.size() && (n == 0 || std::memcmp(mine.data(), data->bytes(), n) == 0);
}

Data* data(Class cls) { return Data::alloc_.send(cls)->init()->autorelease(); }

Data* dataWithBytesLength(Class cls, const void* data, unsigned long length) {
    return Data::alloc_.send(cls)->initWithBytes(data, length)->autorelease();
}

Data* dataWithContentsOfFile(Class cls, String* path) {
    return Data::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease();
}

Data* init(Data* self) {
    bytesOf(self) = new std::string();
    return self;
}

Data* initWithBytesLength(Data* self, const void* data, unsigned long length) {
    if (data == nullptr && length > 0) {
        self->release();
        return nullptr;
    }
    bytesOf(self) = new std::string(static_cast<const char*>(data), data == nullptr ? 0 : length);
    return self;
}

Data* initWithContentsOfFile(Data* self, objc::Ptr<String> path) {
    std::optional<std::string> contents = detail::readFile(path->utf8String(), fileLimit);
    if (!contents) {
        self->release();
        return nullptr;
    }
    bytesOf(self) = new std::string(std::move(*contents));
    return self;
}

void dealloc(Data* self) {
    delete bytesOf(self);
    bytesOf(self) = nullptr;
    Object::dealloc_.super<Data>(self);
}

const void* bytes(Data* self) { return storedBytes(self).data(); }

unsigned long length(Data* self) { return storedBytes(self).size(); }

bool isEqualToData(Data* self, Data* other) { return isEqual(self, other); }

unsigned long hash(Data* self) {
    std::uint64_t h = 14695981039346656037ull;
    const std::string& b = storedBytes(self);
    // The first bytes are enough to spread data apart, as Cocoa also hashes a prefix only.
    std::size_t n = b.size() < 80 ? b.size() : 80;
    for (std::size_t k = 0; k < n; ++k) {
        h = (h ^ static_cast<unsigned char>(b[k])) * 1099511628211ull;
    }
    return static_cast<unsigned long>(h ^ b.size());
}

Object* copyWithZone(Data* self, void*) { return self->retain(); }

String* description(Data* self) {
    return String::string(std::string_view(hexDescription(storedBytes(self))));
}

bool writeToFileAtomically(Data* self, objc::Ptr<String> path, bool atomically) {
    return detail::writeFile(path->utf8String(), storedBytes(self), atomically);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Data>()
        .ivar(DataInternals::_bytes)
        .method<&data>(Data::data_)
        .method<&dataWithBytesLength>(Data::dataWithBytesLength_)
        .method<&dataWithContentsOfFile>(Data::dataWithContentsOfFile_)
        .method<&init>(Data::init_)
        .method<&initWithBytesLength>(Data::initWithBytesLength_)
        .method<&initWithContentsOfFile>(Data::initWithContentsOfFile_)
        .method<&dealloc>(Object::dealloc_)
        .method<&bytes>(Data::bytes_)
        .method<&length>(Data::length_)
        .method<&isEqualToData>(Data::isEqualToData_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .method<&description>(Object::description_)
        .method<&writeToFileAtomically>(Data::writeToFileAtomically_)
        .build();
}

} // namespace
} // namespace NS
