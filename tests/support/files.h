// Files for tests: a scratch folder removed with its contents at scope end, whole files read
// and written, and a scoped change of the working folder (the program opens its files by
// relative names). Standard C++ only, so tests built for any system may use it.
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
    TempDir(); // a fresh folder under the system's temporary folder; Path() empty on failure
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path() / name as a string (name may hold '/' for subfolders).
    std::string File(std::string_view name) const;

  private:
    std::filesystem::path path_;
};

// The file's bytes; empty when it is missing or unreadable.
std::string ReadWholeFile(const std::filesystem::path& path);

// Creates or replaces the file (parent folders are created). False on any error.
bool WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);
bool WriteFileText(const std::filesystem::path& path, std::string_view text);

// Makes dir the working folder until scope end, then restores the previous one.
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
