// Fuzzes the reading of string tables (.strings files, text or property list, UTF-8 or UTF-16)
// through the bundle's own lookup: any bytes give a translation or the key back, never a crash.
#include "FuzzScratch.hpp"

#include "Foundation/Foundation.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Scratch scratch;
    static unsigned long inputs = 0;
    NS::AutoreleaseScope pool;
    // A table of its own for every input: a bundle may keep each table it has read.
    const std::string table = "Fuzz" + std::to_string(inputs++);
    const std::string file = scratch.write("en.lproj/" + table + ".strings", data, size);
    NS::Bundle* bundle = NS::Bundle::bundleWithPath(NS::String::string(std::string_view(scratch.path())));
    NS::String* name = NS::String::string(std::string_view(table));
    for (const char* key : {"key", "A", ""}) {
        NS::String* wanted = NS::String::string(std::string_view(key));
        NS::String* found = bundle->localizedStringForKey(wanted, nullptr, name);
        if (found == nullptr) {
            std::fprintf(stderr, "fuzz: a lookup gave nil instead of the key\n");
            std::abort();
        }
    }
    std::remove(file.c_str());
    return 0;
}
