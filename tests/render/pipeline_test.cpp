#include "render/pipeline.h"

#include <cmath>
#include <gtest/gtest.h>

#include "geometry/projection.h"
#include "render/render.h"
#include "render_test_util.h"
#include "scene/map.h"

namespace {

using namespace rendertest;

ClipVertex V(float x, float y, float z, float u = 0, float v = 0) {
    ClipVertex c{};
    c.x = x, c.y = y, c.z = z, c.u = u, c.v = v;
    return c;
}

void ExpectPosition(const ClipVertex& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

// ViewMatrix and the camera position as RenderScene leaves them for a camera that is
// only translated by t.
void PlaceCamera(float x, float y, float z) {
    Matrix4Identity(ViewMatrix);
    ViewMatrix.m[12] = -x, ViewMatrix.m[13] = -y, ViewMatrix.m[14] = -z;
    Matrix4Identity(InverseViewMatrix);
    InverseViewMatrix.m[12] = x, InverseViewMatrix.m[13] = y, InverseViewMatrix.m[14] = z;
}

class Pipeline : public ::testing::Test {
  protected:
    void SetUp() override { SetupProjection(Width, Height); }
};

TEST_F(Pipeline, TransformAndProject) {
    Matrix4Identity(ViewMatrix);
    ViewMatrix.m[14] = 10;
    const auto texture = MakeTexture(64, 32, [](int32_t, int32_t) { return 1u; });

    ClipPolygon p{};
    p.count = 2;
    p.vertices[0] = TransformVertex({1, -1, 0, 1, 0}, *texture);
    p.vertices[1] = TransformVertex({0, 1, 0, 0.5f, 1}, *texture);
    ExpectPosition(p.vertices[0], 1, -1, 10);
    EXPECT_EQ(p.vertices[0].u, 64);
    EXPECT_EQ(p.vertices[0].v, 0);

    ASSERT_TRUE(ProjectPolygon(p));
    ExpectPosition(p.vertices[0], 281.6f, 166.4f, 10);
    ExpectPosition(p.vertices[1], 256, 217.6f, 10);
    EXPECT_EQ(p.vertices[1].u, 32);
    EXPECT_EQ(p.vertices[1].v, 32);
}

TEST_F(Pipeline, NearVerticesDropTheWholePolygon) {
    ClipPolygon p{};
    p.count = 3;
    p.vertices[0] = V(0, 0, 10);
    p.vertices[1] = V(1, 0, 0.1f); // the float nearest 0.1 is just above it
    p.vertices[2] = V(0, 1, 10);
    ClipPolygon q = p;
    EXPECT_TRUE(ProjectPolygon(q));
    p.vertices[1].z = std::nextafter(0.1f, 0.0f);
    EXPECT_FALSE(ProjectPolygon(p));
}

TEST_F(Pipeline, TriangleInsideIsKeptInOrder) {
    const ClipPolygon p = ClipToFrustum(V(-1, -1, 10), V(-1, 1, 10), V(1, 1, 10), FrustumPlanes);
    ASSERT_EQ(p.count, 3);
    ExpectPosition(p.vertices[0], -1, -1, 10);
    ExpectPosition(p.vertices[1], -1, 1, 10);
    ExpectPosition(p.vertices[2], 1, 1, 10);
}

TEST_F(Pipeline, RightPlaneClip) {
    const ClipPolygon p =
        ClipToFrustum(V(-1, -1, 10, 0, 0), V(20, -1, 10, 21, 0), V(0, 1, 10, 1, 2), FrustumPlanes);
    ASSERT_EQ(p.count, 4);
    // 9.921875 exactly in real arithmetic; the float planes and the double intermediates
    // land on the float one step above it.
    const float x = std::nextafter(9.921875f, 20.0f);
    ExpectPosition(p.vertices[0], -1, -1, 10);
    EXPECT_EQ(p.vertices[1].x, x);
    EXPECT_EQ(p.vertices[1].y, -1);
    EXPECT_EQ(p.vertices[2].x, x);
    ExpectPosition(p.vertices[3], 0, 1, 10);
    // u and v follow in the same proportion: u = x + 1 along both cut edges, and along the
    // second one v = 2 - x / 10 and y = 1 - x / 10.
    EXPECT_NEAR(p.vertices[1].u, x + 1, 1e-4);
    EXPECT_NEAR(p.vertices[2].u, x + 1, 1e-4);
    EXPECT_NEAR(p.vertices[2].v, 2 - x / 10, 1e-4);
    EXPECT_NEAR(p.vertices[2].y, 1 - x / 10, 1e-5);
}

TEST_F(Pipeline, RejectKeepAndOnVertices) {
    // All three outside the right plane though the triangle also crosses the top plane.
    EXPECT_EQ(ClipToFrustum(V(20, -30, 10), V(30, 5, 10), V(25, 0, 10), FrustumPlanes).count, 0);
    // Two vertices on the camera origin (on every plane) and one outside: dropped.
    EXPECT_EQ(ClipToFrustum(V(0, 0, 0), V(0, 0, 0), V(0, 0, -5), FrustumPlanes).count, 0);
    // Two on and one inside: kept unchanged without clipping.
    const ClipPolygon p = ClipToFrustum(V(0, 0, 0), V(0, 0, 0), V(0, 0, 5), FrustumPlanes);
    ASSERT_EQ(p.count, 3);
    ExpectPosition(p.vertices[2], 0, 0, 5);
}

TEST_F(Pipeline, PlanesKeptByTheTriangleAreNotClippedAgain) {
    // Two vertices exactly on the top plane (their distance is exactly 0), the first of
    // them outside the right plane. Clipping at the right plane adds a vertex between
    // them; the top plane's verdict (keep) still stands, so the second vertex survives.
    const Plane& top = FrustumPlanes[2];
    const ClipVertex a = V(9, -top.c * 2, top.b * 2), b = V(-1, -top.c * 16, top.b * 16);
    const ClipVertex c = V(-3, 3, 10);
    ASSERT_EQ(PlaneDistance(top, {a.x, a.y, a.z}), 0.0);
    ASSERT_EQ(PlaneDistance(top, {b.x, b.y, b.z}), 0.0);
    const ClipPolygon p = ClipToFrustum(a, b, c, FrustumPlanes);
    ASSERT_EQ(p.count, 4);
    ExpectPosition(p.vertices[2], b.x, b.y, b.z);
    ExpectPosition(p.vertices[3], c.x, c.y, c.z);
}

TEST_F(Pipeline, AllFourPlanesGiveSevenVertices) {
    const ClipPolygon p =
        ClipToFrustum(V(2, -11, 10), V(-14, 7, 10), V(14, 9.5f, 10), FrustumPlanes);
    ASSERT_EQ(p.count, 7);
    for (int i = 0; i < p.count; ++i)
        for (const Plane& plane : FrustumPlanes)
            EXPECT_GT(PlaneDistance(plane, {p.vertices[i].x, p.vertices[i].y, p.vertices[i].z}),
                      -1e-5);
}

TEST_F(Pipeline, ClipToPlaneOutsideOnInside) {
    const Plane plane{1, 0, 0, 0};
    ClipPolygon p{};
    p.count = 3;
    p.vertices[0] = V(-1, 0, 10);
    p.vertices[1] = V(0, 0, 10);
    p.vertices[2] = V(1, 1, 10);
    ClipPolygon r = ClipToPlane(p, plane);
    ASSERT_EQ(r.count, 2);
    ExpectPosition(r.vertices[0], 0, 0.5f, 10);
    ExpectPosition(r.vertices[1], 1, 1, 10);

    p.vertices[0] = V(1, 1, 10);
    p.vertices[2] = V(-1, 0, 10);
    r = ClipToPlane(p, plane);
    ASSERT_EQ(r.count, 3);
    ExpectPosition(r.vertices[0], 0, 0.5f, 10);
    ExpectPosition(r.vertices[1], 1, 1, 10);
    ExpectPosition(r.vertices[2], 0, 0, 10);
}

TEST_F(Pipeline, ClipThatWouldExceedCapacityIsDropped) {
    // Seven inside and outside vertices alternating around a plane: each crossing adds one.
    ClipPolygon p{};
    p.count = 7;
    for (int i = 0; i < 7; ++i)
        p.vertices[i] = V(i % 2 ? -1.0f : 1.0f, float(i), 10);
    EXPECT_EQ(ClipToPlane(p, Plane{1, 0, 0, 0}).count, 0);
}

TEST_F(Pipeline, IntersectEdgeParallelReturnsFirstVertex) {
    const ClipVertex a = V(1, 2, 3, 4, 5), b = V(1, 7, 9, 8, 6);
    const ClipVertex r = IntersectEdge(a, b, Plane{1, 0, 0, -5});
    ExpectPosition(r, 1, 2, 3);
    EXPECT_EQ(r.u, 4);
    EXPECT_EQ(r.v, 5);
}

// A triangle in front of the camera with the given plane, drawn through the pipeline.
bool DrawsAnything(const Plane& plane) {
    const auto texture = SolidTexture(0xFFFFFF);
    MapVertex vertices[3] = {{-1, -1, 10, 0, 0}, {-1, 1, 10, 0, 0}, {1, 1, 10, 0, 0}};
    MapPolygon polygon;
    polygon.vertices[0] = &vertices[0];
    polygon.vertices[1] = &vertices[1];
    polygon.vertices[2] = &vertices[2];
    polygon.plane = plane;
    std::vector<uint32_t> frame = BlankFrame();
    DrawMapPolygon(polygon, frame.data(), *texture);
    for (uint32_t pixel : frame)
        if (pixel) return true;
    return false;
}

TEST_F(Pipeline, BackFaceThreshold) {
    PlaceCamera(0, 0, 0);
    EXPECT_TRUE(DrawsAnything({0, 0, 1, -10}));
    EXPECT_TRUE(DrawsAnything({0, 0, 0, -1e-30f}));
    // The float nearest 0.1 lies just above the double 0.1: culled.
    EXPECT_FALSE(DrawsAnything({0, 0, 0, 0.1f}));
    EXPECT_FALSE(DrawsAnything({0, 0, -1, 10}));

    // A camera whose coordinates add up to exactly the double 0.1: drawn.
    const float c0 = float(0.1), c1 = float(0.1 - c0), c2 = float(0.1 - c0 - c1);
    ASSERT_EQ(double(c0) + c1 + c2, 0.1);
    PlaceCamera(c0, c1, c2);
    EXPECT_TRUE(DrawsAnything({1, 1, 1, 0}));
}

TEST_F(Pipeline, NearPolygonIsNotDrawn) {
    PlaceCamera(0, 0, 0);
    const auto texture = SolidTexture(0xFFFFFF);
    for (const float nearZ : {0.2f, 0.05f}) {
        MapVertex vertices[3] = {{0, 0, nearZ, 0, 0}, {-5, 5, 10, 0, 0}, {5, 5, 10, 0, 0}};
        MapPolygon polygon;
        for (int i = 0; i < 3; ++i)
            polygon.vertices[i] = &vertices[i];
        polygon.plane = {0, 0, 0, -1};
        std::vector<uint32_t> frame = BlankFrame();
        DrawMapPolygon(polygon, frame.data(), *texture);
        size_t written = 0;
        for (uint32_t pixel : frame)
            written += pixel != 0;
        if (nearZ > 0.1f) {
            EXPECT_GT(written, 1000u);
        } else {
            EXPECT_EQ(written, 0u);
        }
    }
}

} // namespace
