// Thousands of frames of the golden map from seeded random cameras: inside the solids,
// exactly on their planes, looking straight along them, far outside, and through sheared
// or singular camera matrices. Under the sanitizer build any stray access or undefined
// arithmetic fails the run; in every build the frame's outer border must stay untouched,
// since clipped geometry lies 2 pixels inside the screen edges, and the front-to-back walk
// must give the painter's walk's frame.
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>

#include "geometry/projection.h"
#include "golden_map.h"
#include "render/render.h"
#include "scene/map.h"

namespace {

using namespace rendertest;

constexpr int FrameCount = 10000;
constexpr int32_t Width = 512, Height = 384;

// Portable across standard libraries: std::mt19937's output is fixed by the standard,
// the distributions' are not.
struct Random {
    std::mt19937 engine{20261207};
    float Uniform(float lo, float hi) { return lo + (hi - lo) * float(engine() / 4294967296.0); }
    uint32_t Below(uint32_t n) { return engine() % n; }
};

// Coordinates of the scene's planes: the room, the box and the wedge.
constexpr float PlaneValues[] = {-100, -70, -25, 0, 10, 20, 30, 35, 45, 50, 60, 80, 100};

float OnAPlane(Random& r) {
    return PlaneValues[r.Below(std::size(PlaneValues))];
}

void RandomRotation(Random& r, Matrix4& m) {
    Matrix4Identity(m);
    Matrix4RotateZ(m, r.Uniform(-3.2f, 3.2f));
    Matrix4RotateY(m, r.Uniform(-3.2f, 3.2f));
    Matrix4RotateX(m, r.Uniform(-3.2f, 3.2f));
}

// One of the 24 exact axis-aligned orientations: rows are signed unit axes.
void AxisRotation(Random& r, Matrix4& m) {
    Matrix4Identity(m);
    const int perm[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    const int* p = perm[r.Below(6)];
    float sign[3] = {r.Below(2) ? 1.0f : -1.0f, r.Below(2) ? 1.0f : -1.0f, 1.0f};
    // The third sign keeps the determinant +1.
    const bool oddPermutation = p[0] == 0 ? p[1] == 2 : (p[0] == 1 ? p[1] == 0 : p[1] == 1);
    sign[2] = sign[0] * sign[1] * (oddPermutation ? -1.0f : 1.0f);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m.m[4 * row + col] = col == p[row] ? sign[row] : 0.0f;
}

Matrix4 RandomCamera(Random& r, int i) {
    Matrix4 m;
    float x = r.Uniform(-150, 150), y = r.Uniform(-40, 120), z = r.Uniform(-150, 150);
    switch (i % 10) {
    case 6: // exactly on planes, looking straight along them
        AxisRotation(r, m);
        x = OnAPlane(r), y = OnAPlane(r), z = OnAPlane(r);
        break;
    case 7: // on planes, any direction
        RandomRotation(r, m);
        if (r.Below(2)) x = OnAPlane(r);
        if (r.Below(2)) y = OnAPlane(r);
        z = OnAPlane(r);
        break;
    case 8: // inside the box or the wedge
        RandomRotation(r, m);
        if (r.Below(2)) {
            x = r.Uniform(20, 50), y = r.Uniform(0, 30), z = r.Uniform(20, 50);
        } else {
            x = r.Uniform(-70, -25), y = r.Uniform(0, 10), z = r.Uniform(40, 60);
        }
        break;
    case 9: // sheared, scaled, and now and then singular
        for (float& e : m.m)
            e = r.Uniform(-2, 2);
        if (i % 100 == 9) {
            for (int k = 0; k < 4; ++k)
                m.m[8 + k] = m.m[k] * 2; // rank 2
        }
        if (i % 1000 == 19) {
            for (float& e : m.m)
                e = 0;
        }
        break;
    default:
        RandomRotation(r, m);
        break;
    }
    m.m[12] = x, m.m[13] = y, m.m[14] = z;
    m.m[3] = m.m[7] = m.m[11] = 0, m.m[15] = 1;
    return m;
}

TEST(RenderStress, RandomCamerasStayInsideTheFrame) {
    const auto map = LoadGoldenMap();
    ASSERT_TRUE(map);
    SetupProjection(Width, Height);
    std::vector<uint32_t> frame(size_t(Width) * Height), painter(size_t(Width) * Height);
    Random random;
    size_t framesWithPixels = 0;
    for (int i = 0; i < FrameCount; ++i) {
        const Matrix4 camera = RandomCamera(random, i);
        std::fill(frame.begin(), frame.end(), 0);
        RenderScene(camera, *map, frame.data());
        std::fill(painter.begin(), painter.end(), 0);
        RenderScenePainter(camera, *map, painter.data());
        ASSERT_TRUE(frame == painter) << "frame " << i << " camera " << CameraArgument(camera);
        bool border = false;
        for (int32_t x = 0; x < Width; ++x)
            border = border || frame[x] || frame[size_t(Height - 1) * Width + x];
        for (int32_t y = 0; y < Height; ++y)
            border = border || frame[size_t(y) * Width] || frame[size_t(y) * Width + Width - 1];
        ASSERT_FALSE(border) << "frame " << i << " camera " << CameraArgument(camera);
        for (uint32_t pixel : frame) {
            if (pixel) {
                ++framesWithPixels;
                break;
            }
        }
    }
    // Most cameras look at some of the scene; a broken pipeline drawing nothing fails here.
    EXPECT_GT(framesWithPixels, size_t(FrameCount / 2));
}

} // namespace
