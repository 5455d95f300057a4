#include "support/temp_files.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "scene/map.h"

TempDir::TempDir() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "vexmont-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string TempDir::File(std::string_view name) const {
    return (path_ / name).string();
}

bool WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::error_code error;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::filesystem::path& dir) {
    std::error_code error;
    previous_ = std::filesystem::current_path(error);
    std::filesystem::current_path(dir, error);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code error;
    if (!previous_.empty()) std::filesystem::current_path(previous_, error);
}

std::unique_ptr<Map> LoadMapFromBytes(std::span<const uint8_t> bytes) {
    TempDir dir;
    const std::string path = dir.File("map.bsp");
    if (!WriteFileBytes(path, bytes)) return nullptr;
    return LoadMap(path);
}
