#include "geometry/projection.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Projection, SetupFor512x384) {
    EXPECT_EQ(SetupProjection(512, 384), 1);
    EXPECT_EQ(ViewWidth, 512);
    EXPECT_EQ(ViewHeight, 384);
    EXPECT_EQ(FocalLength, 256.0f);

    const float e = 0.9921875f, f = 0.7421875f;
    const float ne = float(1.0 / float(std::sqrt(1.0 + double(e) * e)));
    const float nf = float(1.0 / float(std::sqrt(1.0 + double(f) * f)));
    const Plane expected[4] = {{float(-1.0 / float(std::sqrt(1.0 + double(e) * e))), 0,
                                float(e / float(std::sqrt(1.0 + double(e) * e))), 0},
                               {ne, 0, float(e / float(std::sqrt(1.0 + double(e) * e))), 0},
                               {0, nf, float(f / float(std::sqrt(1.0 + double(f) * f))), 0},
                               {0, -nf, float(f / float(std::sqrt(1.0 + double(f) * f))), 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FrustumPlanes[i].a, expected[i].a) << i;
        EXPECT_EQ(FrustumPlanes[i].b, expected[i].b) << i;
        EXPECT_EQ(FrustumPlanes[i].c, expected[i].c) << i;
        EXPECT_EQ(FrustumPlanes[i].d, 0.0f) << i;
    }
    EXPECT_NEAR(FrustumPlanes[0].a, -0.709874f, 1e-6f);
    EXPECT_NEAR(FrustumPlanes[0].c, 0.704328f, 1e-6f);
    EXPECT_NEAR(FrustumPlanes[2].b, 0.803001f, 1e-6f);
    EXPECT_NEAR(FrustumPlanes[2].c, 0.595977f, 1e-6f);
}

TEST(Projection, FrustumInsideOutsideAndEdges) {
    SetupProjection(512, 384);
    for (const Plane& p : FrustumPlanes) {
        EXPECT_GT(PlaneDistance(p, {0, 0, 1}), 0.0);
        EXPECT_EQ(PlaneDistance(p, {0, 0, 0}), 0.0);
        EXPECT_LT(PlaneDistance(p, {0, 0, -1}), 0.0);
    }
    // The right plane's edge projects to column 510, the bottom plane's to row 382.
    const double z = 8.0;
    EXPECT_NEAR(PlaneDistance(FrustumPlanes[0], {float(0.9921875 * z), 0, float(z)}), 0.0, 1e-6);
    EXPECT_EQ(FocalLength * (0.9921875 * z) / z + ViewWidth / 2, 510.0);
    EXPECT_EQ(FocalLength * (0.7421875 * z) / z + ViewHeight / 2, 382.0);
}

} // namespace
