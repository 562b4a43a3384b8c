// NSString: an immutable string of UTF-8 text, with the path and number readings of Cocoa's.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace NS {

class GLINTMERE_EXPORT String : public Referencing<String, "NSString"> {
  public:
    // A string holding a copy of `utf8`; nullptr (or bytes that are not UTF-8) gives nullptr.
    OBJC_CLASS_MESSAGE_NAMED(string, stringWithUTF8String_, "stringWithUTF8String:", String*(const char*))
    static String* string(std::string_view text) {
        return objc::send<String*>(runtimeClass(), objc::Selector<"stringWithBytes:length:">(),
                                   static_cast<const void*>(text.data()),
                                   static_cast<unsigned long>(text.size()));
    }

    OBJC_MESSAGE(initWithUTF8String, "initWithUTF8String:", String*(const char*))
    OBJC_MESSAGE(initWithString, "initWithString:", String*(String*))

    // Valid as long as the string lives.
    OBJC_MESSAGE_NAMED(utf8String, UTF8String_, "UTF8String", const char*())
    std::string str() { return std::string(utf8String(), byteLength()); }
    std::string_view view() { return std::string_view(utf8String(), byteLength()); }
    // Length in UTF-16 units, as Cocoa counts.
    OBJC_MESSAGE(length, "length", unsigned long())
    unsigned long byteLength() {
        return objc::send<unsigned long>(this, objc::Selector<"lengthOfBytesUsingEncoding:">(),
                                         static_cast<unsigned long>(4));
    }

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
// "text"_ns: an autoreleased NSString.
inline String* operator""_ns(const char* text, std::size_t size) {
    return String::string(std::string_view(text, size));
}
} // namespace literals

} // namespace NS
