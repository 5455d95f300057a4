// The map: texture names, a vertex table and a BSP tree of textured triangles,
// read from the binary map file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "geometry/matrix.h"
#include "geometry/plane.h"
#include "scene/map_format.h"
#include "scene/texture.h"

// Deepest tree the loader accepts (the root is level 1); a deeper file fails to load.
// The reader and the renderer recurse once per level, so this bounds their stack use.
inline constexpr int MaxMapTreeDepth = 4096;

struct MapVertex {
    float x, y, z, u, v;
};

struct MapPolygon {
    int32_t textureIndex = 0;
    const MapVertex* vertices[3] = {};
    Plane plane = {};
};

struct MapNode {
    int32_t flags = 0; // NodeHasFront, NodeHasBack
    std::unique_ptr<MapNode> front;
    std::unique_ptr<MapNode> back;
    Plane plane = {};
    int32_t polygonCount = 0;
    std::unique_ptr<MapPolygon[]> polygons;
};

struct TextureSlot {
    std::string name;
    std::unique_ptr<Texture> texture;
};

// What the renderer keeps for one map besides the map itself (render/scene_cache.h).
struct MapRenderCache;

struct Map {
    std::unique_ptr<MapNode> root;
    int32_t textureCount = 0;
    std::unique_ptr<TextureSlot[]> textureSlots;
    int32_t vertexCount = 0;
    std::unique_ptr<MapVertex[]> vertices;
    Matrix4 matrix = {};
    // Made once, after the textures, by PrepareMapRender (render/render.h); without it the
    // renderer draws through the painter's walk alone.
    std::shared_ptr<MapRenderCache> renderCache;
};

// Null on any failure; nothing partly built escapes. Besides a missing file, wrong magic
// or version and negative counts, a file fails when it ends early, holds a name field
// without NUL, a vertex index outside 0..vertexCount-1, a texture index outside
// 0..textureCount-1, a NaN or infinity in a vertex or plane, or a tree deeper than
// MaxMapTreeDepth. The first problem met is noted in LastLoadError (scene/load_error.h).
std::unique_ptr<Map> LoadMap(std::string_view path);
