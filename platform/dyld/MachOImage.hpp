// An arm64 Mach-O library or bundle mapped at host addresses, its rebases and binds applied.
#pragma once

#include "objc/Runtime.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dyld {

// One symbol the image takes from a library.
struct Import {
    std::string library; // the install name, or "" for the image itself or a flat lookup
    std::string symbol;  // as the image names it, with its leading underscore
    bool weak = false;   // an absent definition binds to 0 instead of refusing the image
    // Found in whichever loaded image defines it first (a weak lookup, or a weak definition's binding),
    // not in one library.
    bool anyImage = false;
};

// What the loader holds an image to: the rules of one system version's kernel and dyld.
struct LoadRules {
    double system; // the system's Core Foundation number (CF::release)
    // The kernel's check of the code signature. Off only for images that stand for nothing a device
    // runs: those that exercise the tables' reading alone.
    bool signatureChecked;
};

// A library the image names (LC_LOAD_DYLIB and its kin).
struct Dependency {
    std::string installName;
    bool weak = false; // may be missing where the image runs
};

// A pointer the loader wrote, for those who check the loader against other readers of the image.
struct Fixup {
    enum class Kind { Rebase, Bind, LazyBind, WeakBind };
    Kind kind;
    std::string segment;
    std::string section;
    std::uint64_t address; // in the image's own address space (its vmaddr), not the host's
    std::string library;   // the leaf name of the library ("libSystem"), "" for rebases
    std::string symbol;    // "" for rebases
    std::int64_t addend = 0;
};

class GLINTMERE_EXPORT MachOImage {
  public:
    // The host address an import is bound to; nullopt when nothing provides it.
    using Resolver = std::function<std::optional<std::uint64_t>(const Import&)>;

    // Maps the image at `path` and binds every import through `resolve`, by `rules`. On any fault of the
    // file (not arm64, not a library or bundle, encrypted, a load command that must be understood and is
    // not, a fix-up outside the image, an import without binding, a table or a signature that the
    // system's dyld or kernel refuses...) returns null and says why in `error`, naming the file (and the
    // table and opcode or symbol, for a fix-up).
    static std::unique_ptr<MachOImage> load(const std::string& path, const Resolver& resolve,
                                            const LoadRules& rules, std::string& error);

    ~MachOImage();
    MachOImage(const MachOImage&) = delete;
    MachOImage& operator=(const MachOImage&) = delete;

    const std::string& path() const { return path_; }
    // The host address of the image's address 0, and its mapping.
    std::uint64_t base() const { return base_; }
    // The host address of its Mach-O header, from which exports are offsets.
    std::uint64_t header() const { return header_; }
    void* mapping() const { return mapping_; }
    std::uint64_t size() const { return size_; }
    bool contains(std::uint64_t address) const {
        const auto start = reinterpret_cast<std::uint64_t>(mapping_);
        return address >= start && address - start < size_;
    }
    // The host address of an exported symbol (named with its underscore), nullopt if not exported.
    std::optional<std::uint64_t> symbol(std::string_view name) const;
    // The initializers (`__mod_init_func`), host addresses, in the order they run.
    const std::vector<std::uint64_t>& initializers() const { return initializers_; }
    const std::vector<Fixup>& fixups() const { return fixups_; }
    const std::vector<Dependency>& dependencies() const { return dependencies_; }

  private:
    MachOImage() = default;

    std::string path_;
    void* mapping_ = nullptr;
    std::uint64_t base_ = 0;
    std::uint64_t header_ = 0;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> exports_;
    std::vector<std::uint64_t> initializers_;
    std::vector<Fixup> fixups_;
    std::vector<Dependency> dependencies_;

    friend class MachOReader;
};

} // namespace dyld
