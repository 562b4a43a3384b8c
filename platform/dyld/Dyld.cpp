#include "dyld/Dyld.hpp"
#include "dyld/PerThread.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/RegularFile.hpp"
#include "dyld/Bindings.hpp"
#include "dyld/Cpu.hpp"
#include "dyld/MachO.hpp"

#include <dlfcn.h>

#include <cstring>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The leak checker's, when the process has one: an image's data holds the only pointers to objects it
// keeps for good, as a library's globals do, and the checker reads only what it knows is memory.
extern "C" __attribute__((weak)) void __lsan_register_root_region(const void* begin, std::size_t size);

namespace dyld {

namespace {

std::mutex& imagesLock() {
    static auto* const lock = new std::mutex();
    return *lock;
}

// Loaded images by path, for the life of the process: engines map their memory, and guest code and
// host tables hold addresses into them.
std::map<std::string, std::unique_ptr<MachOImage>>& images() {
    static auto* const table = new std::map<std::string, std::unique_ptr<MachOImage>>();
    return *table;
}

// The same, in the order they were loaded: the order in which a weak lookup searches them.
std::vector<const MachOImage*>& loadOrder() {
    static auto* const order = new std::vector<const MachOImage*>();
    return *order;
}

// resolveImport, called with the images' lock held.
std::optional<std::uint64_t> resolve(const Import& import) {
    if (auto host = bindingFor(import.symbol)) {
        return host;
    }
    if (import.anyImage) {
        for (const MachOImage* image : loadOrder()) {
            if (auto address = image->symbol(import.symbol)) {
                return address;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> resolveImport(const Import& import) {
    std::lock_guard<std::mutex> hold(imagesLock());
    return resolve(import);
}

const MachOImage* loadedImage(const std::string& path) {
    std::lock_guard<std::mutex> hold(imagesLock());
    auto it = images().find(path);
    return it == images().end() ? nullptr : it->second.get();
}

bool isMachO(const std::string& path) {
    auto in = NS::detail::RegularFile::open(path.c_str());
    unsigned char magic[4] = {};
    if (!in || !in->readFully(magic, sizeof magic)) {
        return false;
    }
    std::uint32_t little = 0;
    std::memcpy(&little, magic, sizeof little);
    // A thin image's magic is little-endian; a fat file's header is big-endian.
    const bool thin = little == macho::MH_MAGIC || little == macho::MH_MAGIC_64;
    const bool fat = __builtin_bswap32(little) == macho::FAT_MAGIC;
    return thin || fat;
}

const MachOImage* load(const std::string& path, std::string& error) {
    std::unique_lock<std::mutex> hold(imagesLock());
    if (auto it = images().find(path); it != images().end()) {
        return it->second.get();
    }
    // The rules of the device's own system, its kernel's check of the signature first.
    const LoadRules rules{CF::deviceFacts().coreFoundationVersion, true};
    auto image = MachOImage::load(path, resolve, rules, error);
    if (!image) {
        return nullptr;
    }
    // The frameworks it names are the device's stand-ins, loaded as a device loads them: their classes
    // must exist before its code runs. The C, C++ and runtime libraries are the host's own.
    for (const Dependency& dependency : image->dependencies()) {
        if (dependency.installName.starts_with("/usr/lib/")) {
            continue;
        }
        if (dlopen(dependency.installName.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr && !dependency.weak) {
            error = path + ": needs " + dependency.installName + ", which cannot be loaded here";
            return nullptr;
        }
    }
    const MachOImage* loaded = image.get();
    images().emplace(path, std::move(image));
    loadOrder().push_back(loaded);
    hold.unlock();
    Cpu::addCode(reinterpret_cast<std::uint64_t>(loaded->mapping()), loaded->size());
    if (__lsan_register_root_region != nullptr) {
        __lsan_register_root_region(loaded->mapping(), loaded->size());
    }
    for (std::uint64_t initializer : loaded->initializers()) {
        std::uint64_t ignored = 0;
        Signature::of("v").callGuest(initializer, &ignored, nullptr);
    }
    return loaded;
}

} // namespace dyld

const char* dyld_open(const char* path) {
    struct Error {};
    std::string& error = dyld::perThread<std::string, Error>();
    error.clear();
    if (dyld::isMachO(path)) {
        return dyld::load(path, error) != nullptr ? nullptr : error.c_str();
    }
    if (dlopen(path, RTLD_NOW | RTLD_GLOBAL) == nullptr) {
        error = dlerror();
        return error.c_str();
    }
    return nullptr;
}
