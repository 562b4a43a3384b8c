#include "Foundation/NSNumber.hpp"
#include "Foundation/NSNumberInternals.hpp"

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

// The type the number was made from (an objCType letter), and its value in one of two forms.
char& typeOf(const Number* self) { return objc::storage(self, NumberInternals::_type); }
long long& integerOf(const Number* self) { return objc::storage(self, NumberInternals::_integer); }
double& realOf(const Number* self) { return objc::storage(self, NumberInternals::_real); }

bool isRealType(char t) { return t == 'd' || t == 'f'; }

// Booleans are numbers of their own class, looked up once (each boolean read from a file is made as one).
class Boolean : public Referencing<Boolean, "__NSCFBoolean", Number> {};

// Every integer a number can hold, signed or not, fits here.
__int128 wideInteger(const Number* self) {
    if (typeOf(self) == 'Q') {
        return static_cast<unsigned long long>(integerOf(self));
    }
    return integerOf(self);
}

double asDouble(const Number* self) {
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

Number* initInteger(Number* self, long long value, char type) {
    typeOf(self) = type;
    integerOf(self) = value;
    return self;
}
Number* initReal(Number* self, double value, char type) {
    typeOf(self) = type;
    realOf(self) = value;
    return self;
}
Number* initWithUnsignedLongLong(Number* self, unsigned long long v) {
    return initInteger(self, static_cast<long long>(v), v > LLONG_MAX ? 'Q' : 'q');
}
template <char Type, class T> Number* initWithInteger(Number* self, T v) {
    return initInteger(self, v, Type);
}
template <char Type, class T> Number* initWithReal(Number* self, T v) { return initReal(self, v, Type); }

// numberWith...: of a class, by the matching initialiser.
template <const auto& Init, class T> Number* withValue(Class cls, T v) {
    return Init.send(Number::alloc_.send(cls), v)->autorelease();
}

long long longLongValue(const Number* self) {
    return isRealType(typeOf(self)) ? clampReal<long long>(realOf(self), LLONG_MIN, LLONG_MAX)
                                    : integerOf(self);
}

const char* objCType(Number* self) {
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

std::string text(const Number* self) {
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

long compareNumbers(const Number* self, const Number* other) {
    if (isRealType(typeOf(self)) || isRealType(typeOf(other))) {
        double a = asDouble(self);
        double b = asDouble(other);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    __int128 a = wideInteger(self);
    __int128 b = wideInteger(other);
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool isEqual(Number* self, const Object* object) {
    auto other = cast<Number>(object);
    if (other == nullptr) {
        return false;
    }
    if (isRealType(typeOf(self)) || isRealType(typeOf(other))) {
        return asDouble(self) == asDouble(other);
    }
    return wideInteger(self) == wideInteger(other);
}

// Also stringValue.
String* description(Number* self) { return String::string(std::string_view(text(self))); }

Number* initWithBool(Number* self, bool v) {
    object_setClass(self->self(), Boolean::runtimeClass());
    return initInteger(self, v ? 1 : 0, 'c');
}

// Also initWithUnsignedInteger: NSUInteger is an unsigned long.
Number* initWithUnsignedLong(Number* self, unsigned long v) { return initWithUnsignedLongLong(self, v); }

bool boolValue(Number* self) { return isRealType(typeOf(self)) ? realOf(self) != 0.0 : integerOf(self) != 0; }

int intValue(Number* self) {
    // An integer out of range wraps, as a C conversion does on the device; a real is clamped.
    return isRealType(typeOf(self)) ? clampReal<int>(realOf(self), INT_MIN, INT_MAX)
                                    : static_cast<int>(integerOf(self));
}

long integerValue(Number* self) { return static_cast<long>(longLongValue(self)); }

unsigned long long unsignedLongLongValue(Number* self) {
    if (isRealType(typeOf(self))) {
        double v = realOf(self);
        return v < 0 ? static_cast<unsigned long long>(clampReal<long long>(v, LLONG_MIN, 0))
                     : clampReal<unsigned long long>(v, 0, ULLONG_MAX);
    }
    return static_cast<unsigned long long>(integerOf(self));
}

double doubleValue(Number* self) { return asDouble(self); }

float floatValue(Number* self) { return static_cast<float>(asDouble(self)); }

long compare(Number* self, objc::Ptr<Number> other) {
    return cast<Number>(other) == nullptr ? 1 : compareNumbers(self, other);
}

bool isEqualToNumber(Number* self, Number* other) { return isEqual(self, other); }

unsigned long hash(Number* self) {
    // Numbers that compare equal hash equally: a real with an integral value hashes as
    // that integer.
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

Object* copyWithZone(Number* self, void*) { return self->retain(); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Number>()
        .ivar(NumberInternals::_type)
        .ivar(NumberInternals::_integer)
        .ivar(NumberInternals::_real)
        .method<&withValue<Number::initWithBool_, bool>>(Number::numberWithBool_)
        .method<&withValue<Number::initWithInt_, int>>(Number::numberWithInt_)
        .method<&withValue<Number::initWithUnsignedInt_, unsigned int>>(Number::numberWithUnsignedInt_)
        .method<&withValue<Number::initWithLong_, long>>(Number::numberWithLong_)
        .method<&withValue<Number::initWithLong_, long>>(Number::numberWithInteger_)
        .method<&withValue<Number::initWithUnsignedLong_, unsigned long>>(Number::numberWithUnsignedLong_)
        .method<&withValue<Number::initWithUnsignedLong_, unsigned long>>(Number::numberWithUnsignedInteger_)
        .method<&withValue<Number::initWithLongLong_, long long>>(Number::numberWithLongLong_)
        .method<&withValue<Number::initWithUnsignedLongLong_, unsigned long long>>(
            Number::numberWithUnsignedLongLong_)
        .method<&withValue<Number::initWithFloat_, float>>(Number::numberWithFloat_)
        .method<&withValue<Number::initWithDouble_, double>>(Number::numberWithDouble_)
        .method<&initWithBool>(Number::initWithBool_)
        .method<&initWithInteger<'i', int>>(Number::initWithInt_)
        .method<&initWithInteger<'I', unsigned int>>(Number::initWithUnsignedInt_)
        .method<&initWithInteger<'q', long>>(Number::initWithLong_)
        .method<&initWithInteger<'q', long>>(Number::initWithInteger_)
        .method<&initWithUnsignedLong>(Number::initWithUnsignedLong_)
        .method<&initWithUnsignedLong>(Number::initWithUnsignedInteger_)
        .method<&initWithInteger<'q', long long>>(Number::initWithLongLong_)
        .method<&initWithUnsignedLongLong>(Number::initWithUnsignedLongLong_)
        .method<&initWithReal<'f', float>>(Number::initWithFloat_)
        .method<&initWithReal<'d', double>>(Number::initWithDouble_)
        .method<&boolValue>(Number::boolValue_)
        .method<&intValue>(Number::intValue_)
        .method<&integerValue>(Number::integerValue_)
        .method<&longLongValue>(Number::longLongValue_)
        .method<&unsignedLongLongValue>(Number::unsignedLongLongValue_)
        .method<&doubleValue>(Number::doubleValue_)
        .method<&floatValue>(Number::floatValue_)
        .method<&objCType>(Number::objCType_)
        .method<&description>(Object::description_)
        .method<&description>(Number::stringValue_)
        .method<&compare>(Number::compare_)
        .method<&isEqualToNumber>(Number::isEqualToNumber_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .build();
}

// Booleans, kept apart from integers as on the device.
GLINTMERE_REGISTER_CLASSES { objc::ClassBuilder("__NSCFBoolean", "NSNumber").build(); }

} // namespace
} // namespace NS
