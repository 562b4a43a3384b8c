#include "CodeSignature.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); }
void put64(Bytes& b, std::size_t at, std::uint64_t v) { std::memcpy(&b[at], &v, 8); }
std::uint32_t get32(const Bytes& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
std::uint64_t get64(const Bytes& b, std::size_t at) {
    std::uint64_t v;
    std::memcpy(&v, &b[at], 8);
    return v;
}

// A minimal arm64 dylib as the linker lays one out: __TEXT with one section of `codeSize` bytes at
// 0x1000, then __LINKEDIT of `linkeditSize` bytes ending the file.
Bytes machO(std::size_t codeSize, std::size_t linkeditSize) {
    const std::size_t linkedit = 0x1000 + (codeSize + 0xfff) / 0x1000 * 0x1000;
    Bytes b(linkedit + linkeditSize, 0);
    put32(b, 0, 0xfeedfacf);
    put32(b, 4, 0x0100000c);
    put32(b, 12, 6); // MH_DYLIB
    put32(b, 16, 2);
    put32(b, 20, 152 + 72);
    std::size_t at = 32;
    put32(b, at, 0x19);
    put32(b, at + 4, 152);
    std::memcpy(&b[at + 8], "__TEXT", 6);
    put64(b, at + 32, linkedit);
    put64(b, at + 48, linkedit);
    put32(b, at + 64, 1);
    std::memcpy(&b[at + 72], "__text", 6);
    std::memcpy(&b[at + 88], "__TEXT", 6);
    put64(b, at + 72 + 40, codeSize);
    put32(b, at + 72 + 48, 0x1000);
    at += 152;
    put32(b, at, 0x19);
    put32(b, at + 4, 72);
    std::memcpy(&b[at + 8], "__LINKEDIT", 10);
    put64(b, at + 32, 0x4000);
    put64(b, at + 40, linkedit);
    put64(b, at + 48, linkeditSize);
    for (std::size_t i = 0x1000; i < b.size(); ++i) {
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return b;
}

// Recomputes every hash the signature holds from the file and says which one differs, if any.
std::string mismatch(const Bytes& signedImage) {
    const codesign::Signature signature = codesign::readSignature(signedImage);
    for (const auto& d : signature.directories) {
        const std::size_t page = std::size_t{1} << d.pageSizeLog2;
        if (d.codeLimit != signature.offset) {
            return "the code limit is not where the signature starts";
        }
        if (d.codeHashes.size() != (d.codeLimit + page - 1) / page) {
            return "the page count is wrong";
        }
        for (std::size_t i = 0; i < d.codeHashes.size(); ++i) {
            const std::size_t start = i * page;
            const std::size_t size = std::min(page, d.codeLimit - start);
            if (codesign::digest(d.hashType, &signedImage[start], size) != d.codeHashes[i]) {
                return "page " + std::to_string(i) + " of slot " + std::to_string(d.slot);
            }
        }
        const std::uint8_t emptyRequirements[] = {0xfa, 0xde, 0x0c, 0x01, 0, 0, 0, 12, 0, 0, 0, 0};
        if (d.specialHashes.size() != 2 ||
            d.specialHashes[1] != codesign::digest(d.hashType, emptyRequirements, sizeof emptyRequirements)) {
            return "the Requirements hash of slot " + std::to_string(d.slot);
        }
    }
    return {};
}

TEST(CodeSignature, HoldsASha1DirectoryASha256AlternateAndEmptyRequirements) {
    const Bytes image = codesign::sign(machO(0x2345, 0x321), "Glintmere.dylib");
    const codesign::Signature signature = codesign::readSignature(image);
    ASSERT_EQ(signature.directories.size(), 2u);
    const auto& primary = signature.directories[0];
    const auto& alternate = signature.directories[1];
    EXPECT_EQ(primary.slot, 0u);
    EXPECT_EQ(primary.hashType, 1);
    EXPECT_EQ(primary.codeHashes.front().size(), 20u);
    EXPECT_EQ(alternate.slot, 0x1000u);
    EXPECT_EQ(alternate.hashType, 2);
    EXPECT_EQ(alternate.codeHashes.front().size(), 32u);
    for (const auto& d : signature.directories) {
        // The version iOS 14 requires, its executable segment __TEXT: from the file's start to __LINKEDIT.
        EXPECT_EQ(d.version, 0x20400u);
        EXPECT_EQ(d.execSegBase, 0u);
        EXPECT_EQ(d.execSegLimit, 0x1000u + 0x3000);
        EXPECT_EQ(d.execSegFlags, 0u);
        EXPECT_EQ(d.scatterOffset, 0u);
        EXPECT_EQ(d.teamOffset, 0u);
        EXPECT_EQ(d.codeLimit64, 0u);
        EXPECT_EQ(d.flags, 0x2u) << "ad hoc";
        EXPECT_EQ(d.pageSizeLog2, 12);
        EXPECT_EQ(d.identifier, "Glintmere.dylib");
    }
    EXPECT_TRUE(signature.emptyRequirements);
    EXPECT_EQ(signature.offset % 16, 0u);
}

TEST(CodeSignature, EveryPageHashMatchesTheFileAndATouchedByteShows) {
    Bytes image = codesign::sign(machO(0x3801, 0x1ff), "x");
    EXPECT_EQ(mismatch(image), "");
    image[0x2000] ^= 1;
    EXPECT_EQ(mismatch(image), "page 2 of slot 0");
}

TEST(CodeSignature, LinkeditGrowsToHoldItAndTheLoadCommandPointsToIt) {
    const Bytes unsigned_ = machO(0x100, 0x40);
    const Bytes image = codesign::sign(unsigned_, "x");
    EXPECT_EQ(get32(image, 16), 3u) << "one more load command";
    EXPECT_EQ(get32(image, 20), 152u + 72 + 16);
    const std::size_t command = 32 + 152 + 72;
    EXPECT_EQ(get32(image, command), 0x1du);
    const std::uint32_t offset = get32(image, command + 8);
    const std::uint32_t size = get32(image, command + 12);
    EXPECT_EQ(offset + size, image.size()) << "the signature ends the file";
    const std::size_t linkedit = 32 + 152;
    EXPECT_EQ(get64(image, linkedit + 40) + get64(image, linkedit + 48), image.size());
    EXPECT_GE(get64(image, linkedit + 32), get64(image, linkedit + 48)) << "vmsize covers filesize";
}

TEST(CodeSignature, SigningAgainReplacesTheSignature) {
    const Bytes once = codesign::sign(machO(0x1800, 0x80), "x");
    const Bytes twice = codesign::sign(once, "x");
    EXPECT_EQ(once, twice);
    const Bytes renamed = codesign::sign(once, "y");
    EXPECT_EQ(codesign::readSignature(renamed).directories[0].identifier, "y");
    EXPECT_EQ(mismatch(renamed), "");
}

TEST(CodeSignature, RefusesWhatItCannotSignWithAReason) {
    const auto refusal = [](Bytes image) -> std::string {
        try {
            codesign::sign(std::move(image), "x");
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "signed";
    };
    EXPECT_EQ(refusal({}), "too short for a Mach-O header");
    EXPECT_EQ(refusal(Bytes(64, 0x7f)), "not a 64-bit little-endian Mach-O file");

    Bytes intel = machO(0x10, 0x10);
    put32(intel, 4, 0x01000007);
    EXPECT_EQ(refusal(intel), "not an arm64 Mach-O file");

    Bytes overlong = machO(0x10, 0x10);
    put32(overlong, 20, 0x7fffffff);
    EXPECT_EQ(refusal(overlong), "the load commands run past the end of the file");

    Bytes lying = machO(0x10, 0x10);
    put32(lying, 16, 40);
    EXPECT_EQ(refusal(lying), "the load commands are fewer or shorter than the header says");

    // A command of no size, one whose size is not a multiple of 8, one that wraps past the commands'
    // room: each stops the reading of the commands where it stands.
    for (const std::uint32_t size : {0u, 4u, 76u, 0xfffffff8u}) {
        Bytes odd = machO(0x10, 0x10);
        put32(odd, 32 + 4, size);
        EXPECT_EQ(refusal(odd), "a load command has a size that does not fit") << size;
    }

    Bytes crowded = machO(0x10, 0x10);
    put32(crowded, 32 + 72 + 48, 32 + 152 + 72 + 8); // the section starts right after the commands
    EXPECT_EQ(refusal(crowded),
              "no room after the load commands for LC_CODE_SIGNATURE (link with more header padding)");

    Bytes textless = machO(0x10, 0x10);
    std::memcpy(&textless[32 + 8], "__CODE", 6);
    EXPECT_EQ(refusal(textless), "no __TEXT segment");

    Bytes trailing = machO(0x10, 0x10);
    trailing.push_back(0);
    EXPECT_EQ(refusal(trailing), "__LINKEDIT does not end the file; nothing can follow it");

    Bytes cut = codesign::sign(machO(0x10, 0x10), "x");
    cut.resize(cut.size() - 1);
    EXPECT_THROW(codesign::readSignature(cut), std::runtime_error);
    EXPECT_THROW(codesign::readSignature(machO(0x10, 0x10)), std::runtime_error) << "not signed";
}

} // namespace
