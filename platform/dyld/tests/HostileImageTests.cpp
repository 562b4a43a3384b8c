// The loader against small images made byte by byte, each with one fault a corrupt or hostile package
// may carry: it refuses them naming the file and the fault, in bounded time and memory, and an image
// it takes keeps its exports inside its mapping.
#include "CoreFoundation/DeviceFacts.hpp"
#include "dyld/MachOImage.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kTextSize = 0x8000;
constexpr std::uint64_t kBound = 0x5150000;
// These images are made unsigned, to try the reading of their tables alone.
const dyld::LoadRules kTablesOnly{CF::release::iOS8_4, false};

std::string uleb(std::uint64_t value) {
    std::string out;
    do {
        std::uint8_t b = value & 0x7f;
        value >>= 7;
        out += static_cast<char>(value != 0 ? (b | 0x80) : b);
    } while (value != 0);
    return out;
}

template <class T> void append(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void appendName(std::string& out, const std::string& name) {
    char fixed[16] = {};
    std::memcpy(fixed, name.data(), std::min<std::size_t>(name.size(), sizeof fixed));
    out.append(fixed, sizeof fixed);
}

// A small arm64 library: __TEXT (read and execute, holding the header and a function at 0x4000),
// __DATA (zero filled) and __LINKEDIT holding the tables a case gives. Segment 1 is __DATA.
struct TinyImage {
    struct Section {
        std::string name;
        std::uint64_t addr, size;
        std::uint32_t flags;
    };
    struct Segment {
        std::string name;
        std::uint64_t vmaddr, vmsize, fileoff, filesize;
        std::uint32_t prot;
        std::vector<Section> sections;
    };
    std::string rebase, bind, lazyBind, weakBind, exports;
    std::uint32_t dyldInfoSize = 48;
    // Applied to the segments, __LINKEDIT already placed, before they are written.
    std::function<void(std::vector<Segment>&)> alter;

    std::string bytes() const {
        const std::string tables = rebase + bind + lazyBind + weakBind + exports;
        std::vector<Segment> segments = {
            {"__TEXT", 0, kTextSize, 0, kTextSize, 5, {{"__text", 0x4000, 0x100, 0x80000400}}},
            {"__DATA", kTextSize, 0x4000, 0, 0, 3, {}},
            {"__LINKEDIT",
             kTextSize + 0x4000,
             (tables.size() + 0x3fff) & ~0x3fffull,
             kTextSize,
             tables.size(),
             1,
             {}},
        };
        if (alter) {
            alter(segments);
        }
        std::string commands;
        for (const auto& s : segments) {
            append(commands, std::uint32_t{0x19});
            append(commands, static_cast<std::uint32_t>(72 + 80 * s.sections.size()));
            appendName(commands, s.name);
            for (std::uint64_t field : {s.vmaddr, s.vmsize, s.fileoff, s.filesize}) {
                append(commands, field);
            }
            for (std::uint32_t field : {s.prot, s.prot, static_cast<std::uint32_t>(s.sections.size()), 0u}) {
                append(commands, field);
            }
            for (const auto& section : s.sections) {
                appendName(commands, section.name);
                appendName(commands, s.name);
                append(commands, section.addr);
                append(commands, section.size);
                for (std::uint32_t field : {0u, 3u, 0u, 0u, section.flags, 0u, 0u, 0u}) {
                    append(commands, field);
                }
            }
        }
        // LC_DYLD_INFO_ONLY. The tables lie in __LINKEDIT in the order rebase, bind, lazy bind, weak bind,
        // exports; the command lists them as rebase, bind, weak bind, lazy bind, exports.
        std::string info;
        append(info, std::uint32_t{0x80000022});
        append(info, dyldInfoSize);
        const std::string* order[5] = {&rebase, &bind, &lazyBind, &weakBind, &exports};
        std::uint32_t offsets[5];
        auto at = static_cast<std::uint32_t>(kTextSize);
        for (int i = 0; i < 5; ++i) {
            offsets[i] = at;
            at += static_cast<std::uint32_t>(order[i]->size());
        }
        for (int i : {0, 1, 3, 2, 4}) {
            append(info, order[i]->empty() ? 0u : offsets[i]);
            append(info, static_cast<std::uint32_t>(order[i]->size()));
        }
        commands += info;
        const std::string library = "/usr/lib/libSystem.B.dylib";
        append(commands, std::uint32_t{0xc});
        append(commands, static_cast<std::uint32_t>((24 + library.size() + 1 + 7) & ~7ull));
        for (std::uint32_t field : {24u, 2u, 0x10000u, 0x10000u}) {
            append(commands, field);
        }
        commands += library;
        commands.resize((commands.size() + 7) & ~7ull, '\0');

        std::string out;
        const std::uint32_t ncmds = static_cast<std::uint32_t>(segments.size()) + 2;
        for (std::uint32_t field : {0xfeedfacfu, 0x0100000cu, 0u, 6u, ncmds,
                                    static_cast<std::uint32_t>(commands.size()), 0x100000u, 0u}) {
            append(out, field);
        }
        out += commands;
        out.resize(kTextSize, '\0');
        return out + tables;
    }
};

std::string fileOf(const std::string& name, const TinyImage& image) {
    const std::string path = "/tmp/" + name;
    std::ofstream(path, std::ios::binary) << image.bytes();
    return path;
}

std::optional<std::uint64_t> bindAll(const dyld::Import&) { return kBound; }

// Rebase table: pointer type, then the segment and offset given.
std::string rebaseAt(unsigned segment, std::uint64_t offset) {
    return std::string("\x11", 1) + static_cast<char>(0x20 | segment) + uleb(offset);
}

// Bind table: library 1, the symbol, pointer type, then the segment and offset given.
std::string bindAt(const std::string& symbol, unsigned segment, std::uint64_t offset) {
    return std::string("\x11\x40", 2) + symbol + std::string("\0\x51", 2) +
           static_cast<char>(0x70 | segment) + uleb(offset);
}

// An exports trie naming one symbol with the flags and address given.
std::string exportOf(const std::string& name, std::uint64_t flags, std::uint64_t address) {
    const std::string info = uleb(flags) + uleb(address);
    std::string root = std::string("\0\x01", 2) + name + std::string("\0", 1);
    const std::size_t child = root.size() + 1;
    root += uleb(child);
    return root + uleb(info.size()) + info + std::string("\0", 1);
}

// Loads the image expecting a refusal, and gives the message.
std::string refusalOf(const std::string& name, const TinyImage& image) {
    const std::string path = fileOf(name, image);
    std::string error;
    EXPECT_EQ(dyld::MachOImage::load(path, bindAll, kTablesOnly, error), nullptr) << name;
    EXPECT_TRUE(error.starts_with(path + ": ")) << error;
    return error.substr(std::min(error.size(), path.size() + 2));
}

TEST(HostileImage, TheSmallImageLoadsRebasedBoundAndExporting) {
    TinyImage tiny;
    tiny.rebase = rebaseAt(1, 8) + std::string("\x51\x00", 2);
    tiny.bind = bindAt("_getpid", 1, 16) + std::string("\x90\x00", 2);
    tiny.exports = exportOf("_x", 0, 0x4000);
    std::string error;
    auto image = dyld::MachOImage::load(fileOf("tiny.dylib", tiny), bindAll, kTablesOnly, error);
    ASSERT_NE(image, nullptr) << error;
    const auto* data = reinterpret_cast<const std::uint64_t*>(image->base() + kTextSize);
    EXPECT_EQ(data[1], image->base());
    EXPECT_EQ(data[2], kBound);
    EXPECT_EQ(image->symbol("_x"), image->base() + 0x4000);
    EXPECT_EQ(image->fixups().size(), 2u);
}

TEST(HostileImage, RefusesFixupTablesThatNeverEndOrOutgrowAnyLibrary) {
    const std::string tooMany = "has more fix-ups than any library the loader takes";
    // A skip of -8 keeps a rebase on the same slot for 2^63 turns.
    TinyImage sameSlot;
    sameSlot.rebase = rebaseAt(1, 0) + "\x80" + uleb(1ull << 63) + uleb(~7ull);
    EXPECT_EQ(refusalOf("same-slot.dylib", sameSlot), tooMany);

    // Every slot of almost 16 MB of zero-filled data, as much as a small library may have.
    TinyImage hugeData;
    hugeData.alter = [](std::vector<TinyImage::Segment>& s) {
        s[1].vmsize = (16ull << 20) - 0x10000;
        s[2].vmaddr = kTextSize + s[1].vmsize;
    };
    hugeData.rebase = rebaseAt(1, 0) + "\x60" + uleb(((16ull << 20) - 0x10000) / 8);
    EXPECT_EQ(refusalOf("huge-data.dylib", hugeData), tooMany);

    // A name of 100 KB bound again and again to one slot; and the same as weak binds.
    const std::string longName = "_" + std::string(100000, 'a');
    TinyImage longBinds;
    longBinds.bind = bindAt(longName, 1, 0) + "\xc0" + uleb(1000000) + uleb(~7ull);
    EXPECT_EQ(refusalOf("long-binds.dylib", longBinds), tooMany);
    TinyImage weakBinds;
    // A weak binding names no library.
    weakBinds.weakBind = bindAt(longName, 1, 0).substr(1) + "\xc0" + uleb(1000000) + uleb(~7ull);
    EXPECT_EQ(refusalOf("weak-binds.dylib", weakBinds), tooMany);
    // Weak binds of a symbol the image defines itself change nothing, and still count.
    TinyImage strongWeakBinds;
    strongWeakBinds.weakBind = std::string("\x48_f\0\x51\x71\x00\xc0", 8) + uleb(1ull << 63) + uleb(~7ull);
    EXPECT_EQ(refusalOf("strong-weak-binds.dylib", strongWeakBinds), tooMany);
}

TEST(HostileImage, RefusesMoreZeroFilledMemoryThanItsSizeAllows) {
    const auto withData = [](std::uint64_t size) {
        TinyImage image;
        image.alter = [size](std::vector<TinyImage::Segment>& s) {
            s[1].vmsize = size;
            s[2].vmaddr = kTextSize + size;
        };
        return image;
    };
    // 16 MB, and four bytes more for each of the file's.
    const std::uint64_t allowed = (16ull << 20) + 4 * kTextSize;
    EXPECT_EQ(refusalOf("zero-fill.dylib", withData((1ull << 30) - 0x10000)),
              "asks for 1073676288 bytes of zero-filled memory, more than a library of its size may");
    EXPECT_EQ(refusalOf("zero-fill-over.dylib", withData(allowed + 0x4000)),
              "asks for " + std::to_string(allowed + 0x4000) +
                  " bytes of zero-filled memory, more than a library of its size may");
    std::string error;
    EXPECT_NE(dyld::MachOImage::load(fileOf("zero-fill-fits.dylib", withData(allowed)), bindAll, kTablesOnly,
                                     error),
              nullptr)
        << error;
}

// The bytes of the process's memory in use, as the kernel counts them.
std::uint64_t residentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stoull(line.substr(6)) * 1024;
        }
    }
    return 0;
}

TEST(HostileImage, ZeroFilledMemoryStaysUnusedWhenRead) {
    // The leak checker reads all of an image's memory for pointers; its zero-filled data, and the gaps
    // between segments, must not take memory for being read.
    TinyImage image;
    image.alter = [](std::vector<TinyImage::Segment>& s) {
        s[1].vmsize = 12ull << 20;
        s[2].vmaddr = kTextSize + s[1].vmsize + (4ull << 20);
    };
    image.exports = exportOf("_x", 0, 0x4000);
    std::string error;
    auto loaded = dyld::MachOImage::load(fileOf("zero-filled.dylib", image), bindAll, kTablesOnly, error);
    ASSERT_NE(loaded, nullptr) << error;
    const std::uint64_t before = residentBytes();
    const auto* words = static_cast<const volatile std::uint64_t*>(loaded->mapping());
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < loaded->size() / 8; ++i) {
        sum += words[i];
    }
    EXPECT_NE(sum, 0u); // the header is there
    EXPECT_LT(residentBytes() - before, 2ull << 20);
}

TEST(HostileImage, NamesAnUnboundImportShortAndWithoutControlBytes) {
    TinyImage image;
    image.bind = bindAt("_\x1b[2J" + std::string(1000, 'a'), 1, 0) + "\x90";
    const std::string path = fileOf("hostile-name.dylib", image);
    std::string error;
    EXPECT_EQ(
        dyld::MachOImage::load(
            path, [](const dyld::Import&) { return std::optional<std::uint64_t>(); }, kTablesOnly, error),
        nullptr);
    EXPECT_EQ(error, path + ": imports _?[2J" + std::string(251, 'a') +
                         "... from /usr/lib/libSystem.B.dylib, which nothing here provides");
}

TEST(HostileImage, RefusesNumbersTooLongForSixtyFourBits) {
    // Ten bytes whose last holds more than the 64th bit: an offset of 2^65, which is not 0.
    TinyImage image;
    image.rebase = std::string("\x11\x21", 2) + std::string(9, '\x80') + "\x04" + std::string("\x51\x00", 2);
    EXPECT_EQ(refusalOf("long-number.dylib", image), "a number in a fix-up or export table is too long");
}

TEST(HostileImage, RefusesSegmentsAndCommandsThatDoNotFit) {
    struct Case {
        std::string name;
        std::function<void(TinyImage&)> change;
        std::string says;
    };
    using Segments = std::vector<TinyImage::Segment>;
    const std::vector<Case> cases = {
        {"huge-segment.dylib", [](TinyImage& t) { t.alter = [](Segments& s) { s[1].vmsize = 1ull << 40; }; },
         "has a segment outside the file or too large"},
        {"far-segment.dylib", [](TinyImage& t) { t.alter = [](Segments& s) { s[1].vmaddr = ~0x3fffull; }; },
         "has a segment outside the file or too large"},
        {"file-over-vm.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) {
                 s[1].fileoff = 0;
                 s[1].filesize = 0x8000;
             };
         },
         "has a segment outside the file or too large"},
        {"past-file.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) {
                 s[1].fileoff = 0x100000;
                 s[1].filesize = 0x10;
             };
         },
         "has a segment outside the file or too large"},
        {"overlap.dylib", [](TinyImage& t) { t.alter = [](Segments& s) { s[1].vmaddr = 0x4000; }; },
         "has segments that overlap"},
        {"unaligned.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) { s[1].vmaddr = kTextSize + 4; };
             t.rebase = rebaseAt(1, 0) + std::string("\x51\x00", 2);
         },
         "has a segment that does not start on a page boundary"},
        {"many-sections.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) { s[1].sections.assign(256, {"__s", kTextSize, 8, 0}); };
         },
         "has more sections than a Mach-O file can number"},
        {"many-segments.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) { s.insert(s.end(), 62, {"__EMPTY", 0, 0, 0, 0, 0, {}}); };
         },
         "has more segments than any library the loader takes"},
        {"section-outside.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) { s[1].sections = {{"__data", kTextSize + 0x3ff8, 16, 0}}; };
         },
         "has a section outside its segment"},
        {"headless.dylib",
         [](TinyImage& t) {
             t.alter = [](Segments& s) {
                 s[0].fileoff = 0x1000;
                 s[0].filesize = kTextSize - 0x1000;
             };
         },
         "has no segment that maps its Mach-O header"},
        {"short-info.dylib", [](TinyImage& t) { t.dyldInfoSize = 16; }, "has a malformed load command"},
        {"fixup-outside.dylib", [](TinyImage& t) { t.rebase = rebaseAt(1, 0x4000) + "\x51"; },
         "has a fix-up outside its segment __DATA"},
        {"negative-library.dylib",
         [](TinyImage& t) { t.bind = std::string("\x3b\x40_f\0\x51\x71\x00\x90", 9); },
         "binds from library number -5, which it does not load"},
    };
    for (const auto& c : cases) {
        TinyImage image;
        c.change(image);
        EXPECT_EQ(refusalOf(c.name, image), c.says) << c.name;
    }
}

TEST(HostileImage, ExportsLeadOnlyIntoTheImage) {
    const auto lookUp = [](const std::string& name, const std::string& trie, const std::string& symbol) {
        TinyImage tiny;
        tiny.exports = trie;
        std::string error;
        auto image = dyld::MachOImage::load(fileOf(name, tiny), bindAll, kTablesOnly, error);
        EXPECT_NE(image, nullptr) << error;
        return image ? image->symbol(symbol) : std::nullopt;
    };
    EXPECT_FALSE(lookUp("far-export.dylib", exportOf("_x", 0, 0x7fff0000), "_x"));
    EXPECT_FALSE(lookUp("wrapping-export.dylib", exportOf("_x", 0, ~0ull - 0x100), "_x"));
    // An absolute symbol's value is no address in the image; this loader takes regular ones only.
    EXPECT_FALSE(lookUp("absolute-export.dylib", exportOf("_x", 2, 0x4000), "_x"));
    // A node whose information claims more than the trie holds.
    EXPECT_FALSE(lookUp("long-terminal.dylib", uleb(~0ull) + std::string("\0", 1), ""));
    // An edge back to its own node: each step takes a character, so the walk ends.
    const std::string loop = std::string("\0\x01_\0\0", 5);
    EXPECT_FALSE(lookUp("loop-trie.dylib", loop, std::string(5000, '_')));
    // An edge to a node past the trie's end.
    EXPECT_FALSE(lookUp("past-trie.dylib", std::string("\0\x01_x\0", 5) + uleb(1000), "_x"));
    EXPECT_EQ(lookUp("near-export.dylib", exportOf("_x", 0, 0x4000), "_x").has_value(), true);
}

// What dyld reads in the tables where a lenient reading differs.
TEST(HostileImage, ReadsTheTablesAsDyldDoes) {
    // A segment of no size has no number: segment 1 is still __DATA.
    TinyImage empty;
    empty.alter = [](std::vector<TinyImage::Segment>& s) {
        s.insert(s.begin() + 1, {"__EMPTY", kTextSize, 0, 0, 0, 3, {}});
    };
    empty.rebase = rebaseAt(1, 8) + std::string("\x51\x00", 2);
    empty.bind = bindAt("_getpid", 1, 16) + std::string("\x90\x00", 2);
    std::string error;
    auto image = dyld::MachOImage::load(fileOf("empty-segment.dylib", empty), bindAll, kTablesOnly, error);
    ASSERT_NE(image, nullptr) << error;
    const auto* data = reinterpret_cast<const std::uint64_t*>(image->base() + kTextSize);
    EXPECT_EQ(data[1], image->base());
    EXPECT_EQ(data[2], kBound);
    EXPECT_EQ(image->fixups().at(0).segment, "__DATA");

    // An export is an offset from the Mach-O header, wherever the image's addresses start.
    TinyImage high;
    high.alter = [](std::vector<TinyImage::Segment>& s) {
        for (auto& segment : s) {
            segment.vmaddr += 0x100000;
            for (auto& section : segment.sections) {
                section.addr += 0x100000;
            }
        }
    };
    high.exports = exportOf("_x", 0, 0x4000);
    image = dyld::MachOImage::load(fileOf("high-image.dylib", high), bindAll, kTablesOnly, error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_EQ(image->header(), reinterpret_cast<std::uint64_t>(image->mapping()));
    EXPECT_EQ(image->symbol("_x"), image->header() + 0x4000);

    // A child at offset 0 is "not found", not the root again (whose symbol "" would answer for "_x").
    TinyImage rootChild;
    const std::string info = uleb(0) + uleb(0x4000);
    rootChild.exports = uleb(info.size()) + info + std::string("\x01_x\0\0", 5);
    image = dyld::MachOImage::load(fileOf("root-child.dylib", rootChild), bindAll, kTablesOnly, error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_EQ(image->symbol(""), image->header() + 0x4000);
    EXPECT_EQ(image->symbol("_x"), std::nullopt);
}

TEST(HostileImage, AWeakBindingTakesTheFirstDefinitionOfAnyImage) {
    TinyImage image;
    image.weakBind = std::string("\x40_f\0\x51\x71\x08\x90\x00", 9);
    std::vector<dyld::Import> asked;
    std::string error;
    const auto loaded = dyld::MachOImage::load(
        fileOf("weak-binding.dylib", image),
        [&](const dyld::Import& import) {
            asked.push_back(import);
            return std::optional<std::uint64_t>(kBound);
        },
        kTablesOnly, error);
    ASSERT_NE(loaded, nullptr) << error;
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].symbol, "_f");
    EXPECT_EQ(asked[0].library, "");
    EXPECT_TRUE(asked[0].anyImage);
    EXPECT_EQ(reinterpret_cast<const std::uint64_t*>(loaded->base() + kTextSize)[1], kBound);
}

TEST(HostileImage, RefusesOpcodesATableMayNotHoldNamingTheTable) {
    TinyImage weakOrdinal;
    weakOrdinal.weakBind = std::string("\x11\x40_f\0\x51\x71\x00\x90", 10);
    EXPECT_EQ(refusalOf("weak-ordinal.dylib", weakOrdinal),
              "has bad weak bind opcode 0x11 (BIND_OPCODE_SET_DYLIB_ORDINAL_IMM) in its weak bind table");
    TinyImage lazyAddend;
    lazyAddend.lazyBind = std::string("\x11\x40_f\0\x60\x08\x71\x00\x90\x00", 12);
    EXPECT_EQ(refusalOf("lazy-addend.dylib", lazyAddend),
              "has bad lazy bind opcode 0x60 (BIND_OPCODE_SET_ADDEND_SLEB) in its lazy bind table");
    TinyImage lazyWeakLookup;
    lazyWeakLookup.lazyBind = std::string("\x3d\x40_f\0\x71\x00\x90\x00", 9);
    EXPECT_EQ(refusalOf("lazy-weak-lookup.dylib", lazyWeakLookup),
              "binds through ordinal -3 (BIND_SPECIAL_DYLIB_WEAK_LOOKUP) in its lazy bind table, which dyld "
              "takes only from iOS 12");
    TinyImage untyped;
    untyped.rebase = std::string("\x21\x08\x51\x00", 4);
    EXPECT_EQ(
        refusalOf("untyped.dylib", untyped),
        "has bad rebase type 0 in its rebase table (opcode 0x51 before any REBASE_OPCODE_SET_TYPE_IMM)");
}

} // namespace
