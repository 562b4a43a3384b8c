// The device kernel's check of an image's code signature, as each system version makes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dyld {

// Where LC_CODE_SIGNATURE puts the signature in the file.
struct SignatureRange {
    bool present = false;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Why the kernel of the system whose Core Foundation number is `system` would refuse to run the
// bytes of `file`, signed (or not) where `range` says; nullopt when it would run them. Up to 9.x it
// reads the SHA-1 CodeDirectory at slot 0, from 10.0 the strongest of all of them (refusing two of one
// hash type), from 14.0 none older than version 0x20400. Every page and every special slot whose blob
// the signature holds must match its hash. An ad-hoc signature is as good as any: no certificate is
// checked, as on a jailbroken phone.
std::optional<std::string> codeSignatureRefusal(const std::vector<std::uint8_t>& file, SignatureRange range,
                                                double system);

} // namespace dyld
