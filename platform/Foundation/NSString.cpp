#include "Foundation/NSString.hpp"

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

using objc::operator""_sel;

constexpr unsigned long utf8Encoding = 4;

std::string*& textOf(id self) { return detail::slot<std::string*, "NSString", "_text">(self); }

// The text of a string; an instance that was never initialised reads as empty.
const std::string& text(id self) {
    static const std::string empty;
    std::string* t = textOf(self);
    return t != nullptr ? *t : empty;
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

id makeString(std::string value) {
    id s = objc::send<id>(objc_lookUpClass("NSString"), "alloc"_sel);
    textOf(s) = new std::string(std::move(value));
    return objc::send<id>(s, "autorelease"_sel);
}

// Takes over `self` from alloc: the text, or nil (and `self` released) when there is none.
id adoptText(id self, const char* bytes, std::size_t size) {
    if (bytes == nullptr && size == 0) {
        bytes = ""; // an empty view may carry no pointer at all
    }
    if (bytes == nullptr || !isValidUtf8(std::string_view(bytes, size))) {
        objc::send(self, "release"_sel);
        return nil;
    }
    delete textOf(self);
    textOf(self) = new std::string(bytes, size);
    return self;
}

id initEmpty(id self, SEL) { return adoptText(self, "", 0); }
id initWithUTF8String(id self, SEL, const char* utf8) {
    if (utf8 == nullptr) {
        objc::send(self, "release"_sel);
        return nil;
    }
    return adoptText(self, utf8, std::strlen(utf8));
}
id initWithBytesLength(id self, SEL, const void* bytes, unsigned long length) {
    return adoptText(self, static_cast<const char*>(bytes), length);
}
id initWithBytesLengthEncoding(id self, SEL, const void* bytes, unsigned long length,
                               unsigned long encoding) {
    // UTF-8 and its subset ASCII (1) are the only encodings this system reads.
    if (encoding != utf8Encoding && encoding != 1) {
        objc::send(self, "release"_sel);
        return nil;
    }
    return adoptText(self, static_cast<const char*>(bytes), length);
}
id initWithString(id self, SEL, id other) {
    if (other == nil) {
        objc::send(self, "release"_sel);
        return nil;
    }
    const char* utf8 = objc::send<const char*>(other, "UTF8String"_sel);
    unsigned long size = objc::send<unsigned long>(other, "lengthOfBytesUsingEncoding:"_sel, utf8Encoding);
    return adoptText(self, utf8, size);
}

id withUTF8String(Class cls, SEL, const char* utf8) {
    id s = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "initWithUTF8String:"_sel, utf8);
    return objc::send<id>(s, "autorelease"_sel);
}
id withBytesLength(Class cls, SEL, const void* bytes, unsigned long length) {
    id s = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "initWithBytes:length:"_sel, bytes, length);
    return objc::send<id>(s, "autorelease"_sel);
}
id withString(Class cls, SEL, id other) {
    id s = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "initWithString:"_sel, other);
    return objc::send<id>(s, "autorelease"_sel);
}
id emptyString(Class cls, SEL) { return objc::send<id>(objc::send<id>(cls, "new"_sel), "autorelease"_sel); }

void dealloc(id self, SEL sel) {
    delete textOf(self);
    textOf(self) = nullptr;
    objc::sendSuper(objc_lookUpClass("NSString"), self, sel);
}

const char* utf8String(id self, SEL) { return text(self).c_str(); }
unsigned long length(id self, SEL) { return utf16Length(text(self)); }
unsigned long lengthOfBytes(id self, SEL, unsigned long encoding) {
    return encoding == utf8Encoding || encoding == 1 ? text(self).size() : 0;
}

bool isEqualToString(id self, SEL, id other) {
    if (other == nil) {
        return false;
    }
    if (other == self) {
        return true;
    }
    const char* bytes = objc::send<const char*>(other, "UTF8String"_sel);
    unsigned long size = objc::send<unsigned long>(other, "lengthOfBytesUsingEncoding:"_sel, utf8Encoding);
    return text(self) == std::string_view(bytes, size);
}
bool isEqual(id self, SEL, id other) {
    return cast<String>(other) != nullptr && objc::send<bool>(self, "isEqualToString:"_sel, other);
}
unsigned long hash(id self, SEL) {
    // FNV-1a: equal texts hash equally, which is all that dictionaries need.
    std::uint64_t h = 14695981039346656037ull;
    for (char c : text(self)) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<unsigned long>(h);
}
id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }
id description(id self, SEL) { return self; }

std::string_view otherText(id other) {
    if (other == nil) {
        return {};
    }
    return {objc::send<const char*>(other, "UTF8String"_sel),
            objc::send<unsigned long>(other, "lengthOfBytesUsingEncoding:"_sel, utf8Encoding)};
}

bool hasPrefix(id self, SEL, id prefix) {
    // Cocoa answers NO for an empty prefix or suffix.
    std::string_view p = otherText(prefix);
    return !p.empty() && std::string_view(text(self)).starts_with(p);
}
bool hasSuffix(id self, SEL, id suffix) {
    std::string_view p = otherText(suffix);
    return !p.empty() && std::string_view(text(self)).ends_with(p);
}
long compare(id self, SEL, id other) {
    int c = std::string_view(text(self)).compare(otherText(other));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

id appendingString(id self, SEL, id other) { return makeString(text(self) + std::string(otherText(other))); }

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

id appendingPathComponent(id self, SEL, id component) {
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
id appendingPathExtension(id self, SEL, id extension) {
    std::string_view ext = otherText(extension);
    std::string base = tidyPath(text(self));
    if (base.empty() || base == "/" || ext.find('/') != std::string_view::npos) {
        return nil;
    }
    return makeString(base + "." + std::string(ext));
}
id lastPathComponent(id self, SEL) { return makeString(lastComponent(text(self))); }
id pathExtension(id self, SEL) {
    std::string tidy = tidyPath(text(self));
    std::size_t dot = extensionDot(tidy);
    return makeString(dot == std::string::npos ? std::string() : tidy.substr(dot + 1));
}
id deletingPathExtension(id self, SEL) {
    std::string tidy = tidyPath(text(self));
    std::size_t dot = extensionDot(tidy);
    return makeString(dot == std::string::npos ? tidy : tidy.substr(0, dot));
}
id deletingLastPathComponent(id self, SEL) {
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

bool boolValue(id self, SEL) {
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

long long longLongValue(id self, SEL) { return leadingInteger(text(self)); }
long integerValue(id self, SEL) { return static_cast<long>(leadingInteger(text(self))); }
int intValue(id self, SEL) {
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

double doubleValue(id self, SEL) { return leadingReal(text(self)); }
float floatValue(id self, SEL) { return static_cast<float>(leadingReal(text(self))); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSString", "NSObject")
        .ivar<void*>("_text")
        .classMethod<&withUTF8String>("stringWithUTF8String:")
        .classMethod<&withBytesLength>("stringWithBytes:length:")
        .classMethod<&withString>("stringWithString:")
        .classMethod<&emptyString>("string")
        .method<&initEmpty>("init")
        .method<&initWithUTF8String>("initWithUTF8String:")
        .method<&initWithBytesLength>("initWithBytes:length:")
        .method<&initWithBytesLengthEncoding>("initWithBytes:length:encoding:")
        .method<&initWithString>("initWithString:")
        .method<&dealloc>("dealloc")
        .method<&utf8String>("UTF8String")
        .method<&length>("length")
        .method<&lengthOfBytes>("lengthOfBytesUsingEncoding:")
        .method<&isEqualToString>("isEqualToString:")
        .method<&isEqual>("isEqual:")
        .method<&hash>("hash")
        .method<&copyWithZone>("copyWithZone:")
        .method<&description>("description")
        .method<&hasPrefix>("hasPrefix:")
        .method<&hasSuffix>("hasSuffix:")
        .method<&compare>("compare:")
        .method<&appendingString>("stringByAppendingString:")
        .method<&appendingPathComponent>("stringByAppendingPathComponent:")
        .method<&appendingPathExtension>("stringByAppendingPathExtension:")
        .method<&lastPathComponent>("lastPathComponent")
        .method<&pathExtension>("pathExtension")
        .method<&deletingPathExtension>("stringByDeletingPathExtension")
        .method<&deletingLastPathComponent>("stringByDeletingLastPathComponent")
        .method<&boolValue>("boolValue")
        .method<&intValue>("intValue")
        .method<&integerValue>("integerValue")
        .method<&longLongValue>("longLongValue")
        .method<&doubleValue>("doubleValue")
        .method<&floatValue>("floatValue")
        .build();
}

} // namespace
} // namespace NS
