// Property lists: Foundation objects to and from libplist, XML or binary, checked before parsing; plain
// XML is read without libplist.
#pragma once

#include "Foundation/NSObject.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace NS::detail {

// The largest property-list file that is read; anything larger reads as no property list.
inline constexpr std::size_t propertyListFileLimit = 64u << 20;

// The object held by an XML or binary property list, owned by the caller; nil for anything that is
// not a whole, well-formed property list of the kinds Foundation maps (dictionaries, arrays,
// strings, numbers, booleans, dates and data).
[[gnu::visibility("default")]] id propertyListFromBytes(std::string_view bytes);
// As propertyListFromBytes, always by way of libplist, which reads the bytes once they pass a
// structural check. propertyListFromBytes reads plain XML (such as our own) by itself, in one pass,
// to the same values: the tests and the fuzz target hold the two to that.
[[gnu::visibility("default")]] id propertyListThroughLibplist(std::string_view bytes);
// As propertyListFromBytes, from the file at `path`; nil when there is no readable file. When the
// root is of the kind of `into` (an allocated dictionary or array, not yet initialised), it may be
// read into it: the result is then `into` itself, initialised; otherwise `into` is left as it was.
id readPropertyList(const char* path, Object* into = nullptr);

// `object` as an XML property list; false when something in it has no property-list form.
bool propertyListXml(id object, std::string& xml);
bool writePropertyList(id object, const char* path, bool atomically);

// The old-style property-list text Cocoa prints for a value: `{ key = value; }`, `( a, b )`.
std::string describe(id object, int indent);

} // namespace NS::detail
