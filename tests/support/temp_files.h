// Scratch files for tests: a temporary directory removed with its contents at scope end,
// writing bytes to a file, and a scoped change of the working directory (the program
// opens its files by relative names).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct Map;

class TempDir {
  public:
    TempDir(); // a fresh directory under the system's temporary directory
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path() / name as a string (name may hold '/' for subdirectories).
    std::string File(std::string_view name) const;

  private:
    std::filesystem::path path_;
};

// Creates or replaces the file (parent directories are created). False on any error.
bool WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Makes dir the working directory until scope end, then restores the previous one.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& dir);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

// Writes the bytes into a temporary file and loads them with LoadMap; null on failure.
std::unique_ptr<Map> LoadMapFromBytes(std::span<const uint8_t> bytes);
