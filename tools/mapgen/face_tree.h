// The BSP tree of axis-aligned faces whose edges lie on one lattice, built directly: every
// splitting plane is a face's plane, so it cuts other faces only along lattice lines.
// Each face is cut into square cells of the lattice, two triangles each; a cut therefore
// adds no vertex and no triangle, and faces that share an edge share all its vertices, so
// no seam can open between them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scene/map_writer.h"
#include "tools/mapgen/interior.h"

struct TextureSize {
    int32_t width = 1, height = 1;
};

struct FaceTreeStats {
    int64_t triangles = 0;
    int64_t splits = 0; // faces cut in two by a splitting plane
    int64_t nodes = 0;
    int32_t depth = 0;
};

// Texture coordinates come from the position: one texture width per `width` map units.
// Null when a face edge is off the lattice.
std::unique_ptr<BspNode> BuildFaceTree(std::vector<Face> faces, int32_t cell,
                                       std::span<const TextureSize> textures, FaceTreeStats& stats);
// The triangles and distinct map vertices the faces become, without building the tree.
int64_t CountFaceTriangles(std::span<const Face> faces, int32_t cell);
int64_t CountFaceVertices(std::span<const Face> faces, int32_t cell,
                          std::span<const TextureSize> textures);
