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
    static String* string(const char* utf8) {
        return objc::send<String*>(runtimeClass(), objc::Selector<"stringWithUTF8String:">(), utf8);
    }
    static String* string(std::string_view text) {
        return objc::send<String*>(runtimeClass(), objc::Selector<"stringWithBytes:length:">(),
                                   static_cast<const void*>(text.data()),
                                   static_cast<unsigned long>(text.size()));
    }

    String* initWithUTF8String(const char* utf8) {
        return objc::send<String*>(this, objc::Selector<"initWithUTF8String:">(), utf8);
    }
    String* initWithString(String* other) {
        return objc::send<String*>(this, objc::Selector<"initWithString:">(), other);
    }

    // Valid as long as the string lives.
    const char* utf8String() { return objc::send<const char*>(this, objc::Selector<"UTF8String">()); }
    std::string str() { return std::string(utf8String(), byteLength()); }
    std::string_view view() { return std::string_view(utf8String(), byteLength()); }
    // Length in UTF-16 units, as Cocoa counts.
    unsigned long length() { return objc::send<unsigned long>(this, objc::Selector<"length">()); }
    unsigned long byteLength() {
        return objc::send<unsigned long>(this, objc::Selector<"lengthOfBytesUsingEncoding:">(),
                                         static_cast<unsigned long>(4));
    }

    bool isEqualToString(String* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToString:">(), other);
    }
    bool hasPrefix(String* prefix) { return objc::send<bool>(this, objc::Selector<"hasPrefix:">(), prefix); }
    bool hasSuffix(String* suffix) { return objc::send<bool>(this, objc::Selector<"hasSuffix:">(), suffix); }
    // NSOrderedAscending (-1), NSOrderedSame (0) or NSOrderedDescending (1), by bytes.
    long compare(String* other) { return objc::send<long>(this, objc::Selector<"compare:">(), other); }

    String* stringByAppendingString(String* other) {
        return objc::send<String*>(this, objc::Selector<"stringByAppendingString:">(), other);
    }
    String* stringByAppendingPathComponent(String* component) {
        return objc::send<String*>(this, objc::Selector<"stringByAppendingPathComponent:">(), component);
    }
    String* stringByAppendingPathExtension(String* extension) {
        return objc::send<String*>(this, objc::Selector<"stringByAppendingPathExtension:">(), extension);
    }
    String* lastPathComponent() { return objc::send<String*>(this, objc::Selector<"lastPathComponent">()); }
    String* pathExtension() { return objc::send<String*>(this, objc::Selector<"pathExtension">()); }
    String* stringByDeletingPathExtension() {
        return objc::send<String*>(this, objc::Selector<"stringByDeletingPathExtension">());
    }
    String* stringByDeletingLastPathComponent() {
        return objc::send<String*>(this, objc::Selector<"stringByDeletingLastPathComponent">());
    }

    bool boolValue() { return objc::send<bool>(this, objc::Selector<"boolValue">()); }
    int intValue() { return objc::send<int>(this, objc::Selector<"intValue">()); }
    long integerValue() { return objc::send<long>(this, objc::Selector<"integerValue">()); }
    long long longLongValue() { return objc::send<long long>(this, objc::Selector<"longLongValue">()); }
    double doubleValue() { return objc::send<double>(this, objc::Selector<"doubleValue">()); }
    float floatValue() { return objc::send<float>(this, objc::Selector<"floatValue">()); }
};

namespace literals {
// "text"_ns: an autoreleased NSString.
inline String* operator""_ns(const char* text, std::size_t size) {
    return String::string(std::string_view(text, size));
}
} // namespace literals

} // namespace NS
