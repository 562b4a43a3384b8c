// NSURL: a parsed URL (RFC 3986), or a file URL made from a path.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

class GLINTMERE_EXPORT URL : public Referencing<URL, "NSURL"> {
  public:
    // nullptr for nil, an empty string, or text that is not a URL (spaces, quotes, a stray '%', ...).
    OBJC_CLASS_MESSAGE(URLWithString, "URLWithString:", URL*(String*))
    // A "file://" URL for an absolute path, or a relative one taken from the working directory; an
    // existing directory gets a trailing slash.
    OBJC_CLASS_MESSAGE(fileURLWithPath, "fileURLWithPath:", URL*(String*))
    OBJC_MESSAGE(initWithString, "initWithString:", URL*(String*))
    OBJC_MESSAGE(initFileURLWithPath, "initFileURLWithPath:", URL*(String*))

    OBJC_MESSAGE(absoluteString, "absoluteString", String*())
    // The same text: a URL here is never relative to another.
    OBJC_MESSAGE(relativeString, "relativeString", String*())
    // nullptr where the URL has no such part.
    OBJC_MESSAGE(scheme, "scheme", String*())
    OBJC_MESSAGE(host, "host", String*())
    // Percent-decoded, without a trailing slash; nullptr for a URL such as "mailto:x@y" that has none.
    OBJC_MESSAGE(path, "path", String*())
    OBJC_MESSAGE(query, "query", String*())
    OBJC_MESSAGE(fragment, "fragment", String*())
    OBJC_MESSAGE(lastPathComponent, "lastPathComponent", String*())
    OBJC_MESSAGE(pathExtension, "pathExtension", String*())
    OBJC_MESSAGE(isFileURL, "isFileURL", bool())
};

} // namespace NS
