// NSData: an immutable run of bytes, read from and written to files.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

class GLINTMERE_EXPORT Data : public Referencing<Data, "NSData"> {
  public:
    static Data* data() { return objc::send<Data*>(runtimeClass(), objc::Selector<"data">()); }
    static Data* dataWithBytes(const void* bytes, unsigned long length) {
        return objc::send<Data*>(runtimeClass(), objc::Selector<"dataWithBytes:length:">(), bytes, length);
    }
    // nullptr when the file is missing, unreadable or not a regular file.
    static Data* dataWithContentsOfFile(String* path) {
        return objc::send<Data*>(runtimeClass(), objc::Selector<"dataWithContentsOfFile:">(), path);
    }
    Data* initWithBytes(const void* bytes, unsigned long length) {
        return objc::send<Data*>(this, objc::Selector<"initWithBytes:length:">(), bytes, length);
    }
    Data* initWithContentsOfFile(String* path) {
        return objc::send<Data*>(this, objc::Selector<"initWithContentsOfFile:">(), path);
    }

    // Valid as long as the data lives.
    const void* bytes() { return objc::send<const void*>(this, objc::Selector<"bytes">()); }
    unsigned long length() { return objc::send<unsigned long>(this, objc::Selector<"length">()); }
    bool isEqualToData(Data* other) {
        return objc::send<bool>(this, objc::Selector<"isEqualToData:">(), other);
    }
    // Atomically, an existing file is replaced whole or kept as it was.
    bool writeToFile(String* path, bool atomically) {
        return objc::send<bool>(this, objc::Selector<"writeToFile:atomically:">(), path, atomically);
    }
};

} // namespace NS
