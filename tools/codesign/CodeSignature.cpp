#include "CodeSignature.hpp"

#include "dyld/MachO.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace codesign {
namespace {

using namespace macho;

// Special slots: -1 (Info.plist, none here) and -2 (Requirements).
constexpr std::uint32_t kSpecialSlots = 2;

[[noreturn]] void fail(const std::string& why) { throw std::runtime_error(why); }

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size()) {
        fail("the file ends inside its load commands");
    }
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void putLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
void putLe64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
    putLe32(b, at, static_cast<std::uint32_t>(v));
    putLe32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size()) {
        fail("the signature runs past the end of the file");
    }
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | static_cast<std::uint32_t>(b[at + 3]);
}
void appendBe32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        b.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

// What signing needs to know of the load commands.
struct Layout {
    std::uint32_t commandCount = 0;
    std::uint32_t commandsSize = 0;
    std::size_t linkeditCommand = 0; // offset of __LINKEDIT's segment command
    std::uint64_t linkeditFileOffset = 0;
    std::uint64_t linkeditFileSize = 0;
    std::size_t signatureCommand = 0; // offset of LC_CODE_SIGNATURE, 0 when there is none
    std::uint64_t firstSectionOffset = UINT64_MAX;
    bool hasText = false;
    std::uint64_t textFileOffset = 0; // __TEXT's bytes in the file: the executable segment
    std::uint64_t textFileSize = 0;
};

Layout readLayout(const std::vector<std::uint8_t>& image) {
    const auto header = read<MachHeader64>(image, 0);
    if (!header) {
        fail("too short for a Mach-O header");
    }
    if (header->magic != MH_MAGIC_64) {
        fail("not a 64-bit little-endian Mach-O file");
    }
    if (header->cputype != CPU_TYPE_ARM64) {
        fail("not an arm64 Mach-O file");
    }
    Layout layout;
    layout.commandCount = header->ncmds;
    layout.commandsSize = header->sizeofcmds;
    LoadCommands commands(image, *header);
    while (const auto command = commands.next()) {
        const std::uint64_t at = command->offset;
        if (command->cmdsize % 8 != 0) {
            fail("a load command has a size that does not fit");
        }
        if (command->cmd == LC_SEGMENT_64) {
            if (command->cmdsize < sizeof(SegmentCommand64)) {
                fail("a segment command is too short");
            }
            const auto segment = *read<SegmentCommand64>(image, at);
            if (sizeof(SegmentCommand64) + std::uint64_t{segment.nsects} * sizeof(Section64) >
                command->cmdsize) {
                fail("a segment command holds more sections than fit in it");
            }
            for (std::uint32_t s = 0; s < segment.nsects; ++s) {
                const auto section =
                    *read<Section64>(image, at + sizeof(SegmentCommand64) + s * sizeof(Section64));
                const std::uint32_t type = section.flags & SECTION_TYPE;
                // Zero-fill sections take no room in the file.
                if (section.offset != 0 && type != S_ZEROFILL && type != S_GB_ZEROFILL &&
                    type != S_THREAD_LOCAL_ZEROFILL) {
                    layout.firstSectionOffset =
                        std::min<std::uint64_t>(layout.firstSectionOffset, section.offset);
                }
            }
            const std::string_view name(segment.segname, strnlen(segment.segname, sizeof segment.segname));
            if (name == "__TEXT") {
                layout.hasText = true;
                layout.textFileOffset = segment.fileoff;
                layout.textFileSize = segment.filesize;
            }
            if (name == "__LINKEDIT") {
                layout.linkeditCommand = at;
                layout.linkeditFileOffset = segment.fileoff;
                layout.linkeditFileSize = segment.filesize;
            }
        } else if (command->cmd == LC_CODE_SIGNATURE) {
            if (command->cmdsize != sizeof(LinkeditDataCommand)) {
                fail("LC_CODE_SIGNATURE has the wrong size");
            }
            layout.signatureCommand = at;
        }
    }
    switch (commands.fault()) {
    case LoadCommands::Fault::None:
        break;
    case LoadCommands::Fault::PastEndOfFile:
        fail("the load commands run past the end of the file");
    case LoadCommands::Fault::Truncated:
        fail("the load commands are fewer or shorter than the header says");
    case LoadCommands::Fault::BadSize:
        fail("a load command has a size that does not fit");
    }
    if (layout.linkeditCommand == 0) {
        fail("no __LINKEDIT segment");
    }
    if (!layout.hasText) {
        fail("no __TEXT segment");
    }
    if (layout.linkeditFileOffset + layout.linkeditFileSize > image.size()) {
        fail("__LINKEDIT runs past the end of the file");
    }
    return layout;
}

void appendBe64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    appendBe32(b, static_cast<std::uint32_t>(v >> 32));
    appendBe32(b, static_cast<std::uint32_t>(v));
}
std::uint64_t be64(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint64_t>(be32(b, at)) << 32 | be32(b, at + 4);
}

std::string directory(std::uint8_t hashType, const std::vector<std::uint8_t>& image, std::uint32_t codeLimit,
                      const std::string& identifier, const std::vector<std::uint8_t>& requirements,
                      const Layout& layout) {
    const std::size_t hashSize = hashType == CS_HASHTYPE_SHA1 ? CS_SHA1_LEN : CS_SHA256_LEN;
    const auto pages = static_cast<std::uint32_t>((codeLimit + kCodePageSize - 1) / kCodePageSize);
    const std::uint32_t identOffset = kCodeDirectoryHeaderWithExecSegment;
    const auto hashOffset =
        static_cast<std::uint32_t>(identOffset + identifier.size() + 1 + kSpecialSlots * hashSize);
    const auto length = static_cast<std::uint32_t>(hashOffset + pages * hashSize);

    std::vector<std::uint8_t> out;
    appendBe32(out, CSMAGIC_CODEDIRECTORY);
    appendBe32(out, length);
    appendBe32(out, CS_SUPPORTSEXECSEG);
    appendBe32(out, CS_ADHOC);
    appendBe32(out, hashOffset);
    appendBe32(out, identOffset);
    appendBe32(out, kSpecialSlots);
    appendBe32(out, pages);
    appendBe32(out, codeLimit);
    out.push_back(static_cast<std::uint8_t>(hashSize));
    out.push_back(hashType);
    out.push_back(0); // platform
    out.push_back(kCodePageSizeLog2);
    appendBe32(out, 0); // spare2
    appendBe32(out, 0); // scatterOffset: no scatter vector
    appendBe32(out, 0); // teamOffset: ad hoc, no team
    appendBe32(out, 0); // spare3
    appendBe64(out, 0); // codeLimit64: codeLimit holds it
    appendBe64(out, layout.textFileOffset);
    appendBe64(out, layout.textFileSize);
    appendBe64(out, 0); // execSegFlags: a library, with no entitlements to flag
    static_assert(kCodeDirectoryHeaderWithExecSegment == offsetof(CodeDirectory, execSegFlags) + 8);
    out.insert(out.end(), identifier.begin(), identifier.end());
    out.push_back(0);
    // Special slots run backwards from the code hashes: -2 (Requirements) first, then -1 (none).
    const std::string requirementsHash = digest(hashType, requirements.data(), requirements.size());
    out.insert(out.end(), requirementsHash.begin(), requirementsHash.end());
    out.insert(out.end(), hashSize, 0);
    for (std::uint32_t page = 0; page < pages; ++page) {
        const std::size_t start = page * kCodePageSize;
        const std::string hash =
            digest(hashType, &image[start], std::min<std::size_t>(kCodePageSize, codeLimit - start));
        out.insert(out.end(), hash.begin(), hash.end());
    }
    return std::string(out.begin(), out.end());
}

std::uint64_t alignUp(std::uint64_t value, std::uint64_t to) { return (value + to - 1) / to * to; }

} // namespace

std::string digest(std::uint8_t hashType, const std::uint8_t* bytes, std::size_t size) {
    const EVP_MD* md = hashType == CS_HASHTYPE_SHA1     ? EVP_sha1()
                       : hashType == CS_HASHTYPE_SHA256 ? EVP_sha256()
                                                        : nullptr;
    if (md == nullptr) {
        fail("unknown hash type " + std::to_string(hashType));
    }
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes, size, out, &length, md, nullptr) != 1) {
        fail("the hash could not be computed");
    }
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::vector<std::uint8_t> sign(std::vector<std::uint8_t> image, const std::string& identifier) {
    if (identifier.empty() || identifier.find('\0') != std::string::npos) {
        fail("the identifier must be a non-empty string");
    }
    Layout layout = readLayout(image);
    const std::uint64_t linkeditEnd = layout.linkeditFileOffset + layout.linkeditFileSize;
    if (layout.signatureCommand != 0) {
        // An old signature goes: the code ends where it began.
        const std::uint32_t old =
            le32(image, layout.signatureCommand + offsetof(LinkeditDataCommand, dataoff));
        if (old < layout.linkeditFileOffset || old > linkeditEnd) {
            fail("the present signature lies outside __LINKEDIT");
        }
        image.resize(old);
        layout.linkeditFileSize = old - layout.linkeditFileOffset;
    } else {
        if (linkeditEnd != image.size()) {
            fail("__LINKEDIT does not end the file; nothing can follow it");
        }
        const std::uint64_t commandsEnd = sizeof(MachHeader64) + layout.commandsSize;
        if (commandsEnd + sizeof(LinkeditDataCommand) > layout.firstSectionOffset) {
            fail("no room after the load commands for LC_CODE_SIGNATURE (link with more header padding)");
        }
        layout.signatureCommand = commandsEnd;
        putLe32(image, commandsEnd + offsetof(LinkeditDataCommand, cmd), LC_CODE_SIGNATURE);
        putLe32(image, commandsEnd + offsetof(LinkeditDataCommand, cmdsize), sizeof(LinkeditDataCommand));
        putLe32(image, offsetof(MachHeader64, ncmds), layout.commandCount + 1);
        putLe32(image, offsetof(MachHeader64, sizeofcmds), layout.commandsSize + sizeof(LinkeditDataCommand));
    }
    // The signature starts 16-byte aligned, where the code it covers stops.
    const std::uint64_t codeLimit = alignUp(image.size(), 16);
    if (codeLimit > UINT32_MAX / 2) {
        fail("too large to sign");
    }
    image.resize(codeLimit, 0);

    std::vector<std::uint8_t> requirements;
    appendBe32(requirements, CSMAGIC_REQUIREMENTS);
    appendBe32(requirements, sizeof(RequirementsBlob));
    appendBe32(requirements, 0);

    // The sizes are known before the hashes: the load commands, which page 0 holds, are final first.
    const auto pages = (codeLimit + kCodePageSize - 1) / kCodePageSize;
    const auto directorySize = [&](std::size_t hashSize) {
        return kCodeDirectoryHeaderWithExecSegment + identifier.size() + 1 +
               (kSpecialSlots + pages) * hashSize;
    };
    constexpr std::uint32_t kBlobs = 3;
    const std::size_t indexSize = sizeof(SuperBlob) + kBlobs * sizeof(BlobIndex);
    const std::size_t total =
        indexSize + directorySize(CS_SHA1_LEN) + requirements.size() + directorySize(CS_SHA256_LEN);
    const auto size = static_cast<std::uint32_t>(alignUp(total, 16));

    putLe32(image, layout.signatureCommand + offsetof(LinkeditDataCommand, dataoff),
            static_cast<std::uint32_t>(codeLimit));
    putLe32(image, layout.signatureCommand + offsetof(LinkeditDataCommand, datasize), size);
    const std::uint64_t fileSize = codeLimit + size - layout.linkeditFileOffset;
    putLe64(image, layout.linkeditCommand + offsetof(SegmentCommand64, vmsize),
            alignUp(fileSize, kSegmentAlignment));
    putLe64(image, layout.linkeditCommand + offsetof(SegmentCommand64, filesize), fileSize);

    const auto limit = static_cast<std::uint32_t>(codeLimit);
    const std::string sha1 = directory(CS_HASHTYPE_SHA1, image, limit, identifier, requirements, layout);
    const std::string sha256 = directory(CS_HASHTYPE_SHA256, image, limit, identifier, requirements, layout);

    std::vector<std::uint8_t> blob;
    appendBe32(blob, CSMAGIC_EMBEDDED_SIGNATURE);
    appendBe32(blob, size);
    appendBe32(blob, kBlobs);
    const auto first = static_cast<std::uint32_t>(indexSize);
    appendBe32(blob, CSSLOT_CODEDIRECTORY);
    appendBe32(blob, first);
    appendBe32(blob, CSSLOT_REQUIREMENTS);
    appendBe32(blob, static_cast<std::uint32_t>(first + sha1.size()));
    appendBe32(blob, CSSLOT_ALTERNATE_CODEDIRECTORIES);
    appendBe32(blob, static_cast<std::uint32_t>(first + sha1.size() + requirements.size()));
    blob.insert(blob.end(), sha1.begin(), sha1.end());
    blob.insert(blob.end(), requirements.begin(), requirements.end());
    blob.insert(blob.end(), sha256.begin(), sha256.end());
    blob.resize(size, 0);
    image.insert(image.end(), blob.begin(), blob.end());
    return image;
}

Signature readSignature(const std::vector<std::uint8_t>& image) {
    const Layout layout = readLayout(image);
    if (layout.signatureCommand == 0) {
        fail("not signed: no LC_CODE_SIGNATURE");
    }
    Signature signature;
    signature.offset = le32(image, layout.signatureCommand + offsetof(LinkeditDataCommand, dataoff));
    signature.size = le32(image, layout.signatureCommand + offsetof(LinkeditDataCommand, datasize));
    if (std::uint64_t{signature.offset} + signature.size > image.size()) {
        fail("the signature runs past the end of the file");
    }
    const std::size_t base = signature.offset;
    if (be32(image, base) != CSMAGIC_EMBEDDED_SIGNATURE) {
        fail("the signature is no SuperBlob");
    }
    const std::uint32_t length = be32(image, base + offsetof(SuperBlob, length));
    const std::uint32_t count = be32(image, base + offsetof(SuperBlob, count));
    if (length > signature.size || count > 16) {
        fail("the SuperBlob's length or count does not fit");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t index = base + sizeof(SuperBlob) + i * sizeof(BlobIndex);
        const std::uint32_t type = be32(image, index + offsetof(BlobIndex, type));
        const std::uint32_t offset = be32(image, index + offsetof(BlobIndex, offset));
        if (offset + std::uint64_t{8} > length) {
            fail("a blob lies outside the SuperBlob");
        }
        const std::size_t at = base + offset;
        const std::uint32_t magic = be32(image, at);
        const std::uint32_t blobLength = be32(image, at + offsetof(GenericBlob, length));
        if (offset + std::uint64_t{blobLength} > length) {
            fail("a blob runs past the end of the SuperBlob");
        }
        if (magic == CSMAGIC_REQUIREMENTS) {
            signature.emptyRequirements = type == CSSLOT_REQUIREMENTS &&
                                          blobLength == sizeof(RequirementsBlob) &&
                                          be32(image, at + offsetof(RequirementsBlob, count)) == 0;
            continue;
        }
        if (magic != CSMAGIC_CODEDIRECTORY || blobLength < kCodeDirectoryHeader) {
            fail("a blob is neither a CodeDirectory nor a Requirements blob");
        }
        Signature::Directory d;
        d.slot = type;
        d.version = be32(image, at + offsetof(CodeDirectory, version));
        d.flags = be32(image, at + offsetof(CodeDirectory, flags));
        const std::uint32_t hashOffset = be32(image, at + offsetof(CodeDirectory, hashOffset));
        const std::uint32_t identOffset = be32(image, at + offsetof(CodeDirectory, identOffset));
        const std::uint32_t specials = be32(image, at + offsetof(CodeDirectory, nSpecialSlots));
        const std::uint32_t codeSlots = be32(image, at + offsetof(CodeDirectory, nCodeSlots));
        d.codeLimit = be32(image, at + offsetof(CodeDirectory, codeLimit));
        const std::uint8_t hashSize = image[at + offsetof(CodeDirectory, hashSize)];
        d.hashType = image[at + offsetof(CodeDirectory, hashType)];
        d.pageSizeLog2 = image[at + offsetof(CodeDirectory, pageSize)];
        if (d.version >= CS_SUPPORTSEXECSEG && blobLength >= kCodeDirectoryHeaderWithExecSegment) {
            d.scatterOffset = be32(image, at + offsetof(CodeDirectory, scatterOffset));
            d.teamOffset = be32(image, at + offsetof(CodeDirectory, teamOffset));
            d.spare3 = be32(image, at + offsetof(CodeDirectory, spare3));
            d.codeLimit64 = be64(image, at + offsetof(CodeDirectory, codeLimit64));
            d.execSegBase = be64(image, at + offsetof(CodeDirectory, execSegBase));
            d.execSegLimit = be64(image, at + offsetof(CodeDirectory, execSegLimit));
            d.execSegFlags = be64(image, at + offsetof(CodeDirectory, execSegFlags));
        }
        if (hashSize == 0 || identOffset >= blobLength || hashOffset > blobLength ||
            std::uint64_t{specials} * hashSize > hashOffset ||
            hashOffset + std::uint64_t{codeSlots} * hashSize > blobLength) {
            fail("a CodeDirectory's offsets do not fit in it");
        }
        const char* ident = reinterpret_cast<const char*>(&image[at + identOffset]);
        d.identifier.assign(ident, strnlen(ident, blobLength - identOffset));
        for (std::uint32_t s = 1; s <= specials; ++s) {
            d.specialHashes.emplace_back(
                reinterpret_cast<const char*>(&image[at + hashOffset - s * hashSize]), hashSize);
        }
        for (std::uint32_t s = 0; s < codeSlots; ++s) {
            d.codeHashes.emplace_back(reinterpret_cast<const char*>(&image[at + hashOffset + s * hashSize]),
                                      hashSize);
        }
        signature.directories.push_back(std::move(d));
    }
    return signature;
}

} // namespace codesign
