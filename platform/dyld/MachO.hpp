// The numbers and layouts of the Mach-O format, and the one reader of its load commands, for the
// device's loader and the phone's signer alike.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace macho {

// The images are little-endian, and so is every host this reads them on: a field is its bytes.
static_assert(std::endian::native == std::endian::little);

// The file's first four bytes: a 32-bit or 64-bit image, or a fat file (whose header is big-endian).
inline constexpr std::uint32_t MH_MAGIC = 0xfeedface;
inline constexpr std::uint32_t MH_MAGIC_64 = 0xfeedfacf;
inline constexpr std::uint32_t FAT_MAGIC = 0xcafebabe;

inline constexpr std::uint32_t CPU_TYPE_ARM64 = 0x0100000c;
inline constexpr std::uint32_t MH_DYLIB = 6;
inline constexpr std::uint32_t MH_BUNDLE = 8;

struct MachHeader64 {
    std::uint32_t magic, cputype, cpusubtype, filetype, ncmds, sizeofcmds, flags, reserved;
};
static_assert(sizeof(MachHeader64) == 32);

// Set in a load command that a loader must understand to load the image.
inline constexpr std::uint32_t LC_REQ_DYLD = 0x80000000;

inline constexpr std::uint32_t LC_SYMTAB = 0x2;
inline constexpr std::uint32_t LC_DYSYMTAB = 0xb;
inline constexpr std::uint32_t LC_LOAD_DYLIB = 0xc;
inline constexpr std::uint32_t LC_ID_DYLIB = 0xd;
inline constexpr std::uint32_t LC_LOAD_WEAK_DYLIB = 0x18 | LC_REQ_DYLD;
inline constexpr std::uint32_t LC_SEGMENT_64 = 0x19;
inline constexpr std::uint32_t LC_UUID = 0x1b;
inline constexpr std::uint32_t LC_RPATH = 0x1c | LC_REQ_DYLD;
inline constexpr std::uint32_t LC_CODE_SIGNATURE = 0x1d;
inline constexpr std::uint32_t LC_REEXPORT_DYLIB = 0x1f | LC_REQ_DYLD;
inline constexpr std::uint32_t LC_ENCRYPTION_INFO = 0x21;
inline constexpr std::uint32_t LC_DYLD_INFO = 0x22;
inline constexpr std::uint32_t LC_DYLD_INFO_ONLY = 0x22 | LC_REQ_DYLD;
inline constexpr std::uint32_t LC_LOAD_UPWARD_DYLIB = 0x23 | LC_REQ_DYLD;
inline constexpr std::uint32_t LC_VERSION_MIN_IPHONEOS = 0x25;
inline constexpr std::uint32_t LC_FUNCTION_STARTS = 0x26;
inline constexpr std::uint32_t LC_DATA_IN_CODE = 0x29;
inline constexpr std::uint32_t LC_SOURCE_VERSION = 0x2a;
inline constexpr std::uint32_t LC_ENCRYPTION_INFO_64 = 0x2c;
inline constexpr std::uint32_t LC_BUILD_VERSION = 0x32;

struct LoadCommand {
    std::uint32_t cmd, cmdsize;
};

struct SegmentCommand64 {
    std::uint32_t cmd, cmdsize;
    char segname[16];
    std::uint64_t vmaddr, vmsize, fileoff, filesize;
    std::uint32_t maxprot, initprot, nsects, flags;
};
static_assert(sizeof(SegmentCommand64) == 72);

struct Section64 {
    char sectname[16], segname[16];
    std::uint64_t addr, size;
    std::uint32_t offset, align, reloff, nreloc, flags, reserved1, reserved2, reserved3;
};
static_assert(sizeof(Section64) == 80);

// LC_LOAD_DYLIB and its kin: the install name lies `nameOffset` bytes into the command.
struct DylibCommand {
    std::uint32_t cmd, cmdsize, nameOffset, timestamp, currentVersion, compatibilityVersion;
};
static_assert(sizeof(DylibCommand) == 24);

// LC_CODE_SIGNATURE, LC_FUNCTION_STARTS, LC_DATA_IN_CODE: a stretch of __LINKEDIT.
struct LinkeditDataCommand {
    std::uint32_t cmd, cmdsize, dataoff, datasize;
};
static_assert(sizeof(LinkeditDataCommand) == 16);

// The fields that LC_ENCRYPTION_INFO and LC_ENCRYPTION_INFO_64 share (the latter adds padding).
struct EncryptionInfoCommand {
    std::uint32_t cmd, cmdsize, cryptoff, cryptsize, cryptid;
};
static_assert(sizeof(EncryptionInfoCommand) == 20);

struct DyldInfoCommand {
    std::uint32_t cmd, cmdsize, rebaseOff, rebaseSize, bindOff, bindSize, weakBindOff, weakBindSize,
        lazyBindOff, lazyBindSize, exportOff, exportSize;
};
static_assert(sizeof(DyldInfoCommand) == 48);

// A section's type is the low byte of its flags.
inline constexpr std::uint32_t SECTION_TYPE = 0xff;
inline constexpr std::uint32_t S_ZEROFILL = 0x1;
inline constexpr std::uint32_t S_MOD_INIT_FUNC_POINTERS = 0x9;
inline constexpr std::uint32_t S_GB_ZEROFILL = 0xc;
inline constexpr std::uint32_t S_THREAD_LOCAL_ZEROFILL = 0x12;

inline constexpr std::uint32_t VM_PROT_EXECUTE = 0x4;

// The 4 KiB pages that section offsets and fix-ups are laid out in, and the 16 KiB that arm64
// segments are aligned to.
inline constexpr std::uint64_t kPageSize = 0x1000;
inline constexpr std::uint64_t kSegmentAlignment = 0x4000;

// The dyld-info tables: each byte of a rebase or bind table is an opcode (the high nibble) and an
// immediate (the low one).
inline constexpr std::uint8_t REBASE_OPCODE_MASK = 0xf0;
inline constexpr std::uint8_t REBASE_IMMEDIATE_MASK = 0x0f;
inline constexpr std::uint8_t REBASE_TYPE_POINTER = 1;
inline constexpr std::uint8_t REBASE_OPCODE_DONE = 0x00;
inline constexpr std::uint8_t REBASE_OPCODE_SET_TYPE_IMM = 0x10;
inline constexpr std::uint8_t REBASE_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB = 0x20;
inline constexpr std::uint8_t REBASE_OPCODE_ADD_ADDR_ULEB = 0x30;
inline constexpr std::uint8_t REBASE_OPCODE_ADD_ADDR_IMM_SCALED = 0x40;
inline constexpr std::uint8_t REBASE_OPCODE_DO_REBASE_IMM_TIMES = 0x50;
inline constexpr std::uint8_t REBASE_OPCODE_DO_REBASE_ULEB_TIMES = 0x60;
inline constexpr std::uint8_t REBASE_OPCODE_DO_REBASE_ADD_ADDR_ULEB = 0x70;
inline constexpr std::uint8_t REBASE_OPCODE_DO_REBASE_ULEB_TIMES_SKIPPING_ULEB = 0x80;

inline constexpr std::uint8_t BIND_OPCODE_MASK = 0xf0;
inline constexpr std::uint8_t BIND_IMMEDIATE_MASK = 0x0f;
inline constexpr std::uint8_t BIND_TYPE_POINTER = 1;
inline constexpr std::uint8_t BIND_SYMBOL_FLAGS_WEAK_IMPORT = 0x1;
inline constexpr std::uint8_t BIND_SYMBOL_FLAGS_NON_WEAK_DEFINITION = 0x8;
inline constexpr std::uint8_t BIND_OPCODE_DONE = 0x00;
inline constexpr std::uint8_t BIND_OPCODE_SET_DYLIB_ORDINAL_IMM = 0x10;
inline constexpr std::uint8_t BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB = 0x20;
inline constexpr std::uint8_t BIND_OPCODE_SET_DYLIB_SPECIAL_IMM = 0x30;
inline constexpr std::uint8_t BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM = 0x40;
inline constexpr std::uint8_t BIND_OPCODE_SET_TYPE_IMM = 0x50;
inline constexpr std::uint8_t BIND_OPCODE_SET_ADDEND_SLEB = 0x60;
inline constexpr std::uint8_t BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB = 0x70;
inline constexpr std::uint8_t BIND_OPCODE_ADD_ADDR_ULEB = 0x80;
inline constexpr std::uint8_t BIND_OPCODE_DO_BIND = 0x90;
inline constexpr std::uint8_t BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB = 0xa0;
inline constexpr std::uint8_t BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED = 0xb0;
inline constexpr std::uint8_t BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB = 0xc0;

// The library ordinals below 1: the image itself, the main program, a flat lookup, and the lookup of
// a weak definition in whichever loaded image has one (which dyld knows from iOS 12).
inline constexpr std::int64_t BIND_SPECIAL_DYLIB_SELF = 0;
inline constexpr std::int64_t BIND_SPECIAL_DYLIB_MAIN_EXECUTABLE = -1;
inline constexpr std::int64_t BIND_SPECIAL_DYLIB_FLAT_LOOKUP = -2;
inline constexpr std::int64_t BIND_SPECIAL_DYLIB_WEAK_LOOKUP = -3;

// The export trie's symbol flags.
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_KIND_MASK = 0x03;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_KIND_REGULAR = 0x00;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_KIND_THREAD_LOCAL = 0x01;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_KIND_ABSOLUTE = 0x02;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_WEAK_DEFINITION = 0x04;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_REEXPORT = 0x08;
inline constexpr std::uint64_t EXPORT_SYMBOL_FLAGS_STUB_AND_RESOLVER = 0x10;

// The code signature: big-endian blobs in a SuperBlob that LC_CODE_SIGNATURE points to.
inline constexpr std::uint32_t CSMAGIC_REQUIREMENTS = 0xfade0c01;
inline constexpr std::uint32_t CSMAGIC_CODEDIRECTORY = 0xfade0c02;
inline constexpr std::uint32_t CSMAGIC_EMBEDDED_SIGNATURE = 0xfade0cc0;
inline constexpr std::uint32_t CSSLOT_CODEDIRECTORY = 0;
inline constexpr std::uint32_t CSSLOT_REQUIREMENTS = 2;
inline constexpr std::uint32_t CSSLOT_ALTERNATE_CODEDIRECTORIES = 0x1000; // the first of five
inline constexpr std::uint32_t CSSLOT_ALTERNATE_CODEDIRECTORY_MAX = 5;
inline constexpr std::uint8_t CS_HASHTYPE_SHA1 = 1;
inline constexpr std::uint8_t CS_HASHTYPE_SHA256 = 2;
inline constexpr std::size_t CS_SHA1_LEN = 20;
inline constexpr std::size_t CS_SHA256_LEN = 32;
inline constexpr std::uint32_t CS_ADHOC = 0x2;
// The CodeDirectory version with the executable segment's fields, which iOS 14 and later require;
// older kernels skip what follows the fields they know.
inline constexpr std::uint32_t CS_SUPPORTSEXECSEG = 0x20400;
// The kernel hashes pages of 4096 bytes; page 0 holds the load commands, so the signature covers them.
inline constexpr std::uint8_t kCodePageSizeLog2 = 12;
inline constexpr std::size_t kCodePageSize = std::size_t{1} << kCodePageSizeLog2;

// The blobs' fields as they lie from each blob's start, every one big-endian in the file.
struct SuperBlob {
    std::uint32_t magic, length, count; // and `count` BlobIndex entries
};
struct BlobIndex {
    std::uint32_t type, offset; // its slot, and where it lies from the SuperBlob's start
};
struct GenericBlob {
    std::uint32_t magic, length;
};
// A Requirements blob: its header and a count of requirements.
struct RequirementsBlob {
    std::uint32_t magic, length, count;
};
struct CodeDirectory {
    std::uint32_t magic, length, version, flags, hashOffset, identOffset, nSpecialSlots, nCodeSlots,
        codeLimit;
    std::uint8_t hashSize, hashType, platform, pageSize;
    std::uint32_t spare2;
    // scatterOffset from version 0x20100, teamOffset from 0x20200, spare3 and codeLimit64 from 0x20300,
    // the executable segment's fields from 0x20400.
    std::uint32_t scatterOffset, teamOffset, spare3;
    std::uint64_t codeLimit64, execSegBase, execSegLimit, execSegFlags;
};
// The fields of the oldest CodeDirectory (0x20001), up to and including spare2; and of 0x20400,
// through execSegFlags.
inline constexpr std::size_t kCodeDirectoryHeader = offsetof(CodeDirectory, scatterOffset);
inline constexpr std::size_t kCodeDirectoryHeaderWithExecSegment = sizeof(CodeDirectory);
static_assert(kCodeDirectoryHeader == 44 && kCodeDirectoryHeaderWithExecSegment == 88);

// The `T` at `offset` in `bytes`; nullopt when it does not lie whole within them.
template <class T> std::optional<T> read(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return std::nullopt;
    }
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

// The load commands of an image, one at a time and each checked to lie whole within the room its
// header gives them: a hostile header's count or sizes take the reader no further than that room.
class LoadCommands {
  public:
    enum class Fault {
        None,
        PastEndOfFile, // the commands' room runs past the end of the file
        Truncated,     // the room ends before the header's count of commands does
        BadSize,       // a command's size is less than its own fields, or runs past the room
    };
    struct Command {
        std::uint32_t cmd, cmdsize;
        std::uint64_t offset; // in the file
    };

    LoadCommands(std::span<const std::uint8_t> file, const MachHeader64& header)
        : file_(file), left_(header.ncmds), at_(sizeof(MachHeader64)),
          end_(sizeof(MachHeader64) + std::uint64_t{header.sizeofcmds}) {
        if (end_ > file.size()) {
            fault_ = Fault::PastEndOfFile;
            left_ = 0;
        }
    }

    // The next command; nullopt after the last, or at the first fault.
    std::optional<Command> next() {
        if (left_ == 0) {
            return std::nullopt;
        }
        const auto command = end_ - at_ >= sizeof(LoadCommand) ? read<LoadCommand>(file_, at_) : std::nullopt;
        if (!command) {
            return stop(Fault::Truncated);
        }
        if (command->cmdsize < sizeof(LoadCommand) || command->cmdsize > end_ - at_) {
            return stop(Fault::BadSize);
        }
        const Command out{command->cmd, command->cmdsize, at_};
        at_ += command->cmdsize;
        --left_;
        return out;
    }

    Fault fault() const { return fault_; }
    // Where the commands' room ends in the file, and where the reader stands in it (at a fault, the
    // command it could not read).
    std::uint64_t end() const { return end_; }
    std::uint64_t offset() const { return at_; }

  private:
    std::optional<Command> stop(Fault fault) {
        fault_ = fault;
        left_ = 0;
        return std::nullopt;
    }

    std::span<const std::uint8_t> file_;
    std::uint32_t left_;
    std::uint64_t at_, end_;
    Fault fault_ = Fault::None;
};

} // namespace macho
