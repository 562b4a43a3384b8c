// Ad-hoc code signatures for arm64 Mach-O files, in the form every device from iOS 7 on reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace codesign {

// Where the signature of a signed file lies, and what it says: read back from the file alone.
struct Signature {
    std::uint32_t offset = 0; // of the SuperBlob, which is also where hashing stops
    std::uint32_t size = 0;
    struct Directory {
        std::uint32_t slot = 0; // 0 for the primary CodeDirectory, 0x1000 for the alternate
        std::uint32_t version = 0;
        std::uint32_t flags = 0;
        std::uint8_t hashType = 0; // 1: SHA-1, 2: SHA-256
        std::uint8_t pageSizeLog2 = 0;
        std::uint32_t codeLimit = 0;
        // The fields from version 0x20400 on, 0 in an older CodeDirectory.
        std::uint32_t scatterOffset = 0;
        std::uint32_t teamOffset = 0;
        std::uint32_t spare3 = 0;
        std::uint64_t codeLimit64 = 0;
        std::uint64_t execSegBase = 0;  // the file offset of __TEXT
        std::uint64_t execSegLimit = 0; // and its size in the file
        std::uint64_t execSegFlags = 0;
        std::string identifier;
        std::vector<std::string> codeHashes;    // one per page, raw bytes
        std::vector<std::string> specialHashes; // slot -1 first, then -2, ...
    };
    std::vector<Directory> directories;
    bool emptyRequirements = false; // slot 2 holds a Requirements blob with no requirement
};

// Signs the Mach-O image `image` ad hoc under `identifier`: CodeDirectories of version 0x20400 (with
// __TEXT as the executable segment), a SHA-1 one at slot 0, an empty Requirements blob at slot 2 and
// a SHA-256 alternate at slot 0x1000, in a SuperBlob at the end of __LINKEDIT that LC_CODE_SIGNATURE
// points to. A signature already there is replaced. Throws
// std::runtime_error, saying why, for anything that is not a 64-bit little-endian Mach-O it can sign.
std::vector<std::uint8_t> sign(std::vector<std::uint8_t> image, const std::string& identifier);

// The signature of `image` as its load commands and blobs give it; throws std::runtime_error when it
// has none or it does not hold together.
Signature readSignature(const std::vector<std::uint8_t>& image);

// The digest of `bytes` by the CodeDirectory hash type `hashType` (1: SHA-1, 2: SHA-256).
std::string digest(std::uint8_t hashType, const std::uint8_t* bytes, std::size_t size);

} // namespace codesign
