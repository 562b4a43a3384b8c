#include "dyld/CodeSigning.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "dyld/MachO.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <map>

namespace dyld {

namespace {

using namespace macho;

// A SuperBlob holds a handful of blobs; more is no signature a signer writes.
constexpr std::uint32_t kMaxBlobs = 32;

struct Refusal {
    std::string message;
};

std::uint32_t be32(const std::vector<std::uint8_t>& file, std::uint64_t at) {
    if (at > file.size() || file.size() - at < 4) {
        throw Refusal{"has a code signature that runs past the end of the file"};
    }
    return static_cast<std::uint32_t>(file[at]) << 24 | static_cast<std::uint32_t>(file[at + 1]) << 16 |
           static_cast<std::uint32_t>(file[at + 2]) << 8 | static_cast<std::uint32_t>(file[at + 3]);
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::size_t hashSizeOf(std::uint8_t type) {
    return type == CS_HASHTYPE_SHA1 ? CS_SHA1_LEN : type == CS_HASHTYPE_SHA256 ? CS_SHA256_LEN : 0;
}

// Of the hash types the kernel knows, the stronger ranks higher; 0 for one it does not know.
int rankOf(std::uint8_t type) { return type == CS_HASHTYPE_SHA1 ? 1 : type == CS_HASHTYPE_SHA256 ? 2 : 0; }

std::string hashName(std::uint8_t type) {
    return type == CS_HASHTYPE_SHA1     ? "SHA-1"
           : type == CS_HASHTYPE_SHA256 ? "SHA-256"
                                        : "type " + std::to_string(type);
}

bool sameDigest(std::uint8_t type, const std::uint8_t* bytes, std::size_t size,
                const std::uint8_t* expected) {
    const EVP_MD* md = type == CS_HASHTYPE_SHA1 ? EVP_sha1() : EVP_sha256();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    return EVP_Digest(bytes, size, out, &length, md, nullptr) == 1 && length == hashSizeOf(type) &&
           std::equal(out, out + length, expected);
}

struct Blob {
    std::uint32_t slot;
    std::uint64_t at; // in the file
    std::uint32_t length;
};

struct Directory {
    Blob blob;
    std::uint32_t version, hashOffset, specialSlots, codeSlots, codeLimit;
    std::uint8_t hashSize, hashType, pageSizeLog2;
};

std::string slotName(std::uint32_t slot) {
    return slot == CSSLOT_CODEDIRECTORY ? "slot 0" : "slot " + hex(slot);
}

Directory readDirectory(const std::vector<std::uint8_t>& file, const Blob& blob) {
    if (blob.length < kCodeDirectoryHeader) {
        throw Refusal{"has a CodeDirectory at " + slotName(blob.slot) + " too short to be one"};
    }
    Directory d{blob,
                be32(file, blob.at + offsetof(CodeDirectory, version)),
                be32(file, blob.at + offsetof(CodeDirectory, hashOffset)),
                be32(file, blob.at + offsetof(CodeDirectory, nSpecialSlots)),
                be32(file, blob.at + offsetof(CodeDirectory, nCodeSlots)),
                be32(file, blob.at + offsetof(CodeDirectory, codeLimit)),
                file[blob.at + offsetof(CodeDirectory, hashSize)],
                file[blob.at + offsetof(CodeDirectory, hashType)],
                file[blob.at + offsetof(CodeDirectory, pageSize)]};
    const std::uint64_t hashes = std::uint64_t{d.hashSize} * d.codeSlots;
    if (d.hashOffset > blob.length || std::uint64_t{d.hashSize} * d.specialSlots > d.hashOffset ||
        hashes > blob.length - d.hashOffset) {
        throw Refusal{"has a CodeDirectory at " + slotName(blob.slot) + " whose hashes lie outside it"};
    }
    return d;
}

void checkPages(const std::vector<std::uint8_t>& file, const Directory& d, SignatureRange range) {
    if (d.pageSizeLog2 != kCodePageSizeLog2) {
        throw Refusal{"has a CodeDirectory whose pages are not 4096 bytes"};
    }
    if (d.hashSize != hashSizeOf(d.hashType)) {
        throw Refusal{"has a " + hashName(d.hashType) + " CodeDirectory with " + std::to_string(d.hashSize) +
                      "-byte hashes"};
    }
    // Every byte before the signature is code the kernel may map; none of it goes unhashed.
    if (d.codeLimit < range.offset || d.codeLimit > file.size()) {
        throw Refusal{"has a CodeDirectory that covers the file up to byte " + std::to_string(d.codeLimit) +
                      ", where the signature starts at " + std::to_string(range.offset)};
    }
    const std::uint64_t pages = (std::uint64_t{d.codeLimit} + kCodePageSize - 1) / kCodePageSize;
    if (d.codeSlots != pages) {
        throw Refusal{"has a CodeDirectory with " + std::to_string(d.codeSlots) + " page hashes for " +
                      std::to_string(pages) + " pages"};
    }
    const std::uint8_t* hashes = file.data() + d.blob.at + d.hashOffset;
    for (std::uint64_t page = 0; page < pages; ++page) {
        const std::uint64_t start = page * kCodePageSize;
        const std::size_t size = std::min<std::uint64_t>(kCodePageSize, d.codeLimit - start);
        if (!sameDigest(d.hashType, file.data() + start, size, hashes + page * d.hashSize)) {
            throw Refusal{"page " + std::to_string(page) + " does not match its hash"};
        }
    }
}

// Special slot -N holds the hash of the blob of type N; those the SuperBlob holds must match.
void checkSpecialSlots(const std::vector<std::uint8_t>& file, const Directory& d,
                       const std::vector<Blob>& blobs) {
    const std::uint8_t* hashes = file.data() + d.blob.at + d.hashOffset;
    for (const Blob& blob : blobs) {
        if (blob.slot == 0 || blob.slot > d.specialSlots) {
            continue;
        }
        if (!sameDigest(d.hashType, file.data() + blob.at, blob.length, hashes - blob.slot * d.hashSize)) {
            throw Refusal{"special slot -" + std::to_string(blob.slot) + " does not match its hash"};
        }
    }
}

void check(const std::vector<std::uint8_t>& file, SignatureRange range, double system) {
    if (!range.present) {
        throw Refusal{"is not signed (it has no LC_CODE_SIGNATURE)"};
    }
    if (std::uint64_t{range.offset} + range.size > file.size() || range.size < sizeof(SuperBlob)) {
        throw Refusal{"has a code signature that runs past the end of the file"};
    }
    if (be32(file, range.offset) != CSMAGIC_EMBEDDED_SIGNATURE) {
        throw Refusal{"has a code signature that is no SuperBlob"};
    }
    const std::uint32_t length = be32(file, range.offset + offsetof(SuperBlob, length));
    const std::uint32_t count = be32(file, range.offset + offsetof(SuperBlob, count));
    if (length > range.size || count > kMaxBlobs ||
        sizeof(SuperBlob) + std::uint64_t{count} * sizeof(BlobIndex) > length) {
        throw Refusal{"has a SuperBlob whose length or count does not fit"};
    }
    std::vector<Blob> blobs;
    std::vector<Directory> directories;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t index = range.offset + sizeof(SuperBlob) + i * sizeof(BlobIndex);
        const std::uint32_t slot = be32(file, index + offsetof(BlobIndex, type));
        const std::uint32_t offset = be32(file, index + offsetof(BlobIndex, offset));
        if (std::uint64_t{offset} + sizeof(GenericBlob) > length) {
            throw Refusal{"has a blob outside its SuperBlob"};
        }
        const std::uint64_t at = range.offset + std::uint64_t{offset};
        const std::uint32_t blobLength = be32(file, at + offsetof(GenericBlob, length));
        if (blobLength < sizeof(GenericBlob) || std::uint64_t{offset} + blobLength > length) {
            throw Refusal{"has a blob that runs past the end of its SuperBlob"};
        }
        const Blob blob{slot, at, blobLength};
        blobs.push_back(blob);
        const bool directorySlot =
            slot == CSSLOT_CODEDIRECTORY ||
            (slot >= CSSLOT_ALTERNATE_CODEDIRECTORIES &&
             slot < CSSLOT_ALTERNATE_CODEDIRECTORIES + CSSLOT_ALTERNATE_CODEDIRECTORY_MAX);
        if (directorySlot) {
            if (be32(file, at) != CSMAGIC_CODEDIRECTORY) {
                throw Refusal{"has no CodeDirectory at " + slotName(slot) + ", where one belongs"};
            }
            directories.push_back(readDirectory(file, blob));
        }
    }

    const Directory* used = nullptr;
    if (system < CF::release::iOS10_0) {
        const auto primary = std::find_if(directories.begin(), directories.end(), [](const Directory& d) {
            return d.blob.slot == CSSLOT_CODEDIRECTORY;
        });
        if (primary == directories.end()) {
            throw Refusal{"has no CodeDirectory at slot 0"};
        }
        if (primary->hashType != CS_HASHTYPE_SHA1) {
            throw Refusal{"has a " + hashName(primary->hashType) +
                          " CodeDirectory at slot 0, where iOS 9 and earlier read SHA-1 only"};
        }
        used = &*primary;
    } else {
        std::map<std::uint8_t, std::uint32_t> slotOfType;
        for (const Directory& d : directories) {
            if (const auto [it, fresh] = slotOfType.emplace(d.hashType, d.blob.slot); !fresh) {
                throw Refusal{"has two " + hashName(d.hashType) + " CodeDirectories (at " +
                              slotName(it->second) + " and " + slotName(d.blob.slot) + ")"};
            }
            if (rankOf(d.hashType) > (used != nullptr ? rankOf(used->hashType) : 0)) {
                used = &d;
            }
        }
        if (used == nullptr) {
            throw Refusal{"has no CodeDirectory of a hash type the kernel knows"};
        }
        if (system >= CF::release::iOS14_0) {
            for (const Directory& d : directories) {
                if (d.version < CS_SUPPORTSEXECSEG) {
                    throw Refusal{"CodeDirectory version " + hex(d.version) +
                                  " is older than iOS 14 accepts"};
                }
            }
        }
    }
    checkPages(file, *used, range);
    checkSpecialSlots(file, *used, blobs);
}

} // namespace

std::optional<std::string> codeSignatureRefusal(const std::vector<std::uint8_t>& file, SignatureRange range,
                                                double system) {
    try {
        check(file, range, system);
    } catch (const Refusal& refusal) {
        return refusal.message;
    }
    return std::nullopt;
}

} // namespace dyld
