#include "../support/DeviceLibrary.hpp"

#include <objc/runtime.h>

#include <gtest/gtest.h>

namespace {

int hookRequests = 0;

} // namespace

// Stands in for the hooking framework's own: a library opened by this program binds to it first.
extern "C" __attribute__((visibility("default"))) void MSHookMessageEx(Class, SEL, IMP, IMP* result) {
    ++hookRequests;
    if (result != nullptr) {
        *result = nullptr;
    }
}

namespace {

TEST(ProcessWithoutElementActions, LoadingTheLibraryHooksNothing) {
    ASSERT_EQ(objc_lookUpClass("_WKElementAction"), Nil);
    const std::string library = "/Library/MobileSubstrate/DynamicLibraries/Glintmere.dylib";
    ASSERT_EQ(testing_support::openLibrary(library), "");
    EXPECT_EQ(hookRequests, 0);
    EXPECT_EQ(objc_lookUpClass("_WKElementAction"), Nil);
    // The library is whole all the same: its frameworks are up and its variable is there.
    EXPECT_NE(objc_lookUpClass("PLStaticWallpaperImageViewController"), Nil);
    EXPECT_NE(testing_support::exportedSymbol(library, "wallpaperMode"), nullptr);
}

} // namespace
