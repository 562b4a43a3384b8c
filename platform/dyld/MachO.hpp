// The numbers of the Mach-O format that the device's loader and the phone's signer both read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace macho {

// The header of a 64-bit image, little-endian: magic, CPU type, CPU subtype, file type, command
// count, commands' size, flags, reserved.
inline constexpr std::uint32_t kMagic64 = 0xfeedfacf;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::uint32_t kCpuArm64 = 0x0100000c;
inline constexpr std::uint32_t kDylib = 6;
inline constexpr std::uint32_t kBundle = 8;

// Set in a load command that a loader must understand to load the image.
inline constexpr std::uint32_t kRequiredByDyld = 0x80000000;

enum LoadCommand : std::uint32_t {
    Segment64 = 0x19,
    Symtab = 0x2,
    Dysymtab = 0xb,
    LoadDylib = 0xc,
    IdDylib = 0xd,
    Uuid = 0x1b,
    CodeSignature = 0x1d,
    EncryptionInfo = 0x21,
    DyldInfo = 0x22,
    DyldInfoOnly = 0x22 | kRequiredByDyld,
    LoadWeakDylib = 0x18 | kRequiredByDyld,
    Rpath = 0x1c | kRequiredByDyld,
    ReexportDylib = 0x1f | kRequiredByDyld,
    LoadUpwardDylib = 0x23 | kRequiredByDyld,
    VersionMinIphoneos = 0x25,
    FunctionStarts = 0x26,
    DataInCode = 0x29,
    SourceVersion = 0x2a,
    EncryptionInfo64 = 0x2c,
    BuildVersion = 0x32,
};

} // namespace macho
