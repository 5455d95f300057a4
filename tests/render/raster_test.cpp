#include "render/raster.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "geometry/projection.h"
#include "render/scene_cache.h"
#include "render_test_util.h"

namespace {

using namespace rendertest;

// 16 x 16; a texel names its own column and row.
uint32_t Texel16(int32_t column, int32_t row) {
    return 0x010000u | uint32_t(row) << 8 | column;
}

class Raster : public ::testing::Test {
  protected:
    void SetUp() override {
        SetupProjection(Width, Height);
        texture = MakeTexture(16, 16, Texel16);
        Bind(*texture);
        frame = BlankFrame();
    }
    // Pixels written, as (x, y) pairs in row order.
    std::vector<std::pair<int, int>> Written() const {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (At(frame, x, y) != 0) out.emplace_back(x, y);
        return out;
    }
    std::unique_ptr<Texture> texture;
    std::vector<uint32_t> frame;
};

TEST(Trunc, TowardZeroKeepingLow32Bits) {
    EXPECT_EQ(TruncToInt32(2.9), 2);
    EXPECT_EQ(TruncToInt32(-2.9), -2);
    EXPECT_EQ(TruncToInt32(-0.5), 0);
    EXPECT_EQ(TruncToInt32(2147483648.0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TruncToInt32(4294967296.0 + 5.75), 5);
    EXPECT_EQ(TruncToInt32(-4294967296.0 - 5.75), -5);
    EXPECT_EQ(TruncToInt32(-9223372036854775808.0), 0); // low 32 bits of -2^63
    // Beyond the 64-bit range and NaN give 0, never undefined behaviour.
    EXPECT_EQ(TruncToInt32(9223372036854775808.0), 0);
    EXPECT_EQ(TruncToInt32(1e300), 0);
    EXPECT_EQ(TruncToInt32(-1e300), 0);
    EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST_F(Raster, TriangleFillRuleLeftExclusiveRightInclusiveBottomExclusive) {
    const ClipPolygon p = MakePolygon({{10, 10, 1, 0, 0}, {10, 20, 1, 0, 0}, {20, 20, 1, 0, 0}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    std::vector<std::pair<int, int>> expected;
    for (int y = 11; y <= 19; ++y)
        for (int x = 11; x <= y; ++x)
            expected.emplace_back(x, y);
    EXPECT_EQ(Written(), expected);

    // The same triangle clockwise is scanned but writes nothing.
    frame = BlankFrame();
    const ClipPolygon r = MakePolygon({{20, 20, 1, 0, 0}, {10, 20, 1, 0, 0}, {10, 10, 1, 0, 0}});
    EXPECT_TRUE(RasterizePolygon(r, frame.data()));
    EXPECT_TRUE(Written().empty());
}

TEST_F(Raster, FlatTopEdgeIsNotStored) {
    const ClipPolygon p =
        MakePolygon({{20, 10, 1, 0, 0}, {10, 10, 1, 0, 0}, {10, 20, 1, 0, 0}, {20, 20, 1, 0, 0}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    std::vector<std::pair<int, int>> expected;
    for (int y = 10; y <= 19; ++y)
        for (int x = 11; x <= 20; ++x)
            expected.emplace_back(x, y);
    EXPECT_EQ(Written(), expected);

    ASSERT_TRUE(BuildEdgeChains(p));
    ASSERT_EQ(LeftChain.count, 1);  // vertex 1 to 2; the top edge 0-1 has no scanline
    ASSERT_EQ(RightChain.count, 1); // vertex 0 to 3; the bottom edge 3-2 has none either
    EXPECT_EQ(LeftChain.edges[0].x, 10 << 16);
    EXPECT_EQ(RightChain.edges[0].x, 20 << 16);
    EXPECT_EQ(LeftChain.edges[0].firstY, 10);
    EXPECT_EQ(LeftChain.edges[0].count, 10);
}

TEST(ScanEdge, IntegerAndFractionalEnds) {
    ScanEdge e{};
    ClipVertex a{}, b{};
    // An edge from y = 10.0 to y = 20.0 covers scanlines 10 to 19.
    a.x = 10, a.y = 10, b.x = 20, b.y = 20;
    ASSERT_TRUE(SetupScanEdge(a, b, e));
    EXPECT_EQ(e.firstY, 10);
    EXPECT_EQ(e.count, 10);
    EXPECT_EQ(e.x, 10 << 16);
    EXPECT_EQ(e.xStep, 1 << 16);

    // From y = 10.5: first scanline 11, x taken exactly on it.
    a.x = 0, a.y = 10.5f, b.x = 3, b.y = 12.5f;
    ASSERT_TRUE(SetupScanEdge(a, b, e));
    EXPECT_EQ(e.firstY, 11);
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(e.x, 49152); // 0.75
    EXPECT_EQ(e.xStep, 98304);

    // Truncation toward zero of a negative slope: -1/3 of a pixel per scanline.
    a.x = 10, a.y = 0, b.x = 9, b.y = 3;
    ASSERT_TRUE(SetupScanEdge(a, b, e));
    EXPECT_EQ(e.xStep, -21845);

    // Slope -415.25 / 25 = -16.61 and x = 488.25 + 0.75 * -16.61 = 475.7925 on scanline 204,
    // both kept in double up to the truncation (as floats they would give -1088553 and
    // 31181538).
    a.x = 488.25f, a.y = 203.25f, b.x = 73, b.y = 228.25f;
    ASSERT_TRUE(SetupScanEdge(a, b, e));
    EXPECT_EQ(e.firstY, 204);
    EXPECT_EQ(e.count, 25);
    EXPECT_EQ(e.xStep, -1088552); // -1088552.96
    EXPECT_EQ(e.x, 31181537);     // 31181537.28

    // Inside one scanline gap: nothing stored.
    e = {1, 2, 3, 4};
    a.y = 10.2f, b.y = 10.8f;
    EXPECT_FALSE(SetupScanEdge(a, b, e));
    EXPECT_EQ(e.count, 3);
}

TEST_F(Raster, PolygonsCoveringNoScanlineAreRejected) {
    EXPECT_FALSE(RasterizePolygon(
        MakePolygon({{10, 10.2f, 1, 0, 0}, {10, 10.8f, 1, 0, 0}, {20, 10.5f, 1, 0, 0}}),
        frame.data()));
    EXPECT_FALSE(RasterizePolygon(MakePolygon({}), frame.data()));
    EXPECT_FALSE(RasterizePolygon(MakePolygon({{10, 10, 1, 0, 0}}), frame.data()));
    EXPECT_FALSE(
        RasterizePolygon(MakePolygon({{10, 10, 1, 0, 0}, {30, 30, 1, 0, 0}}), frame.data()));
    // Covers scanline 10 only, where its width is 0.
    EXPECT_TRUE(RasterizePolygon(
        MakePolygon({{10, 10, 1, 0, 0}, {5, 11, 1, 0, 0}, {15, 11, 1, 0, 0}}), frame.data()));
    EXPECT_TRUE(Written().empty());
}

TEST_F(Raster, CollinearFirstThreeVerticesAreRejected) {
    const ClipPolygon p =
        MakePolygon({{10, 10, 1, 0, 0}, {10, 15, 1, 0, 0}, {10, 20, 1, 0, 0}, {20, 20, 1, 0, 0}});
    EXPECT_FALSE(ComputeGradients(p));
    EXPECT_FALSE(RasterizePolygon(p, frame.data()));
    EXPECT_TRUE(Written().empty());
}

TEST_F(Raster, EdgeWithNegativeCountRejectsThePolygon) {
    // Heights out of order along the left chain: 20 then 15.
    const ClipPolygon p = MakePolygon({{10, 10, 1, 0, 0},
                                       {0, 20, 1, 0, 0},
                                       {5, 15, 1, 0, 0},
                                       {0, 30, 1, 0, 0},
                                       {20, 30, 1, 0, 0}});
    EXPECT_FALSE(BuildEdgeChains(p));
    EXPECT_FALSE(RasterizePolygon(p, frame.data()));
    EXPECT_TRUE(Written().empty());
}

TEST_F(Raster, RectangleMapsTexelsAndRepeats) {
    const ClipPolygon p = MakePolygon(
        {{10, 10, 1, 0, 0}, {10, 30, 1, 0, 20}, {40, 30, 1, 30, 20}, {40, 10, 1, 30, 0}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    size_t written = 0;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const bool inside = y >= 10 && y <= 29 && x >= 11 && x <= 40;
            if (!inside) {
                ASSERT_EQ(At(frame, x, y), 0u) << x << "," << y;
                continue;
            }
            ++written;
            ASSERT_EQ(At(frame, x, y), Texel16((x - 10) % 16, (y - 10) % 16)) << x << "," << y;
        }
    }
    EXPECT_EQ(written, 20u * 30u);
}

TEST_F(Raster, NegativeTextureCoordinatesWrap) {
    const ClipPolygon p = MakePolygon(
        {{10, 10, 1, -2, -2}, {10, 12, 1, -2, 0}, {12, 12, 1, 0, 0}, {12, 10, 1, 0, -2}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    EXPECT_EQ(At(frame, 11, 10), Texel16(15, 14));
    EXPECT_EQ(At(frame, 12, 11), Texel16(0, 15));
}

TEST_F(Raster, LargeTextureCoordinatesWrapModulo2To32) {
    const ClipPolygon p = MakePolygon({{10, 10, 1, 40000, 0},
                                       {10, 12, 1, 40000, 2},
                                       {30, 12, 1, 40020, 2},
                                       {30, 10, 1, 40020, 0}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    for (int x = 11; x <= 30; ++x)
        EXPECT_EQ(At(frame, x, 10), Texel16((x - 10) % 16, 0)) << x;
}

TEST_F(Raster, SpansAndScanlinesStayInsideTheFrame) {
    // Far larger than the screen: every pixel is written once, nothing outside.
    const auto solid = SolidTexture(0x123456);
    Bind(*solid);
    const ClipPolygon p = MakePolygon(
        {{-50, -20, 1, 0, 0}, {-50, 400, 1, 0, 0}, {600, 400, 1, 0, 0}, {600, -20, 1, 0, 0}});
    EXPECT_TRUE(RasterizePolygon(p, frame.data()));
    for (uint32_t pixel : frame)
        ASSERT_EQ(pixel, 0x123456u);
}

TEST_F(Raster, TexelRunWritesFirstUpToEndAndWraps) {
    uint32_t row[4] = {};
    DrawTexelRun(3 << 16, 2 << 16, 1 << 16, 0, row, row + 1);
    EXPECT_EQ(row[0], Texel16(3, 2));
    EXPECT_EQ(row[1], 0u);
    // Crossing 2^31 in 16.16 wraps without effect on the column chosen.
    DrawTexelRun(0x7FFF0000, -(1 << 16), 1 << 16, 1 << 16, row, row + 3);
    EXPECT_EQ(row[0], Texel16(15, 15));
    EXPECT_EQ(row[1], Texel16(0, 0));
    EXPECT_EQ(row[2], Texel16(1, 1));
}

// What a span of n pixels shows when the perspective division happens every `block`
// pixels: exact coordinates at each block start, truncated 16.16 steps in between.
std::vector<uint32_t> ModelSpan(int32_t n, float uz, float iz, int32_t block, const Texture& t) {
    const GradientSet& g = ScreenGradients;
    std::vector<uint32_t> out;
    int32_t u = TruncToInt32(65536.0 / iz * uz);
    const auto run = [&](int32_t length, int32_t uEnd) {
        const int32_t du = int32_t(uint32_t(uEnd) - uint32_t(u)) / length;
        uint32_t uu = uint32_t(u);
        for (int32_t k = 0; k < length; ++k, uu += uint32_t(du))
            out.push_back(t.pixels[(int32_t(uu) >> 16) & t.uMask]);
        u = uEnd;
    };
    for (; n >= block; n -= block) {
        iz = float(double(iz) + block * double(g.izdx));
        uz = float(double(uz) + block * double(g.uzdx));
        run(block, TruncToInt32(65536.0 / iz * uz));
    }
    if (n > 0)
        run(n, TruncToInt32(65536.0 / (iz + double(n) * g.izdx) * (uz + double(n) * g.uzdx)));
    return out;
}

TEST_F(Raster, SpansDivideEvery16Pixels) {
    // One texel row whose texels name their column; strong perspective, so that linear
    // steps between two divisions visibly miss the exact texel.
    const auto wide = MakeTexture(4096, 1, [](int32_t x, int32_t) { return uint32_t(x + 1); });
    Bind(*wide);
    ScreenGradients = {};
    ScreenGradients.izdx = -0.028f;
    ScreenGradients.uzdx = 1.0f;
    const float uz = 0.25f, iz = 1.0f;
    for (int32_t n : {15, 16, 17, 30, 32}) {
        std::vector<uint32_t> row(n + 1, 0);
        DrawSpan(n, uz, 0.0f, iz, row.data());
        EXPECT_EQ(row[n], 0u) << n;
        row.resize(n);
        EXPECT_EQ(row, ModelSpan(n, uz, iz, 16, *wide)) << n;
        // The image tells the run split apart from one run or from runs of another length.
        if (n > 16) {
            EXPECT_NE(row, ModelSpan(n, uz, iz, 64, *wide)) << n;
        }
        if (n > 15) {
            EXPECT_NE(row, ModelSpan(n, uz, iz, 15, *wide)) << n;
        }
        EXPECT_NE(row, ModelSpan(n, uz, iz, 8, *wide)) << n;
    }
}

TEST_F(Raster, SharedEdgesNeitherOverlapNorLeaveGaps) {
    // Random convex quads split along a diagonal: the two triangles cover exactly the
    // quad's pixels, each pixel once.
    const auto solid = SolidTexture(1);
    Bind(*solid);
    std::mt19937 engine(7);
    const auto uniform = [&](float lo, float hi) {
        return lo + (hi - lo) * float(engine() / 4294967296.0);
    };
    std::vector<uint32_t> whole = BlankFrame(), first = BlankFrame(), second = BlankFrame();
    for (int trial = 0; trial < 100; ++trial) {
        const float cx = uniform(60, 450), cy = uniform(60, 320), radius = uniform(2, 55);
        float angle = uniform(0, 1.5f);
        ScreenVertex q[4];
        for (ScreenVertex& v : q) {
            v = {cx + radius * std::cos(angle), cy + radius * std::sin(angle), 1, 0, 0};
            angle += uniform(0.3f, 1.5f);
        }
        double area = 0;
        for (int i = 0; i < 4; ++i)
            area += double(q[i].x) * q[(i + 1) % 4].y - double(q[(i + 1) % 4].x) * q[i].y;
        if (area > 0) std::swap(q[1], q[3]); // counter-clockwise on the screen

        std::fill(whole.begin(), whole.end(), 0);
        std::fill(first.begin(), first.end(), 0);
        std::fill(second.begin(), second.end(), 0);
        RasterizePolygon(MakePolygon({q[0], q[1], q[2], q[3]}), whole.data());
        RasterizePolygon(MakePolygon({q[0], q[1], q[2]}), first.data());
        RasterizePolygon(MakePolygon({q[0], q[2], q[3]}), second.data());
        size_t overlaps = 0, mismatches = 0;
        for (size_t i = 0; i < whole.size(); ++i) {
            overlaps += first[i] & second[i];
            mismatches += whole[i] != (first[i] | second[i]);
        }
        ASSERT_EQ(overlaps, 0u) << "trial " << trial;
        ASSERT_EQ(mismatches, 0u) << "trial " << trial;
    }
}

TEST_F(Raster, LastRunEndsInDouble) {
    // 5 pixels from u = 400 at 1/z = 0.25: the pixel just past the span has 1/z = 0.25 -
    // 5 * float(1/180) and u/z = 102.5, so u = 461.25 and the fifth pixel lands exactly on
    // column 449. Rounding 0.25 + 5 * IZdx to float would leave it in column 448.
    const auto wide = MakeTexture(4096, 1, [](int32_t x, int32_t) { return uint32_t(x); });
    Bind(*wide);
    ScreenGradients = {};
    ScreenGradients.izdx = float(-1.0 / 180.0);
    ScreenGradients.uzdx = 0.5f;
    uint32_t row[6] = {};
    DrawSpan(5, 100.0f, 0.0f, 0.25f, row);
    const uint32_t expected[6] = {400, 412, 424, 436, 449, 0};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(row[k], expected[k]) << k;
}

TEST_F(Raster, RunStepsTruncateTowardZero) {
    // u ends one 16.16 unit below its start: -1 / 16 and -1 / 4 are 0 (a shift would give
    // -1 and step into the previous texel column).
    ScreenGradients = {};
    for (int32_t n : {16, 4}) {
        ScreenGradients.uzdx = float(-1.0 / 65536.0 / n);
        uint32_t row[16] = {};
        DrawSpan(n, 0.0f, 0.0f, 1.0f, row);
        for (int32_t k = 0; k < n; ++k)
            EXPECT_EQ(row[k], Texel16(0, 0)) << n << " " << k;
    }
}

// Every kind the CPU offers (the scalar one always) writes exactly the open pixels, each
// with the texel DrawTexelRun gives it, and nothing past the run.
// Every run drawer gives each open pixel DrawTexelRun's texel, with the texture's padded rows
// bound too: half the runs step about a texel a pixel, on both sides of the limit of the
// windows read from those rows, across rows and across the int32 wrap.
TEST_F(Raster, UncoveredRunDrawersMatchTheTexelRun) {
    const auto odd = MakeTexture(64, 32, [](int32_t x, int32_t y) { return uint32_t(y << 8 | x); });
    Bind(*odd);
    PaddedTexture padded;
    ASSERT_TRUE(MakePaddedTexture(*odd, padded));
    TextureBinding.paddedRows = padded.rows.get();
    TextureBinding.rowPitch = padded.pitch;
    TextureBinding.rowMask = padded.rowMask;
    PaddedTexture none;
    EXPECT_FALSE(MakePaddedTexture(*MakeTexture(16, 64, Texel16), none)) << "narrower than a window";
    EXPECT_FALSE(MakePaddedTexture(*MakeTexture(48, 32, Texel16), none)) << "not a power of two";
    std::mt19937 random(7);
    int kinds = 0;
    for (const RunDrawerKind kind : {RunDrawerKind::Scalar, RunDrawerKind::Avx2, RunDrawerKind::Avx512}) {
        const UncoveredRunDrawer draw = UncoveredRunDrawerFor(kind);
        if (!draw) continue;
        ++kinds;
        for (int i = 0; i < 3000; ++i) {
            const int32_t u = int32_t(random()), v = int32_t(random());
            const uint32_t reach = i % 2 ? 1u << 22 : 2 * 65536 + 8192;
            const int32_t du = int32_t(random() % reach) - int32_t(reach / 2);
            // Every 50th run's v wraps around once over 15 steps, ending a texel row away.
            const bool wraps = i % 50 == 0;
            const int32_t dv = wraps ? (i % 100 ? 1 : -1) * int32_t(0xFFFFFFFFu / 15)
                                     : int32_t(random() % reach) - int32_t(reach / 2);
            const int32_t n = wraps ? 16 : 1 + int32_t(random() % 16);
            const uint32_t covered = i % 3 ? random() & 0xFFFFu : (i % 2 ? 0u : 0xFFFFu);
            uint32_t all[16], expected[18], got[18];
            DrawTexelRun(u, v, du, dv, all, all + n);
            for (int32_t k = 0; k < 18; ++k) {
                const bool open = k < n && !((covered >> k) & 1u);
                expected[k] = open ? all[k] : 0xFF000000u;
                got[k] = 0xFF000000u;
            }
            const uint32_t open = ~covered & ((1u << n) - 1u);
            if (open != 0) draw(u, v, du, dv, got, open);
            for (int32_t k = 0; k < 18; ++k)
                ASSERT_EQ(got[k], expected[k]) << int(kind) << " case " << i << " pixel " << k;
        }
    }
    EXPECT_GE(kinds, 1);
    Bind(*odd); // the padded rows go with this test
}

// Every boundary kernel the CPU offers finds DrawSpan's coordinates for eight spans at once:
// the runs drawn from its boundaries and steps are DrawSpan's pixels, and on hostile values
// (any bit pattern: NaN, infinities, out of range) every kernel agrees with the scalar one.
TEST_F(Raster, SpanBoundaryKernelsGiveDrawSpansCoordinates) {
    const auto unique = MakeTexture(64, 64, [](int32_t x, int32_t y) { return uint32_t(y << 8 | x); });
    Bind(*unique);
    std::mt19937 random(11);
    const auto realistic = [&](float scale) { return scale * float(int32_t(random())) / 2147483648.0f; };
    const auto anyBits = [&] { return std::bit_cast<float>(uint32_t(random())); };
    const SpanBoundaryKernel scalar = SpanBoundaryKernelFor(RunDrawerKind::Scalar);
    int kinds = 0;
    for (const RunDrawerKind kind : {RunDrawerKind::Scalar, RunDrawerKind::Avx2, RunDrawerKind::Avx512}) {
        const SpanBoundaryKernel kernel = SpanBoundaryKernelFor(kind);
        if (!kernel) continue;
        ++kinds;
        for (int i = 0; i < 400; ++i) {
            const bool hostile = i % 4 == 3;
            auto batch = std::make_unique<SpanBatch>(), expected = std::make_unique<SpanBatch>();
            batch->count = 1 + int32_t(random() % SpanBatchSize);
            for (int32_t lane = 0; lane < SpanBatchSize; ++lane) {
                batch->n[lane] = 1 + int32_t(random() % (i % 2 ? 2048 : 40));
                batch->x0[lane] = int32_t(random() % 2048);
                batch->rowIz[lane] = hostile ? anyBits() : 0.5f + std::fabs(realistic(1.0f));
                batch->rowUz[lane] = hostile ? anyBits() : realistic(64.0f);
                batch->rowVz[lane] = hostile ? anyBits() : realistic(64.0f);
            }
            ScreenGradients = {hostile ? anyBits() : realistic(1e-4f), 0, 0,
                               hostile ? anyBits() : realistic(0.05f), 0, 0,
                               hostile ? anyBits() : realistic(0.05f), 0, 0};
            *expected = *batch;
            kernel(*batch);
            scalar(*expected);
            for (int32_t lane = 0; lane < batch->count; ++lane) {
                const int32_t n = batch->n[lane], runs = n / 16, rest = n % 16;
                for (int32_t k = 0; k <= runs; ++k) {
                    ASSERT_EQ(batch->u[k][lane], expected->u[k][lane]) << int(kind) << " " << i;
                    ASSERT_EQ(batch->v[k][lane], expected->v[k][lane]) << int(kind) << " " << i;
                    if (k == runs) continue;
                    ASSERT_EQ(batch->du[k][lane], expected->du[k][lane]) << int(kind) << " " << i;
                    ASSERT_EQ(batch->dv[k][lane], expected->dv[k][lane]) << int(kind) << " " << i;
                }
                if (rest > 0) {
                    ASSERT_EQ(batch->tailDu[lane], expected->tailDu[lane]) << int(kind) << " " << i;
                    ASSERT_EQ(batch->tailDv[lane], expected->tailDv[lane]) << int(kind) << " " << i;
                }
                if (hostile) continue;
                const GradientSet& g = ScreenGradients;
                const double x0 = batch->x0[lane];
                std::vector<uint32_t> span(n, 0u), runsDrawn(n, 0u);
                DrawSpan(n, float(x0 * g.uzdx + batch->rowUz[lane]), float(x0 * g.vzdx + batch->rowVz[lane]),
                         float(x0 * g.izdx + batch->rowIz[lane]), span.data());
                for (int32_t k = 0; k * 16 < n; ++k) {
                    const int32_t length = k < runs ? 16 : rest;
                    const int32_t u = batch->u[k][lane], v = batch->v[k][lane];
                    const int32_t du = k < runs ? batch->du[k][lane] : batch->tailDu[lane];
                    const int32_t dv = k < runs ? batch->dv[k][lane] : batch->tailDv[lane];
                    DrawTexelRun(u, v, du, dv, &runsDrawn[size_t(k) * 16], &runsDrawn[size_t(k) * 16] + length);
                }
                ASSERT_EQ(runsDrawn, span) << int(kind) << " case " << i << " lane " << lane;
            }
        }
    }
    EXPECT_GE(kinds, 1);
}

} // namespace
