// NSData: an immutable run of bytes, read from and written to files.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class String;

class GLINTMERE_EXPORT Data : public Referencing<Data, "NSData"> {
  public:
    OBJC_CLASS_MESSAGE(data, "data", Data*())
    OBJC_CLASS_MESSAGE_NAMED(dataWithBytes, dataWithBytesLength_,
                             "dataWithBytes:length:", Data*(const void*, unsigned long))
    // nullptr when the file is missing, unreadable or not a regular file.
    OBJC_CLASS_MESSAGE(dataWithContentsOfFile, "dataWithContentsOfFile:", Data*(String*))
    OBJC_MESSAGE_NAMED(initWithBytes, initWithBytesLength_,
                       "initWithBytes:length:", Data*(const void*, unsigned long))
    OBJC_MESSAGE(initWithContentsOfFile, "initWithContentsOfFile:", Data*(String*))

    // Valid as long as the data lives.
    OBJC_MESSAGE(bytes, "bytes", const void*())
    OBJC_MESSAGE(length, "length", unsigned long())
    OBJC_MESSAGE(isEqualToData, "isEqualToData:", bool(Data*))
    // Atomically, an existing file is replaced whole or kept as it was.
    OBJC_MESSAGE_NAMED(writeToFile, writeToFileAtomically_, "writeToFile:atomically:", bool(String*, bool))
};

} // namespace NS
