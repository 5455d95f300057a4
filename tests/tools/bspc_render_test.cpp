// Compiled scenes rendered from the viewer's start camera by the renderer itself: what a
// scene author sees must match what the OBJ shows.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <stb_image_write.h>

#include "app/camera.h"
#include "geometry/projection.h"
#include "gltf_fixtures.h"
#include "obj_fixtures.h"
#include "render/render.h"
#include "scene/bitmap.h"
#include "support/image.h"
#include "support/process.h"
#include "support/scene_bytes.h"

namespace {

constexpr int32_t Width = 512;
constexpr int32_t Height = 384;

uint32_t At(const std::vector<uint32_t>& frame, int32_t x, int32_t y) {
    return frame[size_t(y) * Width + size_t(x)];
}

struct Box2 {
    int32_t left = Width, top = Height, right = -1, bottom = -1;
};

Box2 Bounds(const std::vector<uint32_t>& frame, uint32_t color) {
    Box2 b;
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x)
            if (At(frame, x, y) == color) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

constexpr uint32_t Red = 0xFF0000;
constexpr uint32_t SignGreen = 0x00FF00;
constexpr uint32_t ArrowBlack = 0x000010;

// A 64 x 32 sign: green, with a dark arrow pointing right (shaft on the left, head on the
// right, tip at the right edge).
std::vector<uint32_t> ArrowTexture() {
    std::vector<uint32_t> pixels(64 * 32, SignGreen);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool shaft = x >= 6 && x < 40 && y >= 13 && y < 19;
            const bool head = x >= 40 && x < 60 && std::abs(y - 15.5) < (60 - x) * 0.7;
            if (shaft || head) pixels[size_t(y) * 64 + size_t(x)] = ArrowBlack;
        }
    return pixels;
}

// An F of red boxes left of the centre and a sign with an arrow right of it, 100 units ahead
// of the start camera, facing it; the arrow is written to dir as arrow.png.
ObjBuilder LetterAndSign(const TempDir& dir) {
    std::vector<uint8_t> rgb;
    for (uint32_t p : ArrowTexture())
        rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    EXPECT_NE(stbi_write_png(dir.File("arrow.png").c_str(), 64, 32, 3, rgb.data(), 64 * 3), 0);
    ObjBuilder scene;
    scene.mtl = "newmtl red\nKd 1 0 0\nnewmtl sign\nKd 1 1 1\nmap_Kd arrow.png\n";
    scene.Use("red");
    scene.Box({-30, 20, -62}, {-24, 60, -60}); // stem
    scene.Box({-24, 54, -62}, {-6, 60, -60});  // top bar
    scene.Box({-24, 42, -62}, {-12, 48, -60}); // middle bar
    scene.Use("sign");
    scene.FaceUV({{10, 50, -60}, {42, 50, -60}, {42, 66, -60}, {10, 66, -60}},
                 {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    return scene;
}

// Compiles the F and the sign into dir/out.
void CompileLetterAndSign(const TempDir& dir) {
    const Compiled c = Compile(LetterAndSign(dir).Write(dir), dir);
    ASSERT_TRUE(c.ok) << c.messages.error;
}

void CheckLetterAndSign(const std::vector<uint32_t>& frame) {

    const Box2 f = Bounds(frame, Red);
    ASSERT_GT(f.right - f.left, 20);
    EXPECT_LT(f.right, Width / 2) << "left of the centre";
    const int32_t w = f.right - f.left + 1;
    const int32_t h = f.bottom - f.top + 1;
    auto redShare = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        int32_t red = 0, all = 0;
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x, ++all)
                red += At(frame, x, y) == Red;
        return double(red) / all;
    };
    EXPECT_GT(redShare(f.left, f.top, f.left + w / 8, f.bottom), 0.95) << "stem on the left";
    EXPECT_GT(redShare(f.left, f.top, f.right, f.top + h / 10), 0.95) << "bar along the top";
    EXPECT_LT(redShare(f.left + w / 2, f.top + h / 2, f.right, f.bottom), 0.02)
        << "open bottom right";
    EXPECT_GT(redShare(f.left, f.top + h * 3 / 10, f.left + w * 6 / 10, f.top + h * 35 / 100), 0.9)
        << "middle bar";

    const Box2 sign = Bounds(frame, SignGreen);
    ASSERT_GT(sign.right - sign.left, 40);
    EXPECT_GT(sign.left, Width / 2) << "right of the centre";
    EXPECT_LT(sign.bottom, Height / 2) << "above the centre";
    // The head is the arrow's tallest part and lies right of the middle; the shaft is a
    // thin band on the left.
    int32_t tallest = 0, tallestX = 0;
    for (int32_t x = sign.left; x <= sign.right; ++x) {
        int32_t dark = 0;
        for (int32_t y = sign.top; y <= sign.bottom; ++y)
            dark += At(frame, x, y) == ArrowBlack;
        if (dark > tallest) {
            tallest = dark;
            tallestX = x;
        }
    }
    EXPECT_GT(tallestX, (sign.left + sign.right) / 2);
    EXPECT_GT(tallest, (sign.bottom - sign.top) / 2);
}

TEST(BspcRender, LetterFIsUprightAndTheSignsArrowPointsRight) {
    TempDir dir;
    CompileLetterAndSign(dir);
    CheckLetterAndSign(RenderStartView(dir.Path() / "out"));
}

TEST(BspcRender, GltfGivesTheSamePictureAsTheObjInEveryPackaging) {
    TempDir objDir;
    CompileLetterAndSign(objDir);
    const std::vector<uint32_t> expected = RenderStartView(objDir.Path() / "out");
    for (GltfPackaging packaging :
         {GltfPackaging::Files, GltfPackaging::DataUris, GltfPackaging::Binary}) {
        TempDir dir;
        const ObjBuilder scene = LetterAndSign(dir);
        const Compiled c = Compile(WriteGltf(scene, dir, packaging), dir);
        ASSERT_TRUE(c.ok) << c.messages.error;
        ASSERT_EQ(c.messages.warnings.size(), 1u) << "the sign's open edges, as from the OBJ";
        const std::vector<uint32_t> frame = RenderStartView(dir.Path() / "out");
        CheckLetterAndSign(frame);
        size_t same = 0;
        for (size_t i = 0; i < frame.size(); ++i)
            same += frame[i] == expected[i];
        EXPECT_GE(double(same) / double(frame.size()), 0.995) << int(packaging);
    }
}

#ifdef VEXMONT_SHOT
TEST(BspcRender, TheViewerShowsTheCompiledMapTheSameWay) {
    TempDir dir;
    CompileLetterAndSign(dir);
    const CommandResult shot =
        RunCommand({VEXMONT_SHOT, "--dir", dir.File("out"), "--out", dir.File("frame.ppm")});
    ASSERT_EQ(shot.exitCode, 0) << shot.output;
    const std::vector<uint32_t> frame = ReadPpm(dir.File("frame.ppm"), Width, Height);
    ASSERT_EQ(frame.size(), size_t(Width) * Height);
    CheckLetterAndSign(frame);
}
#endif

#ifdef VEXMONT_BSPC
TEST(BspcRender, CommandLineExitsWith2OnBadArgumentsAnd1WithOneLineOnABadScene) {
    TempDir dir;
    const std::string scene = LetterAndSign(dir).Write(dir);
    const std::string out = dir.File("out");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--scale", "-2"}, {"--scale", "0"}, {"--scale", "nan"},
          {"--fit", "--scale", "2"}, {"--offset", "1,2,3", "--fit"}, {"--max-texture", "0"},
          {"--max-texture", "1.5"}, {"--import-timeout", "-1"}}) {
        std::vector<std::string> argv = {VEXMONT_BSPC, scene, "--out", out};
        argv.insert(argv.end(), args.begin(), args.end());
        const CommandResult r = RunCommand(argv);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[1] << ": " << r.output;
    }
    CommandResult r = RunCommand({VEXMONT_BSPC, dir.File("missing.gltf"), "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "vexmont-bspc: error: cannot open scene file \"" +
                            dir.File("missing.gltf") + "\"\n");
    r = RunCommand({VEXMONT_BSPC, scene, "--out", out, "--fit"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("vertices 74 of 32767"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("fitted as --scale "), std::string::npos) << r.output;
    const auto font = LoadBitmap(dir.File("out/Font.bmp"));
    ASSERT_NE(font, nullptr) << "the bundled font, so that the folder runs as it is";
    EXPECT_EQ(font->width, 176);
}
#endif

// A cube with one plain colour per face: -X, +X, -Y, +Y, -Z, +Z.
const uint32_t FaceColors[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};

void WriteColorCube(const TempDir& dir, ObjPoint lo, ObjPoint hi, bool inside) {
    ObjBuilder scene;
    std::vector<std::string> materials;
    for (int i = 0; i < 6; ++i) {
        const uint32_t c = FaceColors[i];
        char kd[64];
        std::snprintf(kd, sizeof kd, "Kd %d %d %d\n", int(c >> 16 & 1), int(c >> 8 & 1),
                      int(c & 1));
        materials.push_back("f" + std::to_string(i));
        scene.mtl += "newmtl " + materials.back() + "\n" + kd;
    }
    scene.Box(lo, hi, inside, materials);
    scene.Write(dir);
}

std::set<uint32_t> Colors(const std::vector<uint32_t>& frame) {
    return std::set<uint32_t>(frame.begin(), frame.end());
}

TEST(BspcRender, CubeShowsExactlyTheFacesTurnedTowardsTheCamera) {
    {
        // Straight ahead at eye height: only the face towards the viewer (+Z) shows.
        TempDir dir;
        WriteColorCube(dir, {-10, 30, -70}, {10, 50, -50}, false);
        ASSERT_TRUE(Compile(dir.File("scene.obj"), dir).ok);
        const std::vector<uint32_t> frame = RenderStartView(dir.Path() / "out");
        EXPECT_EQ(Colors(frame), (std::set<uint32_t>{0, FaceColors[5]}));
        EXPECT_EQ(At(frame, Width / 2, Height / 2), FaceColors[5]);
    }
    {
        // Below and right of the eye: the front, the top and the left side show.
        TempDir dir;
        WriteColorCube(dir, {20, 0, -70}, {40, 20, -50}, false);
        ASSERT_TRUE(Compile(dir.File("scene.obj"), dir).ok);
        EXPECT_EQ(Colors(RenderStartView(dir.Path() / "out")),
                  (std::set<uint32_t>{0, FaceColors[0], FaceColors[3], FaceColors[5]}));
    }
    {
        // A room around the camera: all but the wall behind it, each on its own side.
        TempDir dir;
        WriteColorCube(dir, {-100, -20, -100}, {100, 100, 100}, true);
        ASSERT_TRUE(Compile(dir.File("scene.obj"), dir).ok);
        const std::vector<uint32_t> frame = RenderStartView(dir.Path() / "out");
        std::set<uint32_t> inner;
        for (int32_t y = 3; y < Height - 3; ++y)
            for (int32_t x = 3; x < Width - 3; ++x)
                inner.insert(At(frame, x, y));
        EXPECT_EQ(inner, (std::set<uint32_t>{FaceColors[0], FaceColors[1], FaceColors[2],
                                             FaceColors[3], FaceColors[4]}))
            << "no holes, no back wall";
        EXPECT_EQ(At(frame, 5, Height / 2), FaceColors[0]) << "-X on the left";
        EXPECT_EQ(At(frame, Width - 6, Height / 2), FaceColors[1]) << "+X on the right";
        EXPECT_EQ(At(frame, Width / 2, 5), FaceColors[3]) << "ceiling at the top";
        EXPECT_EQ(At(frame, Width / 2, Height - 6), FaceColors[2]) << "floor at the bottom";
    }
}

TEST(BspcRender, FacesInsideClosedPartsAreLeftOutAndNothingSeenChanges) {
    // In a room around the camera, right of the eye: a box with a second one pushed halfway
    // through its front (towards the camera; its left side shows) and a lone quad wholly
    // inside it.
    TempDir dir;
    ObjBuilder scene;
    const char* names[4] = {"room", "outer", "pushed", "quad"};
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = FaceColors[i];
        scene.mtl += std::string("newmtl ") + names[i] + "\nKd " + std::to_string(c >> 16 & 1) +
                     " " + std::to_string(c >> 8 & 1) + " " + std::to_string(c & 1) + "\n";
    }
    auto all = [](const char* name) { return std::vector<std::string>(6, name); };
    scene.Box({-100, -20, -100}, {100, 100, 100}, true, all("room"));
    scene.Box({20, 30, -70}, {40, 50, -50}, false, all("outer"));
    scene.Box({26, 36, -60}, {34, 44, -40}, false, all("pushed"));
    scene.Use("quad");
    scene.Face({{25, 35, -65}, {35, 35, -65}, {35, 45, -65}, {25, 45, -65}});
    const std::string path = scene.Write(dir);

    BspcOptions keep;
    keep.keepInside = true;
    TempDir keptDir;
    const Compiled kept = Compile(path, keptDir, keep);
    const Compiled left = Compile(path, dir);
    ASSERT_TRUE(kept.ok && left.ok);
    EXPECT_EQ(kept.summary.insideDropped, 0);
    EXPECT_GT(left.summary.insideDropped, 0);
    EXPECT_LT(left.summary.bsp.outputTriangles, kept.summary.bsp.outputTriangles);
    EXPECT_EQ(RenderStartView(dir.Path() / "out"), RenderStartView(keptDir.Path() / "out"));

    // No polygon is left wholly inside the outer box (map x and z are the scene's negated),
    // while --keep-inside keeps the quad and the pushed box's back there.
    auto inside = [](const Compiled& c) {
        std::vector<const MapPolygon*> polygons;
        CollectPolygons(*c.map->root, polygons);
        auto within = [](double x, double y, double z, double margin) {
            return std::fabs(x + 30) <= 10 - margin && y >= 30 + margin && y <= 50 - margin &&
                   z >= 50 + margin && z <= 70 - margin;
        };
        int count = 0;
        for (const MapPolygon* p : polygons) {
            const MapVertex* const* v = p->vertices;
            count += within(v[0]->x, v[0]->y, v[0]->z, 0) && within(v[1]->x, v[1]->y, v[1]->z, 0) &&
                     within(v[2]->x, v[2]->y, v[2]->z, 0) &&
                     within((v[0]->x + v[1]->x + v[2]->x) / 3, (v[0]->y + v[1]->y + v[2]->y) / 3,
                            (v[0]->z + v[1]->z + v[2]->z) / 3, 0.1);
        }
        return count;
    };
    EXPECT_EQ(inside(left), 0);
    EXPECT_GT(inside(kept), 2);

    BspcOptions twoSided;
    twoSided.doubleSided = true;
    const Compiled both = Compile(path, dir, twoSided);
    ASSERT_TRUE(both.ok);
    EXPECT_EQ(both.summary.insideDropped, 0) << "a part seen from both sides encloses nothing";
}

TEST(BspcRender, FitStandsTheSceneCentredInFrontOfTheStartCamera) {
    TempDir dir;
    // Far off to one side, tall and thin, behind the camera's start.
    WriteColorCube(dir, {500, -900, 300}, {530, -700, 310}, false);
    BspcOptions options;
    options.fit = true;
    ASSERT_TRUE(Compile(dir.File("scene.obj"), dir, options).ok);
    const std::vector<uint32_t> frame = RenderStartView(dir.Path() / "out");
    Box2 b;
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x)
            if (At(frame, x, y) != 0) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    EXPECT_NEAR((b.left + b.right) / 2.0, Width / 2.0, 2);
    EXPECT_NEAR((b.top + b.bottom) / 2.0, Height / 2.0, 2);
    EXPECT_NEAR((b.bottom - b.top + 1) / double(Height), 2.0 / 3, 0.02) << "the tall side";
    EXPECT_EQ(At(frame, Width / 2, Height / 2), FaceColors[5]) << "its front towards the camera";
}

TEST(BspcRender, SplitFacesShowTheSameTexelsAsTheWholeFace) {
    // 8 x 8-texel blocks of varied colours: a texture offset at a split would show as a
    // shifted block edge along the split line.
    std::vector<uint32_t> blocks(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            blocks[size_t(y) * 64 + size_t(x)] =
                0x202020u + uint32_t((x / 8 * 37 + y / 8 * 91) % 200) * 0x010101u +
                uint32_t((x / 8 + y / 8) % 2) * 0x400000u;
    auto write = [&](const TempDir& dir, bool withSplitters) {
        WriteFileBytes(dir.File("blocks.bmp"), BitmapBytes(64, 64, blocks));
        ObjBuilder scene;
        scene.Material("wall", "blocks.bmp");
        scene.Material("splitter");
        scene.Use("wall");
        scene.FaceUV({{-60, 0, -80}, {60, 0, -80}, {60, 90, -80}, {-60, 90, -80}},
                     {{0, 0}, {2.7, 0}, {2.7, 2.1}, {0, 2.1}});
        if (withSplitters) {
            // Slanted planes behind the camera, many enough that the builder cuts the wall
            // with them rather than leave them all on one side of the wall's plane.
            scene.Use("splitter");
            for (int i = 0; i < 200; ++i) {
                const double x = -55 + 0.55 * i;
                scene.Face({{x, 0, 60}, {x + 9, 90, 60}, {x + 9, 90, 80}});
            }
        }
        return scene.Write(dir);
    };
    TempDir whole;
    TempDir split;
    const Compiled a = Compile(write(whole, false), whole);
    const Compiled b = Compile(write(split, true), split);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.summary.bsp.splits, 0);
    ASSERT_GE(b.summary.bsp.splits, 4) << "the wall was cut: " << FormatSummary(b.summary);
    const std::vector<uint32_t> one = RenderStartView(whole.Path() / "out");
    const std::vector<uint32_t> two = RenderStartView(split.Path() / "out");
    int64_t compared = 0, differing = 0, holes = 0;
    for (size_t i = 0; i < one.size(); ++i) {
        if (one[i] != 0 && two[i] == 0) ++holes;
        if (one[i] == 0 || two[i] == 0) continue;
        ++compared;
        differing += one[i] != two[i];
    }
    EXPECT_GT(compared, 40000);
    EXPECT_EQ(holes, 0);
    EXPECT_LE(differing, compared / 1000) << "texels match pixel by pixel";
}

} // namespace
