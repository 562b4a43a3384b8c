#include "Foundation/NSURL.hpp"
#include "Foundation/NSURLInternals.hpp"

#include "Foundation/NSString.hpp"
#include "Foundation/Storage.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstdio>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace NS {
namespace {

struct Parts {
    std::string text;
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

Parts*& partsOf(const URL* self) { return objc::storage<Parts*>(self, URLInternals::_parts); }

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelim(char c) {
    return c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' ||
           c == ',' || c == ';' || c == '=';
}

// The characters a URL may hold, with '%' only as the start of an escape and at most one '#'.
bool wellFormed(std::string_view s) {
    bool fragment = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '%') {
            if (i + 2 >= s.size()) {
                return false;
            }
            if (!isHex(s[i + 1]) || !isHex(s[i + 2])) {
                return false;
            }
            i += 2;
            continue;
        }
        if (c == '#') {
            if (fragment) {
                return false;
            }
            fragment = true;
            continue;
        }
        if (!isUnreserved(c) && !isSubDelim(c) && c != ':' && c != '/' && c != '?' && c != '[' && c != ']' &&
            c != '@') {
            return false;
        }
    }
    return true;
}

std::optional<Parts> parse(std::string_view s) {
    if (s.empty() || !wellFormed(s)) {
        return std::nullopt;
    }
    Parts p;
    p.text = std::string(s);
    std::size_t i = 0;
    // A scheme: a letter, then letters, digits, '+', '-' or '.', up to the first ':'.
    std::size_t colon = s.find(':');
    if (colon != std::string_view::npos && colon > 0 && isAlpha(s[0])) {
        bool scheme = true;
        for (std::size_t k = 1; k < colon; ++k) {
            char c = s[k];
            scheme = scheme && (isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.');
        }
        if (scheme) {
            p.scheme = std::string(s.substr(0, colon));
            i = colon + 1;
        }
    }
    if (s.substr(i).starts_with("//")) {
        std::size_t end = s.find_first_of("/?#", i + 2);
        end = end == std::string_view::npos ? s.size() : end;
        p.authority = std::string(s.substr(i + 2, end - i - 2));
        i = end;
    }
    std::size_t end = s.find_first_of("?#", i);
    end = end == std::string_view::npos ? s.size() : end;
    p.path = std::string(s.substr(i, end - i));
    i = end;
    if (i < s.size() && s[i] == '?') {
        end = s.find('#', i);
        end = end == std::string_view::npos ? s.size() : end;
        p.query = std::string(s.substr(i + 1, end - i - 1));
        i = end;
    }
    if (i < s.size() && s[i] == '#') {
        p.fragment = std::string(s.substr(i + 1));
    }
    return p;
}

std::string percentDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            auto hex = [](char c) { return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; };
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string percentEncodedPath(std::string_view path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : path) {
        if (isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/') {
            out += c;
        } else {
            auto b = static_cast<unsigned char>(c);
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 0xF];
        }
    }
    return out;
}

objc::Ptr<String> string(const std::string& s) { return String::string(std::string_view(s)); }
objc::Ptr<String> optionalString(const std::optional<std::string>& s) { return s ? string(*s) : nullptr; }

// `self` holding `parts`; released, and nil, when there are none.
URL* adopt(URL* self, std::optional<Parts> parts) {
    if (!parts) {
        self->release();
        return nullptr;
    }
    delete partsOf(self);
    partsOf(self) = new Parts(std::move(*parts));
    return self;
}

URL* initFileURL(URL* self, objc::Ptr<String> pathString) {
    const char* raw = pathString->utf8String();
    if (raw == nullptr || raw[0] == '\0') {
        std::fprintf(stderr, "-[NSURL initFileURLWithPath:]: nil or empty string parameter\n");
        return adopt(self, std::nullopt);
    }
    std::string path = raw;
    if (path[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            return adopt(self, std::nullopt);
        }
        path = std::string(cwd) + (std::string(cwd) == "/" ? "" : "/") + path;
    }
    struct stat info {};
    if (path.back() != '/' && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        path += '/';
    }
    return adopt(self, parse("file://" + percentEncodedPath(path)));
}

const Parts& parts(const URL* self) {
    static const Parts none;
    Parts* p = partsOf(self);
    return p != nullptr ? *p : none;
}

objc::Ptr<String> host(const URL* self) {
    const Parts& p = parts(self);
    if (!p.authority) {
        return nullptr;
    }
    std::string h = *p.authority;
    std::size_t at = h.rfind('@');
    if (at != std::string::npos) {
        h = h.substr(at + 1);
    }
    if (!h.empty() && h[0] == '[') {
        std::size_t close = h.find(']');
        h = close == std::string::npos ? h.substr(1) : h.substr(1, close - 1);
    } else if (std::size_t port = h.rfind(':'); port != std::string::npos) {
        h = h.substr(0, port);
    }
    return h.empty() ? nullptr : string(h);
}

std::optional<std::string> decodedPath(const URL* self) {
    const Parts& p = parts(self);
    // "mailto:someone@example.com" names a resource without a path.
    if (p.scheme && !p.authority && !p.path.starts_with("/")) {
        return std::nullopt;
    }
    std::optional<std::string> decoded = percentDecoded(p.path);
    if (decoded && decoded->size() > 1 && decoded->back() == '/') {
        decoded->pop_back();
    }
    return decoded;
}

bool isFileURL(const URL* self) {
    const std::optional<std::string>& s = parts(self).scheme;
    if (!s || s->size() != 4) {
        return false;
    }
    std::string lower;
    for (char c : *s) {
        lower += static_cast<char>(c | 0x20);
    }
    return lower == "file";
}

// Also relativeString and description: a URL here is never relative to another.
String* absoluteString(URL* self) { return string(parts(self).text); }

URL* URLWithString(Class cls, String* text) {
    return URL::alloc_.send(cls)->initWithString(text)->autorelease();
}

URL* fileURLWithPath(Class cls, String* path) {
    return URL::alloc_.send(cls)->initFileURLWithPath(path)->autorelease();
}

URL* initWithString(URL* self, objc::Ptr<String> text) {
    if (text == nullptr) {
        return adopt(self, std::nullopt);
    }
    return adopt(self, parse(text->utf8String()));
}

void dealloc(URL* self) {
    delete partsOf(self);
    partsOf(self) = nullptr;
    Object::dealloc_.super<URL>(self);
}

String* scheme(URL* self) { return optionalString(parts(self).scheme); }

String* path(URL* self) {
    std::optional<std::string> p = decodedPath(self);
    return p ? string(*p).get() : nullptr;
}

String* query(URL* self) { return optionalString(parts(self).query); }

String* fragment(URL* self) { return optionalString(parts(self).fragment); }

String* lastPathComponent(URL* self) { return self->path()->lastPathComponent(); }

String* pathExtension(URL* self) { return self->path()->pathExtension(); }

bool isEqual(URL* self, const Object* other) {
    auto url = cast<URL>(other);
    return url != nullptr && parts(self).text == parts(url).text;
}

unsigned long hash(URL* self) { return std::hash<std::string>{}(parts(self).text); }

Object* copyWithZone(URL* self, void*) { return self->retain(); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<URL>()
        .ivar(URLInternals::_parts)
        .method<&URLWithString>(URL::URLWithString_)
        .method<&fileURLWithPath>(URL::fileURLWithPath_)
        .method<&initWithString>(URL::initWithString_)
        .method<&initFileURL>(URL::initFileURLWithPath_)
        .method<&dealloc>(Object::dealloc_)
        .method<&absoluteString>(URL::absoluteString_)
        .method<&absoluteString>(URL::relativeString_)
        .method<&absoluteString>(Object::description_)
        .method<&scheme>(URL::scheme_)
        .method<&host>(URL::host_)
        .method<&path>(URL::path_)
        .method<&query>(URL::query_)
        .method<&fragment>(URL::fragment_)
        .method<&lastPathComponent>(URL::lastPathComponent_)
        .method<&pathExtension>(URL::pathExtension_)
        .method<&isFileURL>(URL::isFileURL_)
        .method<&isEqual>(Object::isEqual_)
        .method<&hash>(Object::hash_)
        .method<&copyWithZone>(Object::copyWithZone_)
        .build();
}

} // namespace
} // namespace NS
