// The renderer's per-frame entry: walks the map back to front from the camera and
// fills the covered pixels of the frame buffer.
#pragma once

#include <cstdint>

#include "geometry/matrix.h"

struct Map;

void RenderScene(const Matrix4& camera, const Map& map, uint32_t* frameBuffer);
