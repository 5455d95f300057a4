// The renderer's fast path: the front-to-back walk over the map's render cache
// (render/scene_cache.h), writing each pixel at most once, with the same picture as the
// painter's walk (DrawBspNode) bit for bit.
#pragma once

#include <cstdint>

struct Map;

// Draws the map with ViewMatrix and CameraPosition() of this frame already set. False,
// with nothing drawn, when the map has no render cache, the view is larger than the
// coverage record holds or stretches the map too far (ViewKeepsMargin); the caller then
// draws with the painter's walk.
bool DrawSceneFrontToBack(const Map& map, uint32_t* frameBuffer);

// Whether the triangle of screen positions (x[k], y[k]), drawn unclipped, writes no pixel
// that the frame's coverage leaves open, found without the rasterizer's set-up: from the
// rows and columns it can reach, and for one that reaches at most SmallTrianglePixels
// pixels, pixel by pixel. Most triangles of distant detail draw nothing, or only where the
// coverage is set. False where in doubt, for the rasterizer to find.
inline constexpr int32_t SmallTrianglePixels = 4;
bool TriangleWritesNothing(const float (&x)[3], const float (&y)[3]);
