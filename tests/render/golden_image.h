// Frames as binary PPM files (P6, 8 bits per channel) and the comparison of a frame with
// its expected image, reporting where they differ.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rendertest {

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
};

bool WritePpm(const std::filesystem::path& path, int32_t width, int32_t height,
              std::span<const uint32_t> pixels);
// False for a missing or malformed file (only what WritePpm and common tools write).
bool ReadPpm(const std::filesystem::path& path, Image& image);

// Empty when the images are identical; otherwise a report naming the number of
// differing pixels, the first few with both values, and their bounding box.
std::string CompareImages(const Image& expected, const Image& actual);

// Where the expected images live in the source tree.
std::filesystem::path GoldenDirectory();

} // namespace rendertest
