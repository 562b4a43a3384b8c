// The hook library loader, in this test's own device: probe libraries under many names and filters.
#include "substrate/Loader.hpp"
#include "substrate/substrate.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kFolder = "/Library/MobileSubstrate/DynamicLibraries";
const fs::path kProbe = "/Developer/Library/SubstrateProbe.dylib";

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spill(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string xmlPlist(const std::string& rootDict) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>" + rootDict +
           "</dict>\n</plist>\n";
}

std::string filter(const std::string& entries) {
    return xmlPlist("<key>Filter</key><dict>" + entries + "</dict>");
}

std::string list(const std::string& key, std::initializer_list<std::string> values) {
    std::string text = "<key>" + key + "</key><array>";
    for (const std::string& v : values) {
        text += "<string>" + v + "</string>";
    }
    return text + "</array>";
}

std::string binaryExecutablesFilter(const std::string& executable) {
    plist_t root = plist_new_dict();
    plist_t f = plist_new_dict();
    plist_t executables = plist_new_array();
    plist_array_append_item(executables, plist_new_string(executable.c_str()));
    plist_dict_set_item(f, "Executables", executables);
    plist_dict_set_item(root, "Filter", f);
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string bytes(data, length);
    plist_to_bin_free(data);
    plist_free(root);
    return bytes;
}

// Puts the probe into the loader's folder as NAME.dylib, with `plist` (if any) as its filter.
void placeProbe(const std::string& name, const std::optional<std::string>& plist) {
    fs::copy_file(kProbe, kFolder / (name + ".dylib"), fs::copy_options::overwrite_existing);
    if (plist) {
        spill(kFolder / (name + ".plist"), *plist);
    }
}

TEST(Loader, LoadsExactlyTheLibrariesWhoseFilterMatchesAndSaysWhyOthersFail) {
    ASSERT_TRUE(fs::exists(kProbe)) << "the probe library is placed on every test device";
    const std::string self = program_invocation_short_name;
    const fs::path log = "/tmp/substrate-probe.log";
    setenv("GLINTMERE_PROBE_LOG", log.c_str(), 1);

    spill(kFolder / "A-Broken.dylib", "not a library\n");
    spill(kFolder / "A-Broken.plist", filter(list("Executables", {self})));
    placeProbe("B-Executable", filter(list("Executables", {"SpringBoard", self})));
    placeProbe("C-Class", filter(list("Classes", {"NSObject"})));
    placeProbe("D-MissingClass", filter(list("Classes", {"NoSuchClassAnywhere"})));
    placeProbe("E-OtherBundle", filter(list("Bundles", {"com.apple.mobilesafari"})));
    placeProbe("F-NoPlist", std::nullopt);
    placeProbe("G-Malformed", "<?xml version=\"1.0\"?><plist><dict><key>Filter</key>");
    placeProbe("H-NoFilter", xmlPlist("<key>Other</key><string>" + self + "</string>"));
    placeProbe("I-EmptyFilter", filter(list("Executables", {})));
    placeProbe("J-WrongType", filter("<key>Executables</key><string>" + self + "</string>"));
    placeProbe("K-AnyEntry", filter(list("Bundles", {"nope"}) + list("Executables", {"nope"}) +
                                    list("Classes", {"NSObject"})));
    placeProbe("L-Binary", binaryExecutablesFilter(self));
    placeProbe("M-RootArray", "<?xml version=\"1.0\"?><plist><array/></plist>");
    placeProbe("N-Empty", "");
    placeProbe("Z-Last", filter(list("Executables", {self})));
    spill(kFolder / "Y-NoLibrary.plist", filter(list("Executables", {self})));

    testing::internal::CaptureStderr();
    MSLoadDynamicLibraries();
    const std::string notes = testing::internal::GetCapturedStderr();

    EXPECT_EQ(slurp(log), "B-Executable " + self + "\nC-Class " + self + "\nK-AnyEntry " + self +
                              "\nL-Binary " + self + "\nZ-Last " + self + "\n");
    for (const char* noted :
         {"A-Broken.dylib", "G-Malformed.plist", "J-WrongType.plist", "M-RootArray.plist", "N-Empty.plist"}) {
        EXPECT_NE(notes.find(noted), std::string::npos) << noted << " missing from:\n" << notes;
    }
    for (const char* quiet : {"B-", "C-", "D-", "E-", "F-", "H-", "I-", "K-", "L-", "Y-", "Z-"}) {
        EXPECT_EQ(notes.find(quiet), std::string::npos) << quiet << " noted in:\n" << notes;
    }
    EXPECT_NE(notes.find("Filter.Executables is not an array"), std::string::npos) << notes;
}

TEST(Loader, AMissingFolderLoadsNothing) {
    const fs::path aside = "/Library/MobileSubstrate/Aside";
    fs::rename(kFolder, aside);
    testing::internal::CaptureStderr();
    MSLoadDynamicLibraries();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    fs::rename(aside, kFolder);
}

} // namespace
