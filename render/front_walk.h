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
