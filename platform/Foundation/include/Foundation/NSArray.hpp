// NSArray and NSMutableArray: ordered collections of objects, readable from and writable to plists.
#pragma once

#include "Foundation/NSObject.hpp"

#include <initializer_list>

namespace NS {

class String;

// What indexOfObject: answers for an object that is not there (NSNotFound).
inline constexpr unsigned long NotFound = 0x7fffffffffffffffUL;

class GLINTMERE_EXPORT Array : public Referencing<Array, "NSArray"> {
  public:
    OBJC_CLASS_MESSAGE(array, "array", Array*())
    OBJC_CLASS_MESSAGE_NAMED(arrayWithObjects, arrayWithObjectsCount_,
                             "arrayWithObjects:count:", Array*(Object* const*, unsigned long))
    // nullptr elements are refused (with a message on stderr) and left out.
    static objc::Ptr<Array> arrayWithObjects(std::initializer_list<Object*> objects) {
        return arrayWithObjectsCount_.send(runtimeClass(), objects.begin(),
                                           static_cast<unsigned long>(objects.size()));
    }
    OBJC_CLASS_MESSAGE(arrayWithObject, "arrayWithObject:", Array*(Object*))
    OBJC_MESSAGE_NAMED(initWithObjects, initWithObjectsCount_,
                       "initWithObjects:count:", Array*(Object* const*, unsigned long))
    OBJC_MESSAGE(initWithArray, "initWithArray:", Array*(Array*))
    OBJC_CLASS_MESSAGE(arrayWithArray, "arrayWithArray:", Array*(Array*))
    // nullptr unless the file holds a property list whose root is an array.
    OBJC_CLASS_MESSAGE(arrayWithContentsOfFile, "arrayWithContentsOfFile:", Array*(String*))
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", Array*(String*))

    OBJC_MESSAGE(count, "count", unsigned long())
    // An index past the end stops the program, as the exception Cocoa raises would.
    OBJC_MESSAGE(objectAtIndex, "objectAtIndex:", Object*(unsigned long))
    OBJC_MESSAGE(objectAtIndexedSubscript, "objectAtIndexedSubscript:", Object*(unsigned long))
    OBJC_MESSAGE(firstObject, "firstObject", Object*())
    OBJC_MESSAGE(lastObject, "lastObject", Object*())
    OBJC_MESSAGE(containsObject, "containsObject:", bool(Object*))
    OBJC_MESSAGE(indexOfObject, "indexOfObject:", unsigned long(Object*))
    OBJC_MESSAGE(indexOfObjectIdenticalTo, "indexOfObjectIdenticalTo:", unsigned long(Object*))
    OBJC_MESSAGE(isEqualToArray, "isEqualToArray:", bool(Array*))
    OBJC_MESSAGE(arrayByAddingObject, "arrayByAddingObject:", Array*(Object*))
    OBJC_MESSAGE(componentsJoinedByString, "componentsJoinedByString:", String*(String*))
    // An XML property list; false when an element has no property-list form or the file cannot be written.
    OBJC_MESSAGE_NAMED(writeToFile, writeToFileAtomically_, "writeToFile:atomically:", bool(String*, bool))

    class Iterator {
      public:
        Iterator(const Array* array, unsigned long index) : array_(array), index_(index) {}
        Object* operator*() const { return array_->objectAtIndex(index_); }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

      private:
        const Array* array_;
        unsigned long index_;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, count()); }
};

class GLINTMERE_EXPORT MutableArray : public Referencing<MutableArray, "NSMutableArray", Array> {
  public:
    OBJC_CLASS_MESSAGE(array, "array", MutableArray*())
    OBJC_CLASS_MESSAGE_NAMED(arrayWithObjects, arrayWithObjectsCount_,
                             "arrayWithObjects:count:", MutableArray*(Object* const*, unsigned long))
    static objc::Ptr<MutableArray> arrayWithObjects(std::initializer_list<Object*> objects) {
        return arrayWithObjectsCount_.send(runtimeClass(), objects.begin(),
                                           static_cast<unsigned long>(objects.size()));
    }
    OBJC_CLASS_MESSAGE(arrayWithCapacity, "arrayWithCapacity:", MutableArray*(unsigned long))
    OBJC_MESSAGE(initWithCapacity, "initWithCapacity:", MutableArray*(unsigned long))
    OBJC_CLASS_MESSAGE(arrayWithContentsOfFile, "arrayWithContentsOfFile:", MutableArray*(String*))
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", MutableArray*(String*))

    // nullptr is refused with a message on stderr, and nothing is added.
    OBJC_MESSAGE(addObject, "addObject:", void(Object*))
    OBJC_MESSAGE_NAMED(insertObject, insertObjectAtIndex_,
                       "insertObject:atIndex:", void(Object*, unsigned long))
    OBJC_MESSAGE(removeObjectAtIndex, "removeObjectAtIndex:", void(unsigned long))
    OBJC_MESSAGE(removeObject, "removeObject:", void(Object*))
    OBJC_MESSAGE(removeLastObject, "removeLastObject", void())
    OBJC_MESSAGE(removeAllObjects, "removeAllObjects", void())
    OBJC_MESSAGE_NAMED(replaceObjectAtIndex, replaceObjectAtIndexWithObject_,
                       "replaceObjectAtIndex:withObject:", void(unsigned long, Object*))
    OBJC_MESSAGE(addObjectsFromArray, "addObjectsFromArray:", void(Array*))
};

} // namespace NS
