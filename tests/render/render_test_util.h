// Small builders shared by the renderer's tests: textures, screen polygons, frames.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "render/pipeline.h"
#include "scene/texture.h"

namespace rendertest {

inline constexpr int32_t Width = 512;
inline constexpr int32_t Height = 384;

// A power-of-two texture with its masks and shift as the loader computes them.
std::unique_ptr<Texture> MakeTexture(int32_t width, int32_t height,
                                     const std::function<uint32_t(int32_t, int32_t)>& texel);
std::unique_ptr<Texture> SolidTexture(uint32_t colour);
void Bind(const Texture& texture);

struct ScreenVertex {
    float x, y, z, u, v;
};
ClipPolygon MakePolygon(std::initializer_list<ScreenVertex> vertices);

// A cleared 512 x 384 frame.
std::vector<uint32_t> BlankFrame();
inline uint32_t At(const std::vector<uint32_t>& frame, int32_t x, int32_t y) {
    return frame[size_t(y) * Width + x];
}

} // namespace rendertest
