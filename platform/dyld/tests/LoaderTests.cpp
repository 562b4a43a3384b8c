// The loader against images built with the phone's tool chain: what it maps, rebases and binds (checked
// against llvm-objdump's reading of the same file), the order of initializers, and the files it refuses.
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

std::unique_ptr<dyld::MachOImage> loadWith(const std::string& path, std::string& error) {
    return dyld::MachOImage::load(path, bindAnything, error);
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
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    // A load command a loader may ignore (the bit that requires understanding clear) is ignored.
    std::string error;
    EXPECT_NE(loadWith(alteredProbe("ignorable.dylib",
                                    [](std::string& b) { put32(b, commandOffset(b, 0x1b), 0x77); }),
                       error),
              nullptr)
        << error;
}

TEST(MachOImage, RefusesAnImportWithoutBindingNamingFileAndSymbol) {
    std::string error;
    auto image = dyld::MachOImage::load(
        kUnbound,
        [](const dyld::Import& i) { return i.symbol == "_getpid" ? std::nullopt : bindAnything(i); }, error);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(error,
              kUnbound + ": imports _getpid from /usr/lib/libSystem.B.dylib, which nothing here provides");
}

TEST(MachOImage, SurvivesEveryTruncationOfItsTables) {
    // Cut anywhere in __LINKEDIT, the file is refused or loaded, never read past its end.
    const std::string bytes = testing_support::readAll(kProbe);
    for (std::size_t size = bytes.size(); size > bytes.size() - 2048; size -= 61) {
        std::string error;
        const std::string path = alteredProbe("cut-linkedit.dylib", [&](std::string& b) { b.resize(size); });
        auto image = loadWith(path, error);
        EXPECT_TRUE(image != nullptr || !error.empty());
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

} // namespace
