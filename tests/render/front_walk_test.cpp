// The front-to-back walk against the painter's walk, frame by frame: on the bundled demo and
// on two generated interiors, from seeded random cameras anywhere around the map and along
// a walk of key presses from the start camera, every pixel must be identical, no pixel
// written twice, and nothing written outside the writable set the walk stops on.
// The walk's own test of which triangles write nothing against the rasterizer.
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
#include "render/front_walk.h"
#include "render/raster.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"
#include "render_test_util.h"

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

// A triangle found to write nothing writes nothing, over a patch of coverage with whole
// tiles covered and holes elsewhere: vertices just off pixel centres by a few 16.16 steps,
// so that the edges' truncated stepping pulls them across, both windings; half of the
// triangles small enough to be tested pixel by pixel.
TEST(FrontWalk, TrianglesFoundEmptyWriteNothing) {
    SetupProjection(W, H);
    const auto texture = MakeTexture(16, 16, [](int32_t x, int32_t y) { return uint32_t(y << 8 | x); });
    Bind(*texture);
    std::vector<uint32_t> frame = BlankFrame();
    ASSERT_TRUE(BeginCoverage(W, H));
    std::mt19937 random(5);
    for (int32_t y = 100; y < 160; ++y)
        for (int32_t x = 100; x < 160; ++x)
            if ((x / 12 + y / 12) % 2 == 0 || random() % 5 < 2) ClaimSpan(y, x, x + 1);
    const float offsets[] = {0.0f, 0x1p-16f, -0x1p-16f, 0x3p-16f, -0x3p-16f, 0x1p-10f, -0x1p-10f, 0.5f};
    int found[2] = {}; // writes nothing, may write
    for (int i = 0; i < 60000; ++i) {
        // Every fourth a sliver along a column, every fourth up to 8 pixels across.
        const int32_t reach = i % 4 > 1 ? 1 : 4, across = i % 4 == 1 ? 0 : reach;
        const int32_t cx = 105 + int32_t(random() % 50), cy = 105 + int32_t(random() % 50);
        const auto near = [&](int32_t whole, int32_t spread) {
            const float off = random() % 3 ? offsets[random() % 8] : float(random() % 4096) / 4096.0f;
            return float(whole + int32_t(random() % (2 * spread + 1)) - spread) + off;
        };
        float x[3], y[3];
        for (int k = 0; k < 3; ++k)
            x[k] = near(cx, across), y[k] = near(cy, reach);
        const bool empty = TriangleWritesNothing(x, y);
        ++found[empty ? 0 : 1];
        if (!empty) continue;
        const int64_t before = RenderCount.pixelsWritten;
        RasterizePolygonCovered(
            MakePolygon({{x[0], y[0], 1, 0, 0}, {x[1], y[1], 1, 0, 0}, {x[2], y[2], 1, 0, 0}}),
            frame.data());
        ASSERT_EQ(RenderCount.pixelsWritten, before)
            << "case " << i << ": (" << x[0] << ", " << y[0] << ") (" << x[1] << ", " << y[1]
            << ") (" << x[2] << ", " << y[2] << ")";
    }
    EXPECT_GT(found[0], 20000);
    EXPECT_GT(found[1], 20000);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0u), ptrdiff_t(frame.size()));
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
