// The map file's bytes from a finished tree: the one encoder that the map compiler and the
// benchmark map generator both write through, so that a map's bytes depend only on its tree
// and its texture names.
//
// Vertices equal bit for bit (position and texture coordinate) share one record, numbered in
// pre-order of first use. Every limit of the format is checked before anything is laid out;
// a tree that breaks one gives an error naming the limit, never a file the viewer cannot
// read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "geometry/plane.h"
#include "scene/map.h"

struct BspTriangle {
    MapVertex v[3];
    int32_t texture = 0;
    Plane plane = {}; // seen from its negative side; normal opposite (v1 - v0) x (v2 - v0)
};

struct BspNode {
    Plane plane = {};
    std::vector<BspTriangle> polygons; // lying in the plane
    std::unique_ptr<BspNode> front;    // positive side
    std::unique_ptr<BspNode> back;     // negative side
};

// The format's limits on texture names: at most MaxMapCount of them, each at most
// MaxTextureNameLength bytes and TextureNameSafe (scene/texture.h), so that no map written
// here names a texture the viewer refuses. False with error naming the limit.
bool CheckTextureNames(std::span<const std::string> textureNames, std::string& error);
// False with error naming the limit when the names, the vertex count or a node's polygon
// count break the format's limits. vertexCount: the distinct vertices the tree needs, set
// even when there are too many.
bool EncodeMap(const BspNode& root, std::span<const std::string> textureNames,
               std::vector<uint8_t>& bytes, int64_t& vertexCount, std::string& error);
