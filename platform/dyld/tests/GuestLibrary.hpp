// A test library built for the phone, loaded once, and its functions called from the host.
#pragma once

#include "dyld/Bindings.hpp"
#include "dyld/Dyld.hpp"

#include <gtest/gtest.h>

#include <string>

namespace dyld::testing {

// The image at `path`, loaded by the first call; a failure to load fails the test that asked.
inline const MachOImage& loadedLibrary(const char* path) {
    std::string error;
    const MachOImage* loaded = dyld::load(path, error);
    EXPECT_NE(loaded, nullptr) << error;
    return *loaded;
}

// The function `name` of `image`, as a host function of the C type F.
template <class F> F function(const MachOImage& image, const char* name) {
    const auto address = image.symbol(name);
    EXPECT_TRUE(address) << name;
    return hostFunction<F>(address.value_or(0));
}

} // namespace dyld::testing
