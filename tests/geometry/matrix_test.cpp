#include "geometry/matrix.h"
#include "geometry/plane.h"

#include <cmath>
#include <numbers>
#include <gtest/gtest.h>

namespace {

Point3 Transform(const Matrix4& m, Point3 p) {
    const float* e = m.m;
    return {float(double(p.x) * e[0] + double(p.y) * e[4] + double(p.z) * e[8] + e[12]),
            float(double(p.x) * e[1] + double(p.y) * e[5] + double(p.z) * e[9] + e[13]),
            float(double(p.x) * e[2] + double(p.y) * e[6] + double(p.z) * e[10] + e[14])};
}

Matrix4 Translation(float x, float y, float z) {
    Matrix4 m;
    Matrix4Identity(m);
    Matrix4Translate(m, x, y, z);
    return m;
}

void ExpectNearIdentity(const Matrix4& m, float tolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m.m[i], i % 5 == 0 ? 1.0f : 0.0f, tolerance) << i;
}

TEST(Matrix4, MultiplyAppliesSecondArgumentFirstAndMayAlias) {
    const Matrix4 a = Translation(1, 0, 0);
    Matrix4 b;
    Matrix4Identity(b);
    Matrix4RotateZ(b, float(std::numbers::pi / 2));

    Matrix4 out;
    Matrix4Multiply(a, b, out);
    const Point3 p = Transform(out, {1, 0, 0});
    EXPECT_NEAR(p.x, 1.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    EXPECT_NEAR(p.z, 0.0f, 1e-6f);

    Matrix4 intoA = a, intoB = b;
    Matrix4Multiply(intoA, b, intoA);
    Matrix4Multiply(a, intoB, intoB);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(intoA.m[i], out.m[i]);
        EXPECT_EQ(intoB.m[i], out.m[i]);
    }
}

TEST(Matrix4, RotationsWriteSineAndCosineOfTheFloatAngle) {
    Matrix4 m;
    Matrix4Identity(m);
    Matrix4RotateX(m, 0.5f);
    EXPECT_EQ(m.m[5], float(std::cos(0.5)));
    EXPECT_EQ(m.m[6], float(std::sin(0.5)));
    EXPECT_EQ(m.m[9], -float(std::sin(0.5)));
    EXPECT_NEAR(m.m[6], 0.4794f, 1e-4f);

    Matrix4Identity(m);
    Matrix4RotateY(m, 0.5f);
    EXPECT_EQ(m.m[2], -float(std::sin(0.5)));
    EXPECT_EQ(m.m[8], float(std::sin(0.5)));
}

TEST(Matrix4, StartUpCameraSitsAtZeroFortyMinusForty) {
    Matrix4 c;
    Matrix4Identity(c);
    Matrix4RotateZ(c, -3.1415925f);
    Matrix4Translate(c, 0, -40, -40);
    // Rows (-1,0,0,0), (0,-1,0,0), (0,0,1,0), (0,40,-40,1) up to float error.
    const float expected[16] = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 40, -40, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(c.m[i], expected[i], 2e-5f) << i;
    // The fourth row is (40 sin t, -40 cos t, -40), from the float sine and cosine.
    const double s = float(std::sin(double(-3.1415925f)));
    const double co = float(std::cos(double(-3.1415925f)));
    EXPECT_EQ(c.m[12], float(40.0 * s));
    EXPECT_EQ(c.m[13], float(-40.0 * co));
    EXPECT_EQ(c.m[14], -40.0f);
    EXPECT_EQ(c.m[15], 1.0f);
}

TEST(Matrix4, HundredSmallTurnsMakeAboutOneFullTurn) {
    Matrix4 c;
    Matrix4Identity(c);
    for (int i = 0; i < 100; ++i)
        Matrix4RotateY(c, 0.06283185f);
    ExpectNearIdentity(c, 1e-4f);
}

TEST(Matrix4, OppositeStepsCancelUpToFloatError) {
    Matrix4 c;
    Matrix4Identity(c);
    Matrix4RotateZ(c, -3.1415925f);
    Matrix4Translate(c, 0, -40, -40);
    const Matrix4 start = c;
    Matrix4RotateY(c, 0.06283185f);
    Matrix4RotateY(c, -0.06283185f);
    Matrix4RotateX(c, -0.06283185f);
    Matrix4RotateX(c, 0.06283185f);
    Matrix4Translate(c, 0, 0, -5);
    Matrix4Translate(c, 0, 0, 5);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(c.m[i], start.m[i], 1e-5f) << i;
}

TEST(Matrix4, AffineInverseUndoesTheSourceAndClearsTheFourthColumn) {
    Matrix4 src;
    Matrix4Identity(src);
    Matrix4RotateZ(src, 0.3f);
    Matrix4RotateX(src, -1.1f);
    Matrix4RotateY(src, 2.0f);
    Matrix4Translate(src, 3, -7, 11);
    src.m[3] = 5; // never read
    src.m[11] = -2;

    Matrix4 inv;
    Matrix4InvertAffine(src, inv);
    EXPECT_EQ(inv.m[3], 0.0f);
    EXPECT_EQ(inv.m[7], 0.0f);
    EXPECT_EQ(inv.m[11], 0.0f);
    EXPECT_EQ(inv.m[15], 1.0f);

    src.m[3] = src.m[11] = 0;
    Matrix4 both;
    Matrix4Multiply(src, inv, both);
    ExpectNearIdentity(both, 1e-5f);
    Matrix4Multiply(inv, src, both);
    ExpectNearIdentity(both, 1e-5f);
}

TEST(Matrix4, AffineInverseRoundsDetToFloatBeforeDividing) {
    // A scale whose determinant is not a float: 3 x 3 x (1 + 2^-23)... rounds.
    Matrix4 src;
    Matrix4Identity(src);
    src.m[0] = 3.0f;
    src.m[5] = 3.0f;
    src.m[10] = 1.0f + 0x1p-23f;
    Matrix4 inv;
    Matrix4InvertAffine(src, inv);
    const double det = float(9.0 * (1.0 + 0x1p-23));
    EXPECT_EQ(inv.m[0], float(3.0 * (1.0 + 0x1p-23) / det));
    EXPECT_EQ(inv.m[10], float(9.0 / det));
}

TEST(Matrix4, SingularBlockGivesNonFiniteElements) {
    Matrix4 src;
    Matrix4Identity(src);
    src.m[10] = 0;
    Matrix4 inv;
    Matrix4InvertAffine(src, inv);
    EXPECT_FALSE(std::isfinite(inv.m[0]));
}

TEST(Plane, FromPointsFollowsTheWinding) {
    Plane p;
    PlaneFromPoints(p, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(p.a, 0.0f);
    EXPECT_EQ(p.b, 0.0f);
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, 0.0f);
    PlaneFromPoints(p, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});
    EXPECT_EQ(p.c, -1.0f);
    EXPECT_EQ(p.d, 0.0f); // may be -0, which compares equal

    PlaneFromPoints(p, {0, 0, 5}, {3, 0, 5}, {0, 2, 5});
    EXPECT_EQ(p.c, 1.0f);
    EXPECT_EQ(p.d, -5.0f);
    EXPECT_EQ(PlaneDistance(p, {7, -3, 9}), 4.0);
}

TEST(Plane, LengthRoundedToFloatAndDFromTheStoredNormal) {
    // n = (-3, -1, 0): len = sqrt(10) is stored as the float 3.1622777 before the divisions,
    // which puts a one float below -3 / sqrt(10); d is formed from the stored a and b.
    Plane p;
    PlaneFromPoints(p, {3, -2, 0}, {2, 1, 0}, {4, -5, -1});
    EXPECT_EQ(p.a, -0.9486832618713379f);
    EXPECT_EQ(p.b, -0.3162277638912201f);
    EXPECT_EQ(p.c, 0.0f);
    EXPECT_EQ(p.d, 2.2135941982269287f);
}

TEST(Plane, CollinearPointsGiveNonFiniteValues) {
    Plane p;
    PlaneFromPoints(p, {0, 0, 0}, {1, 1, 1}, {2, 2, 2});
    EXPECT_FALSE(std::isfinite(p.a));
}

} // namespace
