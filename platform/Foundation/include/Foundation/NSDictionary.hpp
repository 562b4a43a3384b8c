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
    OBJC_CLASS_MESSAGE(dictionary, "dictionary", Dictionary*())
    // Pairs objects[k] with keys[k]; pairs with a nullptr are refused (with a message) and left out.
    OBJC_CLASS_MESSAGE_NAMED(dictionaryWithObjects, dictionaryWithObjectsForKeysCount_,
                             "dictionaryWithObjects:forKeys:count:",
                             Dictionary*(Object* const*, Object* const*, unsigned long))
    static objc::Ptr<Dictionary> dictionaryWithObjects(std::initializer_list<Object*> objects,
                                                       std::initializer_list<Object*> keys) {
        return dictionaryWithObjectsForKeysCount_.send(
            runtimeClass(), objects.begin(), keys.begin(),
            static_cast<unsigned long>(objects.size() < keys.size() ? objects.size() : keys.size()));
    }
    OBJC_CLASS_MESSAGE_NAMED(dictionaryWithObject, dictionaryWithObjectForKey_,
                             "dictionaryWithObject:forKey:", Dictionary*(Object*, Object*))
    OBJC_MESSAGE_NAMED(initWithObjects, initWithObjectsForKeysCount_, "initWithObjects:forKeys:count:",
                       Dictionary*(Object* const*, Object* const*, unsigned long))
    OBJC_MESSAGE(initWithDictionary, "initWithDictionary:", Dictionary*(Dictionary*))
    OBJC_CLASS_MESSAGE(dictionaryWithDictionary, "dictionaryWithDictionary:", Dictionary*(Dictionary*))
    // nullptr for a missing or unreadable file, a file that is not a property list, or one whose root
    // is not a dictionary; XML and binary property lists are read.
    OBJC_CLASS_MESSAGE(dictionaryWithContentsOfFile, "dictionaryWithContentsOfFile:", Dictionary*(String*))
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", Dictionary*(String*))

    // nullptr for a nil key or a key that is not there.
    OBJC_MESSAGE(objectForKey, "objectForKey:", Object*(const Object*))
    OBJC_MESSAGE(objectForKeyedSubscript, "objectForKeyedSubscript:", Object*(const Object*))
    OBJC_MESSAGE(valueForKey, "valueForKey:", Object*(const Object*))
    OBJC_MESSAGE(count, "count", unsigned long())
    // In the order the keys were first stored.
    OBJC_MESSAGE(allKeys, "allKeys", Array*())
    OBJC_MESSAGE(allValues, "allValues", Array*())
    OBJC_MESSAGE(isEqualToDictionary, "isEqualToDictionary:", bool(Dictionary*))
    // An XML property list; false when a key is not a string, a value has no property-list form or the
    // file cannot be written. Atomically, an existing file is replaced whole or kept as it was.
    OBJC_MESSAGE_NAMED(writeToFile, writeToFileAtomically_, "writeToFile:atomically:", bool(String*, bool))
};

class GLINTMERE_EXPORT MutableDictionary
    : public Referencing<MutableDictionary, "NSMutableDictionary", Dictionary> {
  public:
    OBJC_CLASS_MESSAGE(dictionary, "dictionary", MutableDictionary*())
    OBJC_CLASS_MESSAGE(dictionaryWithContentsOfFile,
                       "dictionaryWithContentsOfFile:", MutableDictionary*(String*))
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", MutableDictionary*(String*))

    OBJC_CLASS_MESSAGE(dictionaryWithCapacity, "dictionaryWithCapacity:", MutableDictionary*(unsigned long))
    OBJC_MESSAGE(initWithCapacity, "initWithCapacity:", MutableDictionary*(unsigned long))
    // A nil value or key is refused with a message on stderr, and nothing changes.
    OBJC_MESSAGE(setObjectForKey, "setObject:forKey:", void(Object*, Object*))
    // Given nil, these two remove the entry, as Cocoa's do.
    OBJC_MESSAGE(setObjectForKeyedSubscript, "setObject:forKeyedSubscript:", void(Object*, Object*))
    OBJC_MESSAGE(setValueForKey, "setValue:forKey:", void(Object*, Object*))
    OBJC_MESSAGE(removeObjectForKey, "removeObjectForKey:", void(Object*))
    OBJC_MESSAGE(addEntriesFromDictionary, "addEntriesFromDictionary:", void(Dictionary*))
    OBJC_MESSAGE(removeAllObjects, "removeAllObjects", void())
};

} // namespace NS
