#include "Foundation/NSNumber.hpp"

#include "Foundation/NSString.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace NS {
namespace {

using objc::operator""_sel;

// The type the number was made from (an objCType letter), and its value in one of two forms.
char& typeOf(id self) { return detail::slot<char, "NSNumber", "_type">(self); }
long long& integerOf(id self) { return detail::slot<long long, "NSNumber", "_integer">(self); }
double& realOf(id self) { return detail::slot<double, "NSNumber", "_real">(self); }

bool isRealType(char t) { return t == 'd' || t == 'f'; }

// Every integer a number can hold, signed or not, fits here.
__int128 wideInteger(id self) {
    if (typeOf(self) == 'Q') {
        return static_cast<unsigned long long>(integerOf(self));
    }
    return integerOf(self);
}

double asDouble(id self) {
    return isRealType(typeOf(self)) ? realOf(self) : static_cast<double>(wideInteger(self));
}

// A real truncated towards zero, held within [lo, hi]; NaN gives 0.
template <class T> T clampReal(double v, T lo, T hi) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v <= static_cast<double>(lo)) {
        return lo;
    }
    if (v >= static_cast<double>(hi)) {
        return hi;
    }
    return static_cast<T>(v);
}

id initInteger(id self, long long value, char type) {
    typeOf(self) = type;
    integerOf(self) = value;
    return self;
}
id initReal(id self, double value, char type) {
    typeOf(self) = type;
    realOf(self) = value;
    return self;
}

id initWithBool(id self, SEL, bool v) {
    object_setClass(self, objc_lookUpClass("__NSCFBoolean"));
    return initInteger(self, v ? 1 : 0, 'c');
}
id initWithInt(id self, SEL, int v) { return initInteger(self, v, 'i'); }
id initWithUnsignedInt(id self, SEL, unsigned int v) { return initInteger(self, v, 'I'); }
id initWithLong(id self, SEL, long v) { return initInteger(self, v, 'q'); }
id initWithLongLong(id self, SEL, long long v) { return initInteger(self, v, 'q'); }
id initWithUnsignedLongLong(id self, SEL, unsigned long long v) {
    return initInteger(self, static_cast<long long>(v), v > LLONG_MAX ? 'Q' : 'q');
}
id initWithUnsignedLong(id self, SEL sel, unsigned long v) { return initWithUnsignedLongLong(self, sel, v); }
id initWithFloat(id self, SEL, float v) { return initReal(self, v, 'f'); }
id initWithDouble(id self, SEL, double v) { return initReal(self, v, 'd'); }

template <objc::FixedString Init, class T> id withValue(Class cls, SEL, T v) {
    id n = objc::send<id>(objc::send<id>(cls, "alloc"_sel), objc::Selector<Init>::get(), v);
    return objc::send<id>(n, "autorelease"_sel);
}

bool boolValue(id self, SEL) { return isRealType(typeOf(self)) ? realOf(self) != 0.0 : integerOf(self) != 0; }
long long longLongValue(id self, SEL) {
    return isRealType(typeOf(self)) ? clampReal<long long>(realOf(self), LLONG_MIN, LLONG_MAX)
                                    : integerOf(self);
}
unsigned long long unsignedLongLongValue(id self, SEL) {
    if (isRealType(typeOf(self))) {
        double v = realOf(self);
        return v < 0 ? static_cast<unsigned long long>(clampReal<long long>(v, LLONG_MIN, 0))
                     : clampReal<unsigned long long>(v, 0, ULLONG_MAX);
    }
    return static_cast<unsigned long long>(integerOf(self));
}
long integerValue(id self, SEL sel) { return static_cast<long>(longLongValue(self, sel)); }
int intValue(id self, SEL) {
    // An integer out of range wraps, as a C conversion does on the device; a real is clamped.
    return isRealType(typeOf(self)) ? clampReal<int>(realOf(self), INT_MIN, INT_MAX)
                                    : static_cast<int>(integerOf(self));
}
double doubleValue(id self, SEL) { return asDouble(self); }
float floatValue(id self, SEL) { return static_cast<float>(asDouble(self)); }

const char* objCType(id self, SEL) {
    switch (typeOf(self)) {
    case 'c':
        return "c";
    case 'i':
        return "i";
    case 'I':
        return "I";
    case 'Q':
        return "Q";
    case 'f':
        return "f";
    case 'd':
        return "d";
    default:
        return "q";
    }
}

std::string text(id self) {
    char buffer[64];
    std::to_chars_result r{};
    switch (typeOf(self)) {
    case 'f':
        r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(realOf(self)));
        break;
    case 'd':
        r = std::to_chars(buffer, buffer + sizeof buffer, realOf(self));
        break;
    case 'Q':
        r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<unsigned long long>(integerOf(self)));
        break;
    default:
        r = std::to_chars(buffer, buffer + sizeof buffer, integerOf(self));
        break;
    }
    return std::string(buffer, r.ptr);
}

id description(id self, SEL) { return objc::toId(String::string(std::string_view(text(self)))); }

long compareNumbers(id self, id other) {
    if (isRealType(typeOf(self)) || isRealType(typeOf(other))) {
        double a = asDouble(self);
        double b = asDouble(other);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    __int128 a = wideInteger(self);
    __int128 b = wideInteger(other);
    return a < b ? -1 : (a > b ? 1 : 0);
}

long compare(id self, SEL, id other) {
    if (cast<Number>(other) == nullptr) {
        return 1;
    }
    return compareNumbers(self, other);
}

bool isEqualToNumber(id self, SEL, id other) {
    if (cast<Number>(other) == nullptr) {
        return false;
    }
    if (isRealType(typeOf(self)) || isRealType(typeOf(other))) {
        return asDouble(self) == asDouble(other);
    }
    return wideInteger(self) == wideInteger(other);
}
bool isEqual(id self, SEL sel, id other) { return isEqualToNumber(self, sel, other); }

unsigned long hash(id self, SEL) {
    // Numbers that compare equal hash equally: a real with an integral value hashes as that integer.
    if (isRealType(typeOf(self))) {
        double v = realOf(self);
        if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9.2e18) {
            return static_cast<unsigned long>(static_cast<long long>(v));
        }
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return static_cast<unsigned long>(bits * 0x9E3779B97F4A7C15ull);
    }
    return static_cast<unsigned long>(integerOf(self));
}

id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSNumber", "NSObject")
        .ivar<char>("_type")
        .ivar<long long>("_integer")
        .ivar<double>("_real")
        .classMethod<&withValue<"initWithBool:", bool>>("numberWithBool:")
        .classMethod<&withValue<"initWithInt:", int>>("numberWithInt:")
        .classMethod<&withValue<"initWithUnsignedInt:", unsigned int>>("numberWithUnsignedInt:")
        .classMethod<&withValue<"initWithLong:", long>>("numberWithLong:")
        .classMethod<&withValue<"initWithLong:", long>>("numberWithInteger:")
        .classMethod<&withValue<"initWithUnsignedLong:", unsigned long>>("numberWithUnsignedLong:")
        .classMethod<&withValue<"initWithUnsignedLong:", unsigned long>>("numberWithUnsignedInteger:")
        .classMethod<&withValue<"initWithLongLong:", long long>>("numberWithLongLong:")
        .classMethod<&withValue<"initWithUnsignedLongLong:", unsigned long long>>(
            "numberWithUnsignedLongLong:")
        .classMethod<&withValue<"initWithFloat:", float>>("numberWithFloat:")
        .classMethod<&withValue<"initWithDouble:", double>>("numberWithDouble:")
        .method<&initWithBool>("initWithBool:")
        .method<&initWithInt>("initWithInt:")
        .method<&initWithUnsignedInt>("initWithUnsignedInt:")
        .method<&initWithLong>("initWithLong:")
        .method<&initWithLong>("initWithInteger:")
        .method<&initWithUnsignedLong>("initWithUnsignedLong:")
        .method<&initWithUnsignedLong>("initWithUnsignedInteger:")
        .method<&initWithLongLong>("initWithLongLong:")
        .method<&initWithUnsignedLongLong>("initWithUnsignedLongLong:")
        .method<&initWithFloat>("initWithFloat:")
        .method<&initWithDouble>("initWithDouble:")
        .method<&boolValue>("boolValue")
        .method<&intValue>("intValue")
        .method<&integerValue>("integerValue")
        .method<&longLongValue>("longLongValue")
        .method<&unsignedLongLongValue>("unsignedLongLongValue")
        .method<&doubleValue>("doubleValue")
        .method<&floatValue>("floatValue")
        .method<&objCType>("objCType")
        .method<&description>("description")
        .method<&description>("stringValue")
        .method<&compare>("compare:")
        .method<&isEqualToNumber>("isEqualToNumber:")
        .method<&isEqual>("isEqual:")
        .method<&hash>("hash")
        .method<&copyWithZone>("copyWithZone:")
        .build();
}

GLINTMERE_REGISTER_CLASSES { objc::ClassBuilder("__NSCFBoolean", "NSNumber").build(); }

} // namespace
} // namespace NS
