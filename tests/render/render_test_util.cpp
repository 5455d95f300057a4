#include "render_test_util.h"

#include "render/raster.h"

namespace rendertest {

std::unique_ptr<Texture> MakeTexture(int32_t width, int32_t height,
                                     const std::function<uint32_t(int32_t, int32_t)>& texel) {
    auto pixels = std::make_unique<uint32_t[]>(size_t(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = texel(x, y);
    return CreateTexture(width, height, std::move(pixels));
}

std::unique_ptr<Texture> SolidTexture(uint32_t colour) {
    return MakeTexture(1, 1, [colour](int32_t, int32_t) { return colour; });
}

void Bind(const Texture& texture) {
    TextureBinding.texels = texture.pixels.get();
    TextureBinding.uMask = texture.uMask;
    TextureBinding.vMask = texture.vMask;
    TextureBinding.vShift = texture.vShift;
    TextureBinding.paddedRows = nullptr;
}

ClipPolygon MakePolygon(std::initializer_list<ScreenVertex> vertices) {
    ClipPolygon p{};
    for (const ScreenVertex& v : vertices) {
        ClipVertex& c = p.vertices[p.count++];
        c.x = v.x;
        c.y = v.y;
        c.z = v.z;
        c.u = v.u;
        c.v = v.v;
    }
    return p;
}

std::vector<uint32_t> BlankFrame() {
    return std::vector<uint32_t>(size_t(Width) * Height, 0);
}

} // namespace rendertest
