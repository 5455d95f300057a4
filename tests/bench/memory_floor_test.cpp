#include "bench/render/memory_floor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scene/texture.h"

// Every kind the CPU runs writes every pixel with the texel of its own u and v: a floor that
// skipped or repeated texels would read less memory and flatter the figures beside it. The
// width is no multiple of 16, so that the rows' ends are drawn one by one.
TEST(MemoryFloor, EveryKindWritesTheTexelOfEachPixel) {
    constexpr int32_t Width = 37, Height = 6, TexWidth = 64, TexHeight = 32;
    auto texels = std::make_unique<uint32_t[]>(TexWidth * TexHeight);
    for (uint32_t i = 0; i < TexWidth * TexHeight; ++i)
        texels[i] = 0x01000000u + i;
    const std::unique_ptr<Texture> texture = CreateTexture(TexWidth, TexHeight, std::move(texels));
    ASSERT_TRUE(texture);

    std::vector<uint32_t> expected(Width * Height);
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x) {
            // 0.3125 y + 0.75 x texels across, y + 0.125 x down, in 16.16.
            const uint32_t u = uint32_t(y) * 0x5000u + uint32_t(x) * 0xC000u;
            const uint32_t v = uint32_t(y) * 0x10000u + uint32_t(x) * 0x2000u;
            expected[y * Width + x] =
                texture->pixels[((v >> 16) % TexHeight) * TexWidth + (u >> 16) % TexWidth];
        }
    for (FloorKind kind : {FloorKind::Scalar, FloorKind::Avx2, FloorKind::Avx512}) {
        if (int(kind) > int(FastestFloorKind())) break;
        std::vector<uint32_t> frame(Width * Height, 0xDEADBEEFu);
        DrawFloorFrame(frame, Width, *texture, kind);
        EXPECT_EQ(frame, expected) << "kind " << int(kind);
    }
}
