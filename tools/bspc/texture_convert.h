// Turns the scene's materials into the map's texture slots.
//
// Every material gets a slot: its image (PNG, JPEG, BMP, TGA... from a file or from inside
// the scene file), or, when it has none or the image cannot be read, a small solid texture of
// its colour. Slots with identical pixels are one slot, so materials sharing an image write
// it once. Sides become powers of two (nearest, resampled) of at most maxTexture (halved with
// a box filter). Slot names are safe file names under "Textures" on every system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scene/bitmap.h"
#include "tools/bspc/bspc.h"
#include "tools/bspc/scene_import.h"

struct TextureSet {
    std::vector<std::string> names; // one per slot
    std::vector<PixelImage> images;
    std::vector<int32_t> slotOf;  // per scene material
    std::vector<bool> drawsImage; // per scene material: false for a solid colour
};

// The power of two nearest to n (ties go up), at least 1.
int32_t NearestPowerOfTwo(int32_t n);
// A name the viewer opens as "Textures\NAME.bmp" on any system: letters, digits, '_' and '-'
// only (so no "..", no separators, no ':' or control characters), never empty, never a
// Windows device name, at most `limit` bytes.
std::string SafeTextureName(std::string_view name, size_t limit = MaxTextureNameLength);
// False only when the slots exceed the format's limit (CheckTextureNames).
bool PrepareTextures(const std::vector<SceneMaterial>& materials, int32_t maxTexture,
                     TextureSet& out, BspcMessages& messages);
