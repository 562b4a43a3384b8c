// NSNumber: a boxed boolean, integer or real, with Cocoa's conversions between them.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

// Booleans are instances of a private subclass, as on the device, so that a property list keeps
// YES apart from 1 while both still answer to everything an NSNumber does.
class GLINTMERE_EXPORT Number : public Referencing<Number, "NSNumber"> {
  public:
    static Number* number(bool v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithBool:">(), v);
    }
    static Number* number(int v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithInt:">(), v);
    }
    static Number* number(unsigned int v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithUnsignedInt:">(), v);
    }
    static Number* number(long v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithLong:">(), v);
    }
    static Number* number(unsigned long v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithUnsignedLong:">(), v);
    }
    static Number* number(long long v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithLongLong:">(), v);
    }
    static Number* number(unsigned long long v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithUnsignedLongLong:">(), v);
    }
    static Number* number(float v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithFloat:">(), v);
    }
    static Number* number(double v) {
        return objc::send<Number*>(runtimeClass(), objc::Selector<"numberWithDouble:">(), v);
    }

    Number* initWithBool(bool v) { return objc::send<Number*>(this, objc::Selector<"initWithBool:">(), v); }
    Number* initWithLongLong(long long v) {
        return objc::send<Number*>(this, objc::Selector<"initWithLongLong:">(), v);
    }
    Number* initWithDouble(double v) {
        return objc::send<Number*>(this, objc::Selector<"initWithDouble:">(), v);
    }

    bool boolValue() { return objc::send<bool>(this, objc::Selector<"boolValue">()); }
    int intValue() { return objc::send<int>(this, objc::Selector<"intValue">()); }
    long integerValue() { return objc::send<long>(this, objc::Selector<"integerValue">()); }
    long long longLongValue() { return objc::send<long long>(this, objc::Selector<"longLongValue">()); }
    unsigned long long unsignedLongLongValue() {
        return objc::send<unsigned long long>(this, objc::Selector<"unsignedLongLongValue">());
    }
    double doubleValue() { return objc::send<double>(this, objc::Selector<"doubleValue">()); }
    float floatValue() { return objc::send<float>(this, objc::Selector<"floatValue">()); }
    String* stringValue() { return objc::send<String*>(this, objc::Selector<"stringValue">()); }
    // The type it was made from: "c" (booleans), "i", "I", "q", "Q", "f" or "d".
    const char* objCType() { return objc::send<const char*>(this, objc::Selector<"objCType">()); }

    // True when the number was made from a bool.
    bool isBoolean() { return isKindOfClass(objc_lookUpClass("__NSCFBoolean")); }
    // Made from a float or double rather than an integer type or a bool.
    bool isReal() {
        const char* t = objCType();
        return t[0] == 'd' || t[0] == 'f';
    }

    // Compares values whatever the types, as Cocoa does: YES equals 1, and 1 equals 1.0.
    bool isEqualToNumber(Number* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToNumber:">(), other);
    }
    long compare(Number* other) { return objc::send<long>(this, objc::Selector<"compare:">(), other); }
};

} // namespace NS
