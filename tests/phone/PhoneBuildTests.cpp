// The phone's binaries as a device's loader sees them: their headers, the libraries and symbols they
// import (checked against the lists kept beside their sources), what they export, the order of their
// initializers and their signatures; and the iphoneos-arm package that carries them.
#include "CodeSignature.hpp"
#include "support/Files.hpp"
#include "support/Subprocess.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::runProcess;

const fs::path kDevice = GLINTMERE_DEVICE_DIR;
const fs::path kSource = GLINTMERE_SOURCE_DIR;
const fs::path kHooks = kDevice / "Glintmere.dylib";
const fs::path kBundle = kDevice / "Glintmere.bundle/Glintmere";
const fs::path kHookList = kSource / "hooks/device-imports.txt";
const fs::path kBundleList = kSource / "settings/device-imports.txt";
constexpr const char* kInstallName = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";

std::string output(const std::vector<std::string>& argv) {
    const auto outcome = runProcess(argv);
    EXPECT_EQ(outcome.status, 0) << argv[0] << ": " << outcome.err;
    return outcome.out;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// What `llvm-objdump --macho --private-headers` says of a binary.
struct Headers {
    std::string cpu;
    std::string fileType;
    std::string minimumSystem;
    std::string installName;
    // Install name to whether it is linked weakly, in load order.
    std::vector<std::pair<std::string, bool>> libraries;
    bool signed_ = false;
    // __TEXT's place in the file.
    std::uint64_t textFileOffset = UINT64_MAX;
    std::uint64_t textFileSize = UINT64_MAX;
};

Headers headersOf(const fs::path& binary) {
    Headers h;
    std::string command;
    std::string segment;
    bool headerNext = false;
    for (const std::string& line :
         lines(output({GLINTMERE_LLVM_OBJDUMP, "--macho", "--private-headers", binary}))) {
        const auto w = words(line);
        if (w.empty()) {
            continue;
        }
        if (w[0] == "magic") {
            headerNext = true;
            continue;
        }
        if (headerNext && w.size() >= 5) {
            h.cpu = w[1];
            h.fileType = w[4];
            headerNext = false;
        }
        if (w[0] == "cmd" && w.size() == 2) {
            command = w[1];
            segment.clear();
            h.signed_ = h.signed_ || command == "LC_CODE_SIGNATURE";
        } else if (w[0] == "name" && w.size() >= 2) {
            if (command == "LC_ID_DYLIB") {
                h.installName = w[1];
            } else if (command == "LC_LOAD_DYLIB" || command == "LC_LOAD_WEAK_DYLIB") {
                h.libraries.emplace_back(w[1], command == "LC_LOAD_WEAK_DYLIB");
            }
        } else if (w[0] == "segname" && w.size() == 2 && command == "LC_SEGMENT_64" && segment.empty()) {
            segment = w[1]; // the segment's own; its sections' segnames follow
        } else if (w[0] == "fileoff" && w.size() == 2 && segment == "__TEXT") {
            h.textFileOffset = std::stoull(w[1]);
        } else if (w[0] == "filesize" && w.size() == 2 && segment == "__TEXT") {
            h.textFileSize = std::stoull(w[1]);
        } else if (w[0] == "version" && w.size() == 2 && command == "LC_VERSION_MIN_IPHONEOS") {
            h.minimumSystem = w[1];
        }
    }
    return h;
}

// The name llvm-nm gives a library in "(from NAME)": a framework's name, or a dylib's file name
// without its version letter and extension.
std::string shortName(const std::string& installName) {
    std::string name = installName.substr(installName.rfind('/') + 1);
    if (name.ends_with(".dylib")) {
        name.erase(name.size() - 6);
        if (const auto dot = name.rfind('.'); dot != std::string::npos) {
            name.erase(dot);
        }
    }
    return name;
}

// Symbol to the short name of the library it comes from.
std::multimap<std::string, std::string> importsOf(const fs::path& binary) {
    std::multimap<std::string, std::string> imports;
    for (const std::string& line : lines(output({GLINTMERE_LLVM_NM, "-m", "--undefined-only", binary}))) {
        const auto w = words(line);
        const auto from = std::find(w.begin(), w.end(), "(from");
        if (from == w.end() || from == w.begin() || from + 1 == w.end()) {
            continue;
        }
        std::string library = *(from + 1);
        library.pop_back(); // ")"
        imports.emplace(*(from - 1), library);
    }
    return imports;
}

std::set<std::string> exportsOf(const fs::path& binary) {
    std::set<std::string> exports;
    for (const std::string& line :
         lines(output({GLINTMERE_LLVM_NM, "-m", "--defined-only", "--extern-only", binary}))) {
        const auto w = words(line);
        if (!w.empty() && std::find(w.begin(), w.end(), "external") != w.end()) {
            exports.insert(w.back());
        }
    }
    return exports;
}

// The functions `__mod_init_func` points to, in the order a loader calls them.
std::vector<std::string> initializersOf(const fs::path& binary) {
    std::vector<std::string> names;
    for (const std::string& line :
         lines(output({GLINTMERE_LLVM_OBJDUMP, "--macho", "--section=__DATA,__mod_init_func", binary}))) {
        const auto w = words(line);
        if (w.size() == 3 && w[0].starts_with("0x")) {
            names.push_back(w[2]);
        }
    }
    return names;
}

// A list of imports: each library's install name (with "weak" after it when it is linked weakly),
// then its symbols, one a line, indented.
struct AllowedLibrary {
    bool weak = false;
    std::set<std::string> symbols;
};
std::map<std::string, AllowedLibrary> readList(const fs::path& path) {
    std::map<std::string, AllowedLibrary> list;
    AllowedLibrary* current = nullptr;
    for (const std::string& line : lines(testing_support::readAll(path))) {
        const auto w = words(line);
        if (w.empty() || w[0].starts_with("#")) {
            continue;
        }
        if (line[0] != ' ') {
            current = &list[w[0]];
            current->weak = w.size() > 1 && w[1] == "weak";
        } else if (current != nullptr) {
            current->symbols.insert(w[0]);
        }
    }
    return list;
}

// Everything `binary` links or imports that the list at `listPath` lacks, one sentence each.
std::vector<std::string> unlisted(const fs::path& binary, const fs::path& listPath) {
    const auto list = readList(listPath);
    std::vector<std::string> problems;
    std::map<std::string, std::string> byShortName;
    for (const auto& [library, weak] : headersOf(binary).libraries) {
        byShortName[shortName(library)] = library;
        const auto allowed = list.find(library);
        if (allowed == list.end()) {
            problems.push_back("links " + library + ", which the list lacks");
        } else if (allowed->second.weak != weak) {
            problems.push_back("links " + library + (weak ? " weakly" : " strongly") +
                               ", which the list does not");
        }
    }
    for (const auto& [symbol, from] : importsOf(binary)) {
        const auto library = byShortName.find(from);
        if (library == byShortName.end()) {
            problems.push_back("imports " + symbol + " from " + from + ", which it does not link");
            continue;
        }
        const auto allowed = list.find(library->second);
        if (allowed == list.end() || !allowed->second.symbols.contains(symbol)) {
            problems.push_back("imports " + symbol + " from " + library->second + ", which the list lacks");
        }
    }
    return problems;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        out += item + "\n";
    }
    return out;
}

TEST(PhoneBinaries, AreArm64ForIos7WithTheirNamesAndSigned) {
    const Headers hooks = headersOf(kHooks);
    EXPECT_EQ(hooks.cpu, "ARM64");
    EXPECT_EQ(hooks.fileType, "DYLIB");
    EXPECT_EQ(hooks.minimumSystem, "7.0");
    EXPECT_EQ(hooks.installName, kInstallName);
    EXPECT_TRUE(hooks.signed_);

    const Headers bundle = headersOf(kBundle);
    EXPECT_EQ(bundle.cpu, "ARM64");
    EXPECT_EQ(bundle.fileType, "BUNDLE");
    EXPECT_EQ(bundle.minimumSystem, "7.0");
    EXPECT_EQ(bundle.installName, "");
    EXPECT_TRUE(bundle.signed_);
}

TEST(PhoneImports, EachBinaryLinksAndImportsOnlyWhatItsListHolds) {
    EXPECT_EQ(joined(unlisted(kHooks, kHookList)), "");
    EXPECT_EQ(joined(unlisted(kBundle, kBundleList)), "");
    // The wallpaper class comes from a private framework that some systems lack.
    const auto libraries = headersOf(kHooks).libraries;
    EXPECT_NE(std::find(libraries.begin(), libraries.end(),
                        std::pair<std::string, bool>(
                            "/System/Library/PrivateFrameworks/PhotoLibrary.framework/PhotoLibrary", true)),
              libraries.end());
}

TEST(PhoneImports, TheListsAllowOnlyWhatTheCxxLibraryOfIos7Has) {
    const std::set<std::string> ios7 = {"__Znwm",
                                        "__ZdlPv",
                                        "__Znam",
                                        "__ZdaPv",
                                        "___cxa_guard_acquire",
                                        "___cxa_guard_release",
                                        "___cxa_guard_abort"};
    for (const auto& path : {kHookList, kBundleList}) {
        const auto list = readList(path);
        const auto cxx = list.find("/usr/lib/libc++.1.dylib");
        ASSERT_NE(cxx, list.end()) << path;
        for (const auto& symbol : cxx->second.symbols) {
            EXPECT_TRUE(ios7.contains(symbol)) << path << " allows " << symbol;
        }
    }
}

TEST(PhoneImports, AnUnlistedCallOrLibraryIsRefused) {
    EXPECT_EQ(joined(unlisted(kDevice / "fixtures/UnlistedCall.dylib", kHookList)),
              "imports _getpid from /usr/lib/libSystem.B.dylib, which the list lacks\n");
    EXPECT_EQ(joined(unlisted(kDevice / "fixtures/UnlistedLibrary.dylib", kHookList)),
              "links /usr/lib/libMobileGestalt.dylib, which the list lacks\n"
              "imports _MGCopyAnswer from /usr/lib/libMobileGestalt.dylib, which the list lacks\n");
}

TEST(PhoneExports, TheHookLibraryExportsItsOneVariableAndTheBundleNothing) {
    EXPECT_EQ(exportsOf(kHooks), std::set<std::string>{"_wallpaperMode"});
    EXPECT_EQ(exportsOf(kBundle), std::set<std::string>{});
}

TEST(PhoneLoadOrder, TheHookLibraryReadsThePreferencesBeforeItHooks) {
    const auto initializers = initializersOf(kHooks);
    ASSERT_EQ(initializers.size(), 2u) << joined(initializers);
    EXPECT_NE(initializers[0].find("loadPreferences"), std::string::npos) << initializers[0];
    EXPECT_NE(initializers[1].find("installHooks"), std::string::npos) << initializers[1];
}

// Whichever object's initializer a loader calls first registers every class of the bundle before any
// check, so the order the objects were linked in does not matter: the bundle linked in reverse has
// its initializers in reverse, each of them one that registers the whole bundle.
TEST(PhoneLoadOrder, TheBundleRegistersItsClassesWhateverTheLinkOrder) {
    const auto forward = initializersOf(kBundle);
    const auto reversed = initializersOf(kDevice / "fixtures/Reversed.bundle/Glintmere");
    ASSERT_FALSE(forward.empty());
    EXPECT_EQ(std::vector<std::string>(forward.rbegin(), forward.rend()), reversed);
    for (const auto& name : forward) {
        EXPECT_NE(name.find("glintmereRegisterImageClasses"), std::string::npos) << name;
    }
}

std::uint64_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

// iOS 14 refuses a CodeDirectory older than 0x20400; the exec-segment fields, read here from their
// places in the blob, name __TEXT as llvm-objdump reads it from the load commands.
TEST(PhoneSignatures, EachCodeDirectoryIsVersion20400WithTextAsItsExecutableSegment) {
    for (const auto& binary : {kHooks, kBundle}) {
        const Headers headers = headersOf(binary);
        ASSERT_NE(headers.textFileSize, UINT64_MAX) << binary;
        const std::string text = testing_support::readAll(binary);
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        const codesign::Signature signature = codesign::readSignature(bytes);
        const std::size_t superBlob = signature.offset;
        std::size_t directories = 0;
        for (std::uint64_t i = 0; i < bigEndian(bytes, superBlob + 8, 4); ++i) {
            const std::size_t blob = superBlob + bigEndian(bytes, superBlob + 16 + i * 8, 4);
            if (bigEndian(bytes, blob, 4) != 0xfade0c02) {
                continue;
            }
            ++directories;
            EXPECT_EQ(bigEndian(bytes, blob + 8, 4), 0x20400u) << binary;
            EXPECT_GE(bigEndian(bytes, blob + 20, 4), 88u) << "the identifier follows the 0x20400 fields";
            EXPECT_EQ(bigEndian(bytes, blob + 44, 4), 0u) << "scatterOffset";
            EXPECT_EQ(bigEndian(bytes, blob + 48, 4), 0u) << "teamOffset";
            EXPECT_EQ(bigEndian(bytes, blob + 52, 4), 0u) << "spare3";
            EXPECT_EQ(bigEndian(bytes, blob + 56, 8), 0u) << "codeLimit64";
            EXPECT_EQ(bigEndian(bytes, blob + 64, 8), headers.textFileOffset) << binary << " execSegBase";
            EXPECT_EQ(bigEndian(bytes, blob + 72, 8), headers.textFileSize) << binary << " execSegLimit";
            EXPECT_EQ(bigEndian(bytes, blob + 80, 8), 0u) << "execSegFlags";
        }
        EXPECT_EQ(directories, 2u) << binary;
        for (const auto& d : signature.directories) {
            EXPECT_EQ(d.execSegLimit, headers.textFileSize) << binary << " slot " << d.slot;
        }
    }
}

TEST(PhoneSignatures, EveryPageHashMatchesTheFile) {
    for (const auto& binary : {kHooks, kBundle}) {
        const std::string text = testing_support::readAll(binary);
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        const codesign::Signature signature = codesign::readSignature(bytes);
        ASSERT_EQ(signature.directories.size(), 2u) << binary;
        EXPECT_TRUE(signature.emptyRequirements);
        EXPECT_EQ(signature.offset + std::size_t{signature.size}, bytes.size());
        for (const auto& d : signature.directories) {
            EXPECT_EQ(d.hashType, d.slot == 0 ? 1 : 2) << "SHA-1 first, SHA-256 at 0x1000";
            EXPECT_EQ(d.codeLimit, signature.offset);
            ASSERT_EQ(d.codeHashes.size(), (d.codeLimit + 4095) / 4096);
            for (std::size_t page = 0; page < d.codeHashes.size(); ++page) {
                const std::size_t start = page * 4096;
                EXPECT_EQ(codesign::digest(d.hashType, &bytes[start],
                                           std::min<std::size_t>(4096, d.codeLimit - start)),
                          d.codeHashes[page])
                    << binary << " page " << page;
            }
        }
    }
}

std::map<std::string, std::string> fieldsOf(const fs::path& deb) {
    std::map<std::string, std::string> fields;
    for (const std::string& line : lines(output({"dpkg-deb", "-f", deb}))) {
        if (const auto colon = line.find(':'); colon != std::string::npos && line[0] != ' ') {
            fields[line.substr(0, colon)] = line.substr(colon + 1);
        }
    }
    return fields;
}

// Each file's path and mode, as `dpkg-deb -c` lists them.
std::vector<std::string> layoutOf(const fs::path& deb) {
    std::vector<std::string> layout;
    for (const std::string& line : lines(output({"dpkg-deb", "-c", deb}))) {
        const auto w = words(line);
        layout.push_back(w.front() + " " + w.back());
    }
    return layout;
}

TEST(PhonePackage, HoldsThePhonesBinariesWhereTheSimulatedDevicesPackageHoldsItsOwn) {
    const fs::path packages = GLINTMERE_PACKAGES_DIR;
    const fs::path phone = packages / (std::string(GLINTMERE_PACKAGE_STEM) + "_iphoneos-arm.deb");
    const fs::path host =
        packages / (std::string(GLINTMERE_PACKAGE_STEM) + "_" + GLINTMERE_HOST_ARCHITECTURE + ".deb");
    auto phoneFields = fieldsOf(phone);
    auto hostFields = fieldsOf(host);
    EXPECT_EQ(phoneFields["Architecture"], " iphoneos-arm");
    phoneFields.erase("Architecture");
    hostFields.erase("Architecture");
    phoneFields.erase("Installed-Size");
    hostFields.erase("Installed-Size");
    EXPECT_EQ(phoneFields, hostFields);
    EXPECT_EQ(layoutOf(phone), layoutOf(host));

    const fs::path unpacked = fs::temp_directory_path() / ("phone-package-" + std::to_string(getpid()));
    output({"dpkg-deb", "-x", phone, unpacked});
    EXPECT_EQ(testing_support::readAll(unpacked / ("." + std::string(kInstallName))),
              testing_support::readAll(kHooks));
    EXPECT_EQ(testing_support::readAll(unpacked / "Library/PreferenceBundles/Glintmere.bundle/Glintmere"),
              testing_support::readAll(kBundle));
    fs::remove_all(unpacked);
}

} // namespace
