#include "support/files.h"

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "scene/map.h"

TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) return;
    // create_directory claims a name atomically: false when it exists already, so a
    // repeated number (or another process's folder) is never shared.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / ("vexmont-" + std::to_string(random()));
        if (fs::create_directory(candidate, error)) path_ = candidate;
    }
    if (!path_.empty()) fs::permissions(path_, fs::perms::owner_all, error);
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string TempDir::File(std::string_view name) const {
    return (path_ / name).string();
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

bool WriteFileText(const std::filesystem::path& path, std::string_view text) {
    std::error_code error;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), std::streamsize(text.size()));
    file.close();
    return !file.fail();
}

bool WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    return WriteFileText(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
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
