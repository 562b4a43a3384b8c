// Fuzzes the device's reader of arm64 Mach-O images: any file is loaded or refused with a message
// naming it, and a loaded image keeps its fix-ups, initializers and exports inside its mapping. Nothing
// of the image runs: every import binds to one fixed address and the initializers are only listed.
#include "FuzzScratch.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "dyld/MachOImage.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Where every import points: an address no host mapping uses, so a bind is never followed.
constexpr std::uint64_t kBoundAddress = 0x7ead0000;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::abort();
}

// Names to look up that come from the input itself: the strings starting with an underscore, as the
// exports trie's edges and the binds' symbols are written.
std::vector<std::string> namesIn(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> names;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = bytes.find('_'); at != std::string_view::npos && names.size() < 8;
         at = bytes.find('_', at + 1)) {
        const std::size_t end = bytes.find('\0', at);
        if (end != std::string_view::npos && end - at < 64) {
            names.emplace_back(bytes.substr(at, end - at));
            at = end;
        }
    }
    return names;
}

void checkExport(const dyld::MachOImage& image, std::string_view name) {
    if (const auto address = image.symbol(name); address && !image.contains(*address)) {
        fail("an export's address lies outside the image: " + std::string(name));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Scratch scratch;
    const std::string path = scratch.write("input.dylib", data, size);
    const auto bindAll = [](const dyld::Import&) { return std::optional<std::uint64_t>(kBoundAddress); };
    const auto checkRefusal = [&](const std::string& error) {
        if (!error.starts_with(path + ": ") || error.size() == path.size() + 2) {
            fail("a refused image's message does not name the file and the fault: " + error);
        }
        // The names a message quotes from the file are shortened and keep no control bytes.
        if (error.size() > path.size() + 1024 || std::any_of(error.begin(), error.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20;
            })) {
            fail("a refused image's message is long or holds control bytes");
        }
    };
    std::string error;
    // The signature as each version's kernel reads it: its SuperBlob and CodeDirectories are the input's.
    for (const double system : {CF::release::iOS8_4, CF::release::iOS10_0, CF::release::iOS14_0}) {
        if (dyld::MachOImage::load(path, bindAll, {system, true}, error) == nullptr) {
            checkRefusal(error);
        }
    }
    // The tables' reading by the most lenient of the versions' rules, the signature not checked, which
    // would stop nearly every input.
    const dyld::LoadRules rules{CF::release::iOS12_0, false};
    const auto image = dyld::MachOImage::load(path, bindAll, rules, error);
    if (image == nullptr) {
        checkRefusal(error);
        return 0;
    }
    for (const auto& fixup : image->fixups()) {
        if (!image->contains(image->base() + fixup.address)) {
            fail("a fix-up lies outside the image");
        }
    }
    for (const std::uint64_t initializer : image->initializers()) {
        if (!image->contains(initializer)) {
            fail("an initializer lies outside the image");
        }
    }
    checkExport(*image, "_x");
    checkExport(*image, "_wallpaperMode");
    checkExport(*image, "");
    for (const auto& name : namesIn(data, size)) {
        checkExport(*image, name);
    }
    for (std::size_t i = 0; i < image->fixups().size() && i < 8; ++i) {
        checkExport(*image, image->fixups()[i].symbol);
    }
    return 0;
}
