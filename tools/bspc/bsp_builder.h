// Builds the BSP tree: every node's plane is one of its polygons' planes.
#pragma once

#include <memory>
#include <vector>

#include "tools/bspc/bspc.h"

// Which side of a plane a point lies on, within PlaneEpsilon.
enum class PlaneSide { Front, Back, On, Spanning };

PlaneSide ClassifyTriangle(const Plane& plane, const BspTriangle& triangle);
// Cuts a triangle that spans the plane into triangles on each side, u and v interpolated.
void SplitTriangle(const Plane& plane, const BspTriangle& triangle, std::vector<BspTriangle>& front,
                   std::vector<BspTriangle>& back);

// Null with messages.error when the tree would be deeper than maxDepth.
std::unique_ptr<BspNode> BuildBsp(std::vector<BspTriangle> triangles, int32_t maxDepth,
                                  BspStats& stats, BspcMessages& messages);
