// Frames as binary PPM files, and the comparison of two frames. A frame is width x height
// pixels 0x00RRGGBB, top row first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

// P6 with 8 bits per channel: "P6\n<width> <height>\n255\n", then the samples. False on any error.
bool WritePpm(const std::filesystem::path& path, int32_t width, int32_t height,
              std::span<const uint32_t> pixels);
// The frame of a file exactly as WritePpm writes a width x height one; empty when the file is
// missing or holds anything else (another size or header, bytes after the samples).
std::vector<uint32_t> ReadPpm(const std::filesystem::path& path, int32_t width, int32_t height);

// Empty when the frames are identical; otherwise a report naming the number of differing
// pixels, the first few with both values, and their bounding box. width: the row length.
std::string CompareImages(std::span<const uint32_t> expected, std::span<const uint32_t> actual,
                          int32_t width);
