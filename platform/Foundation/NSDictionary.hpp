// NSDictionary and NSMutableDictionary: keyed collections in insertion order, read from and written
// to property-list files.
#pragma once

#include "Foundation/NSObject.hpp"

#include <initializer_list>

namespace NS {

class Array;
class String;

// Keys are compared with hash and isEqual:, and copied when stored; values are retained.
class GLINTMERE_EXPORT Dictionary : public Referencing<Dictionary, "NSDictionary"> {
  public:
    static Dictionary* dictionary() {
        return objc::send<Dictionary*>(runtimeClass(), objc::Selector<"dictionary">());
    }
    // Pairs objects[k] with keys[k]; pairs with a nullptr are refused (with a message) and left out.
    static Dictionary* dictionaryWithObjects(std::initializer_list<Object*> objects,
                                             std::initializer_list<Object*> keys) {
        return objc::send<Dictionary*>(
            runtimeClass(), objc::Selector<"dictionaryWithObjects:forKeys:count:">(),
            reinterpret_cast<const id*>(objects.begin()), reinterpret_cast<const id*>(keys.begin()),
            static_cast<unsigned long>(objects.size() < keys.size() ? objects.size() : keys.size()));
    }
    static Dictionary* dictionaryWithDictionary(Dictionary* other) {
        return objc::send<Dictionary*>(runtimeClass(), objc::Selector<"dictionaryWithDictionary:">(), other);
    }
    // nullptr for a missing or unreadable file, a file that is not a property list, or one whose root
    // is not a dictionary; XML and binary property lists are read.
    static Dictionary* dictionaryWithContentsOfFile(String* path) {
        return objc::send<Dictionary*>(runtimeClass(), objc::Selector<"dictionaryWithContentsOfFile:">(),
                                       path);
    }
    Dictionary* initWithContentsOfFile(String* path) {
        return objc::send<Dictionary*>(this, objc::Selector<"initWithContentsOfFile:">(), path);
    }

    // nullptr for a nil key or a key that is not there.
    Object* objectForKey(const Object* key) {
        return objc::send<Object*>(this, objc::Selector<"objectForKey:">(), key);
    }
    unsigned long count() { return objc::send<unsigned long>(this, objc::Selector<"count">()); }
    // In the order the keys were first stored.
    Array* allKeys() { return objc::send<Array*>(this, objc::Selector<"allKeys">()); }
    Array* allValues() { return objc::send<Array*>(this, objc::Selector<"allValues">()); }
    bool isEqualToDictionary(Dictionary* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToDictionary:">(), other);
    }
    // An XML property list; false when a key is not a string, a value has no property-list form or the
    // file cannot be written. Atomically, an existing file is replaced whole or kept as it was.
    bool writeToFile(String* path, bool atomically) {
        return objc::send<bool>(this, objc::Selector<"writeToFile:atomically:">(), path, atomically);
    }
};

class GLINTMERE_EXPORT MutableDictionary
    : public Referencing<MutableDictionary, "NSMutableDictionary", Dictionary> {
  public:
    static MutableDictionary* dictionary() {
        return objc::send<MutableDictionary*>(runtimeClass(), objc::Selector<"dictionary">());
    }
    static MutableDictionary* dictionaryWithContentsOfFile(String* path) {
        return objc::send<MutableDictionary*>(runtimeClass(),
                                              objc::Selector<"dictionaryWithContentsOfFile:">(), path);
    }
    MutableDictionary* initWithContentsOfFile(String* path) {
        return objc::send<MutableDictionary*>(this, objc::Selector<"initWithContentsOfFile:">(), path);
    }

    // A nil value or key is refused with a message on stderr, and nothing changes.
    void setObjectForKey(Object* value, Object* key) {
        objc::send<void>(this, objc::Selector<"setObject:forKey:">(), value, key);
    }
    void removeObjectForKey(Object* key) {
        objc::send<void>(this, objc::Selector<"removeObjectForKey:">(), key);
    }
    void addEntriesFromDictionary(Dictionary* other) {
        objc::send<void>(this, objc::Selector<"addEntriesFromDictionary:">(), other);
    }
    void removeAllObjects() { objc::send<void>(this, objc::Selector<"removeAllObjects">()); }
};

} // namespace NS
