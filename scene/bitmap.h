// Plain uncompressed 24-bit BMP files: the reader the viewer loads its textures and font
// with, and the writer the asset tools and the map compiler make them with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// 0x00RRGGBB pixels, row-major, top row first.
struct PixelImage {
    std::unique_ptr<uint32_t[]> pixels;
    int32_t width = 0;
    int32_t height = 0;
};

// Largest accepted side; keeps width x height x 4 and the row size far from overflow.
inline constexpr int32_t MaxBitmapSide = 32768;

// Null on any failure (missing file, not 24-bit uncompressed, negative or oversized
// dimensions, a file that ends early, no memory); the reason is noted in LastLoadError
// (scene/load_error.h). Any bytes are safe: the header is judged only when read whole, and
// nothing is allocated for rows the file does not hold.
std::unique_ptr<PixelImage> LoadBitmap(std::string_view path);
// Writes the image at path (as the host spells it) as a file LoadBitmap reads back
// unchanged, bar the top byte of each pixel. False when a side is negative or above
// MaxBitmapSide, pixels are missing, or the file cannot be written completely.
bool WriteBitmap(const std::string& path, const PixelImage& image);
