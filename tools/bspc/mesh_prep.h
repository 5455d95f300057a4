// From scene triangles to the triangles the tree is built from, and what fits the format.
//
// PlaceTriangles: scene (X, Y, Z) becomes map (-X, Y, -Z) x scale + offset (a half turn about
// the vertical axis: windings stay). Faces without texture coordinates whose material draws
// an image get a box projection at one texel per map unit. Faces without area and exact
// duplicates (same corners, same texture, any starting corner) are dropped.
//
// CountOpenEdges: edges that no face continues across in the opposite direction, matched by
// exact position, and the loops they form.
//
// ClosedParts: the parts of the surface (triangles joined by shared corners) that are closed,
// every edge met by one running the other way: per triangle, its part's number, or -1 when
// its part is open.
//
// SimplifyTriangles: fewer triangles with meshoptimizer, texture by texture (each texture's
// outline and every texture seam are borders), borders locked unless that stops short.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/bspc/bspc.h"
#include "tools/bspc/scene_import.h"
#include "tools/bspc/texture_convert.h"

// Uniform scale and offset that stand the scene's bounding box on the start camera's line of
// sight, in front of it, filling about two thirds of the view.
Placement FitPlacement(const Scene& scene);

struct PlaceStats {
    int64_t degenerate = 0;
    int64_t duplicates = 0;
};

void PlaceTriangles(const Scene& scene, const TextureSet& textures, const Placement& placement,
                    bool doubleSided, std::vector<BspTriangle>& out, PlaceStats& stats);

struct EdgeCount {
    int64_t openEdges = 0;
    int64_t loops = 0;
    // Their summed length: cutting an open edge into pieces adds edges but no length, while a
    // crack adds the length of both its sides.
    double openLength = 0.0;
};
EdgeCount CountOpenEdges(std::span<const BspTriangle> triangles);
std::vector<int32_t> ClosedParts(std::span<const BspTriangle> triangles);

// About targetTriangles triangles; false when even without locked borders the simplifier
// stops above 1.25 x the target. error: the largest deviation, relative to the scene's size;
// locked: whether the borders could stay.
bool SimplifyTriangles(std::span<const BspTriangle> in, int64_t targetTriangles,
                       std::vector<BspTriangle>& out, float& error, bool& locked);
