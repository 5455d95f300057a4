// Small OBJ scenes written in code for the map compiler's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/map.h"
#include "support/files.h"
#include "tools/bspc/bspc.h"

struct ObjPoint {
    double x, y, z;
};

// Builds OBJ text: quads and triangles given counter-clockwise as seen from their front.
struct ObjBuilder {
    std::string obj;
    std::string mtl;
    int vertices = 0;
    int texcoords = 0;

    void Material(const std::string& name, const std::string& image = "");
    void Use(const std::string& name);
    // A face with texture coordinates u = x / repeat, v = y / repeat (or z for
    // horizontal faces): one affine mapping shared by all faces of a plane.
    void Face(const std::vector<ObjPoint>& points, double repeat = 10.0);
    // A face with the given texture coordinates.
    void FaceUV(const std::vector<ObjPoint>& points,
                const std::vector<std::pair<double, double>>& uv);
    // An axis-aligned box; outward faces, or inward with inside = true. With faceMaterials,
    // the faces -X, +X, -Y, +Y, -Z, +Z use those materials in that order.
    void Box(ObjPoint lo, ObjPoint hi, bool inside = false,
             const std::vector<std::string>& faceMaterials = {});
    // Writes scene.obj (and scene.mtl if any material was defined) into dir.
    std::string Write(const TempDir& dir, const std::string& name = "scene") const;
};

// Compiles the scene at path into dir/out; the map is loaded back with LoadMap.
struct Compiled {
    bool ok = false;
    BspcSummary summary;
    BspcMessages messages;
    std::unique_ptr<Map> map;
};
Compiled Compile(const std::string& scenePath, const TempDir& dir, BspcOptions options = {});
// The scene's triangles as the compiler places them before building the tree (scale 1).
std::vector<BspTriangle> PlacedTriangles(const std::string& scenePath);

// Every polygon of the tree, in pre-order.
void CollectPolygons(const MapNode& node, std::vector<const MapPolygon*>& out);

// The frame the renderer draws of the map directory from the viewer's start camera
// (512 x 384, cleared to 0 first); all black, with a test failure, when it does not load.
std::vector<uint32_t> RenderStartView(const std::filesystem::path& mapDir);
