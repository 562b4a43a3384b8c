// NSURL: a parsed URL (RFC 3986), or a file URL made from a path.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

class GLINTMERE_EXPORT URL : public Referencing<URL, "NSURL"> {
  public:
    // nullptr for nil, an empty string, or text that is not a URL (spaces, quotes, a stray '%', ...).
    static URL* URLWithString(String* text) {
        return objc::send<URL*>(runtimeClass(), objc::Selector<"URLWithString:">(), text);
    }
    // A "file://" URL for an absolute path, or a relative one taken from the working directory; an
    // existing directory gets a trailing slash.
    static URL* fileURLWithPath(String* path) {
        return objc::send<URL*>(runtimeClass(), objc::Selector<"fileURLWithPath:">(), path);
    }
    URL* initWithString(String* text) {
        return objc::send<URL*>(this, objc::Selector<"initWithString:">(), text);
    }

    String* absoluteString() { return objc::send<String*>(this, objc::Selector<"absoluteString">()); }
    // nullptr where the URL has no such part.
    String* scheme() { return objc::send<String*>(this, objc::Selector<"scheme">()); }
    String* host() { return objc::send<String*>(this, objc::Selector<"host">()); }
    // Percent-decoded, without a trailing slash; nullptr for a URL such as "mailto:x@y" that has none.
    String* path() { return objc::send<String*>(this, objc::Selector<"path">()); }
    String* query() { return objc::send<String*>(this, objc::Selector<"query">()); }
    String* fragment() { return objc::send<String*>(this, objc::Selector<"fragment">()); }
    String* lastPathComponent() { return objc::send<String*>(this, objc::Selector<"lastPathComponent">()); }
    String* pathExtension() { return objc::send<String*>(this, objc::Selector<"pathExtension">()); }
    bool isFileURL() { return objc::send<bool>(this, objc::Selector<"isFileURL">()); }
};

} // namespace NS
