// Fuzzes the property-list reader (XML and binary): any bytes read as a dictionary and as an array
// give nil or a whole value, a value that was read writes out and reads back, and plain XML, which
// is read without libplist, reads to the values libplist gives it.
#include "../tests/support/SameValues.hpp"
#include "FuzzScratch.hpp"

#include "Foundation/Foundation.hpp"
#include "Foundation/PropertyList.hpp"

#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Scratch scratch;
    NS::AutoreleaseScope pool;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto read = objc::adopt(reinterpret_cast<NS::Object*>(NS::detail::propertyListFromBytes(bytes)));
    auto reference =
        objc::adopt(reinterpret_cast<NS::Object*>(NS::detail::propertyListThroughLibplist(bytes)));
    if (!testing_support::sameValues(read.get(), reference.get())) {
        std::fprintf(stderr, "fuzz: the bytes read otherwise than libplist reads them\n");
        std::abort();
    }
    NS::String* path = NS::String::string(std::string_view(scratch.write("input.plist", data, size)));
    NS::String* copy = NS::String::string(std::string_view(scratch.path() + "/copy.plist"));
    if (NS::Dictionary* dictionary = NS::Dictionary::dictionaryWithContentsOfFile(path)) {
        if (!dictionary->writeToFile(copy, true)) {
            return 0;
        }
        if (NS::Dictionary::dictionaryWithContentsOfFile(copy) == nullptr) {
            std::fprintf(stderr, "fuzz: a dictionary that was read was written out unreadable\n");
            std::abort();
        }
    }
    if (NS::Array* array = NS::Array::arrayWithContentsOfFile(path)) {
        if (!array->writeToFile(copy, true)) {
            return 0;
        }
        if (NS::Array::arrayWithContentsOfFile(copy) == nullptr) {
            std::fprintf(stderr, "fuzz: an array that was read was written out unreadable\n");
            std::abort();
        }
    }
    return 0;
}
