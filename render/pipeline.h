// The polygon pipeline: back-face cull, transform into camera space, clip against the
// four frustum side planes, drop near polygons, project, and hand over to the rasterizer.
#pragma once

#include <cstdint>

#include "geometry/plane.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "scene/map.h"

// Before projection x, y, z are camera space; after it x, y are screen pixels (y down)
// and z stays the camera-space depth. u, v are in texels throughout.
struct ClipVertex {
    float x, y, z, u, v;
    // The record is eight floats, like the map file's vertex record; these three carry
    // nothing and no stage reads them.
    float reserved[3];
};

inline constexpr int32_t ClipPolygonCapacity = 7;

// The triangle's 3 vertices plus at most one per frustum plane.
struct ClipPolygon {
    int32_t count;
    ClipVertex vertices[ClipPolygonCapacity];
};

// Thresholds, compared strictly in double.
inline constexpr double BackFaceThreshold = 0.1;
inline constexpr double NearDepth = 0.1;

void DrawMapPolygon(const MapPolygon& polygon, uint32_t* frameBuffer, const Texture& texture);
// Into camera space with ViewMatrix; u and v scaled to the texture's texels.
ClipVertex TransformVertex(const MapVertex& vertex, const Texture& texture);
// The camera-space position TransformVertex gives, bit for bit (the front-to-back walk
// caches it per vertex and frame).
template <typename Vertex> // MapVertex, or any record with the same x, y and z
inline void TransformPosition(const Vertex& vertex, float& outX, float& outY, float& outZ) {
    const float* m = ViewMatrix.m;
    const double x = vertex.x, y = vertex.y, z = vertex.z;
    outX = float(x * m[0] + y * m[4] + z * m[8] + m[12]);
    outY = float(x * m[1] + y * m[5] + z * m[9] + m[13]);
    outZ = float(x * m[2] + y * m[6] + z * m[10] + m[14]);
}
// A camera-space coordinate (x or y) at depth z on the screen, half the view's width or
// height (as an integer) added.
inline float ProjectToScreen(float c, float z, int32_t half) {
    return float(double(FocalLength) * c / z + half);
}
// Projects to screen pixels in place. False, and the polygon is not to be drawn, when
// any vertex lies nearer than NearDepth: there is no near clipping.
bool ProjectPolygon(ClipPolygon& polygon);
ClipPolygon ClipToFrustum(const ClipVertex& first, const ClipVertex& second,
                          const ClipVertex& third, const Plane planes[4]);
// One Sutherland-Hodgman pass; a result that would exceed the capacity comes back empty.
ClipPolygon ClipToPlane(const ClipPolygon& polygon, const Plane& plane);
// The point where the edge from a to b meets the plane; a itself for a parallel edge.
ClipVertex IntersectEdge(const ClipVertex& a, const ClipVertex& b, const Plane& plane);
