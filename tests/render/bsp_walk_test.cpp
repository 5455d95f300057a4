#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "app/camera.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "render_test_util.h"
#include "scene/map.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace {

using namespace rendertest;

// Polygons of the order tree, named by where they sit in it.
enum Id { Back, Root0, Root1, Front, IdCount };
constexpr uint32_t Colour[IdCount] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00};

// Half sizes of nested triangles at depth 10, the first drawn the largest: a ring of
// each is visible only if every triangle was drawn after all larger ones.
float HalfSize(int rank) {
    return 4.0f - 0.5f * float(rank);
}
// The screen column inside ring `rank` on row 192 (the triangles' left legs are there).
int RingColumn(int rank) {
    const float inner = rank + 1 < IdCount ? HalfSize(rank + 1) : HalfSize(rank) - 0.5f;
    return int(256.0f - 25.6f * (HalfSize(rank) + inner) / 2.0f);
}

// The root holds Root0 and Root1 under `rootPlane`; Back and Front are leaves whose
// planes put the camera well on their positive side. The expected drawing order decides
// the sizes; polygons not expected at all get the outermost ring.
std::unique_ptr<Map> OrderMap(const Plane& rootPlane, const std::vector<Id>& expected) {
    MapFileDescription description;
    description.textureNames.assign(IdCount, "solid");
    MapFileNode& root = description.root;
    root.front = std::make_unique<MapFileNode>();
    root.back = std::make_unique<MapFileNode>();
    const auto add = [&](MapFileNode& node, Id id) {
        int rank = -1;
        for (size_t k = 0; k < expected.size(); ++k)
            if (expected[k] == id) rank = int(k);
        const float s = rank < 0 ? HalfSize(-1) : HalfSize(rank);
        // Seen from the origin; the plane is {0, 0, 1, -10}.
        const MapFileCorner corners[] = {{{-s, -s, 10}}, {{-s, s, 10}}, {{s, s, 10}}};
        AddMapFace(description, node, corners, id, {0, 0, 0});
    };
    add(root, Root0);
    add(root, Root1);
    add(*root.front, Front);
    add(*root.back, Back);
    root.plane = rootPlane;
    root.front->plane = {0, 0, 0, 1};
    root.back->plane = {0, 0, 0, 1};
    auto map = LoadMapFromBytes(MapFileBytes(description));
    if (!map) return nullptr;
    Matrix4Identity(map->matrix);
    for (int id = 0; id < IdCount; ++id)
        map->textureSlots[id].texture = SolidTexture(Colour[id]);
    return map;
}

// Camera coordinates, each a float, whose sum in double is exactly `sum`.
Point3 SplitSum(double sum) {
    const float a = float(sum), b = float(sum - a), c = float(sum - a - b);
    return {a, b, c};
}

void ExpectOrder(const Point3& camera, const Plane& rootPlane, const std::vector<Id>& expected) {
    SetupProjection(Width, Height);
    const auto map = OrderMap(rootPlane, expected);
    ASSERT_TRUE(map);
    Matrix4 cameraMatrix;
    Matrix4Identity(cameraMatrix);
    Matrix4Translate(cameraMatrix, camera.x, camera.y, camera.z);
    std::vector<uint32_t> frame = BlankFrame();
    RenderScene(cameraMatrix, *map, frame.data());
    ASSERT_EQ(CameraPosition().x, camera.x);
    ASSERT_EQ(CameraPosition().y, camera.y);
    ASSERT_EQ(CameraPosition().z, camera.z);
    EXPECT_EQ(At(frame, RingColumn(-1), 192), 0u) << "a polygon that must be skipped was drawn";
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(At(frame, RingColumn(int(k)), 192), Colour[expected[k]]) << "position " << k;
}

TEST(BspOrder, FarSideFirstThenNodeThenNearSide) {
    ExpectOrder({0, 0, 0}, {0, 0, 0, 1}, {Back, Root0, Root1, Front});
    ExpectOrder({0, 0, 0}, {0, 0, 0, -1}, {Front, Root0, Root1, Back});
}

TEST(BspOrder, BandSkipsTheNodesPolygonsAndDrawsBackFirst) {
    const Plane diagonal{1, 1, 1, 0};
    for (const double dist : {0.01, -0.01, 0.0, 0.004}) {
        const Point3 c = SplitSum(dist);
        ASSERT_EQ(double(c.x) + c.y + c.z, dist);
        ExpectOrder(c, diagonal, {Back, Front});
    }
    ExpectOrder(SplitSum(std::nextafter(0.01, 1.0)), diagonal, {Back, Root0, Root1, Front});
    ExpectOrder(SplitSum(std::nextafter(-0.01, -1.0)), diagonal, {Front, Root0, Root1, Back});
}

TEST(BspOrder, LeafInBandDrawsNothing) {
    SetupProjection(Width, Height);
    auto map = OrderMap({0, 0, 0, 1}, {Root0, Root1});
    ASSERT_TRUE(map);
    map->root->flags = 0;
    map->root->plane = {0, 0, 0, 0.005f};
    Matrix4 camera;
    Matrix4Identity(camera);
    std::vector<uint32_t> frame = BlankFrame();
    RenderScene(camera, *map, frame.data());
    for (uint32_t pixel : frame)
        ASSERT_EQ(pixel, 0u);
    map->root->plane = {0, 0, 0, 0.5f};
    RenderScene(camera, *map, frame.data());
    // Out of the band, in stored order.
    EXPECT_EQ(At(frame, RingColumn(0), 192), Colour[Root0]);
    EXPECT_EQ(At(frame, RingColumn(1), 192), Colour[Root1]);
}

TEST(Camera, StartUpCameraPosition) {
    const Matrix4 camera = StartCamera();
    Map map;
    Matrix4Identity(map.matrix);
    RenderScene(camera, map, nullptr);
    const Point3 c = CameraPosition();
    EXPECT_NEAR(c.x, camera.m[12], 1e-5);
    EXPECT_NEAR(c.y, camera.m[13], 1e-5);
    EXPECT_NEAR(c.z, camera.m[14], 1e-5);
    EXPECT_NEAR(c.x, 0, 1e-4);
    EXPECT_NEAR(c.y, 40, 1e-4);
    EXPECT_NEAR(c.z, -40, 1e-4);
    // ViewMatrix undoes the camera.
    Matrix4 product;
    Matrix4Multiply(ViewMatrix, camera, product);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1 : 0, 1e-5) << i;
}

TEST(Camera, MapMatrixActsBeforeTheInverseCamera) {
    // The map is moved 5 along x in the world; the camera at the world origin looks along
    // world x (its z axis turned onto x).
    Map map;
    Matrix4Identity(map.matrix);
    Matrix4Translate(map.matrix, 5, 0, 0);
    Matrix4 camera;
    Matrix4Identity(camera);
    Matrix4RotateY(camera, 1.5707964f);
    RenderScene(camera, map, nullptr);
    // The map origin lies 5 in front of the camera...
    EXPECT_NEAR(ViewMatrix.m[12], 0, 1e-5);
    EXPECT_NEAR(ViewMatrix.m[13], 0, 1e-5);
    EXPECT_NEAR(ViewMatrix.m[14], 5, 1e-5);
    // ...and the camera sits at -5 on the map's x axis.
    const Point3 c = CameraPosition();
    EXPECT_NEAR(c.x, -5, 1e-5);
    EXPECT_NEAR(c.y, 0, 1e-5);
    EXPECT_NEAR(c.z, 0, 1e-5);
}

} // namespace
