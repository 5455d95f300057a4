// Mends T-junctions: where a vertex of one polygon lies inside an edge of another (a BSP
// split cut one neighbour but not the other, or the scene was modelled that way), the
// rasterizer's shared-edge rule no longer holds and single pixels can fall through the
// crack. Each such edge gets the vertex too, so that neighbours meet vertex to vertex.
#pragma once

#include <cstdint>

#include "tools/bspc/bspc.h"

// Returns the number of triangles that were re-triangulated; adds the extra triangles to
// stats.outputTriangles.
int64_t MendTJunctions(BspNode& root, BspStats& stats);
