// NSString: an immutable string of UTF-8 text, with the path and number readings of Cocoa's.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace NS {

// The encodings lengthOfBytesUsingEncoding: knows (NSStringEncoding values).
inline constexpr unsigned long ASCIIStringEncoding = 1;
inline constexpr unsigned long UTF8StringEncoding = 4;

class GLINTMERE_EXPORT String : public Referencing<String, "NSString"> {
  public:
    // A string holding a copy of `utf8`; nullptr (or bytes that are not UTF-8) gives nullptr.
    OBJC_CLASS_MESSAGE_NAMED(string, stringWithUTF8String_, "stringWithUTF8String:", String*(const char*))
    OBJC_CLASS_MESSAGE_NAMED(stringWithBytes, stringWithBytesLength_,
                             "stringWithBytes:length:", String*(const void*, unsigned long))
    // Made through Foundation's public initializer, as a device's Foundation has no class method
    // for bytes without an encoding.
    static objc::Ptr<String> string(std::string_view text) {
        auto made =
            initWithBytesLengthEncoding_.send(alloc(), static_cast<const void*>(text.data()),
                                              static_cast<unsigned long>(text.size()), UTF8StringEncoding);
        return autorelease_.send(made);
    }
    OBJC_CLASS_MESSAGE(stringWithString, "stringWithString:", String*(String*))
    // An empty string.
    OBJC_CLASS_MESSAGE_NAMED(string, emptyString_, "string", String*())

    OBJC_MESSAGE(initWithUTF8String, "initWithUTF8String:", String*(const char*))
    OBJC_MESSAGE(initWithString, "initWithString:", String*(String*))
    OBJC_MESSAGE_NAMED(initWithBytes, initWithBytesLength_,
                       "initWithBytes:length:", String*(const void*, unsigned long))
    // Only UTF-8 and ASCII are read; other encodings give nil.
    OBJC_MESSAGE_NAMED(initWithBytes, initWithBytesLengthEncoding_,
                       "initWithBytes:length:encoding:", String*(const void*, unsigned long, unsigned long))

    // Valid as long as the string lives.
    OBJC_MESSAGE_NAMED(utf8String, UTF8String_, "UTF8String", const char*())
    // The text as C++ sees it; empty for nil.
    std::string str() const { return std::string(view()); }
    std::string_view view() const {
        const char* utf8 = utf8String();
        return utf8 != nullptr ? std::string_view(utf8, byteLength()) : std::string_view();
    }
    // Length in UTF-16 units, as Cocoa counts.
    OBJC_MESSAGE(length, "length", unsigned long())
    OBJC_MESSAGE(lengthOfBytesUsingEncoding, "lengthOfBytesUsingEncoding:", unsigned long(unsigned long))
    unsigned long byteLength() const { return lengthOfBytesUsingEncoding(UTF8StringEncoding); }

    OBJC_MESSAGE(isEqualToString, "isEqualToString:", bool(String*))
    OBJC_MESSAGE(hasPrefix, "hasPrefix:", bool(String*))
    OBJC_MESSAGE(hasSuffix, "hasSuffix:", bool(String*))
    // NSOrderedAscending (-1), NSOrderedSame (0) or NSOrderedDescending (1), by bytes.
    OBJC_MESSAGE(compare, "compare:", long(String*))

    OBJC_MESSAGE(stringByAppendingString, "stringByAppendingString:", String*(String*))
    OBJC_MESSAGE(stringByAppendingPathComponent, "stringByAppendingPathComponent:", String*(String*))
    OBJC_MESSAGE(stringByAppendingPathExtension, "stringByAppendingPathExtension:", String*(String*))
    OBJC_MESSAGE(lastPathComponent, "lastPathComponent", String*())
    OBJC_MESSAGE(pathExtension, "pathExtension", String*())
    OBJC_MESSAGE(stringByDeletingPathExtension, "stringByDeletingPathExtension", String*())
    OBJC_MESSAGE(stringByDeletingLastPathComponent, "stringByDeletingLastPathComponent", String*())

    OBJC_MESSAGE(boolValue, "boolValue", bool())
    OBJC_MESSAGE(intValue, "intValue", int())
    OBJC_MESSAGE(integerValue, "integerValue", long())
    OBJC_MESSAGE(longLongValue, "longLongValue", long long())
    OBJC_MESSAGE(doubleValue, "doubleValue", double())
    OBJC_MESSAGE(floatValue, "floatValue", float())
};

namespace literals {
// "text"_ns: a constant NSString, as @"text" is in Objective-C: made the first time its line runs,
// then the same object every time, and never released.
template <objc::FixedString Text> objc::Ptr<String> operator""_ns() {
    static String* const constant = String::initWithBytesLengthEncoding_.send(
        String::alloc(), static_cast<const void*>(Text.text),
        static_cast<unsigned long>(sizeof Text.text - 1), UTF8StringEncoding);
    return constant;
}
} // namespace literals

} // namespace NS
