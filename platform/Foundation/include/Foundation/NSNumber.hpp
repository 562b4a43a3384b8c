// NSNumber: a boxed boolean, integer or real, with Cocoa's conversions between them.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

// Booleans are instances of a private subclass, as on the device, so that a property list keeps
// YES apart from 1 while both still answer to everything an NSNumber does.
class GLINTMERE_EXPORT Number : public Referencing<Number, "NSNumber"> {
  public:
    OBJC_CLASS_MESSAGE(numberWithBool, "numberWithBool:", Number*(bool))
    static objc::Ptr<Number> number(bool v) { return numberWithBool_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithInt, "numberWithInt:", Number*(int))
    static objc::Ptr<Number> number(int v) { return numberWithInt_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithUnsignedInt, "numberWithUnsignedInt:", Number*(unsigned int))
    static objc::Ptr<Number> number(unsigned int v) { return numberWithUnsignedInt_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithLong, "numberWithLong:", Number*(long))
    static objc::Ptr<Number> number(long v) { return numberWithLong_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithUnsignedLong, "numberWithUnsignedLong:", Number*(unsigned long))
    static objc::Ptr<Number> number(unsigned long v) {
        return numberWithUnsignedLong_.send(runtimeClass(), v);
    }
    OBJC_CLASS_MESSAGE(numberWithLongLong, "numberWithLongLong:", Number*(long long))
    static objc::Ptr<Number> number(long long v) { return numberWithLongLong_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithUnsignedLongLong, "numberWithUnsignedLongLong:", Number*(unsigned long long))
    static objc::Ptr<Number> number(unsigned long long v) {
        return numberWithUnsignedLongLong_.send(runtimeClass(), v);
    }
    OBJC_CLASS_MESSAGE(numberWithFloat, "numberWithFloat:", Number*(float))
    static objc::Ptr<Number> number(float v) { return numberWithFloat_.send(runtimeClass(), v); }
    OBJC_CLASS_MESSAGE(numberWithDouble, "numberWithDouble:", Number*(double))
    static objc::Ptr<Number> number(double v) { return numberWithDouble_.send(runtimeClass(), v); }

    OBJC_CLASS_MESSAGE(numberWithInteger, "numberWithInteger:", Number*(long))
    OBJC_CLASS_MESSAGE(numberWithUnsignedInteger, "numberWithUnsignedInteger:", Number*(unsigned long))

    OBJC_MESSAGE(initWithBool, "initWithBool:", Number*(bool))
    OBJC_MESSAGE(initWithInt, "initWithInt:", Number*(int))
    OBJC_MESSAGE(initWithUnsignedInt, "initWithUnsignedInt:", Number*(unsigned int))
    OBJC_MESSAGE(initWithLong, "initWithLong:", Number*(long))
    OBJC_MESSAGE(initWithInteger, "initWithInteger:", Number*(long))
    OBJC_MESSAGE(initWithUnsignedLong, "initWithUnsignedLong:", Number*(unsigned long))
    OBJC_MESSAGE(initWithUnsignedInteger, "initWithUnsignedInteger:", Number*(unsigned long))
    OBJC_MESSAGE(initWithLongLong, "initWithLongLong:", Number*(long long))
    OBJC_MESSAGE(initWithUnsignedLongLong, "initWithUnsignedLongLong:", Number*(unsigned long long))
    OBJC_MESSAGE(initWithFloat, "initWithFloat:", Number*(float))
    OBJC_MESSAGE(initWithDouble, "initWithDouble:", Number*(double))

    OBJC_MESSAGE(boolValue, "boolValue", bool())
    OBJC_MESSAGE(intValue, "intValue", int())
    OBJC_MESSAGE(integerValue, "integerValue", long())
    OBJC_MESSAGE(longLongValue, "longLongValue", long long())
    OBJC_MESSAGE(unsignedLongLongValue, "unsignedLongLongValue", unsigned long long())
    OBJC_MESSAGE(doubleValue, "doubleValue", double())
    OBJC_MESSAGE(floatValue, "floatValue", float())
    OBJC_MESSAGE(stringValue, "stringValue", String*())
    // The type it was made from: "c" (booleans), "i", "I", "q", "Q", "f" or "d".
    OBJC_MESSAGE(objCType, "objCType", const char*())

    // True when the number was made from a bool.
    bool isBoolean() const { return isKindOfClass(objc_lookUpClass("__NSCFBoolean")); }
    // Made from a float or double rather than an integer type or a bool.
    bool isReal() const {
        const char* t = objCType();
        return t != nullptr && (t[0] == 'd' || t[0] == 'f');
    }

    // Compares values whatever the types, as Cocoa does: YES equals 1, and 1 equals 1.0.
    OBJC_MESSAGE(isEqualToNumber, "isEqualToNumber:", bool(Number*))
    OBJC_MESSAGE(compare, "compare:", long(Number*))
};

} // namespace NS
