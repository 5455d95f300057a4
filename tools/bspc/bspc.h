// vexmont-bspc: compiles a Wavefront OBJ scene (with its MTL) into a map directory,
// the map file "Vuze.BSP" and "Textures/NAME.bmp" for every material it uses.
//
// The stages (one file each): obj_reader turns the OBJ into triangles in map
// coordinates, texture_convert turns each material's image into a 24-bit BMP,
// bsp_builder builds the tree, tjunctions mends cracks between neighbours, map_writer lays
// out the file. CompileMap runs them all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/plane.h"
#include "scene/map.h"

// A name must leave room for "Textures\" + name + ".bmp" and the NUL in the viewer's
// 256-byte texture path (the 256-byte name field itself allows 255).
inline constexpr int32_t MaxTextureNameLength = TexturePathSize -
                                                int32_t(sizeof(TextureDirectoryName) - 1) - 1 -
                                                int32_t(sizeof(TextureFileExtension) - 1) - 1;
// Vertices nearer to a splitting plane than this count as lying in it.
inline constexpr double PlaneEpsilon = 1e-3;

struct BspcOptions {
    std::string objPath;
    std::string outDir;
    double scale = 1.0;
    double offset[3] = {0.0, 0.0, 0.0}; // added in map coordinates, after the scale
    bool doubleSided = false;
    int32_t maxDepth = MaxMapTreeDepth;
};

struct BspcMessages {
    std::vector<std::string> warnings;
    std::string error; // empty unless a stage failed
};

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

struct SceneMaterial {
    std::string name;      // texture name in the map, safe as a file name
    std::string imagePath; // map_Kd, resolved; empty: a plain texture of `color`
    uint32_t color = 0xC0C0C0;
};

struct Scene {
    std::vector<BspTriangle> triangles; // texture indexes `materials`
    std::vector<SceneMaterial> materials;
    int64_t inputTriangles = 0;
    int64_t degenerateFaces = 0;
};

struct BspStats {
    int64_t outputTriangles = 0;
    int64_t splits = 0; // triangles cut by a splitting plane
    int64_t nodes = 0;
    int32_t depth = 0;
};

struct BspcSummary {
    int64_t inputTriangles = 0;
    int64_t degenerateFaces = 0;
    BspStats bsp;
    int64_t mendedTJunctions = 0; // triangles re-cut to meet a neighbour's vertex
    int32_t vertices = 0;
    int32_t textures = 0;
    double seconds = 0.0;
};

// Plane of a triangle as the map wants it: unit normal opposite to the right-hand
// normal of v0 -> v1 -> v2. False when the triangle has no area.
bool TrianglePlane(const MapVertex& v0, const MapVertex& v1, const MapVertex& v2, Plane& out);

// The whole compilation. False with messages.error set on failure; nothing is written
// unless every check passed.
bool CompileMap(const BspcOptions& options, BspcSummary& summary, BspcMessages& messages);
std::string FormatSummary(const BspcSummary& summary);
