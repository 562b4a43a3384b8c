// A scratch folder for one fuzzing process: the readers under test take files, so each input is
// written to a file in it first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz {

class Scratch {
  public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& path() const { return path_; }
    // Writes `size` bytes to `name` below the folder (made with its parent folders); the file's path.
    std::string write(const std::string& name, const std::uint8_t* data, std::size_t size) const;

  private:
    std::string path_;
};

} // namespace fuzz
