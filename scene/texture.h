// Textures prepared for the rasterizer's texel fetch:
//   texel = pixels[((v >> vShift) & vMask) + ((u >> 16) & uMask)]
// for 16.16 coordinates u, v; the texture repeats in both directions.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

struct Map;

struct Texture {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint32_t[]> pixels;
    int32_t uMask = 0;
    int32_t vMask = 0;
    int32_t vShift = 0;
};

inline constexpr int32_t MaxTextureWidth = 65536;
// Room for a formed texture path, terminating NUL included.
inline constexpr int TexturePathSize = 256;

// Null when the bitmap does not load, or has a width or height of 0 or a width above
// MaxTextureWidth. Other sizes load; only powers of two sample correctly.
std::unique_ptr<Texture> LoadTexture(std::string_view path);
// Loads every slot from "dir\name.bmp", in order (one trailing backslash of dir is
// dropped); stops at the first failure, including a path that needs more than
// TexturePathSize bytes.
bool LoadMapTextures(Map& map, std::string_view directory);
