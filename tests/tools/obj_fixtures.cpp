#include "obj_fixtures.h"

#include <cstdio>
#include <gtest/gtest.h>

#include "app/camera.h"
#include "geometry/projection.h"
#include "render/render.h"

#include "support/scene_bytes.h"
#include "tools/bspc/mesh_prep.h"
#include "tools/bspc/scene_import.h"

namespace {

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

} // namespace

void ObjBuilder::Material(const std::string& name, const std::string& image) {
    mtl += "newmtl " + name + "\nKd 0.5 0.5 0.5\n";
    if (!image.empty()) mtl += "map_Kd " + image + "\n";
}

void ObjBuilder::Use(const std::string& name) {
    obj += "usemtl " + name + "\n";
}

void ObjBuilder::Face(const std::vector<ObjPoint>& points, double repeat) {
    // Horizontal faces take z as their second texture axis.
    const ObjPoint e1 = {points[1].x - points[0].x, points[1].y - points[0].y,
                         points[1].z - points[0].z};
    const ObjPoint e2 = {points[2].x - points[0].x, points[2].y - points[0].y,
                         points[2].z - points[0].z};
    const double ny = e1.z * e2.x - e1.x * e2.z;
    const double nx = e1.y * e2.z - e1.z * e2.y;
    const double nz = e1.x * e2.y - e1.y * e2.x;
    const bool horizontal = std::abs(ny) > std::abs(nx) && std::abs(ny) > std::abs(nz);
    const bool sideways = std::abs(nx) >= std::abs(nz) && !horizontal;
    std::vector<std::pair<double, double>> uv;
    for (const ObjPoint& p : points) {
        const double u = sideways ? p.z : p.x;
        uv.push_back({u / repeat, (horizontal ? p.z : p.y) / repeat});
    }
    FaceUV(points, uv);
}

void ObjBuilder::FaceUV(const std::vector<ObjPoint>& points,
                        const std::vector<std::pair<double, double>>& uv) {
    std::string face = "f";
    for (size_t i = 0; i < points.size(); ++i) {
        obj += "v " + Number(points[i].x) + " " + Number(points[i].y) + " " + Number(points[i].z) +
               "\n";
        obj += "vt " + Number(uv[i].first) + " " + Number(uv[i].second) + "\n";
        ++vertices;
        ++texcoords;
        face += " " + std::to_string(vertices) + "/" + std::to_string(texcoords);
    }
    obj += face + "\n";
}

void ObjBuilder::Box(ObjPoint lo, ObjPoint hi, bool inside,
                     const std::vector<std::string>& faceMaterials) {
    const ObjPoint c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                           {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                           {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int faces[6][4] = {{0, 4, 7, 3}, {1, 2, 6, 5}, {0, 1, 5, 4},
                             {3, 7, 6, 2}, {0, 3, 2, 1}, {4, 5, 6, 7}};
    for (int i = 0; i < 6; ++i) {
        const int* f = faces[i];
        if (!faceMaterials.empty()) Use(faceMaterials[i]);
        if (inside)
            Face({c[f[3]], c[f[2]], c[f[1]], c[f[0]]});
        else
            Face({c[f[0]], c[f[1]], c[f[2]], c[f[3]]});
    }
}

std::string ObjBuilder::Write(const TempDir& dir, const std::string& name) const {
    std::string text = obj;
    if (!mtl.empty()) {
        text = "mtllib " + name + ".mtl\n" + text;
        WriteFileText(dir.File(name + ".mtl"), mtl);
    }
    const std::string path = dir.File(name + ".obj");
    WriteFileText(path, text);
    return path;
}

Compiled Compile(const std::string& scenePath, const TempDir& dir, BspcOptions options) {
    Compiled result;
    options.scenePath = scenePath;
    options.outDir = dir.File("out");
    result.ok = CompileMap(options, result.summary, result.messages);
    if (result.ok) result.map = LoadMap(dir.File("out/Vuze.BSP"));
    return result;
}

std::vector<BspTriangle> PlacedTriangles(const std::string& scenePath) {
    Scene scene;
    BspcMessages messages;
    TextureSet textures;
    std::vector<BspTriangle> placed;
    PlaceStats stats;
    if (ImportScene(scenePath, scene, messages) &&
        PrepareTextures(scene.materials, DefaultMaxTexture, textures, messages))
        PlaceTriangles(scene, textures, Placement{}, false, placed, stats);
    return placed;
}

void CollectPolygons(const MapNode& node, std::vector<const MapPolygon*>& out) {
    for (int32_t i = 0; i < node.polygonCount; ++i)
        out.push_back(&node.polygons[i]);
    if (node.flags & NodeHasFront) CollectPolygons(*node.front, out);
    if (node.flags & NodeHasBack) CollectPolygons(*node.back, out);
}

std::vector<uint32_t> RenderStartView(const std::filesystem::path& mapDir) {
    constexpr int32_t Width = 512, Height = 384;
    std::vector<uint32_t> frame(size_t(Width) * Height, 0);
    std::unique_ptr<Map> map = LoadMap((mapDir / "Vuze.BSP").string());
    EXPECT_NE(map, nullptr) << mapDir;
    if (!map) return frame;
    Matrix4Identity(map->matrix);
    EXPECT_TRUE(LoadMapTextures(*map, (mapDir / "Textures").string()));
    SetupProjection(Width, Height);
    RenderScene(StartCamera(), *map, frame.data());
    return frame;
}
