// Writes images as plain uncompressed 24-bit BMP files, the only image form the viewer reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// pixels: width x height values 0x00RRGGBB, top row first. False when the file cannot be
// written.
bool WriteBmp24(const std::string& path, std::span<const uint32_t> pixels, int32_t width,
                int32_t height);
