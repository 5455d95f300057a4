// Builds the BSP tree. Splitting works on convex pieces, which are cut again and again
// without multiplying into triangles; each node's pieces become triangles at the end.
//
// A node's plane is one of its triangles' planes, or a free axis-aligned plane through a gap
// between the triangles (a node without polygons) when that cuts less. Candidates: the
// largest pieces first, axis-aligned ones before others, and every gap plane.
#pragma once

#include <memory>
#include <vector>

#include "tools/bspc/bspc.h"

// Which side of a plane a point lies on, within PlaneEpsilon.
enum class PlaneSide { Front, Back, On, Spanning };

// A convex polygon lying in `plane`, in the winding of the triangle it came from.
struct BspPiece {
    std::vector<MapVertex> v;
    int32_t texture = 0;
    Plane plane = {};
};

double SignedDistance(const Plane& plane, const MapVertex& v);
PlaneSide ClassifyPiece(const Plane& plane, const BspPiece& piece);
// Cuts a piece that spans the plane in two, u and v interpolated; an edge's new vertex
// depends only on the edge, so neighbours cut along a shared edge get the same one.
void SplitPiece(const Plane& plane, const BspPiece& piece, BspPiece& front, BspPiece& back);
// Fans a convex piece into triangles from the corner whose thinnest triangle is fattest;
// triangles without area are left out.
void TriangulatePiece(const BspPiece& piece, std::vector<BspTriangle>& out);

// Every polygon of the tree, in pre-order.
void CollectTriangles(const BspNode& node, std::vector<BspTriangle>& out);

// Null with messages.error (and stats.tooDeep) when the tree would be deeper than maxDepth.
std::unique_ptr<BspNode> BuildBsp(const std::vector<BspTriangle>& triangles, int32_t maxDepth,
                                  BspStats& stats, BspcMessages& messages);
