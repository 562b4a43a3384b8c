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
    static Array* array() { return objc::send<Array*>(runtimeClass(), objc::Selector<"array">()); }
    // nullptr elements are refused (with a message on stderr) and left out.
    static Array* arrayWithObjects(std::initializer_list<Object*> objects) {
        return objc::send<Array*>(runtimeClass(), objc::Selector<"arrayWithObjects:count:">(),
                                  reinterpret_cast<const id*>(objects.begin()),
                                  static_cast<unsigned long>(objects.size()));
    }
    static Array* arrayWithArray(Array* other) {
        return objc::send<Array*>(runtimeClass(), objc::Selector<"arrayWithArray:">(), other);
    }
    // nullptr unless the file holds a property list whose root is an array.
    static Array* arrayWithContentsOfFile(String* path) {
        return objc::send<Array*>(runtimeClass(), objc::Selector<"arrayWithContentsOfFile:">(), path);
    }
    Array* initWithContentsOfFile(String* path) {
        return objc::send<Array*>(this, objc::Selector<"initWithContentsOfFile:">(), path);
    }

    unsigned long count() { return objc::send<unsigned long>(this, objc::Selector<"count">()); }
    // An index past the end stops the program, as the exception Cocoa raises would.
    Object* objectAtIndex(unsigned long index) {
        return objc::send<Object*>(this, objc::Selector<"objectAtIndex:">(), index);
    }
    Object* firstObject() { return objc::send<Object*>(this, objc::Selector<"firstObject">()); }
    Object* lastObject() { return objc::send<Object*>(this, objc::Selector<"lastObject">()); }
    bool containsObject(Object* object) {
        return objc::send<bool>(this, objc::Selector<"containsObject:">(), object);
    }
    unsigned long indexOfObject(Object* object) {
        return objc::send<unsigned long>(this, objc::Selector<"indexOfObject:">(), object);
    }
    bool isEqualToArray(Array* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToArray:">(), other);
    }
    Array* arrayByAddingObject(Object* object) {
        return objc::send<Array*>(this, objc::Selector<"arrayByAddingObject:">(), object);
    }
    String* componentsJoinedByString(String* separator) {
        return objc::send<String*>(this, objc::Selector<"componentsJoinedByString:">(), separator);
    }
    // An XML property list; false when an element has no property-list form or the file cannot be written.
    bool writeToFile(String* path, bool atomically) {
        return objc::send<bool>(this, objc::Selector<"writeToFile:atomically:">(), path, atomically);
    }

    class Iterator {
      public:
        Iterator(Array* array, unsigned long index) : array_(array), index_(index) {}
        Object* operator*() const { return array_->objectAtIndex(index_); }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

      private:
        Array* array_;
        unsigned long index_;
    };
    Iterator begin() { return Iterator(this, 0); }
    Iterator end() { return Iterator(this, count()); }
};

class GLINTMERE_EXPORT MutableArray : public Referencing<MutableArray, "NSMutableArray", Array> {
  public:
    static MutableArray* array() {
        return objc::send<MutableArray*>(runtimeClass(), objc::Selector<"array">());
    }
    static MutableArray* arrayWithObjects(std::initializer_list<Object*> objects) {
        return objc::send<MutableArray*>(runtimeClass(), objc::Selector<"arrayWithObjects:count:">(),
                                         reinterpret_cast<const id*>(objects.begin()),
                                         static_cast<unsigned long>(objects.size()));
    }
    static MutableArray* arrayWithContentsOfFile(String* path) {
        return objc::send<MutableArray*>(runtimeClass(), objc::Selector<"arrayWithContentsOfFile:">(), path);
    }
    MutableArray* initWithContentsOfFile(String* path) {
        return objc::send<MutableArray*>(this, objc::Selector<"initWithContentsOfFile:">(), path);
    }

    // nullptr is refused with a message on stderr, and nothing is added.
    void addObject(Object* object) { objc::send<void>(this, objc::Selector<"addObject:">(), object); }
    void insertObject(Object* object, unsigned long index) {
        objc::send<void>(this, objc::Selector<"insertObject:atIndex:">(), object, index);
    }
    void removeObjectAtIndex(unsigned long index) {
        objc::send<void>(this, objc::Selector<"removeObjectAtIndex:">(), index);
    }
    void removeObject(Object* object) { objc::send<void>(this, objc::Selector<"removeObject:">(), object); }
    void removeLastObject() { objc::send<void>(this, objc::Selector<"removeLastObject">()); }
    void removeAllObjects() { objc::send<void>(this, objc::Selector<"removeAllObjects">()); }
    void replaceObjectAtIndex(unsigned long index, Object* object) {
        objc::send<void>(this, objc::Selector<"replaceObjectAtIndex:withObject:">(), index, object);
    }
    void addObjectsFromArray(Array* other) {
        objc::send<void>(this, objc::Selector<"addObjectsFromArray:">(), other);
    }
};

} // namespace NS
