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

using objc::operator""_sel;

// Files read whole into memory: anything larger is refused rather than exhaust it.
constexpr std::size_t fileLimit = std::size_t{1} << 30;

std::string*& bytesOf(id self) { return detail::slot<std::string*, "NSData", "_bytes">(self); }

const std::string& bytes(id self) {
    static const std::string empty;
    std::string* b = bytesOf(self);
    return b != nullptr ? *b : empty;
}

id initEmpty(id self, SEL) {
    bytesOf(self) = new std::string();
    return self;
}
id initWithBytes(id self, SEL, const void* data, unsigned long length) {
    if (data == nullptr && length > 0) {
        objc::send(self, "release"_sel);
        return nil;
    }
    bytesOf(self) = new std::string(static_cast<const char*>(data), data == nullptr ? 0 : length);
    return self;
}
id initWithContentsOfFile(id self, SEL, id path) {
    std::optional<std::string> contents =
        detail::readFile(objc::send<const char*>(path, "UTF8String"_sel), fileLimit);
    if (!contents) {
        objc::send(self, "release"_sel);
        return nil;
    }
    bytesOf(self) = new std::string(std::move(*contents));
    return self;
}

id emptyData(Class cls, SEL) { return objc::toId(Data::alloc_.send(cls)->init()->autorelease()); }
id withBytes(Class cls, SEL, const void* data, unsigned long length) {
    return objc::toId(Data::alloc_.send(cls)->initWithBytes(data, length)->autorelease());
}
id withContentsOfFile(Class cls, SEL, String* path) {
    return objc::toId(Data::alloc_.send(cls)->initWithContentsOfFile(path)->autorelease());
}

void dealloc(id self, SEL sel) {
    delete bytesOf(self);
    bytesOf(self) = nullptr;
    objc::sendSuper(objc_lookUpClass("NSData"), self, sel);
}

const void* bytesPointer(id self, SEL) { return bytes(self).data(); }
unsigned long length(id self, SEL) { return bytes(self).size(); }

bool isEqualToData(id self, SEL, id other) {
    if (cast<Data>(other) == nullptr) {
        return false;
    }
    unsigned long n = objc::send<unsigned long>(other, "length"_sel);
    const std::string& mine = bytes(self);
    return n == mine.size() &&
           (n == 0 || std::memcmp(mine.data(), objc::send<const void*>(other, "bytes"_sel), n) == 0);
}
unsigned long hash(id self, SEL) {
    std::uint64_t h = 14695981039346656037ull;
    const std::string& b = bytes(self);
    // The first bytes are enough to spread data apart, as Cocoa also hashes a prefix only.
    std::size_t n = b.size() < 80 ? b.size() : 80;
    for (std::size_t k = 0; k < n; ++k) {
        h = (h ^ static_cast<unsigned char>(b[k])) * 1099511628211ull;
    }
    return static_cast<unsigned long>(h ^ b.size());
}
id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }

// "<0001feff 10>": hex, in groups of four bytes.
id description(id self, SEL) {
    static const char digits[] = "0123456789abcdef";
    const std::string& b = bytes(self);
    std::string out = "<";
    for (std::size_t k = 0; k < b.size(); ++k) {
        if (k > 0 && k % 4 == 0) {
            out += ' ';
        }
        auto c = static_cast<unsigned char>(b[k]);
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    out += '>';
    return objc::toId(String::string(std::string_view(out)));
}

bool writeToFile(id self, SEL, id path, bool atomically) {
    return detail::writeFile(objc::send<const char*>(path, "UTF8String"_sel), bytes(self), atomically);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSData", "NSObject")
        .ivar<void*>("_bytes")
        .classMethod<&emptyData>("data")
        .classMethod<&withBytes>("dataWithBytes:length:")
        .classMethod<&withContentsOfFile>("dataWithContentsOfFile:")
        .method<&initEmpty>("init")
        .method<&initWithBytes>("initWithBytes:length:")
        .method<&initWithContentsOfFile>("initWithContentsOfFile:")
        .method<&dealloc>("dealloc")
        .method<&bytesPointer>("bytes")
        .method<&length>("length")
        .method<&isEqualToData>("isEqualToData:")
        .method<&isEqualToData>("isEqual:")
        .method<&hash>("hash")
        .method<&copyWithZone>("copyWithZone:")
        .method<&description>("description")
        .method<&writeToFile>("writeToFile:atomically:")
        .build();
}

} // namespace
} // namespace NS
