#include "scene/texture.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "scene/bitmap.h"
#include "scene/map.h"

std::unique_ptr<Texture> CreateTexture(int32_t width, int32_t height,
                                       std::unique_ptr<uint32_t[]> pixels) {
    // An empty side would leave the fetch masks pointing outside the pixels, and a width
    // above 65536 would make vShift negative.
    if (width <= 0 || height <= 0 || width > MaxTextureWidth || !pixels) return nullptr;

    auto texture = std::unique_ptr<Texture>(new (std::nothrow) Texture());
    if (!texture) return nullptr;
    texture->width = width;
    texture->height = height;
    texture->pixels = std::move(pixels);
    texture->uMask = texture->width - 1;
    texture->vMask = texture->width * (texture->height - 1);
    // log2 as ln(width) / ln(2); the 1e-7 lifts exact powers of two above a result that
    // lands just below the integer.
    const auto log2Width = int32_t(std::log(double(texture->width)) / std::log(2.0) + 0.0000001);
    texture->vShift = 16 - log2Width;
    return texture;
}

std::unique_ptr<Texture> LoadTexture(std::string_view path) {
    std::unique_ptr<PixelImage> image = LoadBitmap(path);
    if (!image) return nullptr;
    return CreateTexture(image->width, image->height, std::move(image->pixels));
}

bool LoadMapTextures(Map& map, std::string_view directory) {
    if (!directory.empty() && directory.back() == '\\') directory.remove_suffix(1);
    for (int32_t i = 0; i < map.textureCount; ++i) {
        TextureSlot& slot = map.textureSlots[i];
        char path[TexturePathSize];
        const int length = std::snprintf(path, sizeof path, "%.*s\\%s%s", int(directory.size()),
                                         directory.data(), slot.name.c_str(), TextureFileExtension);
        // A path that would not fit is never cut short: the slot fails.
        if (length < 0 || size_t(length) >= sizeof path) return false;
        slot.texture = LoadTexture(path);
        if (!slot.texture) return false;
    }
    return true;
}
