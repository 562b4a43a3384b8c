#include "dyld/Dyld.hpp"

#include "dyld/Bindings.hpp"
#include "dyld/Cpu.hpp"

#include <fstream>
#include <map>
#include <memory>
#include <mutex>

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

} // namespace

bool isMachO(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char magic[4] = {};
    if (!in.read(reinterpret_cast<char*>(magic), 4)) {
        return false;
    }
    // 0xfeedface and 0xfeedfacf little-endian, or a fat file's 0xcafebabe.
    const bool thin =
        (magic[0] == 0xce || magic[0] == 0xcf) && magic[1] == 0xfa && magic[2] == 0xed && magic[3] == 0xfe;
    const bool fat = magic[0] == 0xca && magic[1] == 0xfe && magic[2] == 0xba && magic[3] == 0xbe;
    return thin || fat;
}

const MachOImage* load(const std::string& path, std::string& error) {
    std::unique_lock<std::mutex> hold(imagesLock());
    if (auto it = images().find(path); it != images().end()) {
        return it->second.get();
    }
    auto image = MachOImage::load(
        path, [](const Import& import) { return bindingFor(import.symbol); }, error);
    if (!image) {
        return nullptr;
    }
    const MachOImage* loaded = image.get();
    images().emplace(path, std::move(image));
    hold.unlock();
    Cpu::addCode(reinterpret_cast<std::uint64_t>(loaded->mapping()), loaded->size());
    for (std::uint64_t initializer : loaded->initializers()) {
        std::uint64_t ignored = 0;
        Signature::of("v").callGuest(initializer, &ignored, nullptr);
    }
    return loaded;
}

} // namespace dyld

const char* dyld_load_image(const char* path) {
    thread_local std::string error;
    error.clear();
    return dyld::load(path, error) != nullptr ? nullptr : error.c_str();
}
