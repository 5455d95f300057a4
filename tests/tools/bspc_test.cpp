#include "tools/bspc/bspc.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

#include "app/camera.h"
#include "obj_fixtures.h"
#include "scene/bitmap.h"
#include "support/scene_bytes.h"

namespace {

double Distance(const Plane& p, const MapVertex& v) {
    return double(p.a) * v.x + double(p.b) * v.y + double(p.c) * v.z + p.d;
}

// Right-hand normal of the stored order.
void Cross(const MapPolygon& polygon, double n[3]) {
    const MapVertex& a = *polygon.vertices[0];
    const MapVertex& b = *polygon.vertices[1];
    const MapVertex& c = *polygon.vertices[2];
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    n[0] = e1[1] * e2[2] - e1[2] * e2[1];
    n[1] = e1[2] * e2[0] - e1[0] * e2[2];
    n[2] = e1[0] * e2[1] - e1[1] * e2[0];
}

double Area(const MapPolygon& polygon) {
    double n[3];
    Cross(polygon, n);
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Where the start camera (at map (0, 40, -40), looking along +z, map -x to the right and
// map +y up) shows a map point: screen pixels, 512 x 384.
void StartCameraScreen(const MapVertex& v, double& sx, double& sy) {
    Matrix4 view;
    Matrix4InvertAffine(StartCamera(), view);
    const float* m = view.m;
    const double x = v.x * double(m[0]) + v.y * double(m[4]) + v.z * double(m[8]) + m[12];
    const double y = v.x * double(m[1]) + v.y * double(m[5]) + v.z * double(m[9]) + m[13];
    const double z = v.x * double(m[2]) + v.y * double(m[6]) + v.z * double(m[10]) + m[14];
    sx = 256 * x / z + 256;
    sy = 256 * y / z + 192;
}

TEST(Bspc, SceneAxesTextureVAndFrontFacesBecomeTheMapsConventions) {
    TempDir dir;
    ObjBuilder scene;
    // A triangle facing the scene's viewer (+z), right of and above the start view's centre.
    scene.FaceUV({{10, 40, 0}, {20, 40, 0}, {10, 50, 0}}, {{0, 0}, {1, 0}, {0, 1}});
    const Compiled c = Compile(scene.Write(dir), dir);
    ASSERT_TRUE(c.ok) << c.messages.error;
    ASSERT_NE(c.map, nullptr);
    ASSERT_EQ(c.map->root->polygonCount, 1);
    const MapPolygon& p = c.map->root->polygons[0];
    const MapVertex& v0 = *p.vertices[0];
    const MapVertex& v2 = *p.vertices[2];
    EXPECT_EQ(v0.x, -10.0f);
    EXPECT_EQ(v0.y, 40.0f);
    EXPECT_EQ(v0.z, 0.0f);
    EXPECT_EQ(v0.v, 1.0f) << "v grows downwards in the map";
    EXPECT_EQ(v2.v, 0.0f);
    // Seen from the negative side, normal opposite to the right-hand normal of the order.
    double n[3];
    Cross(p, n);
    EXPECT_LT(n[0] * p.plane.a + n[1] * p.plane.b + n[2] * p.plane.c, 0);
    EXPECT_FLOAT_EQ(p.plane.c, 1.0f);
    EXPECT_LT(Distance(p.plane, {0, 40, -40, 0, 0}), -0.1) << "the start camera sees it";
    // On the start view it lies right of and above the centre, texture top (v 0) up.
    double sx0, sy0, sx2, sy2;
    StartCameraScreen(v0, sx0, sy0);
    StartCameraScreen(v2, sx2, sy2);
    EXPECT_GT(sx0, 256);
    EXPECT_LE(sy0, 192);
    EXPECT_LT(sy2, sy0) << "the scene's up is the screen's up";

    BspcOptions moved;
    moved.scale = 2;
    moved.offset[0] = 1;
    moved.offset[1] = 2;
    moved.offset[2] = 3;
    TempDir other;
    const Compiled m = Compile(scene.Write(other), other, moved);
    ASSERT_TRUE(m.ok) << m.messages.error;
    const MapVertex& w = *m.map->root->polygons[0].vertices[0];
    EXPECT_EQ(w.x, -19.0f);
    EXPECT_EQ(w.y, 82.0f);
    EXPECT_EQ(w.z, 3.0f);
}

// Overlapping boxes, a room around them and a slanted roof: plenty of splits.
ObjBuilder CrowdedScene() {
    ObjBuilder scene;
    scene.Box({-100, 0, -100}, {100, 80, 100}, true);
    for (int i = 0; i < 12; ++i) {
        const double x = -60 + 11 * i;
        const double z = -50 + 37 * ((i * 7) % 5);
        scene.Box({x, 0, z}, {x + 25, 10.0 + 5 * (i % 4), z + 18});
    }
    scene.Face({{-90, 30, -90}, {90, 60, -90}, {90, 60, 90}, {-90, 30, 90}});
    return scene;
}

void CheckSubtreeSide(const MapNode& node, const Plane& plane, double sign) {
    for (int32_t i = 0; i < node.polygonCount; ++i)
        for (const MapVertex* v : node.polygons[i].vertices)
            ASSERT_GE(sign * Distance(plane, *v), -PlaneEpsilon * 1.01);
    if (node.flags & NodeHasFront) CheckSubtreeSide(*node.front, plane, sign);
    if (node.flags & NodeHasBack) CheckSubtreeSide(*node.back, plane, sign);
}

void CheckTree(const MapNode& node) {
    for (int32_t i = 0; i < node.polygonCount; ++i) {
        const MapPolygon& p = node.polygons[i];
        double n[3];
        Cross(p, n);
        EXPECT_LT(n[0] * p.plane.a + n[1] * p.plane.b + n[2] * p.plane.c, 0) << "winding vs plane";
        EXPECT_NEAR(std::hypot(p.plane.a, p.plane.b, p.plane.c), 1.0, 1e-6);
        for (const MapVertex* v : p.vertices) {
            EXPECT_NEAR(Distance(node.plane, *v), 0, PlaneEpsilon) << "lies in its node's plane";
            EXPECT_NEAR(Distance(p.plane, *v), 0, PlaneEpsilon) << "lies in its own plane";
        }
    }
    if (node.flags & NodeHasFront) {
        CheckSubtreeSide(*node.front, node.plane, 1);
        CheckTree(*node.front);
    }
    if (node.flags & NodeHasBack) {
        CheckSubtreeSide(*node.back, node.plane, -1);
        CheckTree(*node.back);
    }
}

TEST(Bspc, TreeKeepsSidesAreaAndTheTextureMappingThroughSplits) {
    TempDir dir;
    const ObjBuilder scene = CrowdedScene();
    const std::string path = scene.Write(dir);
    BspcOptions options;
    options.keepInside = true; // every piece, for the area to add up
    const Compiled c = Compile(path, dir, options);
    ASSERT_TRUE(c.ok) << c.messages.error;
    ASSERT_NE(c.map, nullptr);
    EXPECT_GT(c.summary.bsp.splits, 0);
    EXPECT_EQ(c.summary.inputTriangles, 2 * (6 * 13 + 1));
    CheckTree(*c.map->root);

    std::vector<const MapPolygon*> polygons;
    CollectPolygons(*c.map->root, polygons);
    EXPECT_EQ(int64_t(polygons.size()), c.summary.bsp.outputTriangles);
    double inputArea = 0;
    for (const BspTriangle& t : PlacedTriangles(path)) {
        MapVertex v[3];
        for (int k = 0; k < 3; ++k)
            v[k] = {t.v[k].x, t.v[k].y, t.v[k].z, 0, 0};
        MapPolygon p;
        for (int k = 0; k < 3; ++k)
            p.vertices[k] = &v[k];
        inputArea += Area(p);
    }
    double outputArea = 0;
    for (const MapPolygon* p : polygons) {
        outputArea += Area(*p);
        // The fixture maps texture planarly: u and v are one affine function of the
        // position on each plane, so every piece of a split triangle must agree with it.
        const double nx = std::abs(p->plane.a), ny = std::abs(p->plane.b),
                     nz = std::abs(p->plane.c);
        for (const MapVertex* v : p->vertices) {
            if (std::abs(nx - ny) < 0.01 || std::abs(ny - nz) < 0.01 || std::abs(nx - nz) < 0.01)
                continue; // the slanted roof is near the builder's axis choice; skip ties
            const bool horizontal = ny > nx && ny > nz;
            const bool sideways = nx >= nz && !horizontal;
            const double u = (sideways ? -v->z : -v->x) / 10;
            const double vv = 1 - (horizontal ? -v->z : v->y) / 10;
            EXPECT_NEAR(v->u, u, 2e-4);
            EXPECT_NEAR(v->v, vv, 2e-4);
        }
    }
    EXPECT_NEAR(outputArea, inputArea, inputArea * 1e-6);
}

// No polygon meets another's edge at a point inside it with an edge along it: neighbours
// meet vertex to vertex, so the rasterizer's shared-edge rule leaves no cracks between them.
// (A surface piercing another may touch an edge's line at a point; no pixel falls through.)
void ExpectNoTJunctions(const Map& map) {
    std::vector<const MapPolygon*> polygons;
    CollectPolygons(*map.root, polygons);
    std::vector<std::vector<const MapVertex*>> ends(size_t(map.vertexCount));
    for (const MapPolygon* p : polygons)
        for (int i = 0; i < 3; ++i) {
            const MapVertex* a = p->vertices[i];
            const MapVertex* b = p->vertices[(i + 1) % 3];
            ends[size_t(a - map.vertices.get())].push_back(b);
            ends[size_t(b - map.vertices.get())].push_back(a);
        }
    for (const MapPolygon* p : polygons) {
        for (int i = 0; i < 3; ++i) {
            const MapVertex& a = *p->vertices[i];
            const MapVertex& b = *p->vertices[(i + 1) % 3];
            const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
            const double length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            // Where w lies along the edge's line, and its squared distance from the line.
            auto along = [&](const MapVertex& w, double& t) {
                const double e[3] = {double(w.x) - a.x, double(w.y) - a.y, double(w.z) - a.z};
                t = (e[0] * d[0] + e[1] * d[1] + e[2] * d[2]) / length2;
                double off2 = 0;
                for (int j = 0; j < 3; ++j)
                    off2 += (e[j] - t * d[j]) * (e[j] - t * d[j]);
                return off2;
            };
            for (int32_t k = 0; k < map.vertexCount; ++k) {
                const MapVertex& v = map.vertices[k];
                if ((v.x == a.x && v.y == a.y && v.z == a.z) ||
                    (v.x == b.x && v.y == b.y && v.z == b.z))
                    continue;
                double t = 0;
                if (along(v, t) > 1e-8 || t <= 1e-6 || t >= 1 - 1e-6) continue;
                for (const MapVertex* w : ends[size_t(k)]) {
                    double tw = 0;
                    ASSERT_GT(along(*w, tw), 1e-8)
                        << "vertex " << k << " inside an edge at t " << t
                        << ", with an edge along it";
                }
            }
        }
    }
}

TEST(Bspc, NeighboursMeetVertexToVertex) {
    TempDir dir;
    ObjBuilder scene;
    // One tall quad beside two short ones: the middle of the shared edge is a T-junction.
    scene.Face({{0, 0, 0}, {10, 0, 0}, {10, 20, 0}, {0, 20, 0}});
    scene.Face({{10, 0, 0}, {20, 0, 0}, {20, 10, 0}, {10, 10, 0}});
    scene.Face({{10, 10, 0}, {20, 10, 0}, {20, 20, 0}, {10, 20, 0}});
    const Compiled c = Compile(scene.Write(dir), dir);
    ASSERT_TRUE(c.ok) << c.messages.error;
    EXPECT_EQ(c.summary.mendedTJunctions, 1);
    EXPECT_EQ(c.summary.bsp.outputTriangles, 7);
    ExpectNoTJunctions(*c.map);

    TempDir crowdedDir;
    const Compiled crowded = Compile(CrowdedScene().Write(crowdedDir), crowdedDir);
    ASSERT_TRUE(crowded.ok) << crowded.messages.error;
    EXPECT_GT(crowded.summary.mendedTJunctions, 0);
    ExpectNoTJunctions(*crowded.map);
}

TEST(Bspc, OutputIsDeterministicAndEqualVerticesAreShared) {
    TempDir one;
    TempDir two;
    const ObjBuilder crowded = CrowdedScene();
    ASSERT_TRUE(Compile(crowded.Write(one), one).ok);
    ASSERT_TRUE(Compile(crowded.Write(two), two).ok);
    EXPECT_EQ(ReadWholeFile(one.File("out/Vuze.BSP")), ReadWholeFile(two.File("out/Vuze.BSP")));

    TempDir dir;
    ObjBuilder cube;
    cube.Box({0, 0, 0}, {10, 10, 10});
    const std::string path = cube.Write(dir);
    const Compiled c = Compile(path, dir);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.summary.bsp.outputTriangles, 12);
    // One record per distinct position and texture coordinate pair of the input corners.
    std::set<std::tuple<float, float, float, float, float>> distinct;
    for (const BspTriangle& t : PlacedTriangles(path))
        for (const MapVertex& v : t.v)
            distinct.insert({v.x, v.y, v.z, v.u, v.v});
    EXPECT_LT(distinct.size(), 36u);
    EXPECT_EQ(size_t(c.map->vertexCount), distinct.size());
}

TEST(Bspc, DoubleSidedAddsTheReverseOfEveryFace) {
    TempDir dir;
    ObjBuilder scene;
    scene.Face({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    BspcOptions options;
    options.doubleSided = true;
    const Compiled c = Compile(scene.Write(dir), dir, options);
    ASSERT_TRUE(c.ok);
    std::vector<const MapPolygon*> polygons;
    CollectPolygons(*c.map->root, polygons);
    ASSERT_EQ(polygons.size(), 4u);
    int facingCamera = 0;
    for (const MapPolygon* p : polygons)
        facingCamera += Distance(p->plane, {0, 40, -40, 0, 0}) < 0;
    EXPECT_EQ(facingCamera, 2);
}

int Occurrences(const std::vector<std::string>& lines, const std::string& part) {
    int n = 0;
    for (const std::string& line : lines)
        n += Contains(line, part);
    return n;
}

TEST(Bspc, MaterialImagesBecomeSharedPowerOfTwoBitmaps) {
    TempDir dir;
    std::vector<uint32_t> odd(100 * 60, 0x336699);
    std::vector<uint32_t> exact = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456,
                                   0x000000, 0xFFFFFF, 0x808080, 0xABCDEF};
    std::vector<uint32_t> big(256 * 128, 0x204060);
    ASSERT_TRUE(WriteFileBytes(dir.File("odd.bmp"), BitmapBytes(100, 60, odd)));
    ASSERT_TRUE(WriteFileBytes(dir.File("img/exact.bmp"), BitmapBytes(4, 2, exact)));
    ASSERT_TRUE(WriteFileBytes(dir.File("big.bmp"), BitmapBytes(256, 128, big)));
    ObjBuilder scene;
    scene.Material("odd", "odd.bmp");
    scene.Material("exact#1", "img\\exact.bmp"); // as Windows exports write it
    scene.Material("plain");
    scene.Material("odd_again", "odd.bmp");
    scene.Material("big", "big.bmp");
    scene.Use("exact#1");
    scene.Face({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    scene.Use("odd");
    scene.Face({{0, 0, 5}, {10, 0, 5}, {0, 10, 5}});
    scene.Use("plain");
    scene.Face({{0, 0, 9}, {10, 0, 9}, {0, 10, 9}});
    scene.Use("odd_again");
    scene.Face({{0, 0, 12}, {10, 0, 12}, {0, 10, 12}});
    scene.Use("big");
    // No texture coordinates: a box projection at one texel per map unit.
    scene.obj += "v 0 0 15\nv 30 0 15\nv 0 20 15\nf -3 -2 -1\n";
    BspcOptions options;
    options.maxTexture = 64;
    const Compiled c = Compile(scene.Write(dir), dir, options);
    ASSERT_TRUE(c.ok) << c.messages.error;
    ASSERT_EQ(c.map->textureCount, 4) << "materials sharing an image share its slot";
    EXPECT_EQ(c.map->textureSlots[0].name, "exact") << "named after the image";
    EXPECT_EQ(c.map->textureSlots[1].name, "odd");
    EXPECT_EQ(c.map->textureSlots[2].name, "plain");
    EXPECT_EQ(c.map->textureSlots[3].name, "big");
    EXPECT_EQ(Occurrences(c.messages.warnings, "is 100 x 60; resampled to 64 x 32"), 1);
    EXPECT_EQ(Occurrences(c.messages.warnings, "is 256 x 128; resampled to 64 x 32"), 1);

    const auto exactOut = LoadBitmap(dir.File("out/Textures/exact.bmp"));
    ASSERT_NE(exactOut, nullptr);
    ASSERT_EQ(exactOut->width, 4);
    for (size_t i = 0; i < exact.size(); ++i)
        EXPECT_EQ(exactOut->pixels[i], exact[i]) << i;
    const auto oddOut = LoadBitmap(dir.File("out/Textures/odd.bmp"));
    ASSERT_NE(oddOut, nullptr);
    EXPECT_EQ(oddOut->width, 64);
    EXPECT_EQ(oddOut->height, 32);
    EXPECT_EQ(oddOut->pixels[1000], 0x336699u);
    const auto plainOut = LoadBitmap(dir.File("out/Textures/plain.bmp"));
    ASSERT_NE(plainOut, nullptr);
    EXPECT_EQ(plainOut->pixels[0], 0x808080u) << "Kd 0.5";

    std::vector<const MapPolygon*> polygons;
    CollectPolygons(*c.map->root, polygons);
    for (const MapPolygon* p : polygons) {
        if (p->textureIndex != 3) continue;
        for (const MapVertex* v : p->vertices) {
            // Facing z: u along x, v down y, in texels of the 64 x 32 image.
            EXPECT_FLOAT_EQ(v->u, v->x / 64);
            EXPECT_FLOAT_EQ(v->v, -v->y / 32);
        }
    }
}

TEST(Bspc, MaterialProblemsFallBackWithOneWarningEach) {
    TempDir dir;
    // A 2 x 1 TGA with alpha: one opaque texel, one half transparent.
    const uint8_t tga[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 8,
                           10, 20, 30, 255, 10, 20, 30, 128};
    ASSERT_TRUE(WriteFileBytes(dir.File("alpha.tga"), tga));
    ASSERT_TRUE(WriteFileBytes(dir.File("textures/moved.bmp"),
                               BitmapBytes(1, 1, std::vector<uint32_t>{0x00FF00})));
    WriteFileText(dir.File("scene.mtl"), "newmtl wall\nKd 1 0 0\nmap_Kd nothere.png\n"
                                     "newmtl wall2\nKd 1 0 0\nmap_Kd nothere.png\n"
                                     "newmtl none\nKd 0 0 1\nmap_Kd none\n"
                                     "newmtl glass\nKd 1 1 1\nd 0.5\n"
                                     "newmtl alpha\nKd 1 1 1\nmap_Kd alpha.tga\n"
                                     "newmtl moved\nKd 1 1 1\nmap_Kd C:\\art\\moved.bmp\n");
    std::string obj = "mtllib renamed.mtl\nv 0 0 0\nv 10 0 0\nv 0 10 0\n";
    for (const char* m : {"wall", "none", "wall", "undefined1", "glass", "undefined2", "alpha",
                          "undefined1", "moved", "wall2"})
        obj += std::string("usemtl ") + m + "\nf 1 2 3\nf 1 3 2\n";
    WriteFileText(dir.File("scene.obj"), obj);
    const Compiled c = Compile(dir.File("scene.obj"), dir);
    ASSERT_TRUE(c.ok) << c.messages.error;
    const std::vector<std::string>& w = c.messages.warnings;
    EXPECT_EQ(Occurrences(w, "\"renamed.mtl\" named by \"scene.obj\" not found; using "
                             "\"scene.mtl\" instead"),
              1);
    EXPECT_EQ(Occurrences(w, "image \"nothere.png\" of materials \"wall\" and \"wall2\" not found; "
                             "using each material's colour"),
              1)
        << "one line for the one missing image";
    EXPECT_EQ(Occurrences(w, "image \"none\" of material \"none\" not found"), 1);
    EXPECT_EQ(Occurrences(w, "materials \"undefined1\" and \"undefined2\" used by \"scene.obj\" "
                             "defined in no material library"),
              1);
    EXPECT_EQ(Occurrences(w, "material \"glass\" is transparent; transparency is not drawn"), 1);
    EXPECT_EQ(Occurrences(w, "alpha.tga\" has transparent texels"), 1);
    EXPECT_EQ(Occurrences(w, "C:\\art\\moved.bmp\" of material \"moved\" not found there; using"),
              1);
    EXPECT_EQ(Occurrences(w, "exact duplicate faces"), 1);
    EXPECT_EQ(w.size(), 8u) << "nothing else, nothing twice";
    // Missing images draw in the material's colour, an undefined material in the default grey.
    std::set<uint32_t> colors;
    for (int32_t i = 0; i < c.map->textureCount; ++i) {
        const auto image = LoadBitmap(dir.File("out/Textures/" + c.map->textureSlots[i].name +
                                               ".bmp"));
        ASSERT_NE(image, nullptr);
        colors.insert(image->pixels[0]);
    }
    EXPECT_EQ(colors, (std::set<uint32_t>{0xFF0000, 0x0000FF, 0x999999, 0xFFFFFF, 0x1E140A,
                                          0x00FF00}));
}

TEST(Bspc, BadInputsGiveOneLineNamingTheFile) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> cases = {
        {"nothing.obj", ""},
        {"broken.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n"},
        {"garbage.obj", "this is not a scene\n"},
        {"points.obj", "v 0 0 0\nv 1 0 0\np 1 2\n"},
        {"flat.obj", "v 0 0 0\nv 5 5 0\nv 10 10 0\nf 1 2 3\n"},
        {"text.glb", "glTF but not really"}};
    for (const auto& [name, text] : cases) {
        if (!text.empty()) WriteFileText(dir.File(name), text);
        const Compiled c = Compile(dir.File(name), dir);
        EXPECT_FALSE(c.ok) << name;
        EXPECT_TRUE(Contains(c.messages.error, name)) << c.messages.error;
        EXPECT_FALSE(Contains(c.messages.error, "\n")) << c.messages.error;
    }

    ObjBuilder degenerate;
    degenerate.Face({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    degenerate.Face({{0, 0, 0}, {5, 5, 0}, {10, 10, 0}}); // collinear
    degenerate.Face({{0, 0, 0}, {0, 0, 0}, {0, 10, 0}});  // a repeated corner
    degenerate.Face({{10, 0, 0}, {0, 10, 0}, {0, 0, 0}}); // the first again, turned
    const Compiled c = Compile(degenerate.Write(dir, "degenerate"), dir);
    ASSERT_TRUE(c.ok) << c.messages.error;
    EXPECT_EQ(c.summary.droppedFaces, 3);
    EXPECT_EQ(c.summary.bsp.outputTriangles, 1);
    EXPECT_EQ(Occurrences(c.messages.warnings, "skipped 2 degenerate"), 1);
    EXPECT_EQ(Occurrences(c.messages.warnings, "dropped 1 exact duplicate"), 1);
}

TEST(Bspc, MapDirectoryIsReplacedOnlyWhenComplete) {
    TempDir dir;
    ObjBuilder first;
    first.Material("one");
    first.Use("one");
    first.Face({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    const std::vector<uint8_t> font = BitmapBytes(1, 1, std::vector<uint32_t>{0x123456});
    BspcOptions options;
    options.font = font;
    ASSERT_TRUE(Compile(first.Write(dir, "first"), dir, options).ok);
    EXPECT_EQ(ReadWholeFile(dir.File("out/Font.bmp")), std::string(font.begin(), font.end()))
        << "the bundled font";
    WriteFileText(dir.File("out/Font.bmp"), "the user's own font");
    WriteFileText(dir.File("out/notes.txt"), "kept");
    const std::string map = ReadWholeFile(dir.File("out/Vuze.BSP"));

    // A failed compile leaves everything as it was.
    WriteFileText(dir.File("broken.obj"), "v 0 0 0\nf 1 1 1\n");
    EXPECT_FALSE(Compile(dir.File("broken.obj"), dir, options).ok);
    EXPECT_EQ(ReadWholeFile(dir.File("out/Vuze.BSP")), map);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/Textures/one.bmp")));

    // A new map brings its own Textures/ and keeps the rest.
    ObjBuilder second;
    second.Material("two");
    second.Use("two");
    second.Face({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    ASSERT_TRUE(Compile(second.Write(dir, "second"), dir, options).ok);
    EXPECT_NE(ReadWholeFile(dir.File("out/Vuze.BSP")), map);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/Textures/one.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/Textures/two.bmp")));
    EXPECT_EQ(ReadWholeFile(dir.File("out/Font.bmp")), "the user's own font");
    EXPECT_EQ(ReadWholeFile(dir.File("out/notes.txt")), "kept");
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("out")))
        entries += !entry.path().filename().string().starts_with(".") ? 1 : 100;
    EXPECT_EQ(entries, 4u) << "no temporary directory left behind";
}

TEST(Bspc, OpenEdgesAreCountedAndReported) {
    TempDir dir;
    ObjBuilder box;
    box.Box({0, 0, 0}, {10, 10, 10});
    const std::string closed = box.Write(dir, "closed");
    Compiled c = Compile(closed, dir);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.summary.openEdges, 0);
    EXPECT_EQ(c.summary.unmatchedEdges, 0) << "splitting and mending leave no cracks";
    EXPECT_EQ(Occurrences(c.messages.warnings, "open edges"), 0);

    ObjBuilder open;
    open.Box({0, 0, 0}, {10, 10, 10});
    open.Box({20, 0, 0}, {30, 10, 10});
    // Two boxes without their tops: the last face of each box is its top (+y).
    const std::string text = open.obj;
    std::vector<std::string> lines;
    std::string kept;
    int faces = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at + 1);
        if (line.starts_with("f ") && (++faces == 4 || faces == 10)) {
        } else {
            kept += line;
        }
        at = end + 1;
    }
    open.obj = kept;
    c = Compile(open.Write(dir, "open"), dir);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.summary.openEdges, 8);
    EXPECT_EQ(c.summary.openLoops, 2);
    EXPECT_DOUBLE_EQ(c.summary.openLength, 80.0);
    EXPECT_NEAR(c.summary.unmatchedLength, 80.0, 1e-4) << "the openings and no crack besides";
    EXPECT_EQ(Occurrences(c.messages.warnings, "8 open edges in 2 loops"), 1);
    EXPECT_EQ(Occurrences(c.messages.warnings, "--double-sided"), 1);
    BspcOptions both;
    both.doubleSided = true;
    c = Compile(open.Write(dir, "open"), dir, both);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.summary.openEdges, 0) << "every edge has the reverse face behind it";
}

// A smooth bumpy sheet of 2 x 40 x 40 triangles.
ObjBuilder Sheet() {
    ObjBuilder scene;
    constexpr int N = 40;
    for (int i = 0; i <= N; ++i)
        for (int j = 0; j <= N; ++j)
            scene.obj += "v " + std::to_string(i) + " " +
                         std::to_string(2 * std::sin(i * 0.2) * std::cos(j * 0.15)) + " " +
                         std::to_string(j) + "\nvt " + std::to_string(i / 40.0) + " " +
                         std::to_string(j / 40.0) + "\n";
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            const int a = i * (N + 1) + j + 1;
            const int b = a + N + 1;
            scene.obj += "f " + std::to_string(a) + "/" + std::to_string(a) + " " +
                         std::to_string(a + 1) + "/" + std::to_string(a + 1) + " " +
                         std::to_string(b) + "/" + std::to_string(b) + "\n";
            scene.obj += "f " + std::to_string(a + 1) + "/" + std::to_string(a + 1) + " " +
                         std::to_string(b + 1) + "/" + std::to_string(b + 1) + " " +
                         std::to_string(b) + "/" + std::to_string(b) + "\n";
        }
    return scene;
}

TEST(Bspc, TooManyVerticesAreSimplifiedAwayUnlessTurnedOff) {
    TempDir dir;
    const std::string path = Sheet().Write(dir, "sheet");
    BspcOptions options;
    options.maxVertices = 600; // a small budget stands in for the format's 32767
    Compiled c = Compile(path, dir, options);
    ASSERT_TRUE(c.ok) << c.messages.error;
    EXPECT_LE(c.map->vertexCount, 600);
    EXPECT_EQ(c.summary.simplifiedFrom, 3200);
    EXPECT_LT(c.summary.simplifiedTo, 1200);
    EXPECT_EQ(Occurrences(c.messages.warnings, "simplified the scene from 3200 to"), 1);
    EXPECT_EQ(Occurrences(c.messages.warnings, "borders kept"), 1);

    options.simplify = false;
    c = Compile(path, dir, options);
    EXPECT_FALSE(c.ok);
    EXPECT_TRUE(Contains(c.messages.error, "vertices, more than the map's limit of 600 (3200 "
                                           "input triangles, "))
        << c.messages.error;
    EXPECT_TRUE(Contains(c.messages.error, "--no-simplify")) << c.messages.error;
}

TEST(Bspc, SceneBeyondAFormatLimitFitsOrStopsWithAMessageNamingIt) {
    {
        // 32,768 triangles in one plane on a shared grid: one node too many, so the plane
        // continues in a second node.
        TempDir dir;
        ObjBuilder scene;
        for (int i = 0; i < 128; ++i)
            for (int j = 0; j < 128; ++j)
                scene.Face({{double(i), double(j), 0},
                            {i + 1.0, double(j), 0},
                            {i + 1.0, j + 1.0, 0},
                            {double(i), j + 1.0, 0}});
        const Compiled c = Compile(scene.Write(dir), dir);
        ASSERT_TRUE(c.ok) << c.messages.error;
        const MapNode& root = *c.map->root;
        EXPECT_EQ(root.polygonCount, MaxMapCount);
        ASSERT_TRUE(root.flags & NodeHasBack);
        EXPECT_EQ(root.back->polygonCount, 1);
        EXPECT_EQ(root.back->plane.d, root.plane.d);
    }
    {
        TempDir dir;
        ObjBuilder scene;
        for (int i = 0; i < 32768; ++i) {
            const std::string name = "m" + std::to_string(i);
            scene.mtl += "newmtl " + name + "\nKd " + std::to_string(i % 64 / 63.0) + " " +
                         std::to_string(i / 64 % 64 / 63.0) + " " +
                         std::to_string(i / 4096 / 7.0) + "\n";
            scene.Use(name);
            scene.obj += "f 1 2 3\n";
        }
        scene.obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\n" + scene.obj;
        const Compiled c = Compile(scene.Write(dir), dir);
        EXPECT_FALSE(c.ok);
        EXPECT_TRUE(Contains(c.messages.error, "32768 distinct textures, more than the format's limit of 32767")) << c.messages.error;
    }
    {
        TempDir dir;
        ObjBuilder scene;
        const std::string longName(MaxTextureNameLength + 1, 'n');
        scene.Material(longName);
        scene.Use(longName);
        scene.Face({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
        const Compiled c = Compile(scene.Write(dir), dir);
        ASSERT_TRUE(c.ok) << c.messages.error;
        EXPECT_LE(c.map->textureSlots[0].name.size(), size_t(MaxTextureNameLength));
    }
    {
        TempDir dir;
        ObjBuilder scene;
        scene.Box({0, 0, 0}, {10, 10, 10});
        BspcOptions options;
        options.maxDepth = 4;
        options.simplify = false;
        const Compiled c = Compile(scene.Write(dir), dir, options);
        EXPECT_FALSE(c.ok);
        EXPECT_TRUE(Contains(c.messages.error, "limit of 4 levels")) << c.messages.error;
    }
}

} // namespace
