// vexmont-bench: frames per second of the renderer on a scene built in code (a room whose
// walls are finely tessellated, and a grid of pillars), from a few cameras. Prints
// figures only; nothing is asserted.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/camera.h"
#include "app/screen.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace {

constexpr float RoomHalf = 200, RoomHeight = 100;
constexpr int WallCells = 20; // each wall is WallCells x WallCells quads
constexpr int Pillars = 4;    // per side of the pillar grid

std::unique_ptr<Texture> MakeTexture(int32_t size, uint32_t seed) {
    auto pixels = std::make_unique<uint32_t[]>(size_t(size) * size);
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x)
            pixels[size_t(y) * size + x] = (uint32_t(x * 4 + seed) & 0xFF) << 16 |
                                           (uint32_t(y * 4) & 0xFF) << 8 |
                                           (uint32_t((x ^ y) * 8 + seed) & 0xFF);
    return CreateTexture(size, size, std::move(pixels));
}

// The quad's two triangles, seen from the side where `viewer` is, its texture repeated
// texelScale times across it.
void Quad(MapFileDescription& map, MapFileNode& node, const Point3 (&c)[4], int16_t texture,
          const Point3& viewer, float texelScale) {
    const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    MapFileCorner corners[4];
    for (int i = 0; i < 4; ++i)
        corners[i] = {c[i], uv[i][0] * texelScale, uv[i][1] * texelScale};
    AddMapFace(map, node, corners, texture, viewer);
}

// A pillar's four sides as a chain: each side's plane has the pillar on its positive side.
void Pillar(MapFileDescription& map, MapFileNode& node, float x, float z, float half) {
    const float x0 = x - half, x1 = x + half, z0 = z - half, z1 = z + half, h = RoomHeight;
    const Point3 sides[4][4] = {{{x0, 0, z0}, {x0, h, z0}, {x1, h, z0}, {x1, 0, z0}},
                                {{x1, 0, z0}, {x1, h, z0}, {x1, h, z1}, {x1, 0, z1}},
                                {{x1, 0, z1}, {x1, h, z1}, {x0, h, z1}, {x0, 0, z1}},
                                {{x0, 0, z1}, {x0, h, z1}, {x0, h, z0}, {x0, 0, z0}}};
    const Point3 outside[4] = {{x, 50, z0 - 1}, {x1 + 1, 50, z}, {x, 50, z1 + 1}, {x0 - 1, 50, z}};
    MapFileNode* n = &node;
    for (int s = 0; s < 4; ++s) {
        Quad(map, *n, sides[s], 2, outside[s], 2);
        if (s < 3) {
            n->front = std::make_unique<MapFileNode>();
            n = n->front.get();
        }
    }
}

// Splits the pillar grid cells [i0, i1) x [j0, j1) by planes between pillars.
void PillarTree(MapFileDescription& map, MapFileNode& node, int i0, int i1, int j0, int j1) {
    const float spacing = 2 * RoomHalf / (Pillars + 1);
    const auto centre = [&](int k) { return -RoomHalf + spacing * float(k + 1); };
    if (i1 - i0 == 1 && j1 - j0 == 1) {
        Pillar(map, node, centre(i0), centre(j0), 8);
        return;
    }
    node.front = std::make_unique<MapFileNode>();
    node.back = std::make_unique<MapFileNode>();
    if (i1 - i0 >= j1 - j0) {
        const int mid = (i0 + i1) / 2;
        node.plane = {1, 0, 0, -(centre(mid) - spacing / 2)}; // x > split is in front
        PillarTree(map, *node.front, mid, i1, j0, j1);
        PillarTree(map, *node.back, i0, mid, j0, j1);
    } else {
        const int mid = (j0 + j1) / 2;
        node.plane = {0, 0, 1, -(centre(mid) - spacing / 2)};
        PillarTree(map, *node.front, i0, i1, mid, j1);
        PillarTree(map, *node.back, i0, i1, j0, mid);
    }
}

// The scene as a map file, loaded as the viewer loads one; null on failure.
std::unique_ptr<Map> BuildScene() {
    MapFileDescription description;
    description.textureNames = {"texture0", "texture1", "texture2"};
    const float w = RoomHalf, h = RoomHeight;
    const Point3 centre{0, h / 2, 0};
    // Each wall as a grid of cells on a plane given by an origin and two edge vectors.
    struct Wall {
        Point3 origin, du, dv;
        int16_t texture;
    };
    const Wall walls[6] = {{{-w, 0, -w}, {2 * w, 0, 0}, {0, 0, 2 * w}, 0},
                           {{-w, h, -w}, {2 * w, 0, 0}, {0, 0, 2 * w}, 1},
                           {{-w, 0, w}, {2 * w, 0, 0}, {0, h, 0}, 1},
                           {{-w, 0, -w}, {2 * w, 0, 0}, {0, h, 0}, 1},
                           {{-w, 0, -w}, {0, 0, 2 * w}, {0, h, 0}, 0},
                           {{w, 0, -w}, {0, 0, 2 * w}, {0, h, 0}, 0}};
    MapFileNode* node = &description.root;
    for (const Wall& wall : walls) {
        for (int i = 0; i < WallCells; ++i) {
            for (int j = 0; j < WallCells; ++j) {
                const auto at = [&](float s, float t) {
                    return Point3{wall.origin.x + wall.du.x * s + wall.dv.x * t,
                                  wall.origin.y + wall.du.y * s + wall.dv.y * t,
                                  wall.origin.z + wall.du.z * s + wall.dv.z * t};
                };
                const float s0 = float(i) / WallCells, s1 = float(i + 1) / WallCells;
                const float t0 = float(j) / WallCells, t1 = float(j + 1) / WallCells;
                const Point3 quad[4] = {at(s0, t0), at(s0, t1), at(s1, t1), at(s1, t0)};
                Quad(description, *node, quad, wall.texture, centre, 1);
            }
        }
        node->back = std::make_unique<MapFileNode>();
        node = node->back.get();
    }
    PillarTree(description, *node, 0, Pillars, 0, Pillars);

    auto map = LoadMapFromBytes(MapFileBytes(description));
    if (!map) return nullptr;
    Matrix4Identity(map->matrix);
    map->textureSlots[0].texture = MakeTexture(64, 0);
    map->textureSlots[1].texture = MakeTexture(256, 90);
    map->textureSlots[2].texture = MakeTexture(32, 180);
    return map;
}

int32_t CountPolygons(const MapNode& node) {
    int32_t n = node.polygonCount;
    if (node.flags & NodeHasFront) n += CountPolygons(*node.front);
    if (node.flags & NodeHasBack) n += CountPolygons(*node.back);
    return n;
}

} // namespace

int main() {
    const auto map = BuildScene();
    if (!map) {
        std::fprintf(stderr, "vexmont-bench: the scene does not load\n");
        return 1;
    }
    SetupProjection(ScreenWidth, ScreenHeight);
    std::vector<uint32_t> frame(size_t(ScreenWidth) * ScreenHeight);

    struct Camera {
        const char* name;
        Matrix4 m;
    };
    std::vector<Camera> cameras;
    Matrix4 m;
    Matrix4Identity(m);
    Matrix4RotateZ(m, CameraStartTurn);
    Matrix4Translate(m, 0, -50, -150);
    cameras.push_back({"start-up", m});
    Matrix4RotateY(m, 0.7f);
    Matrix4RotateX(m, -0.2f);
    cameras.push_back({"turned", m});
    Matrix4Translate(m, 0, 0, 120);
    cameras.push_back({"near pillars", m});
    Matrix4Identity(m);
    Matrix4RotateX(m, 1.5707964f);
    Matrix4Translate(m, 0, 0, -95); // under the ceiling, looking down
    cameras.push_back({"looking down", m});

    std::printf("scene: %d triangles, frame %dx%d\n", CountPolygons(*map->root), ScreenWidth,
                ScreenHeight);
    for (const Camera& camera : cameras) {
        // Warm up, then time at least a second's worth of frames.
        RenderScene(camera.m, *map, frame.data());
        int frames = 0;
        const auto start = std::chrono::steady_clock::now();
        double seconds = 0;
        do {
            std::fill(frame.begin(), frame.end(), 0);
            RenderScene(camera.m, *map, frame.data());
            ++frames;
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < 1.0);
        std::printf("%-14s %6d frames  %8.1f frames/s  %7.3f ms/frame\n", camera.name, frames,
                    frames / seconds, 1000.0 * seconds / frames);
    }
    return 0;
}
