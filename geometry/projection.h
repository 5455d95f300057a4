// Projection constants and the four side planes of the view frustum, set once at
// start-up and read by the polygon pipeline and the rasterizer.
#pragma once

#include <cstdint>

#include "geometry/plane.h"

// Clipped geometry stays half this many pixels inside each screen edge (2 on each side).
inline constexpr float FrustumMargin = 4.0f;

extern int32_t ViewWidth;
extern int32_t ViewHeight;
extern float FocalLength;
// Camera space, normals pointing inwards, in the order right, left, top, bottom.
extern Plane FrustumPlanes[4];

// Always 1.
int SetupProjection(int32_t width, int32_t height);
// w and h are the full view extents less the margin; the halves are taken here.
void BuildFrustumPlanes(float w, float h, float focal, Plane planes[4]);
