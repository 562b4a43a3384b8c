// MobileSubstrate's loader hands a phone's arm64 build to this loader, under the same filter as a
// native library; one that cannot be loaded is noted with the reason.
#include "dyld/Dyld.hpp"
#include "substrate/Loader.hpp"
#include "substrate/substrate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const fs::path kFolder = "/Library/MobileSubstrate/DynamicLibraries";

void place(const std::string& from, const std::string& name, const std::string& executable) {
    fs::copy_file(from, kFolder / (name + ".dylib"), fs::copy_options::overwrite_existing);
    std::ofstream(kFolder / (name + ".plist"))
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Filter</key><dict><key>Executables</key>"
           "<array><string>"
        << executable << "</string></array></dict></dict></plist>\n";
}

TEST(SubstrateLoading, AnArm64LibraryWhoseFilterMatchesRunsHere) {
    const std::string self = program_invocation_short_name;
    place("/Developer/Library/Probe.dylib", "ProbeHere", self);
    place("/Developer/Library/Probe.dylib", "ProbeElsewhere", "SpringBoard");
    place("/Developer/Library/Unbound.dylib", "Unbound", self);

    testing::internal::CaptureStderr();
    MSLoadDynamicLibraries();
    const std::string notes = testing::internal::GetCapturedStderr();

    EXPECT_EQ(notes, "MobileSubstrate: cannot load " + (kFolder / "Unbound.dylib").string() + ": " +
                         (kFolder / "Unbound.dylib").string() +
                         ": imports _getpid from /usr/lib/libSystem.B.dylib, which nothing here provides\n");
    EXPECT_EQ(dyld::loadedImage(kFolder / "ProbeElsewhere.dylib"), nullptr);
    const dyld::MachOImage* image = dyld::loadedImage(kFolder / "ProbeHere.dylib");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(*reinterpret_cast<const int*>(*image->symbol("_probeOrderCount")), 3);
    for (const char* name : {"ProbeHere", "ProbeElsewhere", "Unbound"}) {
        fs::remove(kFolder / (std::string(name) + ".dylib"));
        fs::remove(kFolder / (std::string(name) + ".plist"));
    }
}

} // namespace
