// Property-list files for tests, in the XML or the binary format, written the way the device does.
#pragma once

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace testing_support {

enum class PlistFormat { Xml, Binary };

// Writes `root` (which the call takes over) to `path`, replacing the file whole.
inline bool writePlist(const std::string& path, plist_t root, PlistFormat format = PlistFormat::Xml) {
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == PlistFormat::Xml) {
        plist_to_xml(root, &bytes, &length);
    } else {
        plist_to_bin(root, &bytes, &length);
    }
    plist_free(root);
    if (bytes == nullptr) {
        return false;
    }
    const std::string temporary = path + ".writing";
    bool ok = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes, length);
        ok = static_cast<bool>(out);
    }
    std::free(bytes);
    return ok && std::rename(temporary.c_str(), path.c_str()) == 0;
}

// A dictionary of one entry, `key` = `value` (taken over).
inline plist_t dictionaryWith(const char* key, plist_t value) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, key, value);
    return dict;
}

inline bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

} // namespace testing_support
