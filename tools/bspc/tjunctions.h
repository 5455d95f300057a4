// Cracks between neighbours, mended after the tree is built.
//
// WeldNearPositions: splitting computes the same point along different edges with different
// roundings; positions a few units in the last place apart become one, so that the edges
// meeting there match exactly. Triangles left without area are dropped.
//
// MendTJunctions: where a vertex of one polygon lies inside an edge of another (a BSP split
// cut one neighbour but not the other, or the scene was modelled that way), the rasterizer's
// shared-edge rule no longer holds and single pixels can fall through the crack. Each such
// edge gets the vertex too, so that neighbours meet vertex to vertex; passes repeat until
// none is left. A vertex of a surface that only passes through the edge's line (one part of
// a model piercing another) leaves no crack and is not inserted.
#pragma once

#include <cstdint>

#include "tools/bspc/bspc.h"

// Returns the number of positions moved; sets stats.outputTriangles.
int64_t WeldNearPositions(BspNode& root, BspStats& stats);
// Returns the number of triangles that were re-triangulated; adds the extra triangles to
// stats.outputTriangles.
int64_t MendTJunctions(BspNode& root, BspStats& stats);
