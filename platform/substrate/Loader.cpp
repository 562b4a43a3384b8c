#include "substrate/Loader.hpp"
#include "Foundation/AtomicFile.hpp"
#include "Foundation/LibraryLoader.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/RegularFile.hpp"
#include "objc/Runtime.hpp"
#include "substrate/substrate.h"

#include <dirent.h>
#include <plist/plist.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr const char* kDirectory = "/Library/MobileSubstrate/DynamicLibraries";
// A filter names a few bundles; anything far larger is not one and is not read whole.
constexpr std::size_t kFilterLimit = 1 << 20;

// What a filter can name about the process it is asked about.
struct Process {
    std::string bundleIdentifier;
    std::string executable;
};

struct Filter {
    std::vector<std::string> bundles;
    std::vector<std::string> executables;
    std::vector<std::string> classes;

    bool empty() const { return bundles.empty() && executables.empty() && classes.empty(); }
};

// Why a filter file cannot be used, for the note on standard error.
struct Malformed {
    std::string reason;
};

struct PlistOwner {
    plist_t node = nullptr;
    ~PlistOwner() {
        if (node != nullptr) {
            plist_free(node);
        }
    }
};

std::string mainBundleIdentifier() {
    // Either may be nil: a program outside any bundle, or a bundle without an identifier.
    return NS::Bundle::mainBundle()->bundleIdentifier()->str();
}

std::string executableName() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return "";
    }
    const std::string full(path, static_cast<std::size_t>(n));
    return full.substr(full.rfind('/') + 1);
}

// Reads the string array under `key` of `filter` into `into`; an absent key is an empty list.
std::optional<Malformed> readList(plist_t filter, const char* key, std::vector<std::string>& into) {
    plist_t list = plist_dict_get_item(filter, key);
    if (list == nullptr) {
        return std::nullopt;
    }
    if (plist_get_node_type(list) != PLIST_ARRAY) {
        return Malformed{std::string("Filter.") + key + " is not an array"};
    }
    for (uint32_t i = 0; i < plist_array_get_size(list); ++i) {
        plist_t item = plist_array_get_item(list, i);
        if (plist_get_node_type(item) != PLIST_STRING) {
            return Malformed{std::string("Filter.") + key + " holds something other than a string"};
        }
        char* text = nullptr;
        plist_get_string_val(item, &text);
        into.emplace_back(text != nullptr ? text : "");
        std::free(text);
    }
    return std::nullopt;
}

// The filter of a library: nullopt when it has none (no file, or no Filter entry), else the
// filter or what is wrong with the file.
std::optional<std::variant<Filter, Malformed>> readFilter(const std::string& path) {
    const std::optional<std::string> data = NS::detail::readFile(path.c_str(), kFilterLimit);
    if (!data) {
        return std::nullopt;
    }
    PlistOwner root;
    if (!data->empty()) {
        plist_from_memory(data->data(), static_cast<uint32_t>(data->size()), &root.node);
    }
    if (root.node == nullptr) {
        return Malformed{"not a property list"};
    }
    if (plist_get_node_type(root.node) != PLIST_DICT) {
        return Malformed{"its root is not a dictionary"};
    }
    plist_t filterNode = plist_dict_get_item(root.node, "Filter");
    if (filterNode == nullptr) {
        return std::nullopt;
    }
    if (plist_get_node_type(filterNode) != PLIST_DICT) {
        return Malformed{"Filter is not a dictionary"};
    }
    Filter filter;
    for (auto [key, list] :
         {std::pair{"Bundles", &filter.bundles}, std::pair{"Executables", &filter.executables},
          std::pair{"Classes", &filter.classes}}) {
        if (auto problem = readList(filterNode, key, *list)) {
            return *problem;
        }
    }
    return filter;
}

bool matches(const Filter& filter, const Process& process) {
    const auto has = [](const std::vector<std::string>& list, const std::string& value) {
        return !value.empty() && std::find(list.begin(), list.end(), value) != list.end();
    };
    return has(filter.bundles, process.bundleIdentifier) || has(filter.executables, process.executable) ||
           std::any_of(filter.classes.begin(), filter.classes.end(),
                       [](const std::string& name) { return objc_lookUpClass(name.c_str()) != Nil; });
}

std::vector<std::string> libraryNames(const char* directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory);
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 6 && name.ends_with(".dylib") && name[0] != '.') {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

extern "C" void MSLoadDynamicLibraries(void) {
    NS::AutoreleaseScope pool;
    const Process process{mainBundleIdentifier(), executableName()};
    for (const std::string& name : libraryNames(kDirectory)) {
        const std::string library = std::string(kDirectory) + "/" + name;
        const std::string stem = name.substr(0, name.size() - 6);
        const auto filter = readFilter(std::string(kDirectory) + "/" + stem + ".plist");
        if (!filter) {
            continue;
        }
        if (const auto* problem = std::get_if<Malformed>(&*filter)) {
            std::fprintf(stderr, "MobileSubstrate: not loading %s: %s.plist: %s\n", name.c_str(),
                         stem.c_str(), problem->reason.c_str());
            continue;
        }
        const Filter& f = std::get<Filter>(*filter);
        if (f.empty() || !matches(f, process)) {
            continue;
        }
        // The loader's own open of a FIFO would wait for a writer for ever.
        if (!NS::detail::RegularFile::open(library.c_str())) {
            std::fprintf(stderr, "MobileSubstrate: cannot load %s: not a regular file\n", library.c_str());
            continue;
        }
        if (const auto error = NS::detail::openLibrary(library)) {
            std::fprintf(stderr, "MobileSubstrate: cannot load %s: %s\n", library.c_str(), error->c_str());
        }
    }
}
