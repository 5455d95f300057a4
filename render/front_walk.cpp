// The front-to-back walk: the painter's walk reversed (and each node's polygons in reverse
// order), drawing only pixels that no polygon drawn earlier in this walk has covered, so
// that each pixel is written once, with the value of the last polygon the painter's walk
// would have drawn there. Subtrees and groups of a node's polygons whose box lies wholly
// outside a frustum side plane or nearer than NearDepth, or whose projected box falls only
// on covered pixels, are skipped; the walk ends once every writable pixel is covered.
//
// Every test that skips work is conservative: its margin exceeds the float rounding of
// the camera-space coordinates the painter's walk computes, so nothing it would draw is
// lost. Vertices are transformed once per frame, bit-identical to TransformVertex: one by
// one as the walk meets them, or all at once where the last frame needed many.
#include "render/front_walk.h"

#include <algorithm>
#include <cmath>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "geometry/projection.h"
#include "render/counters.h"
#include "render/coverage.h"
#include "render/pipeline.h"
#include "render/raster.h"
#include "render/render.h"
#include "render/scene_cache.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

// Relative bound on the painter's rounding of camera-space values (each is a float rounded
// once, 2^-24, then clipped through at most four passes in double), more than ten times
// over.
constexpr double RoundingBound = 1e-5;
// Extra pixels around a projected box: the 16.16 edge stepping and the fill rule's
// neighbours.
constexpr double ScreenSlack = 2.0;
// A projected box whose rounding bound exceeds this many pixels is not worth testing.
constexpr double MaxScreenError = 64.0;

// The projected-box test pays where the walk meets covered pixels, as behind the walls of a
// room, and is wasted where little hides anything, as among scattered objects. Each test
// that finds nothing covered spends a credit and each that culls earns CoverCreditEarned,
// up to CoverCreditLimit; without credit only every CoverSampleEvery-th box is projected,
// which keeps finding out whether the tests pay again. The credit carries over from frame
// to frame, so that a frame starts as the last one ended. It only decides which
// conservative tests run: the pixels stay the same.
constexpr int32_t CoverCreditStart = 16;
constexpr int32_t CoverCreditEarned = 16;
constexpr int32_t CoverCreditLimit = 256;
constexpr uint32_t CoverSampleEvery = 8;

constexpr int PlaneCount = 4;
constexpr uint32_t AllPlanes = (1u << PlaneCount) - 1;

struct WalkState {
    MapRenderCache* cache;
    uint32_t* frameBuffer;
    Point3 camera;
    bool cull; // the view is finite: boxes may be tested
    // Map-space forms of the four frustum planes and of the depth z: s(p) = p . w + c.
    double w[PlaneCount + 1][3];
    double c[PlaneCount + 1];
    double normalSum[PlaneCount + 1][3]; // |n| of each plane, for the margins
    double absLinear[3][3];              // |V[4j + i]|, row j = map axis, column i
    double absTranslation[3];
    int32_t coverCredit = CoverCreditStart;
    uint32_t coverSkipped = 0; // boxes not projected since the last one that was
};
WalkState Walk;

// Whether the next box's projection would be tested against the coverage (see
// CoverCreditStart); false counts the box as skipped. A box that only this test could skip
// is not read at all when it says false.
bool CoverTestMayBeDue() {
    if (Walk.coverCredit > 0 || Walk.coverSkipped + 1 >= CoverSampleEvery) return true;
    ++Walk.coverSkipped;
    return false;
}
// Whether this box's projection is to be tested against the coverage.
bool CoverTestDue() {
    if (!CoverTestMayBeDue()) return false;
    Walk.coverSkipped = 0;
    return true;
}
// Books a projected box's verdict against the credit.
void CountCoverTest(bool covered) {
    Walk.coverCredit = covered ? std::min(Walk.coverCredit + CoverCreditEarned, CoverCreditLimit)
                               : Walk.coverCredit - 1;
}

bool ViewIsFinite() {
    for (float e : ViewMatrix.m)
        if (!std::isfinite(e)) return false;
    for (const Plane& p : FrustumPlanes)
        if (!std::isfinite(p.a) || !std::isfinite(p.b) || !std::isfinite(p.c) ||
            !std::isfinite(p.d))
            return false;
    return std::isfinite(FocalLength);
}

void SetUpPlanes() {
    const float* m = ViewMatrix.m;
    for (int k = 0; k <= PlaneCount; ++k) {
        const double n[3] = {k < PlaneCount ? double(FrustumPlanes[k].a) : 0.0,
                             k < PlaneCount ? double(FrustumPlanes[k].b) : 0.0,
                             k < PlaneCount ? double(FrustumPlanes[k].c) : 1.0};
        const double d = k < PlaneCount ? double(FrustumPlanes[k].d) : 0.0;
        for (int j = 0; j < 3; ++j)
            Walk.w[k][j] = n[0] * m[4 * j] + n[1] * m[4 * j + 1] + n[2] * m[4 * j + 2];
        Walk.c[k] = n[0] * m[12] + n[1] * m[13] + n[2] * m[14] + d;
        for (int i = 0; i < 3; ++i)
            Walk.normalSum[k][i] = std::fabs(n[i]);
    }
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            Walk.absLinear[j][i] = std::fabs(double(m[4 * j + i]));
    for (int i = 0; i < 3; ++i)
        Walk.absTranslation[i] = std::fabs(double(m[12 + i]));
}

// Whether the box (of a node's subtree or of a group of polygons) can hold a pixel of the
// frame: false when it lies wholly outside one of the planes still in `planes` (clearing the
// planes it lies wholly inside) or wholly nearer than NearDepth, or, with `onCoverage`, when
// its projection lands only on covered pixels.
template <typename Box> bool BoxMayShow(const Box& node, uint32_t& planes, bool onCoverage) {
    // Bound on each camera-space coordinate of any point of the box.
    double extent[3];
    for (int j = 0; j < 3; ++j)
        extent[j] = std::max(std::fabs(double(node.lo[j])), std::fabs(double(node.hi[j])));
    double bound[3];
    for (int i = 0; i < 3; ++i)
        bound[i] = Walk.absLinear[0][i] * extent[0] + Walk.absLinear[1][i] * extent[1] +
                   Walk.absLinear[2][i] * extent[2] + Walk.absTranslation[i];

    double lowest[PlaneCount + 1], highest[PlaneCount + 1], margin[PlaneCount + 1];
    for (int k = 0; k <= PlaneCount; ++k) {
        if (k < PlaneCount && !(planes & (1u << k))) continue;
        double lo = Walk.c[k], hi = Walk.c[k];
        for (int j = 0; j < 3; ++j) {
            const double a = Walk.w[k][j] * node.lo[j], b = Walk.w[k][j] * node.hi[j];
            lo += std::min(a, b);
            hi += std::max(a, b);
        }
        margin[k] = RoundingBound * (Walk.normalSum[k][0] * bound[0] +
                                     Walk.normalSum[k][1] * bound[1] +
                                     Walk.normalSum[k][2] * bound[2]) +
                    1e-30;
        lowest[k] = lo;
        highest[k] = hi;
        if (k < PlaneCount) {
            if (hi + margin[k] < 0.0) return false;       // every vertex strictly outside
            if (lo - margin[k] > 0.0) planes &= ~(1u << k); // every vertex inside
        }
    }
    const double zMax = highest[PlaneCount], zMin = lowest[PlaneCount];
    const double zMargin = margin[PlaneCount];
    if (zMax + zMargin < NearDepth) return false; // every vertex too near: dropped

    // The projected box, for the coverage test; only a box wholly in front projects.
    if (!onCoverage || zMin - zMargin < NearDepth || !CoverTestDue()) return true;
    // A projected coordinate F x / z moves by at most F (dx / z + |x| dz / z^2) when x and
    // z move by dx and dz.
    const double focal = FocalLength;
    const double zLow = zMin - zMargin;
    const double dz = RoundingBound * bound[2];
    const double screenError =
        focal * (RoundingBound * std::max(bound[0], bound[1]) / zLow +
                 std::max(bound[0], bound[1]) * dz / (zLow * zLow));
    if (!(screenError < MaxScreenError)) return true;
    const float* m = ViewMatrix.m;
    double xMin = 1e300, xMax = -1e300, yMin = 1e300, yMax = -1e300;
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {corner & 1 ? node.hi[0] : node.lo[0], corner & 2 ? node.hi[1] : node.lo[1],
                             corner & 4 ? node.hi[2] : node.lo[2]};
        const double x = p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12];
        const double y = p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13];
        const double z = p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14];
        const double sx = focal * x / z, sy = focal * y / z;
        xMin = std::min(xMin, sx);
        xMax = std::max(xMax, sx);
        yMin = std::min(yMin, sy);
        yMax = std::max(yMax, sy);
    }
    const double slack = screenError + ScreenSlack;
    const double halfWidth = ViewWidth / 2, halfHeight = ViewHeight / 2;
    const double limit = 1e9;
    const double x0 = std::clamp(std::floor(xMin + halfWidth - slack), -limit, limit);
    const double x1 = std::clamp(std::ceil(xMax + halfWidth + slack), -limit, limit);
    const double y0 = std::clamp(std::floor(yMin + halfHeight - slack), -limit, limit);
    const double y1 = std::clamp(std::ceil(yMax + halfHeight + slack), -limit, limit);
    const bool covered = RectCovered(int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1));
    CountCoverTest(covered);
    return !covered;
}

const CachedVertex& FetchVertex(int32_t index) {
    MapRenderCache& cache = *Walk.cache;
    CachedVertex& out = cache.vertices[index];
    if (out.frame == cache.frame) return out;
    out.frame = cache.frame;
    TransformPosition(cache.positions[index], out.x, out.y, out.z);
    uint32_t sides = 0;
    const Point3 p{out.x, out.y, out.z};
    for (int k = 0; k < PlaneCount; ++k) {
        // As ClipToFrustum classifies: a NaN distance counts as on the plane.
        const double s = PlaneDistance(FrustumPlanes[k], p);
        if (!(s < 0.0)) sides |= 1u << k;
        if (!(s > 0.0)) sides |= 1u << (4 + k);
    }
    out.sides = sides;
    out.sx = ProjectToScreen(out.x, out.z, ViewWidth / 2);
    out.sy = ProjectToScreen(out.y, out.z, ViewHeight / 2);
    return out;
}

#if defined(__x86_64__) || defined(__i386__)
// FetchVertex for every vertex of the cache, eight at a time in AVX-512: the same operations
// in double on the same values, each rounded to float where FetchVertex rounds it. When a
// view needs many of a map's vertices (a hall full of statues), this costs less than
// transforming them one by one as the walk meets them. (GCC 12's conversion intrinsics start
// from an uninitialized vector that their all-ones mask overwrites; it warns about them.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__ // clang has no such warning and would warn about the name
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void TransformAllAvx512(MapRenderCache& cache) {
    const float* m = ViewMatrix.m;
    __m512d row[4][3];
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 3; ++i)
            row[j][i] = _mm512_set1_pd(double(m[4 * j + i]));
    __m512d plane[PlaneCount][4];
    for (int k = 0; k < PlaneCount; ++k) {
        const Plane& f = FrustumPlanes[k];
        plane[k][0] = _mm512_set1_pd(double(f.a));
        plane[k][1] = _mm512_set1_pd(double(f.b));
        plane[k][2] = _mm512_set1_pd(double(f.c));
        plane[k][3] = _mm512_set1_pd(double(f.d));
    }
    const __m512d focal = _mm512_set1_pd(double(FocalLength));
    const __m512d halfWidth = _mm512_set1_pd(double(ViewWidth / 2));
    const __m512d halfHeight = _mm512_set1_pd(double(ViewHeight / 2));
    const __m512d zero = _mm512_setzero_pd();
    const Point3* positions = cache.positions.get();
    CachedVertex* vertices = cache.vertices.get();
    static_assert(sizeof(Point3) == 3 * sizeof(float) && sizeof(CachedVertex) == 32);
    // Picking x, y and z out of eight positions' 24 floats.
    const __m512i pickX = _mm512_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i pickY = _mm512_add_epi32(pickX, _mm512_set1_epi32(1));
    const __m512i pickZ = _mm512_add_epi32(pickX, _mm512_set1_epi32(2));
    const __m256 frame = _mm256_castsi256_ps(_mm256_set1_epi32(int32_t(cache.frame)));
    for (int32_t first = 0; first < cache.vertexCount; first += 8) {
        const int32_t count = std::min(8, cache.vertexCount - first);
        const float* from = &positions[first].x;
        const int32_t floats = 3 * count;
        const __m512 low = _mm512_maskz_loadu_ps(__mmask16(floats >= 16 ? 0xFFFF : (1u << floats) - 1), from);
        const __m512 high = _mm512_maskz_loadu_ps(__mmask16(floats > 16 ? (1u << (floats - 16)) - 1 : 0), from + 16);
        const __m512d x = _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(low, pickX, high)));
        const __m512d y = _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(low, pickY, high)));
        const __m512d z = _mm512_cvtps_pd(_mm512_castps512_ps256(_mm512_permutex2var_ps(low, pickZ, high)));
        __m256 camera[3];
        for (int i = 0; i < 3; ++i)
            camera[i] = _mm512_cvtpd_ps(_mm512_add_pd(
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(x, row[0][i]), _mm512_mul_pd(y, row[1][i])),
                              _mm512_mul_pd(z, row[2][i])),
                row[3][i]));
        const __m512d cx = _mm512_cvtps_pd(camera[0]), cy = _mm512_cvtps_pd(camera[1]),
                      cz = _mm512_cvtps_pd(camera[2]);
        __m512i sides = _mm512_setzero_si512();
        for (int k = 0; k < PlaneCount; ++k) {
            const __m512d s = _mm512_add_pd(
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(plane[k][0], cx), _mm512_mul_pd(plane[k][1], cy)),
                              _mm512_mul_pd(plane[k][2], cz)),
                plane[k][3]);
            // As ClipToFrustum classifies: a NaN distance counts as on the plane.
            sides = _mm512_mask_or_epi32(sides, _mm512_cmp_pd_mask(s, zero, _CMP_NLT_UQ), sides,
                                         _mm512_set1_epi32(1 << k));
            sides = _mm512_mask_or_epi32(sides, _mm512_cmp_pd_mask(s, zero, _CMP_NGT_UQ), sides,
                                         _mm512_set1_epi32(1 << (4 + k)));
        }
        const __m256 sx = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_div_pd(_mm512_mul_pd(focal, cx), cz), halfWidth));
        const __m256 sy = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_div_pd(_mm512_mul_pd(focal, cy), cz), halfHeight));
        // Eight values of eight vertices turned into eight records: x, y, z, sides, sx, sy,
        // frame and the padding.
        const __m256 fields[8] = {camera[0], camera[1], camera[2],
                                  _mm256_castsi256_ps(_mm512_castsi512_si256(sides)),
                                  sx, sy, frame, _mm256_setzero_ps()};
        const __m256 t0 = _mm256_unpacklo_ps(fields[0], fields[1]), t1 = _mm256_unpackhi_ps(fields[0], fields[1]);
        const __m256 t2 = _mm256_unpacklo_ps(fields[2], fields[3]), t3 = _mm256_unpackhi_ps(fields[2], fields[3]);
        const __m256 t4 = _mm256_unpacklo_ps(fields[4], fields[5]), t5 = _mm256_unpackhi_ps(fields[4], fields[5]);
        const __m256 t6 = _mm256_unpacklo_ps(fields[6], fields[7]), t7 = _mm256_unpackhi_ps(fields[6], fields[7]);
        const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
        const __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
        const __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
        const __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
        const __m256 records[8] = {
            _mm256_permute2f128_ps(s0, s4, 0x20), _mm256_permute2f128_ps(s1, s5, 0x20),
            _mm256_permute2f128_ps(s2, s6, 0x20), _mm256_permute2f128_ps(s3, s7, 0x20),
            _mm256_permute2f128_ps(s0, s4, 0x31), _mm256_permute2f128_ps(s1, s5, 0x31),
            _mm256_permute2f128_ps(s2, s6, 0x31), _mm256_permute2f128_ps(s3, s7, 0x31)};
        float* to = &vertices[first].x;
        // A whole batch with a constant count: GCC otherwise copies the records through the
        // stack with a string move.
        if (count == 8) {
            for (int32_t j = 0; j < 8; ++j)
                _mm256_storeu_ps(to + 8 * j, records[j]);
        } else {
            for (int32_t j = 0; j < count; ++j)
                _mm256_storeu_ps(to + 8 * j, records[j]);
        }
    }
}
#pragma GCC diagnostic pop
#endif

// The vertex with x and y given: camera space, or on the screen.
ClipVertex MakeClipVertex(const CachedVertex& v, float x, float y, const TexelCoords& t) {
    ClipVertex out;
    out.x = x;
    out.y = y;
    out.z = v.z;
    out.u = t.u;
    out.v = t.v;
    out.reserved[0] = out.reserved[1] = out.reserved[2] = 0.0f;
    return out;
}

// Floor and ceil of a float of magnitude below 2^23 as integers, through the truncating
// conversion: the program is built for processors without a rounding instruction, where
// std::floor and std::ceil take twice the instructions.
inline int32_t FloorOf(float a) {
    const int32_t k = int32_t(a);
    return k - int32_t(float(k) > a);
}
inline int32_t CeilOf(float a) {
    const int32_t k = int32_t(a);
    return k + int32_t(float(k) < a);
}

// The rows and columns a projected convex polygon can write, from its extent on the screen,
// and false where that is in doubt (beyond 4096 pixels, taller than MaxReachRows rows, or
// NaN). The rasterizer writes pixel (px, py) only on a row from ceil of the top up to before
// ceil of the bottom, and only where xl < px <= xr for its edges' 16.16 positions on that
// row. Those lie on the polygon's own edges up to a truncation, and one more for each row
// stepped (with screen coordinates below 4096 an edge over two rows or more is steeper than
// 1 / 8192, so its step fits): over at most MaxReachRows rows, less than half of
// ReachMargin off. So every pixel written lies within ReachMargin sideways of the polygon,
// in the columns from floor(left - ReachMargin) + 1 to floor(right + ReachMargin) of its
// rows. Either range may be empty: the polygon then writes nothing.
constexpr float ReachMargin = 1.0f / 64; // pixels
constexpr int32_t MaxReachRows = 512;
struct PixelReach {
    int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0; // inclusive; no columns are found for no row
    bool Empty() const { return x0 > x1 || y0 > y1; }
};
inline bool FindReach(float xMin, float xMax, float yMin, float yMax, PixelReach& reach) {
    constexpr float Limit = 4096.0f;
    if (!(xMin > -Limit && xMax < Limit && yMin > -Limit && yMax < Limit)) return false;
    reach.y0 = CeilOf(yMin), reach.y1 = CeilOf(yMax) - 1;
    if (reach.y1 - reach.y0 >= MaxReachRows) return false;
    if (reach.y0 > reach.y1) return true; // no row, as for most of distant detail: no columns needed
    reach.x0 = FloorOf(xMin - ReachMargin) + 1, reach.x1 = FloorOf(xMax + ReachMargin);
    return true;
}

// Whether the clipped and projected polygon can write no open pixel.
bool OnCoveredPixelsOnly(const ClipPolygon& polygon) {
    float xMin = polygon.vertices[0].x, xMax = xMin;
    float yMin = polygon.vertices[0].y, yMax = yMin;
    for (int32_t i = 1; i < polygon.count; ++i) {
        xMin = std::min(xMin, polygon.vertices[i].x);
        xMax = std::max(xMax, polygon.vertices[i].x);
        yMin = std::min(yMin, polygon.vertices[i].y);
        yMax = std::max(yMax, polygon.vertices[i].y);
    }
    PixelReach r;
    return FindReach(xMin, xMax, yMin, yMax, r) && (r.Empty() || RectCovered(r.x0, r.y0, r.x1, r.y1));
}

// TriangleWritesNothing (render/front_walk.h), from the triangle's reach. For a small one
// each open pixel of its reach is out when the stretch of ReachMargin either side of it lies
// beyond one of the three edges, by more than the rounding of edge functions in double
// (exact to about 1e-8 here); a triangle of less area than that has an inside in doubt and
// is only tested as a whole.
inline bool WritesNothing(const float (&x)[3], const float (&y)[3]) {
    constexpr double Rounding = 1e-6;
    PixelReach r;
    if (!FindReach(std::min({x[0], x[1], x[2]}), std::max({x[0], x[1], x[2]}),
                   std::min({y[0], y[1], y[2]}), std::max({y[0], y[1], y[2]}), r))
        return false;
    if (r.Empty()) return true; // between two rows or columns: most of distant detail
    if ((r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1) > SmallTrianglePixels)
        return RectCovered(r.x0, r.y0, r.x1, r.y1);

    struct Edge {
        double x, y, dx, dy, beyond;
    };
    const auto edge = [&](int from, int to) {
        const double dx = double(x[to]) - x[from], dy = double(y[to]) - y[from];
        return Edge{x[from], y[from], dx, dy, ReachMargin * std::fabs(dy) + Rounding};
    };
    const Edge e0 = edge(0, 1), e1 = edge(1, 2), e2 = edge(2, 0);
    // Twice the area: every edge function has its sign inside the triangle.
    const double area = (double(x[2]) - x[0]) * e0.dy - (double(y[2]) - y[0]) * e0.dx;
    if (!(std::fabs(area) > Rounding)) return RectCovered(r.x0, r.y0, r.x1, r.y1);
    const double inside = area > 0 ? 1.0 : -1.0;
    const auto beyond = [inside](const Edge& e, double px, double py) {
        return inside * ((px - e.x) * e.dy - (py - e.y) * e.dx) < -e.beyond;
    };
    for (int32_t py = std::max(r.y0, 0); py <= std::min(r.y1, ViewHeight - 1); ++py) {
        const uint64_t* row = CoverageRow(py);
        for (int32_t px = std::max(r.x0, 0); px <= std::min(r.x1, ViewWidth - 1); ++px) {
            if ((row[px >> 6] >> (px & 63)) & 1) continue;
            if (!(beyond(e0, px, py) || beyond(e1, px, py) || beyond(e2, px, py))) return false;
        }
    }
    return true;
}

// DrawMapPolygon for the front-to-back walk; the back-face test is the caller's.
void DrawCachedPolygon(const CachedPolygon& polygon) {
    Walk.cache->vertexFetches += 3;
    const CachedVertex& a = FetchVertex(polygon.vertex[0]);
    const CachedVertex& b = FetchVertex(polygon.vertex[1]);
    const CachedVertex& c = FetchVertex(polygon.vertex[2]);
    // ClipToFrustum's verdicts from the vertices' sides.
    const uint32_t all = a.sides & b.sides & c.sides;
    const uint32_t keep = all & AllPlanes;
    const uint32_t outside = (all >> 4) & AllPlanes;
    if (outside & ~keep) return; // rejected by a plane

    const TexelCoords* texels = Walk.cache->texels.get();
    const TexelCoords& ta = texels[polygon.vertex[0]];
    const TexelCoords& tb = texels[polygon.vertex[1]];
    const TexelCoords& tc = texels[polygon.vertex[2]];
    ClipPolygon clipped;
    if (keep == AllPlanes) {
        // Nothing to clip: the vertices' own projections, and ProjectPolygon's near test.
        if (a.z < NearDepth || b.z < NearDepth || c.z < NearDepth) return;
        const float sx[3] = {a.sx, b.sx, c.sx}, sy[3] = {a.sy, b.sy, c.sy};
        if (WritesNothing(sx, sy)) return;
        clipped.count = 3;
        clipped.vertices[0] = MakeClipVertex(a, a.sx, a.sy, ta);
        clipped.vertices[1] = MakeClipVertex(b, b.sx, b.sy, tb);
        clipped.vertices[2] = MakeClipVertex(c, c.sx, c.sy, tc);
    } else {
        clipped = ClipToFrustum(MakeClipVertex(a, a.x, a.y, ta), MakeClipVertex(b, b.x, b.y, tb),
                                MakeClipVertex(c, c.x, c.y, tc), FrustumPlanes);
        if (clipped.count < 3) return;
        if (!ProjectPolygon(clipped)) return;
        if (OnCoveredPixelsOnly(clipped)) return;
    }

    const CachedTexture& slot = Walk.cache->textures[polygon.texture];
    const Texture& texture = *slot.texture;
    TextureBinding.texels = texture.pixels.get();
    TextureBinding.uMask = texture.uMask;
    TextureBinding.vMask = texture.vMask;
    TextureBinding.vShift = texture.vShift;
    const PaddedTexture* padded = slot.padded;
    TextureBinding.paddedRows = padded ? padded->rows.get() : nullptr;
    TextureBinding.rowPitch = padded ? padded->pitch : 0;
    TextureBinding.rowMask = padded ? padded->rowMask : 0;
    ++RenderCount.polygonsRasterized;
    RasterizePolygonCovered(clipped, Walk.frameBuffer);
}

// `planes`: the frustum planes the node's box does not lie wholly inside; `distance`: the
// camera's from the node's plane.
void DrawNodePolygonsReversed(int32_t index, const CachedNode& node, uint32_t planes,
                              double distance) {
    if (node.drawableCount == 0) return;
    const CachedPolygon* polygons = Walk.cache->polygons.get();
    const Plane* polygonPlanes = Walk.cache->planes.get();
    // Bit-identical planes give one back-face verdict for all of the node's polygons, the
    // node's own distance where they are on its plane.
    if (node.sharedPlane &&
        (node.polygonsOnPlane ? distance
                              : PlaneDistance(polygonPlanes[node.firstPolygon], Walk.camera)) >
            BackFaceThreshold) {
        // All of them face away: counted as the painter's walk counts them, and skipped.
        RenderCount.polygonsVisited += node.drawableCount;
        RenderCount.polygonsFacingAway += node.drawableCount;
        return;
    }
    // Polygons first .. first + count - 1, last first; false once the coverage is complete.
    const auto drawReversed = [&](int32_t first, int32_t count) {
        for (int32_t i = first + count - 1; i >= first; --i) {
            const CachedPolygon& polygon = polygons[i];
            if (polygon.texture < 0) continue;
            ++RenderCount.polygonsVisited;
            if (!node.sharedPlane &&
                PlaneDistance(polygonPlanes[i], Walk.camera) > BackFaceThreshold) {
                ++RenderCount.polygonsFacingAway;
                continue;
            }
            DrawCachedPolygon(polygon);
            if (CoverageComplete()) return false;
        }
        return true;
    };
    if (node.ungroupedPolygons > 0) {
        drawReversed(node.firstPolygon, node.ungroupedPolygons);
        return;
    }
    const CachedNodeBox& box = Walk.cache->nodeBoxes[index];
    for (int32_t g = box.firstGroup + box.groupCount - 1; g >= box.firstGroup; --g) {
        const CachedGroup& group = Walk.cache->groups[g];
        if (!group.hasBox) continue; // nothing drawable
        uint32_t groupPlanes = planes;
        if (Walk.cull && group.worthTesting && !BoxMayShow(group, groupPlanes, true))
            continue;
        if (!drawReversed(group.firstPolygon, group.polygonCount)) return;
    }
}

void WalkNode(int32_t index, uint32_t planes) {
    const CachedNode& node = Walk.cache->nodes[index];
    if (!node.hasBox) return; // nothing drawable below
    // A box inside every side plane can still be dropped by the near test, which its
    // polygons' own near test repeats: it is read only for a coverage test, where the
    // subtree is big enough for one and one is due.
    if (Walk.cull && (planes != 0 || (node.worthCoverTest && CoverTestMayBeDue())) &&
        !BoxMayShow(Walk.cache->nodeBoxes[index], planes, node.worthCoverTest))
        return;

    const double dist = PlaneDistance(node.plane, Walk.camera);
    if (dist > BspPlaneBand) {
        if (node.hasFront) WalkNode(index + 1, planes);
        if (CoverageComplete()) return;
        DrawNodePolygonsReversed(index, node, planes, dist);
        if (CoverageComplete()) return;
        if (node.back >= 0) WalkNode(node.back, planes);
    } else if (dist < -BspPlaneBand) {
        if (node.back >= 0) WalkNode(node.back, planes);
        if (CoverageComplete()) return;
        DrawNodePolygonsReversed(index, node, planes, dist);
        if (CoverageComplete()) return;
        if (node.hasFront) WalkNode(index + 1, planes);
    } else {
        if (node.hasFront) WalkNode(index + 1, planes);
        if (CoverageComplete()) return;
        if (node.back >= 0) WalkNode(node.back, planes);
    }
}

} // namespace

bool TriangleWritesNothing(const float (&x)[3], const float (&y)[3]) {
    return WritesNothing(x, y);
}

bool DrawSceneFrontToBack(const Map& map, uint32_t* frameBuffer) {
    MapRenderCache* cache = map.renderCache.get();
    if (!cache || !frameBuffer || cache->nodeCount == 0) return false;
    // The walk's early stop relies on every polygon's pixels lying inside the writable set.
    const CachedNodeBox& root = cache->nodeBoxes[0];
    const float extent[3] = {std::max(std::fabs(root.lo[0]), std::fabs(root.hi[0])),
                             std::max(std::fabs(root.lo[1]), std::fabs(root.hi[1])),
                             std::max(std::fabs(root.lo[2]), std::fabs(root.hi[2]))};
    if (cache->nodes[0].hasBox && !ViewKeepsMargin(extent)) return false;
    if (!BeginCoverage(ViewWidth, ViewHeight)) return false;
    if (++cache->frame == 0) {
        // After 2^32 frames the numbers wrap: forget every vertex once.
        for (int32_t i = 0; i < cache->vertexCount; ++i)
            cache->vertices[i].frame = 0;
        cache->frame = 1;
    }
    Walk.cache = cache;
    Walk.frameBuffer = frameBuffer;
    Walk.camera = CameraPosition();
    Walk.cull = ViewIsFinite();
    if (Walk.cull) SetUpPlanes();
#if defined(__x86_64__) || defined(__i386__)
    // When the last frame fetched vertices at least half as often as the map has them,
    // enough are needed again that transforming all at once costs less.
    static const bool wide = __builtin_cpu_supports("avx512f");
    if (wide && 2 * cache->vertexFetches >= cache->vertexCount) TransformAllAvx512(*cache);
#endif
    cache->vertexFetches = 0;
    if (!CoverageComplete()) WalkNode(0, AllPlanes);
    return true;
}
