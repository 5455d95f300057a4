// The renderer's per-frame entry: walks the map back to front from the camera and
// fills the covered pixels of the frame buffer.
#pragma once

#include <cstdint>

#include "geometry/matrix.h"
#include "geometry/plane.h"

struct Map;
struct MapNode;

// Map space to camera space, and back; rebuilt at the start of every frame.
extern Matrix4 ViewMatrix;
extern Matrix4 InverseViewMatrix;

// A camera this close to a node's plane (either side, bounds included) skips the
// node's own polygons for the frame.
inline constexpr double BspPlaneBand = 0.01;

// The camera origin in map space: the translation row of InverseViewMatrix.
Point3 CameraPosition();

// Sets up the frame's view and draws the map: front to back over the map's render cache
// where PrepareMapRender made one, else through DrawBspNode. Both give the same pixels.
void RenderScene(const Matrix4& camera, const Map& map, uint32_t* frameBuffer);
// RenderScene through the painter's walk alone: the reference the fast path is held to.
void RenderScenePainter(const Matrix4& camera, const Map& map, uint32_t* frameBuffer);
// Makes the map's render cache once its textures are loaded (the only allocation the
// renderer makes). False, leaving the map without one, when the map cannot be cached
// (a polygon naming a vertex outside the table) or memory runs out; RenderScene then
// draws through the painter's walk. Also false for a map with a coordinate of magnitude
// MaxCachedCoordinate or more, where the walk's early stop is no longer exact.
inline constexpr float MaxCachedCoordinate = 1e5f;
bool PrepareMapRender(Map& map);
// Whether this frame's view (ViewMatrix) keeps the clip's rounding sub-pixel for a map whose
// coordinates along each axis stay within +-extent: it may turn and move the map but not
// stretch it further from the camera's axes than a rotation of a map inside
// MaxCachedCoordinate could. A camera matrix far from a rotation (any 16 floats reach
// vexmont-shot and the benchmark) can carry the map's polygons to the frame's edge columns;
// RenderScene then draws through the painter's walk.
bool ViewKeepsMargin(const float extent[3]);
// Draws one subtree in painter's order as seen from CameraPosition().
void DrawBspNode(const MapNode& node, uint32_t* frameBuffer, const Map& map);
