// A temporary folder for one test, removed with everything in it when the test ends, with small
// helpers to build fixture trees.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <string_view>

namespace quillmere::testing {

class TempDir {
  public:
    TempDir() {
        path_ = (std::filesystem::temp_directory_path() / "quillmere-test-XXXXXX").string();
        if (!mkdtemp(path_.data()))
            throw std::runtime_error("mkdtemp failed");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string path(std::string_view relative) const {
        return path_ + "/" + std::string(relative);
    }

    /// Writes `contents` at `relative`, creating parent folders; returns the absolute path.
    std::string write(std::string_view relative, std::string_view contents) const {
        const std::string full = path(relative);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        if (!out)
            throw std::runtime_error("could not write fixture " + full);
        return full;
    }

    std::string mkdir(std::string_view relative) const {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }

  private:
    std::string path_;
};

/// `size` deterministic pseudo-random bytes; different seeds give different content.
inline std::string randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(engine() & 0xff);
    return bytes;
}

/// Writes to `path` until the volume it is on has no space left.
inline void fillVolume(const std::string& path) {
    for (std::ofstream out(path, std::ios::binary); out << std::string(4096, 'f') << std::flush;) {
    }
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace quillmere::testing
