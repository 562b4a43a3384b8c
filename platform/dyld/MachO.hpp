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

// The dyld-info tables: each byte of a rebase or bind table is an opcode (the high nibble) and an
// immediate (the low one).
inline constexpr std::uint8_t kOpcodeMask = 0xf0;
inline constexpr std::uint8_t kImmediateMask = 0x0f;

enum RebaseOpcode : std::uint8_t {
    RebaseDone = 0x00,
    RebaseSetTypeImm = 0x10,
    RebaseSetSegmentAndOffsetUleb = 0x20,
    RebaseAddAddrUleb = 0x30,
    RebaseAddAddrImmScaled = 0x40,
    RebaseDoRebaseImmTimes = 0x50,
    RebaseDoRebaseUlebTimes = 0x60,
    RebaseDoRebaseAddAddrUleb = 0x70,
    RebaseDoRebaseUlebTimesSkippingUleb = 0x80,
};
inline constexpr std::uint8_t kRebaseTypePointer = 1;

enum BindOpcode : std::uint8_t {
    BindDone = 0x00,
    BindSetDylibOrdinalImm = 0x10,
    BindSetDylibOrdinalUleb = 0x20,
    BindSetDylibSpecialImm = 0x30,
    BindSetSymbolTrailingFlagsImm = 0x40,
    BindSetTypeImm = 0x50,
    BindSetAddendSleb = 0x60,
    BindSetSegmentAndOffsetUleb = 0x70,
    BindAddAddrUleb = 0x80,
    BindDoBind = 0x90,
    BindDoBindAddAddrUleb = 0xa0,
    BindDoBindAddAddrImmScaled = 0xb0,
    BindDoBindUlebTimesSkippingUleb = 0xc0,
};
inline constexpr std::uint8_t kBindTypePointer = 1;
inline constexpr std::uint8_t kBindSymbolWeakImport = 0x1;
inline constexpr std::uint8_t kBindSymbolNonWeakDefinition = 0x8;

// The library ordinals below 1: the image itself, the main program, a flat lookup, and the lookup of
// a weak definition in whichever loaded image has one (which dyld knows from iOS 12).
inline constexpr std::int64_t kBindSpecialDylibSelf = 0;
inline constexpr std::int64_t kBindSpecialDylibMainExecutable = -1;
inline constexpr std::int64_t kBindSpecialDylibFlatLookup = -2;
inline constexpr std::int64_t kBindSpecialDylibWeakLookup = -3;

// The export trie's symbol flags.
inline constexpr std::uint64_t kExportKindMask = 0x3; // 0 regular, 1 thread-local, 2 absolute
inline constexpr std::uint64_t kExportReexport = 0x8;
inline constexpr std::uint64_t kExportStubAndResolver = 0x10;

// The code signature (big-endian blobs).
inline constexpr std::uint32_t kSuperBlobMagic = 0xfade0cc0;
inline constexpr std::uint32_t kCodeDirectoryMagic = 0xfade0c02;
inline constexpr std::uint32_t kRequirementsMagic = 0xfade0c01;
inline constexpr std::uint32_t kCodeDirectorySlot = 0;
inline constexpr std::uint32_t kRequirementsSlot = 2;
inline constexpr std::uint32_t kAlternateCodeDirectorySlots = 0x1000; // the first of five
inline constexpr std::uint32_t kAlternateCodeDirectoryCount = 5;
inline constexpr std::uint8_t kHashTypeSha1 = 1;
inline constexpr std::uint8_t kHashTypeSha256 = 2;
inline constexpr std::uint32_t kCodeDirectoryAdHoc = 0x2;
inline constexpr std::uint32_t kCodeDirectoryWithExecSegment = 0x20400;

} // namespace macho
