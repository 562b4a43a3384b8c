#include "FuzzScratch.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fuzz {

Scratch::Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glintmere-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz: cannot make a scratch folder");
        std::abort();
    }
    path_ = pattern;
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string Scratch::write(const std::string& name, const std::uint8_t* data, std::size_t size) const {
    const std::filesystem::path file = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", file.c_str());
        std::abort();
    }
    return file.string();
}

} // namespace fuzz
