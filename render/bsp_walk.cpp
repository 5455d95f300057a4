#include "render/render.h"

#include <cmath>

#include "render/front_walk.h"
#include "render/pipeline.h"
#include "render/scene_cache.h"
#include "scene/map.h"
#include "scene/texture.h"

Matrix4 ViewMatrix = {};
Matrix4 InverseViewMatrix = {};

Point3 CameraPosition() {
    return {InverseViewMatrix.m[12], InverseViewMatrix.m[13], InverseViewMatrix.m[14]};
}

namespace {

void SetUpView(const Matrix4& camera, const Map& map) {
    Matrix4InvertAffine(camera, ViewMatrix);
    Matrix4Multiply(ViewMatrix, map.matrix, ViewMatrix);
    Matrix4InvertAffine(ViewMatrix, InverseViewMatrix);
}

} // namespace

void RenderScene(const Matrix4& camera, const Map& map, uint32_t* frameBuffer) {
    SetUpView(camera, map);
    if (!map.root) return;
    if (DrawSceneFrontToBack(map, frameBuffer)) return;
    DrawBspNode(*map.root, frameBuffer, map);
}

void RenderScenePainter(const Matrix4& camera, const Map& map, uint32_t* frameBuffer) {
    SetUpView(camera, map);
    if (map.root) DrawBspNode(*map.root, frameBuffer, map);
}

bool PrepareMapRender(Map& map) {
    map.renderCache = nullptr;
    // The front-to-back walk stops once the pixels clipping can reach are covered, and those
    // lie 2 pixels inside the frame only while the clip's float rounding stays sub-pixel.
    // With coordinates far beyond any real map (a hostile file at 1e17 was seen to reach
    // column 0) that no longer holds, so such a map is drawn by the painter's walk alone.
    for (int32_t i = 0; i < map.vertexCount; ++i) {
        const MapVertex& v = map.vertices[i];
        if (!(std::fabs(v.x) < MaxCachedCoordinate && std::fabs(v.y) < MaxCachedCoordinate &&
              std::fabs(v.z) < MaxCachedCoordinate))
            return false;
    }
    map.renderCache = BuildMapRenderCache(map);
    return map.renderCache != nullptr;
}

bool ViewKeepsMargin(const float extent[3]) {
    // A rotation takes a point within MaxCachedCoordinate on each axis at most sqrt(3) times
    // as far along any axis.
    constexpr double Limit = 1.7320508075688772 * double(MaxCachedCoordinate);
    const float* m = ViewMatrix.m;
    for (int i = 0; i < 3; ++i) {
        const double reach = std::fabs(double(m[i])) * extent[0] + std::fabs(double(m[4 + i])) * extent[1] +
                             std::fabs(double(m[8 + i])) * extent[2];
        if (!(reach <= Limit)) return false; // also for a NaN
    }
    return true;
}

namespace {

void DrawNodePolygons(const MapNode& node, uint32_t* frameBuffer, const Map& map) {
    for (int32_t i = 0; i < node.polygonCount; ++i) {
        const MapPolygon& polygon = node.polygons[i];
        // A slot without a loaded texture cannot be drawn; skip rather than crash.
        if (polygon.textureIndex < 0 || polygon.textureIndex >= map.textureCount) continue;
        const Texture* texture = map.textureSlots[polygon.textureIndex].texture.get();
        if (!texture) continue;
        DrawMapPolygon(polygon, frameBuffer, *texture);
    }
}

} // namespace

void DrawBspNode(const MapNode& node, uint32_t* frameBuffer, const Map& map) {
    const double dist = PlaneDistance(node.plane, CameraPosition());
    const MapNode* front = (node.flags & NodeHasFront) ? node.front.get() : nullptr;
    const MapNode* back = (node.flags & NodeHasBack) ? node.back.get() : nullptr;

    if (dist > BspPlaneBand) {
        if (back) DrawBspNode(*back, frameBuffer, map);
        DrawNodePolygons(node, frameBuffer, map);
        if (front) DrawBspNode(*front, frameBuffer, map);
    } else if (dist < -BspPlaneBand) {
        if (front) DrawBspNode(*front, frameBuffer, map);
        DrawNodePolygons(node, frameBuffer, map);
        if (back) DrawBspNode(*back, frameBuffer, map);
    } else {
        // In the plane's band the node's own polygons are edge-on: skip them.
        if (back) DrawBspNode(*back, frameBuffer, map);
        if (front) DrawBspNode(*front, frameBuffer, map);
    }
}
