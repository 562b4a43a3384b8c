#include "dyld/MachOImage.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/RegularFile.hpp"
#include "dyld/CodeSigning.hpp"
#include "dyld/MachO.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace dyld {

namespace {

using namespace macho;

// A library or bundle this large is not one the device builds; refusing it bounds what a hostile
// file can make the loader read and reserve.
constexpr std::size_t kMaxFileSize = 256u << 20;
constexpr std::uint64_t kMaxMappedSize = 1ull << 30;
// Zero-filled memory (a segment's size beyond its bytes in the file) is what a library's own data
// needs: a bound that grows with the file, so that a small file cannot claim a gigabyte of it.
constexpr std::uint64_t kZeroFillAllowance = 16u << 20;
constexpr std::uint64_t kZeroFillPerFileByte = 4;
// What the list of fix-ups may take, names included: far more than the device's libraries need, and a
// bound on the time and memory that tables repeating a fix-up (or skipping back onto one) can cost.
constexpr std::size_t kMaxFixupBytes = 64u << 20;
// Symbol tables number sections in one byte. The device's images have three or four segments; a bound
// on them keeps the checks that compare segments with each other, or an address with each, cheap.
constexpr std::size_t kMaxSections = 255;
constexpr std::size_t kMaxSegments = 64;

struct Segment {
    std::string name;
    std::uint64_t vmaddr, vmsize, fileoff, filesize;
    std::uint32_t initprot;
    bool mapped; // false for __PAGEZERO and empty segments
};

struct Section {
    std::size_t segment; // its index in load-command order
    std::string name;
    std::uint64_t addr, size;
    std::uint32_t flags;
};

struct Failure {
    std::string message;
};

std::string fixedName(const char (&text)[16]) { return std::string(text, strnlen(text, 16)); }

// Reads LEB128 numbers, C strings and bytes from one stretch of the file, failing past its end.
class Cursor {
  public:
    Cursor(const std::uint8_t* begin, std::size_t size) : begin_(begin), size_(size) {}
    bool atEnd() const { return at_ >= size_; }
    std::size_t offset() const { return at_; }
    void seek(std::size_t offset) {
        if (offset > size_) {
            throw Failure{"a fix-up or export table points outside itself"};
        }
        at_ = offset;
    }
    std::uint8_t byte() {
        if (atEnd()) {
            throw Failure{"a fix-up or export table ends in the middle of an entry"};
        }
        return begin_[at_++];
    }
    std::uint64_t uleb() {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const std::uint8_t b = byte();
            // Bits past the 64th would be lost, and the number read as another.
            if (shift >= 64 || (shift == 63 && (b & 0x7e) != 0)) {
                throw Failure{"a number in a fix-up or export table is too long"};
            }
            value |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            if ((b & 0x80) == 0) {
                return value;
            }
        }
    }
    std::int64_t sleb() {
        std::int64_t value = 0;
        unsigned shift = 0;
        std::uint8_t b = 0;
        do {
            b = byte();
            if (shift >= 64) {
                throw Failure{"a number in a fix-up table is too long"};
            }
            value |= static_cast<std::int64_t>(static_cast<std::uint64_t>(b & 0x7f) << shift);
            shift += 7;
        } while ((b & 0x80) != 0);
        if (shift < 64 && (b & 0x40) != 0) {
            value |= static_cast<std::int64_t>(~0ull << shift);
        }
        return value;
    }
    std::string cstring() {
        const auto* start = begin_ + at_;
        const auto* end =
            static_cast<const std::uint8_t*>(std::memchr(start, 0, size_ - std::min(at_, size_)));
        if (atEnd() || end == nullptr) {
            throw Failure{"a symbol name in a fix-up or export table has no end"};
        }
        at_ += static_cast<std::size_t>(end - start) + 1;
        return std::string(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
    }

  private:
    const std::uint8_t* begin_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A name from the file as a message shows it: a hostile file's names may be long or hold bytes that
// drive a terminal, so the message carries no control bytes and at most 256 characters of it.
std::string shown(std::string_view name) {
    constexpr std::size_t kLongest = 256;
    std::string out;
    for (const char c : name.substr(0, kLongest)) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7f ? '?' : c;
    }
    return name.size() > kLongest ? out + "..." : out;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// The tables as dyld's messages name them.
const char* tableName(Fixup::Kind kind) {
    switch (kind) {
    case Fixup::Kind::Rebase:
        return "rebase table";
    case Fixup::Kind::Bind:
        return "bind table";
    case Fixup::Kind::LazyBind:
        return "lazy bind table";
    case Fixup::Kind::WeakBind:
        return "weak bind table";
    }
    return "";
}

const char* bindOpcodeName(std::uint8_t opcode) {
    static const char* const names[] = {"BIND_OPCODE_DONE",
                                        "BIND_OPCODE_SET_DYLIB_ORDINAL_IMM",
                                        "BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB",
                                        "BIND_OPCODE_SET_DYLIB_SPECIAL_IMM",
                                        "BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM",
                                        "BIND_OPCODE_SET_TYPE_IMM",
                                        "BIND_OPCODE_SET_ADDEND_SLEB",
                                        "BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB",
                                        "BIND_OPCODE_ADD_ADDR_ULEB",
                                        "BIND_OPCODE_DO_BIND",
                                        "BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB",
                                        "BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED",
                                        "BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB"};
    const std::size_t index = opcode >> 4;
    return index < std::size(names) ? names[index] : "an unknown opcode";
}

// Whether dyld takes the bind opcode `opcode` in a table of `kind`: a lazy binding only sets where it
// goes and what it binds, then binds; a weak binding names no library.
bool allowedIn(Fixup::Kind kind, std::uint8_t opcode) {
    switch (kind) {
    case Fixup::Kind::LazyBind:
        return opcode == BIND_OPCODE_DONE || opcode == BIND_OPCODE_SET_DYLIB_ORDINAL_IMM ||
               opcode == BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB || opcode == BIND_OPCODE_SET_DYLIB_SPECIAL_IMM ||
               opcode == BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM ||
               opcode == BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB || opcode == BIND_OPCODE_DO_BIND;
    case Fixup::Kind::WeakBind:
        return opcode != BIND_OPCODE_SET_DYLIB_ORDINAL_IMM && opcode != BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB &&
               opcode != BIND_OPCODE_SET_DYLIB_SPECIAL_IMM;
    default:
        return true;
    }
}

std::string leafName(const std::string& installName) {
    std::string leaf = installName.substr(installName.rfind('/') + 1);
    // "libSystem.B.dylib" is "libSystem" to the tools that list binds.
    if (auto dot = leaf.find('.'); dot != std::string::npos) {
        leaf.resize(dot);
    }
    return leaf;
}

} // namespace

// Reads the file, checks it and fills an image; every fault is a Failure naming what is wrong.
class MachOReader {
  public:
    MachOReader(const std::string& path, const MachOImage::Resolver& resolve, const LoadRules& rules)
        : path_(path), resolve_(resolve), rules_(rules) {}

    std::unique_ptr<MachOImage> read() {
        readFile();
        readLoadCommands();
        // As the kernel does before it maps a byte of the file for execution.
        if (rules_.signatureChecked) {
            if (auto refusal = codeSignatureRefusal(file_, signature_, rules_.system)) {
                throw Failure{*refusal};
            }
        }
        auto image = std::unique_ptr<MachOImage>(new MachOImage());
        image->path_ = path_;
        image->dependencies_ = dependencies_;
        map(*image);
        image_ = image.get();
        if (info_.present) {
            // Before the binds: a weak lookup may find the image's own definition.
            image->exports_.assign(
                file_.begin() + static_cast<std::ptrdiff_t>(info_.exports.offset),
                file_.begin() + static_cast<std::ptrdiff_t>(info_.exports.offset + info_.exports.size));
            rebase(info_.rebase);
            bind(info_.bind, Fixup::Kind::Bind);
            bind(info_.lazyBind, Fixup::Kind::LazyBind);
            bind(info_.weakBind, Fixup::Kind::WeakBind);
        }
        findInitializers();
        return image;
    }

  private:
    struct Range {
        std::uint64_t offset = 0, size = 0;
    };
    struct InfoTables {
        bool present = false;
        Range rebase, bind, weakBind, lazyBind, exports;
    };

    void readFile() {
        auto in = NS::detail::RegularFile::open(path_.c_str());
        if (!in) {
            throw Failure{"cannot be read, or is not a regular file"};
        }
        if (in->size() > kMaxFileSize) {
            throw Failure{"is larger than any library the loader takes"};
        }
        file_.resize(static_cast<std::size_t>(in->size()));
        if (!in->readFully(file_.data(), file_.size())) {
            throw Failure{"cannot be read"};
        }
    }

    template <class T> T at(std::uint64_t offset) const {
        if (const auto value = macho::read<T>(file_, offset)) {
            return *value;
        }
        throw Failure{"is cut short"};
    }

    Range range(std::uint32_t offset, std::uint32_t size) const {
        if (static_cast<std::uint64_t>(offset) + size > file_.size()) {
            throw Failure{"has a table past the end of the file"};
        }
        return {offset, size};
    }

    void readLoadCommands() {
        const auto header = at<MachHeader64>(0);
        if (header.magic != MH_MAGIC_64) {
            throw Failure{"is not a 64-bit Mach-O file"};
        }
        if (header.cputype != CPU_TYPE_ARM64) {
            throw Failure{"is not for arm64 (CPU type " + std::to_string(header.cputype) + ")"};
        }
        if (header.filetype != MH_DYLIB && header.filetype != MH_BUNDLE) {
            throw Failure{"is neither a dynamic library nor a bundle (file type " +
                          std::to_string(header.filetype) + ")"};
        }
        LoadCommands commands(file_, header);
        while (const auto command = commands.next()) {
            readLoadCommand(command->cmd, command->offset, command->cmdsize);
        }
        switch (commands.fault()) {
        case LoadCommands::Fault::None:
            break;
        case LoadCommands::Fault::PastEndOfFile:
            throw Failure{"has load commands past the end of the file"};
        case LoadCommands::Fault::Truncated:
            if (commands.offset() + sizeof(LoadCommand) > file_.size()) {
                throw Failure{"is cut short"};
            }
            [[fallthrough]];
        case LoadCommands::Fault::BadSize:
            throw Failure{"has a malformed load command"};
        }
        if (segments_.empty()) {
            throw Failure{"has no segments"};
        }
    }

    static void need(std::uint32_t cmdsize, std::size_t size) {
        if (cmdsize < size) {
            throw Failure{"has a malformed load command"};
        }
    }

    void readLoadCommand(std::uint32_t cmd, std::uint64_t offset, std::uint32_t cmdsize) {
        switch (cmd) {
        case LC_SEGMENT_64:
            readSegment(offset, cmdsize);
            break;
        case LC_DYLD_INFO:
        case LC_DYLD_INFO_ONLY: {
            need(cmdsize, sizeof(DyldInfoCommand));
            const auto c = at<DyldInfoCommand>(offset);
            info_ = {true,
                     range(c.rebaseOff, c.rebaseSize),
                     range(c.bindOff, c.bindSize),
                     range(c.weakBindOff, c.weakBindSize),
                     range(c.lazyBindOff, c.lazyBindSize),
                     range(c.exportOff, c.exportSize)};
            break;
        }
        case LC_LOAD_DYLIB:
        case LC_LOAD_WEAK_DYLIB:
        case LC_REEXPORT_DYLIB:
        case LC_LOAD_UPWARD_DYLIB: {
            need(cmdsize, sizeof(DylibCommand));
            const auto nameOffset = at<DylibCommand>(offset).nameOffset;
            if (nameOffset >= cmdsize) {
                throw Failure{"names a library outside its load command"};
            }
            const auto* name = reinterpret_cast<const char*>(file_.data() + offset + nameOffset);
            libraries_.emplace_back(name, strnlen(name, cmdsize - nameOffset));
            dependencies_.push_back({libraries_.back(), cmd == LC_LOAD_WEAK_DYLIB});
            break;
        }
        case LC_ENCRYPTION_INFO:
        case LC_ENCRYPTION_INFO_64:
            need(cmdsize, sizeof(EncryptionInfoCommand));
            if (at<EncryptionInfoCommand>(offset).cryptid != 0) {
                throw Failure{"is encrypted"};
            }
            break;
        case LC_CODE_SIGNATURE: {
            need(cmdsize, sizeof(LinkeditDataCommand));
            const auto c = at<LinkeditDataCommand>(offset);
            signature_ = {true, c.dataoff, c.datasize};
            break;
        }
        case LC_SYMTAB:
        case LC_DYSYMTAB:
        case LC_ID_DYLIB:
        case LC_UUID:
        case LC_RPATH:
        case LC_VERSION_MIN_IPHONEOS:
        case LC_FUNCTION_STARTS:
        case LC_DATA_IN_CODE:
        case LC_SOURCE_VERSION:
        case LC_BUILD_VERSION:
            break;
        default:
            // A command a loader may ignore says so by leaving this bit clear.
            if ((cmd & LC_REQ_DYLD) != 0) {
                char text[16];
                std::snprintf(text, sizeof text, "0x%x", cmd);
                throw Failure{std::string("has a load command this loader does not know (") + text + ")"};
            }
        }
    }

    void readSegment(std::uint64_t offset, std::uint32_t cmdsize) {
        need(cmdsize, sizeof(SegmentCommand64));
        const auto c = at<SegmentCommand64>(offset);
        if (sizeof(SegmentCommand64) + static_cast<std::uint64_t>(c.nsects) * sizeof(Section64) > cmdsize) {
            throw Failure{"has a segment whose sections overflow it"};
        }
        if (c.filesize > c.vmsize || c.fileoff > file_.size() || file_.size() - c.fileoff < c.filesize ||
            c.vmsize > kMaxMappedSize || c.vmaddr > kMaxMappedSize) {
            throw Failure{"has a segment outside the file or too large"};
        }
        if (segments_.size() == kMaxSegments) {
            throw Failure{"has more segments than any library the loader takes"};
        }
        const std::string name = fixedName(c.segname);
        const bool mapped = name != "__PAGEZERO" && c.vmsize != 0;
        segments_.push_back({name, c.vmaddr, c.vmsize, c.fileoff, c.filesize, c.initprot, mapped});
        // Fix-ups number segments in load-command order, as dyld does: those of no size have no number,
        // __PAGEZERO has one.
        if (c.vmsize != 0) {
            numbered_.push_back(segments_.size() - 1);
        }
        if (!mapped) {
            return;
        }
        // A fix-up writes a whole pointer: on a page boundary, the segment's slots are aligned.
        if (c.vmaddr % kPageSize != 0) {
            throw Failure{"has a segment that does not start on a page boundary"};
        }
        if (sections_.size() + c.nsects > kMaxSections) {
            throw Failure{"has more sections than a Mach-O file can number"};
        }
        for (std::uint32_t i = 0; i < c.nsects; ++i) {
            const auto s = at<Section64>(offset + sizeof(SegmentCommand64) + i * sizeof(Section64));
            if (s.addr < c.vmaddr || s.size > c.vmsize || s.addr - c.vmaddr > c.vmsize - s.size) {
                throw Failure{"has a section outside its segment"};
            }
            sections_.push_back({segments_.size() - 1, fixedName(s.sectname), s.addr, s.size, s.flags});
        }
    }

    // Memory for the image that the process's map names after its file, as a loader's mapping of a
    // library is named (a memory file's private copy; the file itself is read once, already). Plain
    // anonymous memory where no memory file can be made.
    void* mapNamed(std::uint64_t size) const {
        const std::string name = path_.size() > 200 ? path_.substr(path_.size() - 200) : path_;
        const int fd = memfd_create(name.c_str(), MFD_CLOEXEC);
        if (fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0) {
            void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_NORESERVE, fd, 0);
            close(fd);
            if (base != MAP_FAILED) {
                return base;
            }
        } else if (fd >= 0) {
            close(fd);
        }
        return mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1,
                    0);
    }

    // Only the pages that hold the file's bytes stay in the memory file: the rest (zero-fill, the gaps
    // between segments) becomes anonymous memory, which reads as the one zero page until written. A page
    // of a memory file is made as soon as it is read, and the leak checker reads all of an image.
    void keepZeroFillAnonymous(const MachOImage& image, std::uint64_t low) const {
        const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        std::vector<std::pair<std::uint64_t, std::uint64_t>> backed;
        for (const auto& s : segments_) {
            if (s.mapped && s.filesize != 0) {
                const std::uint64_t start = (s.vmaddr - low) / page * page;
                backed.emplace_back(start, (s.vmaddr - low + s.filesize + page - 1) / page * page);
            }
        }
        std::sort(backed.begin(), backed.end());
        std::uint64_t at = 0;
        const auto anonymous = [&](std::uint64_t from, std::uint64_t to) {
            if (from < to) {
                mmap(static_cast<char*>(image.mapping_) + from, to - from, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
            }
        };
        for (const auto& [start, end] : backed) {
            anonymous(at, start);
            at = std::max(at, end);
        }
        anonymous(at, image.size_);
    }

    void map(MachOImage& image) {
        std::uint64_t low = UINT64_MAX, high = 0;
        for (const auto& s : segments_) {
            if (s.mapped) {
                low = std::min(low, s.vmaddr);
                high = std::max(high, s.vmaddr + s.vmsize);
            }
        }
        // One segment's bytes would land on another's, and its fix-ups change the other's contents.
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            for (std::size_t j = i + 1; j < segments_.size(); ++j) {
                const auto &a = segments_[i], &b = segments_[j];
                if (a.mapped && b.mapped && a.vmaddr < b.vmaddr + b.vmsize &&
                    b.vmaddr < a.vmaddr + a.vmsize) {
                    throw Failure{"has segments that overlap"};
                }
            }
        }
        if (high == 0) {
            throw Failure{"has no segments"};
        }
        if (high - low > kMaxMappedSize) {
            throw Failure{"spans more address space than any library the loader takes"};
        }
        std::uint64_t zeroFill = 0;
        for (const auto& s : segments_) {
            zeroFill += s.mapped ? s.vmsize - s.filesize : 0;
        }
        if (zeroFill > kZeroFillAllowance + kZeroFillPerFileByte * file_.size()) {
            throw Failure{"asks for " + std::to_string(zeroFill) +
                          " bytes of zero-filled memory, more than a library of its size may"};
        }
        // Exports are offsets from the header, which the segment holding the file's start maps.
        const auto header = std::find_if(segments_.begin(), segments_.end(), [](const Segment& s) {
            return s.mapped && s.fileoff == 0 && s.filesize != 0;
        });
        if (header == segments_.end()) {
            throw Failure{"has no segment that maps its Mach-O header"};
        }
        const std::uint64_t size = (high - low + kSegmentAlignment - 1) & ~(kSegmentAlignment - 1);
        void* base = mapNamed(size);
        if (base == MAP_FAILED) {
            throw Failure{"cannot be mapped: out of address space"};
        }
        image.mapping_ = base;
        image.base_ = reinterpret_cast<std::uint64_t>(base) - low;
        image.size_ = size;
        image.header_ = image.base_ + header->vmaddr;
        keepZeroFillAnonymous(image, low);
        for (const auto& s : segments_) {
            if (!s.mapped) {
                continue;
            }
            std::memcpy(reinterpret_cast<void*>(image.base_ + s.vmaddr), file_.data() + s.fileoff,
                        s.filesize);
        }
    }

    void charge(std::size_t bytes) {
        fixupBytes_ += bytes;
        if (fixupBytes_ > kMaxFixupBytes) {
            throw Failure{"has more fix-ups than any library the loader takes"};
        }
    }

    // The index in segments_ of the segment a fix-up numbers `number`.
    std::size_t numbered(std::size_t number) const {
        if (number >= numbered_.size()) {
            throw Failure{"has a fix-up in a segment it does not have"};
        }
        return numbered_[number];
    }

    std::uint64_t& slot(std::size_t segment, std::uint64_t offset) {
        const auto& s = segments_[segment];
        if (!s.mapped || offset > s.vmsize || s.vmsize - offset < 8 || (offset & 7) != 0) {
            throw Failure{"has a fix-up outside its segment " + shown(s.name)};
        }
        // Every fix-up counts, those that change nothing included: a table may skip back onto one slot.
        charge(sizeof(Fixup));
        return *reinterpret_cast<std::uint64_t*>(image_->base_ + s.vmaddr + offset);
    }

    void note(Fixup::Kind kind, std::size_t segment, std::uint64_t offset, const Import* import,
              std::int64_t addend) {
        const auto& s = segments_[segment];
        const std::uint64_t address = s.vmaddr + offset;
        std::string section;
        for (const auto& sec : sections_) {
            if (sec.segment == segment && address >= sec.addr && address - sec.addr < sec.size) {
                section = sec.name;
            }
        }
        Fixup fixup{kind,
                    s.name,
                    section,
                    address,
                    import ? leafName(import->library) : "",
                    import ? import->symbol : "",
                    addend};
        charge(fixup.segment.size() + fixup.section.size() + fixup.library.size() + fixup.symbol.size());
        image_->fixups_.push_back(std::move(fixup));
    }

    void rebase(Range table) {
        Cursor in(file_.data() + table.offset, table.size);
        std::size_t segment = SIZE_MAX;
        std::uint64_t offset = 0;
        std::uint8_t type = 0;
        std::uint8_t byte = 0;
        const std::uint64_t slide = image_->base_;
        auto doRebase = [&] {
            if (type == 0) {
                throw Failure{"has bad rebase type 0 in its rebase table (opcode " + hex(byte) +
                              " before any REBASE_OPCODE_SET_TYPE_IMM)"};
            }
            if (segment == SIZE_MAX) {
                throw Failure{"has a fix-up in a segment it does not have"};
            }
            slot(segment, offset) += slide;
            note(Fixup::Kind::Rebase, segment, offset, nullptr, 0);
        };
        while (!in.atEnd()) {
            byte = in.byte();
            const std::uint8_t imm = byte & REBASE_IMMEDIATE_MASK;
            switch (byte & REBASE_OPCODE_MASK) {
            case REBASE_OPCODE_DONE:
                return;
            case REBASE_OPCODE_SET_TYPE_IMM:
                if (imm != REBASE_TYPE_POINTER) {
                    throw Failure{"has a rebase of a kind other than a pointer"};
                }
                type = imm;
                break;
            case REBASE_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB:
                segment = numbered(imm);
                offset = in.uleb();
                break;
            case REBASE_OPCODE_ADD_ADDR_ULEB:
                offset += in.uleb();
                break;
            case REBASE_OPCODE_ADD_ADDR_IMM_SCALED:
                offset += imm * 8ull;
                break;
            case REBASE_OPCODE_DO_REBASE_IMM_TIMES:
                for (unsigned i = 0; i < imm; ++i, offset += 8) {
                    doRebase();
                }
                break;
            case REBASE_OPCODE_DO_REBASE_ULEB_TIMES:
                for (std::uint64_t i = 0, n = in.uleb(); i < n; ++i, offset += 8) {
                    doRebase();
                }
                break;
            case REBASE_OPCODE_DO_REBASE_ADD_ADDR_ULEB:
                doRebase();
                offset += in.uleb() + 8;
                break;
            case REBASE_OPCODE_DO_REBASE_ULEB_TIMES_SKIPPING_ULEB: {
                const std::uint64_t count = in.uleb(), skip = in.uleb();
                for (std::uint64_t i = 0; i < count; ++i, offset += skip + 8) {
                    doRebase();
                }
                break;
            }
            default:
                throw Failure{"has a rebase instruction this loader does not know"};
            }
        }
    }

    void bind(Range table, Fixup::Kind kind) {
        Cursor in(file_.data() + table.offset, table.size);
        std::size_t segment = SIZE_MAX;
        std::uint64_t offset = 0;
        std::int64_t ordinal = 0, addend = 0;
        Import import;
        // A weak definition binds to the first loaded image's, wherever that is.
        import.anyImage = kind == Fixup::Kind::WeakBind;
        bool nonWeakDefinition = false;
        std::optional<std::uint64_t> target;
        auto doBind = [&] {
            if (segment == SIZE_MAX) {
                throw Failure{"has a fix-up in a segment it does not have"};
            }
            auto& pointer = slot(segment, offset);
            if (kind == Fixup::Kind::WeakBind) {
                // A strong definition in this image stays as the rebase left it; others take the
                // host's definition where there is one.
                if (nonWeakDefinition) {
                    return;
                }
                if (auto found = resolve_(import)) {
                    pointer = *found + static_cast<std::uint64_t>(addend);
                }
            } else {
                if (!target) {
                    target = resolve_(import);
                    // The image itself comes last in the order of loading.
                    if (!target && import.anyImage) {
                        target = image_->symbol(import.symbol);
                    }
                    if (!target && !import.weak) {
                        throw Failure{
                            "imports " + shown(import.symbol) + " from " +
                            (import.library.empty() ? std::string("anywhere") : shown(import.library)) +
                            ", which nothing here provides"};
                    }
                }
                pointer = target ? *target + static_cast<std::uint64_t>(addend) : 0;
            }
            note(kind, segment, offset, &import, addend);
        };
        auto setOrdinal = [&](std::int64_t value) {
            ordinal = value;
            // Below 1: the image itself, the main program, a flat or a weak lookup.
            if ((ordinal > 0 && static_cast<std::size_t>(ordinal) > libraries_.size()) ||
                ordinal < BIND_SPECIAL_DYLIB_WEAK_LOOKUP) {
                throw Failure{"binds from library number " + std::to_string(ordinal) +
                              ", which it does not load"};
            }
            if (ordinal == BIND_SPECIAL_DYLIB_WEAK_LOOKUP && rules_.system < CF::release::iOS12_0) {
                throw Failure{"binds through ordinal -3 (BIND_SPECIAL_DYLIB_WEAK_LOOKUP) in its " +
                              std::string(tableName(kind)) + ", which dyld takes only from iOS 12"};
            }
            import.library = ordinal > 0 ? libraries_[static_cast<std::size_t>(ordinal - 1)] : "";
            import.anyImage = kind == Fixup::Kind::WeakBind || ordinal == BIND_SPECIAL_DYLIB_WEAK_LOOKUP;
            target.reset();
        };
        while (!in.atEnd()) {
            const std::uint8_t byte = in.byte();
            const std::uint8_t imm = byte & BIND_IMMEDIATE_MASK;
            const std::uint8_t opcode = byte & BIND_OPCODE_MASK;
            if (!allowedIn(kind, opcode)) {
                throw Failure{std::string("has bad ") +
                              (kind == Fixup::Kind::LazyBind ? "lazy bind opcode " : "weak bind opcode ") +
                              hex(byte) + " (" + bindOpcodeName(opcode) + ") in its " + tableName(kind)};
            }
            switch (opcode) {
            case BIND_OPCODE_DONE: // lazy binds keep one entry per stretch
                if (kind != Fixup::Kind::LazyBind) {
                    return;
                }
                break;
            case BIND_OPCODE_SET_DYLIB_ORDINAL_IMM:
                setOrdinal(imm);
                break;
            case BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB:
                setOrdinal(static_cast<std::int64_t>(in.uleb()));
                break;
            case BIND_OPCODE_SET_DYLIB_SPECIAL_IMM:
                setOrdinal(imm == 0 ? 0 : static_cast<std::int8_t>(BIND_OPCODE_MASK | imm));
                break;
            case BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM:
                import.symbol = in.cstring();
                import.weak = (imm & BIND_SYMBOL_FLAGS_WEAK_IMPORT) != 0;
                nonWeakDefinition = (imm & BIND_SYMBOL_FLAGS_NON_WEAK_DEFINITION) != 0;
                target.reset();
                break;
            case BIND_OPCODE_SET_TYPE_IMM:
                if (imm != BIND_TYPE_POINTER) {
                    throw Failure{"has a bind of a kind other than a pointer"};
                }
                break;
            case BIND_OPCODE_SET_ADDEND_SLEB:
                addend = in.sleb();
                break;
            case BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB:
                segment = numbered(imm);
                offset = in.uleb();
                break;
            case BIND_OPCODE_ADD_ADDR_ULEB:
                offset += in.uleb();
                break;
            case BIND_OPCODE_DO_BIND:
                doBind();
                offset += 8;
                break;
            case BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB:
                doBind();
                offset += in.uleb() + 8;
                break;
            case BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED:
                doBind();
                offset += imm * 8ull + 8;
                break;
            case BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB: {
                const std::uint64_t count = in.uleb(), skip = in.uleb();
                for (std::uint64_t i = 0; i < count; ++i, offset += skip + 8) {
                    doBind();
                }
                break;
            }
            default:
                throw Failure{"has a bind instruction this loader does not know"};
            }
        }
    }

    void findInitializers() {
        for (const auto& section : sections_) {
            if ((section.flags & SECTION_TYPE) != S_MOD_INIT_FUNC_POINTERS) {
                continue;
            }
            for (std::uint64_t at = 0; at + 8 <= section.size; at += 8) {
                std::uint64_t function;
                std::memcpy(&function, reinterpret_cast<const void*>(image_->base_ + section.addr + at), 8);
                if (!inCode(function)) {
                    throw Failure{"has an initializer outside its code"};
                }
                image_->initializers_.push_back(function);
            }
        }
    }

    bool inCode(std::uint64_t address) const {
        return std::any_of(segments_.begin(), segments_.end(), [&](const Segment& s) {
            return s.mapped && (s.initprot & VM_PROT_EXECUTE) != 0 && address >= image_->base_ + s.vmaddr &&
                   address - (image_->base_ + s.vmaddr) < s.vmsize;
        });
    }

    const std::string& path_;
    const MachOImage::Resolver& resolve_;
    const LoadRules& rules_;
    std::vector<std::uint8_t> file_;
    SignatureRange signature_;
    std::vector<Segment> segments_;
    std::vector<std::size_t> numbered_; // the segments fix-ups number, by their numbers
    std::vector<Section> sections_;
    std::vector<std::string> libraries_;
    std::vector<Dependency> dependencies_;
    InfoTables info_;
    MachOImage* image_ = nullptr;
    std::size_t fixupBytes_ = 0;
};

std::unique_ptr<MachOImage> MachOImage::load(const std::string& path, const Resolver& resolve,
                                             const LoadRules& rules, std::string& error) {
    try {
        return MachOReader(path, resolve, rules).read();
    } catch (const Failure& failure) {
        error = path + ": " + failure.message;
        return nullptr;
    }
}

MachOImage::~MachOImage() {
    if (mapping_ != nullptr) {
        munmap(mapping_, size_);
    }
}

std::optional<std::uint64_t> MachOImage::symbol(std::string_view name) const {
    // The exports trie: each node has the symbol's data (if one ends there) and edges labelled by the
    // next characters of the name.
    try {
        Cursor in(exports_.data(), exports_.size());
        std::size_t matched = 0;
        for (int steps = 0; steps < 4096 && !exports_.empty(); ++steps) {
            const std::uint64_t terminal = in.uleb();
            if (terminal > exports_.size() - in.offset()) {
                return std::nullopt;
            }
            const std::size_t children = in.offset() + terminal;
            if (matched == name.size()) {
                if (terminal == 0) {
                    return std::nullopt;
                }
                const std::uint64_t flags = in.uleb();
                // Re-exports, resolvers, thread-local and absolute symbols are features the device build
                // does not use; a regular symbol is an offset from the image's Mach-O header.
                if ((flags & (EXPORT_SYMBOL_FLAGS_KIND_MASK | EXPORT_SYMBOL_FLAGS_REEXPORT |
                              EXPORT_SYMBOL_FLAGS_STUB_AND_RESOLVER)) != 0) {
                    return std::nullopt;
                }
                const std::uint64_t address = header_ + in.uleb();
                return contains(address) ? std::optional(address) : std::nullopt;
            }
            in.seek(children);
            const std::uint8_t count = in.byte();
            bool followed = false;
            for (std::uint8_t i = 0; i < count && !followed; ++i) {
                const std::string edge = in.cstring();
                const std::uint64_t next = in.uleb();
                // A child at offset 0 would be the root again: dyld reads it as the end of the search.
                if (name.substr(matched).starts_with(edge) && !edge.empty()) {
                    if (next == 0) {
                        return std::nullopt;
                    }
                    matched += edge.size();
                    in.seek(next);
                    followed = true;
                }
            }
            if (!followed) {
                return std::nullopt;
            }
        }
    } catch (const Failure&) {
    }
    return std::nullopt;
}

} // namespace dyld
