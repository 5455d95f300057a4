#include "tools/bspc/bsp_builder.h"

#include <cmath>
#include <gtest/gtest.h>

#include "tools/bspc/mesh_prep.h"
#include "tools/bspc/texture_convert.h"
#include "tools/bspc/tjunctions.h"

namespace {

BspTriangle Triangle(MapVertex a, MapVertex b, MapVertex c) {
    BspTriangle t;
    t.v[0] = a;
    t.v[1] = b;
    t.v[2] = c;
    EXPECT_TRUE(TrianglePlane(a, b, c, t.plane));
    return t;
}

BspPiece Piece(const BspTriangle& t) {
    return PieceOf(t);
}

double Area(const BspTriangle& t) {
    const double e1[3] = {t.v[1].x - t.v[0].x, t.v[1].y - t.v[0].y, t.v[1].z - t.v[0].z};
    const double e2[3] = {t.v[2].x - t.v[0].x, t.v[2].y - t.v[0].y, t.v[2].z - t.v[0].z};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
}

// u = x / 4 and v = y / 8 over the whole plane z = 0.
MapVertex At(float x, float y) {
    return {x, y, 0, x / 4, y / 8};
}

TEST(BspBuilder, TrianglePlaneFacesAwayFromTheCounterClockwiseSide) {
    Plane p;
    ASSERT_TRUE(TrianglePlane(At(0, 0), At(1, 0), At(0, 1), p));
    // Right-hand normal of the order is +z; the map's plane points the other way.
    EXPECT_FLOAT_EQ(p.c, -1.0f);
    EXPECT_FLOAT_EQ(p.a, 0.0f);
    EXPECT_FLOAT_EQ(p.d, 0.0f);
    EXPECT_FALSE(TrianglePlane(At(0, 0), At(1, 1), At(2, 2), p)) << "collinear";
    EXPECT_FALSE(TrianglePlane(At(0, 0), At(0, 0), At(1, 0), p)) << "repeated corner";
}

TEST(BspBuilder, ClassifiesWithinTheEpsilonBand) {
    const Plane plane = {1, 0, 0, 0}; // x = 0
    const float inBand = float(PlaneEpsilon / 2);
    EXPECT_EQ(ClassifyPiece(plane, Piece(Triangle(At(inBand, 0), At(1, 0), At(1, 1)))),
              PlaneSide::Front);
    EXPECT_EQ(ClassifyPiece(plane, Piece(Triangle(At(-1, 0), At(-inBand, 0), At(-1, 1)))),
              PlaneSide::Back);
    EXPECT_EQ(ClassifyPiece(plane, Piece(Triangle(At(-1, 0), At(1, 0), At(0, 1)))),
              PlaneSide::Spanning);
    BspTriangle on = Triangle({0, 0, 0, 0, 0}, {inBand, 1, 0, 0, 0}, {0, 0, 1, 0, 0});
    EXPECT_EQ(ClassifyPiece(plane, Piece(on)), PlaneSide::On);
}

TEST(BspBuilder, SplitKeepsAreaWindingPlaneAndTextureMapping) {
    const Plane cut = {1, 0, 0, -1}; // x = 1
    struct Case {
        BspTriangle t;
        size_t front, back; // corners of each piece
    };
    const Case cases[] = {
        {Triangle(At(0, 0), At(4, 0), At(0, 4)), 3, 4},  // one corner in front: 1 + quad
        {Triangle(At(0, 0), At(4, 0), At(4, 4)), 4, 3},  // two corners in front
        {Triangle(At(1, 0), At(3, 2), At(-1, 2)), 3, 3}, // a corner on the plane
    };
    for (const Case& c : cases) {
        BspPiece front;
        BspPiece back;
        SplitPiece(cut, Piece(c.t), front, back);
        EXPECT_EQ(front.v.size(), c.front);
        EXPECT_EQ(back.v.size(), c.back);
        // A piece cut again stays one convex piece.
        BspPiece again;
        BspPiece rest;
        SplitPiece({0, 1, 0, -0.5f}, back, again, rest);
        double area = 0;
        for (const BspPiece* piece : {&front, &again, &rest}) {
            std::vector<BspTriangle> triangles;
            TriangulatePiece(*piece, triangles);
            EXPECT_EQ(triangles.size(), piece->v.size() - 2);
            for (const BspTriangle& t : triangles) {
                area += Area(t);
                EXPECT_EQ(ClassifyPiece(cut, Piece(t)),
                          piece == &front ? PlaneSide::Front : PlaneSide::Back);
                Plane own;
                ASSERT_TRUE(TrianglePlane(t.v[0], t.v[1], t.v[2], own));
                EXPECT_NEAR(own.c, c.t.plane.c, 1e-6) << "winding kept";
                EXPECT_EQ(t.plane.c, c.t.plane.c) << "the parent's plane is kept";
                for (const MapVertex& v : t.v) {
                    EXPECT_NEAR(v.u, v.x / 4, 1e-6);
                    EXPECT_NEAR(v.v, v.y / 8, 1e-6);
                }
            }
        }
        EXPECT_NEAR(area, Area(c.t), 1e-5);
    }
}

TEST(BspBuilder, NeighboursSplitAlongASharedEdgeGetTheSameNewVertex) {
    const Plane cut = {0.6f, 0.8f, 0, -1.3f};
    const MapVertex a = At(0, 0);
    const MapVertex b = At(3, 2.5f);
    // Two triangles sharing the edge a-b, which they run through in opposite directions; the
    // first was cut before (at x = 0.5), so its piece holds only a part of that edge.
    BspPiece earlier[2];
    SplitPiece({1, 0, 0, -0.5f}, Piece(Triangle(a, b, At(-2, 3))), earlier[0], earlier[1]);
    BspPiece pieces[4];
    SplitPiece(cut, earlier[0], pieces[0], pieces[1]);
    SplitPiece(cut, Piece(Triangle(b, a, At(3, -1))), pieces[2], pieces[3]);
    std::vector<MapVertex> cuts;
    for (const BspPiece& piece : pieces)
        for (const MapVertex& v : piece.v)
            if (std::abs(PlaneDistance(cut, v)) < 1e-4 && std::abs(v.y - (v.x * 2.5f / 3)) < 1e-4)
                cuts.push_back(v);
    ASSERT_EQ(cuts.size(), 4u);
    for (const MapVertex& v : cuts) {
        EXPECT_EQ(v.x, cuts[0].x);
        EXPECT_EQ(v.y, cuts[0].y);
        EXPECT_EQ(v.u, cuts[0].u);
    }
}

TEST(BspBuilder, BuildStopsAtTheDepthLimit) {
    // A closed box: every face plane has all others on one side, so the tree is a chain.
    std::vector<BspTriangle> faces;
    const float s = 1;
    faces.push_back(Triangle({-s, -s, -s, 0, 0}, {s, -s, -s, 0, 0}, {-s, s, -s, 0, 0}));
    faces.push_back(Triangle({-s, -s, s, 0, 0}, {-s, s, s, 0, 0}, {s, -s, s, 0, 0}));
    faces.push_back(Triangle({-s, -s, -s, 0, 0}, {-s, -s, s, 0, 0}, {s, -s, -s, 0, 0}));
    BspStats stats;
    BspcMessages messages;
    EXPECT_NE(BuildBsp(faces, 3, stats, messages), nullptr);
    EXPECT_EQ(stats.depth, 3);
    stats = {};
    EXPECT_EQ(BuildBsp(faces, 2, stats, messages), nullptr);
    EXPECT_TRUE(stats.tooDeep);
    EXPECT_NE(messages.error.find("limit of 2 levels"), std::string::npos) << messages.error;
}

TEST(TJunctions, NearPositionsAreWeldedAndMendingRepeatsUntilNeighboursMeet) {
    // A in the root; below it B1 and B2 meet A's edge y = 0 at (2, 0), where A has no corner,
    // and B2's far corner lies 20 units in the last place beside A's corner (4, 0), as
    // splitting leaves such points. C's corner (1, 2) lies only on the edge that mending
    // (2, 0) into A makes, E's corner (0.5, 1) only on an edge that mending (1, 2) makes:
    // three passes. F stands upright on A's far edge and touches it only at (1, 3): it
    // pierces A's plane there and leaves no crack, so that edge is not cut.
    BspNode root;
    root.polygons.push_back(Triangle(At(0, 0), At(4, 0), At(0, 4)));
    root.back = std::make_unique<BspNode>();
    float justOff = 4.0f;
    for (int ulps = 0; ulps < 20; ++ulps)
        justOff = std::nextafter(justOff, 5.0f);
    root.back->polygons = {Triangle(At(2, 0), At(0, 0), At(1, -3)),
                           Triangle(At(justOff, 0), At(2, 0), At(3, -3)),
                           Triangle(At(1, 2), At(0, 6), At(-1, 5)),
                           Triangle(At(0.5f, 1), At(-3, -1), At(-2, -3)),
                           Triangle(At(1, 3), {1, 5, 1, 0, 0}, {1, 5, -1, 0, 0})};
    BspStats stats;
    EXPECT_EQ(WeldNearPositions(root, stats), 1);
    EXPECT_EQ(root.back->polygons[1].v[0].x, 4.0f);
    stats.outputTriangles = 6;
    EXPECT_EQ(MendTJunctions(root, stats), 1 + 2 + 2);
    EXPECT_EQ(stats.outputTriangles, 6 + 1 + 2 + 2);
    EXPECT_EQ(root.polygons.size(), 6u);
    double area = 0;
    for (const BspTriangle& t : root.polygons) {
        area += Area(t);
        for (const MapVertex& v : t.v) {
            EXPECT_FLOAT_EQ(v.u, v.x / 4) << "texture coordinates follow the edge";
            EXPECT_FLOAT_EQ(v.v, v.y / 8);
        }
    }
    EXPECT_DOUBLE_EQ(area, 8.0);
    EXPECT_EQ(CountOpenEdges(root.polygons).openEdges, 4) << "only A's outline: no T-junction inside";
}

TEST(TextureConvert, NearestPowerOfTwo) {
    const int32_t cases[][2] = {{1, 1},   {2, 2},    {3, 4},     {5, 4},    {6, 8},
                                {80, 64}, {96, 128}, {100, 128}, {256, 256}};
    for (const auto& c : cases)
        EXPECT_EQ(NearestPowerOfTwo(c[0]), c[1]) << c[0];
}

TEST(TextureConvert, TextureNamesStayInsideTheTextureFolderOnEverySystem) {
    const std::pair<const char*, const char*> cases[] = {
        {"wall", "wall"},          {"../../etc/x", "______etc_x"}, {"..", "__"},
        {"/abs", "_abs"},          {"\\\\srv\\x", "__srv_x"}, {"c:x", "c_x"},
        {"tab\there", "tab_here"},  {"a\x01" "b", "a_b"},           {"", "texture"},
        {"CON", "_CON"},           {"nul", "_nul"},                {"Com1", "_Com1"},
        {"LPT9", "_LPT9"},         {"con.txt", "con_txt"},         {"CONSOLE", "CONSOLE"},
        {"brick 2.png", "brick_2_png"}};
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(SafeTextureName(in), out) << in;
        EXPECT_TRUE(TextureNameSafe(out)) << out; // the viewer loads every name written
    }
    EXPECT_EQ(SafeTextureName(std::string(400, 'n')).size(), size_t(MaxTextureNameLength));
}

} // namespace
