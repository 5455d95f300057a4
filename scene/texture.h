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

// A Texture of width x height pixels, taking them over, with its fetch masks and shift
// worked out. Null when a side is 0 or less, the width is above MaxTextureWidth, pixels is
// null or memory runs out. Other sizes are accepted; only powers of two sample correctly.
std::unique_ptr<Texture> CreateTexture(int32_t width, int32_t height,
                                       std::unique_ptr<uint32_t[]> pixels);
// CreateTexture from a bitmap file; null also when the bitmap does not load. The reason is
// noted in LastLoadError (scene/load_error.h).
std::unique_ptr<Texture> LoadTexture(std::string_view path);
// Whether a texture name from a map file stays inside the texture folder on any system.
// Refused: an empty name; a control character or ':'; a leading '/' or '\'; a ".."
// component between either separator (or any component of only dots and spaces with two
// dots or more, which Windows reads as ".."); a component that is a Windows device name (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9, in any case, with or without an extension). Subfolders
// ("walls\brick") are fine.
bool TextureNameSafe(std::string_view name);
// Loads every slot from "dir\name.bmp", in order (one trailing backslash of dir is
// dropped); stops at the first failure: a file that does not load, a name that is not
// TextureNameSafe (whether or not such a file exists), or a path that needs more than
// TexturePathSize bytes. LastLoadError then names the texture file and the reason.
bool LoadMapTextures(Map& map, std::string_view directory);
