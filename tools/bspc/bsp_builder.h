// Builds the BSP tree. Splitting works on convex pieces, which are cut again and again
// without multiplying into triangles; each node's pieces become triangles at the end.
//
// A node's plane is one of its triangles' planes, or a free axis-aligned plane through a gap
// between the triangles (a node without polygons) when that cuts less. Candidates: the
// largest pieces first, axis-aligned ones before others, and every gap plane. A plane is
// scored by the triangles its cuts add, in the tree and in T-junction mending later (a cut
// through an edge whose neighbour has left the set leaves a vertex inside the neighbour),
// and by how unevenly it parts the set. Small sets try their best few planes by building
// both sides greedily and take the one that adds least.
#pragma once

#include <memory>
#include <vector>

#include "tools/bspc/bspc.h"

// Which side of a plane a point lies on, within PlaneEpsilon.
enum class PlaneSide { Front, Back, On, Spanning };

// A convex polygon lying in `plane`, in the winding of the triangle it came from.
struct BspPiece {
    std::vector<MapVertex> v;
    // Per edge (v[i] to v[i + 1]): the edge of the original triangle it lies on (corner k to
    // corner k + 1), or -1 for an edge that a plane cut across the triangle.
    std::vector<int8_t> edges;
    MapVertex corners[3] = {}; // the original triangle
    int32_t texture = 0;
    Plane plane = {};
    int32_t source = -1; // index of the original triangle in the builder's input; -1: none
};
BspPiece PieceOf(const BspTriangle& t);

PlaneSide ClassifyPiece(const Plane& plane, const BspPiece& piece);
// Cuts a piece that spans the plane in two, u and v interpolated. A new vertex on an edge of
// the original triangle is computed from that whole edge, so neighbours sharing the edge get
// the very same vertex however often either was cut before.
void SplitPiece(const Plane& plane, const BspPiece& piece, BspPiece& front, BspPiece& back);
// Fans a convex piece into triangles from the corner whose thinnest triangle is fattest;
// triangles without area are left out.
void TriangulatePiece(const BspPiece& piece, std::vector<BspTriangle>& out);

// Every polygon of the tree, in pre-order.
void CollectTriangles(const BspNode& node, std::vector<BspTriangle>& out);

// Null with messages.error (and stats.tooDeep) when the tree would be deeper than maxDepth.
std::unique_ptr<BspNode> BuildBsp(const std::vector<BspTriangle>& triangles, int32_t maxDepth,
                                  BspStats& stats, BspcMessages& messages);
