#include "tools/bspc/texture_convert.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stb_image.h>

namespace {

// Plain textures stay small: one colour needs no detail.
constexpr int32_t PlainTextureSide = 8;
// Far beyond any sensible texture, and well inside what the viewer's texel addressing
// allows.
constexpr int32_t MaxTextureSide = 4096;
static_assert(MaxTextureSide <= MaxTextureWidth);

PixelImage NewImage(int32_t width, int32_t height) {
    return {std::make_unique<uint32_t[]>(size_t(width) * size_t(height)), width, height};
}

struct StbiFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

// Bilinear resampling with wrap-around: textures repeat across polygons, so the edges
// blend with the opposite side.
void Resample(const unsigned char* rgb, int32_t width, int32_t height, PixelImage& out) {
    for (int32_t y = 0; y < out.height; ++y) {
        const double sy = (y + 0.5) * height / out.height - 0.5;
        const double fy = std::floor(sy);
        const double wy = sy - fy;
        const int32_t y0 = ((int32_t(fy) % height) + height) % height;
        const int32_t y1 = (y0 + 1) % height;
        for (int32_t x = 0; x < out.width; ++x) {
            const double sx = (x + 0.5) * width / out.width - 0.5;
            const double fx = std::floor(sx);
            const double wx = sx - fx;
            const int32_t x0 = ((int32_t(fx) % width) + width) % width;
            const int32_t x1 = (x0 + 1) % width;
            uint32_t pixel = 0;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int32_t px, int32_t py) {
                    return double(rgb[(size_t(py) * size_t(width) + size_t(px)) * 3 + size_t(c)]);
                };
                const double top = at(x0, y0) * (1 - wx) + at(x1, y0) * wx;
                const double bottom = at(x0, y1) * (1 - wx) + at(x1, y1) * wx;
                const double value = top * (1 - wy) + bottom * wy;
                pixel = pixel << 8 | uint32_t(std::lround(std::fmin(std::fmax(value, 0.0), 255.0)));
            }
            out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = pixel;
        }
    }
}

} // namespace

int32_t NearestPowerOfTwo(int32_t n) {
    int32_t p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    // p is the power at or above n; the one below wins only when strictly nearer.
    if (p > 1 && n - p / 2 < p - n) p /= 2;
    return p;
}

bool PrepareTexture(const SceneMaterial& material, PixelImage& image, BspcMessages& messages) {
    if (material.imagePath.empty()) {
        image = NewImage(PlainTextureSide, PlainTextureSide);
        std::fill_n(image.pixels.get(), size_t(PlainTextureSide) * PlainTextureSide,
                    material.color);
        return true;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<unsigned char, StbiFree> rgb(
        stbi_load(material.imagePath.c_str(), &width, &height, &channels, 3));
    if (!rgb) {
        messages.error = "cannot read texture image \"" + material.imagePath + "\" of material \"" +
                         material.name + "\": " + stbi_failure_reason();
        return false;
    }
    if (width <= 0 || height <= 0 || width > MaxTextureSide || height > MaxTextureSide) {
        messages.error = "texture image \"" + material.imagePath + "\" is " +
                         std::to_string(width) + " x " + std::to_string(height) +
                         "; sides from 1 to " + std::to_string(MaxTextureSide) + " are supported";
        return false;
    }
    image = NewImage(NearestPowerOfTwo(width), NearestPowerOfTwo(height));
    if (image.width == width && image.height == height) {
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            const unsigned char* p = rgb.get() + i * 3;
            image.pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
        return true;
    }
    messages.warnings.push_back("texture image \"" + material.imagePath + "\" is " +
                                std::to_string(width) + " x " + std::to_string(height) +
                                ", not a power of two; resampled to " +
                                std::to_string(image.width) + " x " + std::to_string(image.height));
    Resample(rgb.get(), width, height, image);
    return true;
}
