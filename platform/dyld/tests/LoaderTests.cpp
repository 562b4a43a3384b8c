// The loader against images built with the phone's tool chain: what it maps, rebases and binds (checked
// against llvm-objdump's reading of the same file), the order of initializers, and the files it refuses.
#include "CodeSignature.hpp"
#include "CoreFoundation/DeviceFacts.hpp"
#include "dyld/Dyld.hpp"
#include "dyld/MachOImage.hpp"
#include "support/Files.hpp"
#include "support/Subprocess.hpp"

#include <link.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

const std::string kProbe = "/Developer/Library/Probe.dylib";
const std::string kUnbound = "/Developer/Library/Unbound.dylib";

std::optional<std::uint64_t> bindAnything(const dyld::Import& import) {
    // Distinct, recognisable values, so that a bind written to the wrong place shows.
    return 0x1000000 + std::hash<std::string>()(import.symbol) % 0x100000 * 8;
}

// The rules of an 8.4 device; and the same without the signature check, for the reading of tables
// changed in place.
const dyld::LoadRules kIos8{CF::release::iOS8_4, true};
const dyld::LoadRules kTablesOnly{CF::release::iOS8_4, false};

std::unique_ptr<dyld::MachOImage> loadWith(const std::string& path, std::string& error,
                                           const dyld::LoadRules& rules = kIos8) {
    return dyld::MachOImage::load(path, bindAnything, rules, error);
}

// The loader's fix-ups and llvm-objdump's, each as "kind segment section address library symbol".
std::set<std::string> loaderFixups(const dyld::MachOImage& image) {
    std::set<std::string> out;
    const char* kinds[] = {"rebase", "bind", "lazy-bind", "weak-bind"};
    for (const auto& f : image.fixups()) {
        std::ostringstream line;
        line << kinds[static_cast<int>(f.kind)] << ' ' << f.segment << ' ' << f.section << " 0x" << std::hex
             << f.address << ' ' << f.library << ' ' << f.symbol;
        out.insert(line.str());
    }
    return out;
}

std::set<std::string> objdumpFixups(const std::string& path) {
    const auto outcome = testing_support::runProcess(
        {GLINTMERE_LLVM_OBJDUMP, "--macho", "--rebase", "--bind", "--lazy-bind", "--weak-bind", path});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::set<std::string> out;
    std::istringstream in(outcome.out);
    std::string line, kind;
    while (std::getline(in, line)) {
        if (line.starts_with("Rebase table")) {
            kind = "rebase";
        } else if (line.starts_with("Bind table")) {
            kind = "bind";
        } else if (line.starts_with("Lazy bind table")) {
            kind = "lazy-bind";
        } else if (line.starts_with("Weak bind table")) {
            kind = "weak-bind";
        } else if (line.starts_with("__")) {
            std::istringstream fields(line);
            std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
            std::ostringstream entry;
            entry << kind << ' ' << f[0] << ' ' << f[1] << " 0x" << std::hex
                  << std::stoull(f[2], nullptr, 16);
            if (kind == "rebase") {
                entry << "  ";
            } else if (kind == "bind") {
                entry << ' ' << f[5] << ' ' << f[6];
            } else if (kind == "lazy-bind") {
                entry << ' ' << f[3] << ' ' << f[4];
            } else {
                entry << "  " << f[5];
            }
            out.insert(entry.str());
        }
    }
    return out;
}

// A copy of the probe with `change` applied to its bytes, in a scratch file.
std::string alteredProbe(const std::string& name, const std::function<void(std::string&)>& change) {
    std::string bytes = testing_support::readAll(kProbe);
    change(bytes);
    const std::string path = "/tmp/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The offset of the first load command `cmd` in the probe's bytes.
std::size_t commandOffset(const std::string& bytes, std::uint32_t cmd) {
    std::uint32_t ncmds = 0;
    std::memcpy(&ncmds, bytes.data() + 16, 4);
    std::size_t at = 32;
    for (std::uint32_t i = 0; i < ncmds; ++i) {
        std::uint32_t c = 0, size = 0;
        std::memcpy(&c, bytes.data() + at, 4);
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (c == cmd) {
            return at;
        }
        at += size;
    }
    ADD_FAILURE() << "no load command " << cmd;
    return 0;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

// The bytes signed again, as the phone's build signs them.
std::string signedAgain(const std::string& bytes) {
    const auto image = codesign::sign(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "Probe.dylib");
    return std::string(image.begin(), image.end());
}

TEST(MachOImage, AppliesEveryRebaseAndBindThatObjdumpLists) {
    std::string error;
    auto image = loadWith(kProbe, error);
    ASSERT_NE(image, nullptr) << error;
    const auto ours = loaderFixups(*image);
    EXPECT_EQ(ours, objdumpFixups(kProbe));
    EXPECT_GE(ours.size(), 8u);
}

TEST(MachOImage, RebasedPointersPointIntoTheMappedImage) {
    std::string error;
    auto image = loadWith(kProbe, error);
    ASSERT_NE(image, nullptr) << error;
    auto names = image->symbol("_probeNames");
    ASSERT_TRUE(names);
    const auto* strings = reinterpret_cast<const char* const*>(*names);
    EXPECT_STREQ(strings[0], "alpha");
    EXPECT_STREQ(strings[2], "gamma");
    EXPECT_TRUE(image->contains(reinterpret_cast<std::uint64_t>(strings[1])));
}

TEST(MachOImage, BoundPointersHoldWhatTheResolverGave) {
    std::string error;
    auto image = loadWith(kProbe, error);
    ASSERT_NE(image, nullptr) << error;
    const auto* bound = reinterpret_cast<const std::uint64_t*>(*image->symbol("_probeBound"));
    EXPECT_EQ(bound[0], *bindAnything({"", "__NSConcreteGlobalBlock", false}));
    EXPECT_EQ(bound[1], *bindAnything({"", "__dispatch_main_q", false}));
}

TEST(MachOImage, FindsExportsAndNotOtherNames) {
    std::string error;
    auto image = loadWith(kProbe, error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_TRUE(image->symbol("_probeNarrow"));
    EXPECT_TRUE(image->symbol("_probeSendNested"));
    EXPECT_FALSE(image->symbol("_probe"));
    EXPECT_FALSE(image->symbol("_probeNarrowest"));
    EXPECT_FALSE(image->symbol(""));
    // Initializers are file-local: not exported.
    EXPECT_FALSE(image->symbol("__ZL5firstv"));
    EXPECT_EQ(image->initializers().size(), 3u);
}

TEST(MachOImage, RefusesWhatItCannotLoadSayingWhy) {
    struct Case {
        std::string name;
        std::function<void(std::string&)> change;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"x86.dylib", [](std::string& b) { put32(b, 4, 0x01000007); }, "is not for arm64"},
        {"executable.dylib", [](std::string& b) { put32(b, 12, 2); },
         "neither a dynamic library nor a bundle"},
        {"encrypted.dylib", [](std::string& b) { put32(b, commandOffset(b, 0x2c) + 16, 1); }, "is encrypted"},
        {"unknown.dylib", [](std::string& b) { put32(b, commandOffset(b, 0x1b), 0x80000077); },
         "load command this loader does not know (0x80000077)"},
        {"chained.dylib", [](std::string& b) { put32(b, commandOffset(b, 0x1b), 0x80000034); },
         "does not know"},
        {"cut.dylib", [](std::string& b) { b.resize(2000); }, "outside the file"},
        {"empty.dylib", [](std::string& b) { b.clear(); }, "is cut short"},
        // Load commands whose count or sizes lie: the reader goes no further than their room.
        {"many-commands.dylib", [](std::string& b) { put32(b, 16, 0xffffffff); },
         "has a malformed load command"},
        {"zero-size-command.dylib", [](std::string& b) { put32(b, 36, 0); }, "has a malformed load command"},
        {"wrapping-command.dylib", [](std::string& b) { put32(b, 36, 0xfffffff8); },
         "has a malformed load command"},
        {"commands-past-file.dylib", [](std::string& b) { put32(b, 20, 0x7ffffff0); },
         "has load commands past the end of the file"},
        {"commands-cut.dylib",
         [](std::string& b) {
             std::uint32_t first = 0;
             std::memcpy(&first, b.data() + 36, 4);
             // The file ends with its first command, which says nothing the loader must read.
             put32(b, 32, 0x77);
             put32(b, 20, first);
             b.resize(32 + first);
         },
         "is cut short"},
        {"fifo.dylib", [](std::string&) {}, "not a regular file"},
        {"text.dylib", [](std::string& b) { b = "#!/bin/sh\necho this is a shell script, not a library\n"; },
         "not a 64-bit Mach-O"},
    };
    for (const auto& c : cases) {
        std::string error;
        std::string path = alteredProbe(c.name, c.change);
        if (c.name == "fifo.dylib") {
            std::filesystem::remove(path);
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        EXPECT_EQ(loadWith(path, error), nullptr) << c.name;
        EXPECT_NE(error.find(path + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    }
    // A load command a loader may ignore (the bit that requires understanding clear) is ignored.
    std::string error;
    EXPECT_NE(loadWith(alteredProbe("ignorable.dylib",
                                    [](std::string& b) {
                                        put32(b, commandOffset(b, 0x1b), 0x77);
                                        b = signedAgain(b);
                                    }),
                       error),
              nullptr)
        << error;
}

TEST(MachOImage, RefusesAnImportWithoutBindingNamingFileAndSymbol) {
    std::string error;
    auto image = dyld::MachOImage::load(
        kUnbound,
        [](const dyld::Import& i) { return i.symbol == "_getpid" ? std::nullopt : bindAnything(i); }, kIos8,
        error);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(error,
              kUnbound + ": imports _getpid from /usr/lib/libSystem.B.dylib, which nothing here provides");
}

TEST(MachOImage, SurvivesEveryTruncationOfItsTables) {
    // Cut anywhere in __LINKEDIT, the file is refused or loaded, never read past its end.
    const std::string bytes = testing_support::readAll(kProbe);
    for (std::size_t size = bytes.size(); size > bytes.size() - 2048; size -= 61) {
        const std::string path = alteredProbe("cut-linkedit.dylib", [&](std::string& b) { b.resize(size); });
        // The signature, which ends the file, is cut first; and the tables, read without it.
        for (const auto& rules : {kIos8, kTablesOnly}) {
            std::string error;
            auto image = loadWith(path, error, rules);
            EXPECT_TRUE(image != nullptr || !error.empty());
            EXPECT_TRUE(image == nullptr || !rules.signatureChecked || size == bytes.size()) << size;
        }
    }
}

TEST(Dyld, LoadsTheImageAndRunsItsInitializersInOrder) {
    std::string error;
    const dyld::MachOImage* image = dyld::load(kProbe, error);
    ASSERT_NE(image, nullptr) << error;
    const auto* order = reinterpret_cast<const int*>(*image->symbol("_probeOrder"));
    EXPECT_EQ(*reinterpret_cast<const int*>(*image->symbol("_probeOrderCount")), 3);
    EXPECT_EQ((std::vector<int>{order[0], order[1], order[2]}), (std::vector<int>{1, 2, 3}));
    // Loading it again gives the same image, and runs nothing again.
    EXPECT_EQ(dyld::load(kProbe, error), image);
    EXPECT_EQ(*reinterpret_cast<const int*>(*image->symbol("_probeOrderCount")), 3);
    // The process's map names the image's memory after its file, as it names a library dlopen mapped.
    std::ifstream maps("/proc/self/maps");
    const auto start = reinterpret_cast<std::uintptr_t>(image->mapping());
    std::string line, named;
    while (std::getline(maps, line)) {
        if (std::stoull(line.substr(0, line.find('-')), nullptr, 16) == start) {
            named = line;
        }
    }
    EXPECT_NE(named.find(kProbe), std::string::npos) << named;
}

TEST(Dyld, RefusesAnImageWithAnImportNothingProvides) {
    std::string error;
    EXPECT_EQ(dyld::load(kUnbound, error), nullptr);
    EXPECT_NE(error.find("_getpid"), std::string::npos) << error;
    EXPECT_TRUE(dyld::isMachO(kUnbound));
    EXPECT_FALSE(dyld::isMachO("/System/Library/PrivateFrameworks/Dyld.framework/Dyld"));
}

// The loader is loaded into processes that already run threads (the Settings app's bundle loader opens
// it late); thread-local storage in a library loaded so makes the leak checker fault at exit.
TEST(LoaderLibrary, HasNoThreadLocalStorage) {
    struct Found {
        bool library = false;
        bool tls = false;
    } found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* into = static_cast<Found*>(data);
            if (info->dlpi_name == nullptr || !std::string_view(info->dlpi_name).ends_with("/Dyld")) {
                return 0;
            }
            into->library = true;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                into->tls = into->tls || info->dlpi_phdr[i].p_type == PT_TLS;
            }
            return 0;
        },
        &found);
    ASSERT_TRUE(found.library);
    EXPECT_FALSE(found.tls);
}

// --- The device's kernel and dyld, by system version, against the probe changed and signed again ---

const dyld::LoadRules kIos10{CF::release::iOS10_0, true};
const dyld::LoadRules kIos12{CF::release::iOS12_0, true};
const dyld::LoadRules kIos14{CF::release::iOS14_0, true};

std::uint32_t get32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
std::uint32_t getBe32(const std::string& bytes, std::size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}
void putBe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
    }
}

// The file offset of the signature's blob at `slot` (0: the SHA-1 CodeDirectory, 2: the Requirements,
// 0x1000: the SHA-256 CodeDirectory).
std::size_t blobAt(const std::string& bytes, std::uint32_t slot) {
    const std::size_t superBlob = get32(bytes, commandOffset(bytes, 0x1d) + 8);
    for (std::uint32_t i = 0; i < getBe32(bytes, superBlob + 8); ++i) {
        if (getBe32(bytes, superBlob + 12 + i * 8) == slot) {
            return superBlob + getBe32(bytes, superBlob + 16 + i * 8);
        }
    }
    ADD_FAILURE() << "no blob at slot " << slot;
    return 0;
}

// Changes one byte of the hash of `page` in the CodeDirectory at `slot`.
void breakPageHash(std::string& bytes, std::uint32_t slot, std::size_t page) {
    const std::size_t directory = blobAt(bytes, slot);
    const std::size_t hashSize = static_cast<unsigned char>(bytes[directory + 36]);
    bytes[directory + getBe32(bytes, directory + 16) + page * hashSize] ^= 1;
}

// The offset in the file of the table of LC_DYLD_INFO_ONLY at `field` (8: rebase, 16: bind, 32: lazy).
std::size_t tableAt(const std::string& bytes, std::size_t field) {
    return get32(bytes, commandOffset(bytes, 0x80000022) + field);
}

// What loading the probe changed by `change` gives by each of `rules`: "" for loaded, else the
// message without the file's name.
std::vector<std::string> outcomes(const std::string& name, const std::function<void(std::string&)>& change,
                                  const std::vector<dyld::LoadRules>& rules) {
    const std::string path = alteredProbe(name, change);
    std::vector<std::string> out;
    for (const auto& r : rules) {
        std::string error;
        const auto image = loadWith(path, error, r);
        EXPECT_TRUE(image == nullptr || error.empty()) << error;
        EXPECT_TRUE(image != nullptr || error.starts_with(path + ": ")) << error;
        out.push_back(image != nullptr ? "" : error.substr(std::min(error.size(), path.size() + 2)));
    }
    return out;
}

using Outcomes = std::vector<std::string>;

TEST(DeviceSignature, ThePhonesSignatureIsTakenOnEveryVersion) {
    EXPECT_EQ(outcomes("as-built.dylib", [](std::string&) {}, {kIos8, kIos10, kIos12, kIos14}),
              Outcomes({"", "", "", ""}));
}

TEST(DeviceSignature, AChangedByteOfACodePageIsRefusedOnEveryVersion) {
    // The first section's code, in page 4 of the file.
    const auto change = [](std::string& b) {
        const std::size_t code = get32(b, commandOffset(b, 0x19) + 72 + 48);
        ASSERT_EQ(code / 4096, 4u);
        b[code + 17] ^= 0x40;
    };
    const std::string page4 = "page 4 does not match its hash";
    EXPECT_EQ(outcomes("changed-code.dylib", change, {kIos8, kIos10, kIos12, kIos14, kTablesOnly}),
              Outcomes({page4, page4, page4, page4, ""}));
    // Signed again, the same bytes load.
    EXPECT_EQ(outcomes("changed-code-signed.dylib",
                       [&](std::string& b) {
                           change(b);
                           b = signedAgain(b);
                       },
                       {kIos8, kIos14}),
              Outcomes({"", ""}));
}

TEST(DeviceSignature, UpTo9TheKernelReadsTheSha1DirectoryAndFrom10TheSha256One) {
    EXPECT_EQ(
        outcomes("bad-sha1.dylib", [](std::string& b) { breakPageHash(b, 0, 1); }, {kIos8, kIos10, kIos14}),
        Outcomes({"page 1 does not match its hash", "", ""}));
    EXPECT_EQ(outcomes("bad-sha256.dylib", [](std::string& b) { breakPageHash(b, 0x1000, 2); },
                       {kIos8, kIos10, kIos14}),
              Outcomes({"", "page 2 does not match its hash", "page 2 does not match its hash"}));
    // Two CodeDirectories of one hash type: from 10.0, which reads both, a refusal.
    EXPECT_EQ(
        outcomes("two-sha1.dylib", [](std::string& b) { b[blobAt(b, 0x1000) + 37] = 1; }, {kIos8, kIos12}),
        Outcomes({"", "has two SHA-1 CodeDirectories (at slot 0 and slot 0x1000)"}));
    // A SHA-256 CodeDirectory at slot 0, as ld64's own signing writes, is not one iOS 9 can read.
    EXPECT_EQ(
        outcomes("sha256-first.dylib",
                 [](std::string& b) {
                     const std::size_t superBlob = get32(b, commandOffset(b, 0x1d) + 8);
                     for (std::uint32_t i = 0; i < getBe32(b, superBlob + 8); ++i) {
                         const std::uint32_t slot = getBe32(b, superBlob + 12 + i * 8);
                         putBe32(b, superBlob + 12 + i * 8, slot == 0 ? 0x1000 : slot == 0x1000 ? 0 : slot);
                     }
                 },
                 {kIos8, kIos12}),
        Outcomes({"has a SHA-256 CodeDirectory at slot 0, where iOS 9 and earlier read SHA-1 only", ""}));
}

TEST(DeviceSignature, Version20001LoadsBefore14AndIsRefusedFrom14) {
    const auto older = [](std::string& b) {
        for (std::uint32_t slot : {0u, 0x1000u}) {
            putBe32(b, blobAt(b, slot) + 8, 0x20001);
        }
    };
    EXPECT_EQ(outcomes("version-20001.dylib", older, {kIos8, kIos12, kIos14}),
              Outcomes({"", "", "CodeDirectory version 0x20001 is older than iOS 14 accepts"}));
}

TEST(DeviceSignature, RefusesAnUnsignedImageAndChangedRequirements) {
    // LC_CODE_SIGNATURE made a command a loader may ignore: the file is as good as unsigned.
    EXPECT_EQ(outcomes("unsigned.dylib", [](std::string& b) { put32(b, commandOffset(b, 0x1d), 0x77); },
                       {kIos8, kIos14, kTablesOnly}),
              Outcomes({"is not signed (it has no LC_CODE_SIGNATURE)",
                        "is not signed (it has no LC_CODE_SIGNATURE)", ""}));
    // The Requirements blob's count, which special slot -2 hashes.
    EXPECT_EQ(
        outcomes("requirements.dylib", [](std::string& b) { b[blobAt(b, 2) + 11] = 1; }, {kIos8, kIos14}),
        Outcomes({"special slot -2 does not match its hash", "special slot -2 does not match its hash"}));
}

TEST(DeviceLoaderRules, ARebaseBeforeItsTypeIsRefused) {
    // The table's first opcode sets the type; an add of nothing in its place leaves it unset.
    EXPECT_EQ(outcomes("untyped-rebase.dylib",
                       [](std::string& b) {
                           const std::size_t rebase = tableAt(b, 8);
                           ASSERT_EQ(b[rebase], '\x11');
                           b[rebase] = '\x40';
                           b = signedAgain(b);
                       },
                       {kIos8, kIos14}),
              Outcomes(2, "has bad rebase type 0 in its rebase table (opcode 0x60 before any "
                          "REBASE_OPCODE_SET_TYPE_IMM)"));
}

TEST(DeviceLoaderRules, TheLazyBindTableHoldsOnlyTheLazyOpcodes) {
    // The first lazy binding's BIND_OPCODE_DONE made a BIND_OPCODE_SET_TYPE_IMM of a pointer, which
    // changes nothing in the bind table and is not allowed in the lazy one.
    EXPECT_EQ(outcomes("typed-lazy.dylib",
                       [](std::string& b) {
                           const std::size_t done = b.find(std::string("\x90\x00", 2), tableAt(b, 32));
                           b[done + 1] = '\x51';
                           b = signedAgain(b);
                       },
                       {kIos8, kIos14}),
              Outcomes(2, "has bad lazy bind opcode 0x51 (BIND_OPCODE_SET_TYPE_IMM) in its lazy bind table"));
}

// The bind table's library set to ordinal -3 (a weak lookup) for all of its binds, and its bind of
// dyld_stub_binder renamed to a function of the Libc test library.
std::string weakLookupProbe(const std::string& name) {
    return alteredProbe(name, [](std::string& b) {
        const std::size_t bind = tableAt(b, 16);
        const std::size_t ordinal = b.find('\x11', bind);
        ASSERT_LT(ordinal, bind + 40);
        b[ordinal] = '\x3d';
        const std::size_t binder = b.find(std::string("dyld_stub_binder\0", 17), bind);
        ASSERT_NE(binder, std::string::npos);
        b.replace(binder, 16, "_libcEnvironment");
        b = signedAgain(b);
    });
}

TEST(DeviceLoaderRules, AWeakLookupIsRefusedBefore12AndFrom12FindsTheFirstImageThatExportsIt) {
    const std::string path = weakLookupProbe("weak-lookup.dylib");
    std::string error;
    EXPECT_EQ(loadWith(path, error, kIos8), nullptr);
    EXPECT_EQ(error, path + ": binds through ordinal -3 (BIND_SPECIAL_DYLIB_WEAK_LOOKUP) in its bind table, "
                            "which dyld takes only from iOS 12");

    std::vector<dyld::Import> asked;
    auto image = dyld::MachOImage::load(
        path,
        [&](const dyld::Import& import) {
            asked.push_back(import);
            return bindAnything(import);
        },
        kIos12, error);
    ASSERT_NE(image, nullptr) << error;
    ASSERT_FALSE(asked.empty());
    EXPECT_TRUE(asked.front().anyImage);
    EXPECT_EQ(asked.front().library, "");

    // Through the device's own resolution: a definition the host lacks comes from a loaded image.
    const dyld::MachOImage* libc = dyld::load("/Developer/Library/Libc.dylib", error);
    ASSERT_NE(libc, nullptr) << error;
    image = dyld::MachOImage::load(path, dyld::resolveImport, kIos12, error);
    ASSERT_NE(image, nullptr) << error;
    const auto& fixups = image->fixups();
    const auto renamed = std::find_if(fixups.begin(), fixups.end(),
                                      [](const dyld::Fixup& f) { return f.symbol == "_libcEnvironment"; });
    ASSERT_NE(renamed, fixups.end());
    std::uint64_t slot = 0;
    std::memcpy(&slot, reinterpret_cast<const void*>(image->base() + renamed->address), 8);
    EXPECT_EQ(slot, libc->symbol("_libcEnvironment").value_or(1));
    // Not through a library's ordinal: there, only the host's implementations bind.
    EXPECT_EQ(dyld::resolveImport({"/usr/lib/libSystem.B.dylib", "_libcEnvironment", false, false}),
              std::nullopt);
}

} // namespace
