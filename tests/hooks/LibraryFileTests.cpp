#include "../support/DeviceLibrary.hpp"

#include <elf.h>
#include <plist/plist.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kLibrary = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";
constexpr const char* kFilter = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.plist";

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Symbol {
    unsigned type;
    std::uint64_t size;
};

// The symbols a shared library defines for others, from its dynamic symbol table.
std::map<std::string, Symbol> exportedSymbols(const std::string& image) {
    std::map<std::string, Symbol> result;
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) {
        ADD_FAILURE() << "not an ELF file";
        return result;
    }
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
    for (unsigned i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) {
            continue;
        }
        const char* names = image.data() + sections[sections[i].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
        const std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (std::size_t s = 1; s < count; ++s) {
            if (symbols[s].st_shndx == SHN_UNDEF || ELF64_ST_BIND(symbols[s].st_info) == STB_LOCAL) {
                continue;
            }
            result[names + symbols[s].st_name] = {ELF64_ST_TYPE(symbols[s].st_info), symbols[s].st_size};
        }
    }
    return result;
}

// Names that the sanitizers' instrumentation adds to every library built with them.
bool sanitizerGenerated(const std::string& name) {
    for (const char* prefix : {"__asan", "___asan", "__odr_asan", "__ubsan", "__sanitizer", "__lsan"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(LibraryFile, ExportsOnlyThePointerSizedWallpaperMode) {
    ASSERT_EQ(testing_support::openLibrary(kLibrary), "");
    const auto* mode =
        static_cast<const std::intptr_t*>(testing_support::exportedSymbol(kLibrary, "wallpaperMode"));
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(*mode, 0);
    if (testing_support::isPhoneBuild(kLibrary)) {
        return; // the phone build's table of exports is checked where it is built (tests/phone)
    }
    const auto symbols = exportedSymbols(readFile(kLibrary));
    std::vector<std::string> ours;
    for (const auto& [name, symbol] : symbols) {
        if (!sanitizerGenerated(name)) {
            ours.push_back(name);
        }
    }
    EXPECT_EQ(ours, std::vector<std::string>{"wallpaperMode"});
    ASSERT_EQ(symbols.count("wallpaperMode"), 1u);
    EXPECT_EQ(symbols.at("wallpaperMode").type, static_cast<unsigned>(STT_OBJECT));
    EXPECT_EQ(symbols.at("wallpaperMode").size, sizeof(void*));
}

// The filter names the browser and nothing else: no other bundle, no executables, no classes.
TEST(LibraryFile, FilterTakesInTheBrowserOnly) {
    const std::string bytes = readFile(kFilter);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    ASSERT_NE(root, nullptr) << "unreadable filter";
    ASSERT_EQ(plist_get_node_type(root), PLIST_DICT);
    EXPECT_EQ(plist_dict_get_size(root), 1u);
    plist_t filter = plist_dict_get_item(root, "Filter");
    ASSERT_NE(filter, nullptr);
    ASSERT_EQ(plist_get_node_type(filter), PLIST_DICT);
    EXPECT_EQ(plist_dict_get_size(filter), 1u);
    plist_t bundles = plist_dict_get_item(filter, "Bundles");
    ASSERT_NE(bundles, nullptr);
    ASSERT_EQ(plist_get_node_type(bundles), PLIST_ARRAY);
    ASSERT_EQ(plist_array_get_size(bundles), 1u);
    char* bundle = nullptr;
    plist_get_string_val(plist_array_get_item(bundles, 0), &bundle);
    ASSERT_NE(bundle, nullptr);
    EXPECT_STREQ(bundle, "com.apple.mobilesafari");
    std::free(bundle);
    plist_free(root);
}

} // namespace
