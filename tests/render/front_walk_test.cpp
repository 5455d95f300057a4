// The front-to-back walk against the painter's walk, frame by frame: on the bundled demo and
// on two generated interiors, from seeded random cameras anywhere around the map and along
// a walk of key presses from the start camera, every pixel must be identical, no pixel
// written twice, and nothing written outside the writable set the walk stops on.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/viewer.h"
#include "geometry/projection.h"
#include "golden_map.h"
#include "render/counters.h"
#include "render/coverage.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

using namespace rendertest;

// The release build compares 5,000 frames over the three maps; the sanitizer build a tenth.
#ifdef VEXMONT_SANITIZED
constexpr int FrameScale = 1;
#else
constexpr int FrameScale = 10;
#endif

constexpr int32_t W = 512, H = 384;
// No pixel the renderer writes has bits above 0x00FFFFFF.
constexpr uint32_t Untouched = 0xFF000000u;

struct Random {
    std::mt19937 engine{20261207};
    float Uniform(float lo, float hi) { return lo + (hi - lo) * float(engine() / 4294967296.0); }
    uint32_t Below(uint32_t n) { return engine() % n; }
};

struct Box {
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
};

Box MapBox(const Map& map) {
    Box box;
    for (int32_t i = 0; i < map.vertexCount; ++i) {
        const float p[3] = {map.vertices[i].x, map.vertices[i].y, map.vertices[i].z};
        for (int k = 0; k < 3; ++k) {
            box.lo[k] = std::min(box.lo[k], p[k]);
            box.hi[k] = std::max(box.hi[k], p[k]);
        }
    }
    return box;
}

// Anywhere in the map's box grown by a fifth on each side (so also outside the building),
// turned any way, most often upright as the keys leave it.
Matrix4 RandomCamera(Random& r, const Box& box) {
    Matrix4 m;
    Matrix4Identity(m);
    Matrix4RotateZ(m, CameraStartTurn);
    if (r.Below(4) == 0) Matrix4RotateZ(m, r.Uniform(-3.2f, 3.2f));
    Matrix4RotateX(m, r.Uniform(-0.8f, 0.8f));
    Matrix4RotateY(m, r.Uniform(-3.2f, 3.2f));
    float at[3];
    for (int k = 0; k < 3; ++k) {
        const float grow = (box.hi[k] - box.lo[k]) * 0.2f;
        at[k] = r.Uniform(box.lo[k] - grow, box.hi[k] + grow);
    }
    m.m[12] = at[0], m.m[13] = at[1], m.m[14] = at[2];
    return m;
}

// One key-down message of the viewer's key table.
void PressRandomKey(Random& r, Matrix4& m) {
    switch (r.Below(8)) {
    case 0: Matrix4RotateY(m, KeyTurnAngle); break;
    case 1: Matrix4RotateY(m, -KeyTurnAngle); break;
    case 2: Matrix4RotateX(m, -KeyTurnAngle); break;
    case 3: Matrix4RotateX(m, KeyTurnAngle); break;
    case 4: Matrix4Translate(m, 0.0f, 0.0f, -KeyMoveDistance); break;
    default: Matrix4Translate(m, 0.0f, 0.0f, KeyMoveDistance); break; // forward most often
    }
}

void CompareFrames(const Map& map, int frames, uint32_t seed) {
    ASSERT_TRUE(map.renderCache);
    SetupProjection(W, H);
    const WritableSet set = WritableSetFor(W, H);
    const Box box = MapBox(map);
    Random random;
    random.engine.seed(seed);
    std::vector<uint32_t> painter(size_t(W) * H), fast(size_t(W) * H);
    Matrix4 walker = StartCamera();
    int64_t writtenPainter = 0, writtenFast = 0;
    for (int i = 0; i < frames; ++i) {
        // Odd frames walk on by a few keys from the start camera; even ones jump anywhere.
        Matrix4 camera;
        if (i % 2) {
            for (uint32_t k = 1 + random.Below(3); k > 0; --k)
                PressRandomKey(random, walker);
            camera = walker;
        } else {
            camera = RandomCamera(random, box);
        }
        std::fill(painter.begin(), painter.end(), Untouched);
        std::fill(fast.begin(), fast.end(), Untouched);
        const int64_t before = RenderCount.pixelsWritten;
        RenderScenePainter(camera, map, painter.data());
        const int64_t between = RenderCount.pixelsWritten;
        RenderScene(camera, map, fast.data());
        const int64_t fastWrites = RenderCount.pixelsWritten - between;
        writtenPainter += between - before;
        writtenFast += fastWrites;

        int64_t touched = 0;
        for (int32_t y = 0; y < H; ++y) {
            for (int32_t x = 0; x < W; ++x) {
                const size_t at = size_t(y) * W + x;
                ASSERT_EQ(fast[at], painter[at]) << "frame " << i << " pixel (" << x << ", " << y
                                                 << ") camera " << CameraArgument(camera);
                if (painter[at] == Untouched) continue;
                ++touched;
                ASSERT_TRUE(x >= set.firstColumn && x <= set.lastColumn && y >= set.firstRow &&
                            y <= set.lastRow)
                    << "written outside the writable set: (" << x << ", " << y << ") frame " << i
                    << " camera " << CameraArgument(camera);
            }
        }
        ASSERT_EQ(fastWrites, touched) << "a pixel written twice, frame " << i;
    }
    // The walks saw something: most frames write pixels, and overdraw was saved.
    EXPECT_GT(writtenFast, int64_t(frames) * 1000);
    EXPECT_LT(writtenFast, writtenPainter);
}

std::filesystem::path BenchMap(const char* size) {
    return std::filesystem::path(VEXMONT_BENCH_MAPS) / size;
}

TEST(FrontWalk, MatchesThePainterOnTheDemo) {
    const auto map = LoadMapDirectory(VEXMONT_DEMO_DIR);
    ASSERT_TRUE(map);
    CompareFrames(*map, 200 * FrameScale, 1);
}

TEST(FrontWalk, MatchesThePainterOnTheSmallInterior) {
    const auto map = LoadMapDirectory(BenchMap("2k"));
    ASSERT_TRUE(map);
    CompareFrames(*map, 150 * FrameScale, 2);
}

TEST(FrontWalk, MatchesThePainterOnTheLargestInterior) {
    const auto map = LoadMapDirectory(BenchMap("max"));
    ASSERT_TRUE(map);
    CompareFrames(*map, 150 * FrameScale, 3);
}

} // namespace
