#include "Foundation/NSString.hpp"
#include "Foundation/NSStringInternals.hpp"

#include "Foundation/Text.hpp"

#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

using NS::detail::tidyPath;

namespace NS {
namespace {

std::string*& textOf(const String* self) { return objc::storage<std::string*>(self, StringInternals::_text); }

// The text of a string; an instance that was never initialised reads as empty.
const std::string& text(const String* self) {
    static const std::string empty;
    std::string* t = textOf(self);
    return t != nullptr ? *t : empty;
}

// The same, without the call: comparisons are the commonest use of a string.
inline std::string_view textView(const String* self) {
    const std::string* t = textOf(self);
    return t != nullptr ? std::string_view(*t) : std::string_view();
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        static constexpr char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

unsigned long utf16Length(std::string_view s) {
    unsigned long n = 0;
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) {
            n += (c >= 0xF0) ? 2 : 1; // four-byte sequences are surrogate pairs in UTF-16
        }
    }
    return n;
}

String* makeString(std::string value) {
    auto s = String::alloc();
    textOf(s) = new std::string(std::move(value));
    return s->autorelease();
}

// Takes over `self` from alloc: the text, or nil (and `self` released) when there is none.
String* adoptText(String* self, const char* bytes, std::size_t size) {
    if (bytes == nullptr && size == 0) {
        bytes = ""; // an empty view may carry no pointer at all
    }
    if (bytes == nullptr || !isValidUtf8(std::string_view(bytes, size))) {
        self->release();
        return nullptr;
    }
    delete textOf(self);
    textOf(self) = new std::string(bytes, size);
    return self;
}

String* initEmpty(String* self) { return adoptText(self, "", 0); }
String* initWithUTF8String(String* self, const char* utf8) {
    if (utf8 == nullptr) {
        self->release();
        return nullptr;
    }
    return adoptText(self, utf8, std::strlen(utf8));
}
String* initWithBytesLength(String* self, const void* bytes, unsigned long length) {
    return adoptText(self, static_cast<const char*>(bytes), length);
}
String* initWithBytesLengthEncoding(String* self, const void* bytes, unsigned long length,
                                    unsigned long encoding) {
    // UTF-8 and its subset ASCII (1) are the only encodings this system reads.
    if (encoding != UTF8StringEncoding && encoding != ASCIIStringEncoding) {
        self->release();
        return nullptr;
    }
    return adoptText(self, static_cast<const char*>(bytes), length);
}
String* initWithString(String* self, String* other) {
    if (other == nullptr) {
        self->release();
        return nullptr;
    }
    const std::string_view t = other->view();
    return adoptText(self, t.data(), t.size());
}

String* withUTF8String(Class cls, const char* utf8) {
    return String::alloc_.send(cls)->initWithUTF8String(utf8)->autorelease();
}
String* withBytesLength(Class cls, const void* bytes, unsigned long length) {
    return String::alloc_.send(cls)->initWithBytes(bytes, length)->autorelease();
}
String* withString(Class cls, String* other) {
    return String::alloc_.send(cls)->initWithString(other)->autorelease();
}
String* emptyString(Class cls) { return String::make_.send(cls)->autorelease(); }

void dealloc(String* self) {
    delete textOf(self);
    textOf(self) = nullptr;
    Object::dealloc_.super<String>(self);
}

const char* utf8String(String* self) { return text(self).c_str(); }
unsigned long length(String* self) { return utf16Length(text(self)); }
unsigned long lengthOfBytes(String* self, unsigned long encoding) {
    return encoding == UTF8StringEncoding || encoding == ASCIIStringEncoding ? text(self).size() : 0;
}

bool isEqualToString(String* self, String* other) {
    if (other == nullptr) {
        return false;
    }
    if (other == self) {
        return true;
    }
    // A plain string's text is read where it is kept: comparing two, a literal and another, the
    // commonest case, then sends no further message.
    if (object_getClass(objc::toId(other)) == String::runtimeClass()) {
        return textView(self) == textView(other);
    }
    return text(self) == other->view();
}
bool isEqual(String* self, const Object* other) {
    auto string = cast<String>(other);
    return string != nullptr && self->isEqualToString(string);
}
unsigned long hash(String* self) {
    // FNV-1a: equal texts hash equally, which is all that dictionaries need.
    std::uint64_t h = 14695981039346656037ull;
    for (char c : text(self)) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<unsigned long>(h);
}
Object* copyWithZone(String* self, void*) { return self->retain(); }
String* description(String* self) { return self; }

std::string_view otherText(objc::Ptr<String> other) { return other->view(); }

bool hasPrefix(String* self, String* prefix) {
    // Cocoa answers NO for an empty prefix or suffix.
    std::string_view p = otherText(prefix);
    return !p.empty() && std::string_view(text(self)).starts_with(p);
}
bool hasSuffix(String* self, String* suffix) {
    std::string_view p = otherText(suffix);
    return !p.empty() && std::string_view(text(self)).ends_with(p);
}
long compare(String* self, String* other) {
    int c = std::string_view(text(self)).compare(otherText(other));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

String* appendingString(String* self, String* other) {
    return makeString(text(self) + std::string(otherText(other)));
}

std::string lastComponent(const std::string& path) {
    std::string p = tidyPath(path);
    if (p == "/") {
        return p;
    }
    std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Where the extension's dot is in the last component of a tidy path, or npos.
std::size_t extensionDot(const std::string& tidy) {
    std::size_t slash = tidy.rfind('/');
    std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = tidy.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= start || dot + 1 == tidy.size()) {
        return std::string::npos;
    }
    return dot;
}

String* appendingPathComponent(String* self, String* component) {
    const std::string& base = text(self);
    std::string_view extra = otherText(component);
    if (base.empty()) {
        return makeString(tidyPath(extra));
    }
    if (extra.empty()) {
        return makeString(tidyPath(base));
    }
    return makeString(tidyPath(base + "/" + std::string(extra)));
}
String* appendingPathExtension(String* self, String* extension) {
    std::string_view ext = otherText(extension);
    std::string base = tidyPath(text(self));
    if (base.empty() || base == "/" || ext.find('/') != std::string_view::npos) {
        return nullptr;
    }
    return makeString(base + "." + std::string(ext));
}
String* lastPathComponent(String* self) { return makeString(lastComponent(text(self))); }
String* pathExtension(String* self) {
    std::string tidy = tidyPath(text(self));
    std::size_t dot = extensionDot(tidy);
    return makeString(dot == std::string::npos ? std::string() : tidy.substr(dot + 1));
}
String* deletingPathExtension(String* self) {
    std::string tidy = tidyPath(text(self));
    std::size_t dot = extensionDot(tidy);
    return makeString(dot == std::string::npos ? tidy : tidy.substr(0, dot));
}
String* deletingLastPathComponent(String* self) {
    std::string tidy = tidyPath(text(self));
    std::size_t slash = tidy.rfind('/');
    if (slash == std::string::npos) {
        return makeString("");
    }
    return makeString(slash == 0 ? "/" : tidy.substr(0, slash));
}

// The start of the number in `s`: past leading white space.
std::size_t skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() &&
           (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' || s[i] == '\v' || s[i] == '\f')) {
        ++i;
    }
    return i;
}

bool boolValue(String* self) {
    std::string_view s = text(self);
    std::size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    while (i < s.size() && s[i] == '0') {
        ++i;
    }
    if (i == s.size()) {
        return false;
    }
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The leading decimal integer, saturated at the limits of long long.
long long leadingInteger(std::string_view s) {
    std::size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long value = 0;
    bool saturated = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int digit = s[i] - '0';
        if (!saturated) {
            if (negative ? value < (LLONG_MIN + digit) / 10 : value > (LLONG_MAX - digit) / 10) {
                saturated = true;
                value = negative ? LLONG_MIN : LLONG_MAX;
            } else {
                value = value * 10 + (negative ? -digit : digit);
            }
        }
    }
    return value;
}

long long longLongValue(String* self) { return leadingInteger(text(self)); }
long integerValue(String* self) { return static_cast<long>(leadingInteger(text(self))); }
int intValue(String* self) {
    long long v = leadingInteger(text(self));
    return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

// The leading decimal number: digits with an optional fraction and exponent; 0 when there is none.
double leadingReal(std::string_view s) {
    std::size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
        }
    }
    if (i == start || (i == start + 1 && s[start] == '.')) {
        return 0.0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) {
            ++e;
        }
        if (e < s.size() && s[e] >= '0' && s[e] <= '9') {
            while (e < s.size() && s[e] >= '0' && s[e] <= '9') {
                ++e;
            }
            i = e;
        }
    }
    double value = 0.0;
    std::from_chars(s.data() + start, s.data() + i, value);
    return negative ? -value : value;
}

double doubleValue(String* self) { return leadingReal(text(self)); }
float floatValue(String* self) { return static_cast<float>(leadingReal(text(self))); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<String>()
        .ivar(StringInternals::_text)
        .method<&withUTF8String>(String::stringWithUTF8String_)
        .method<&withBytesLength>(String::stringWithBytesLength_)
        .method<&withString>(String::stringWithString_)
        .method<&emptyString>(String::emptyString_)
        .method<&initEmpty>(String::init_)
        .method<&initWithUTF8String>(String::initWithUTF8String_)
        .method<&initWithBytesLength>(String::initWithBytesLength_)
        .method<&initWithBytesLengthEncoding>(String::initWithBytesLengthEncoding_)
        .method<&initWithString>(String::initWithString_)
        .method<&dealloc>(Object::dealloc_)
        .method<&utf8String>(String::UTF8String_)
        .method<&length>(String::length_)
        .method<&lengthOfBytes>(String::lengthOfBytesUsingEncoding_)
        .method<&isEqualToString>(String::isEqualToString_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .method<&description>(Object::description_)
        .method<&hasPrefix>(String::hasPrefix_)
        .method<&hasSuffix>(String::hasSuffix_)
        .method<&compare>(String::compare_)
        .method<&appendingString>(String::stringByAppendingString_)
        .method<&appendingPathComponent>(String::stringByAppendingPathComponent_)
        .method<&appendingPathExtension>(String::stringByAppendingPathExtension_)
        .method<&lastPathComponent>(String::lastPathComponent_)
        .method<&pathExtension>(String::pathExtension_)
        .method<&deletingPathExtension>(String::stringByDeletingPathExtension_)
        .method<&deletingLastPathComponent>(String::stringByDeletingLastPathComponent_)
        .method<&boolValue>(String::boolValue_)
        .method<&intValue>(String::intValue_)
        .method<&integerValue>(String::integerValue_)
        .method<&longLongValue>(String::longLongValue_)
        .method<&doubleValue>(String::doubleValue_)
        .method<&floatValue>(String::floatValue_)
        .build();
}

} // namespace
} // namespace NS
