// Turns material images into the textures the viewer reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/bitmap.h"
#include "tools/bspc/bspc.h"

// The power of two nearest to n (ties go up), at least 1.
int32_t NearestPowerOfTwo(int32_t n);
// Loads PNG, JPG, BMP or TGA; sides that are not powers of two are resampled to the
// nearest ones, with a warning. Materials without an image get a small plain texture.
bool PrepareTexture(const SceneMaterial& material, PixelImage& image, BspcMessages& messages);
