#include "render/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "geometry/projection.h"
#include "render/counters.h"
#include "render/coverage.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

TexelSource TextureBinding;
EdgeChain LeftChain;
EdgeChain RightChain;
GradientSet ScreenGradients;

namespace {

constexpr double FixedOne = 65536.0; // 1.0 in 16.16
constexpr int32_t RunLength = 16;    // pixels between two perspective divisions
constexpr int32_t RowWindowStep = 65536; // a texel a pixel: the most a run read from windows steps
// Start values of the top and bottom search: any screen y replaces them.
constexpr float TopSearchStart = 65536.0f;
constexpr float BottomSearchStart = -65536.0f;

// 16.16 positions and texture coordinates wrap modulo 2^32 by design.
inline int32_t WrapAdd(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

int32_t CeilToInt32(float a) {
    return TruncToInt32(std::ceil(double(a)));
}

} // namespace

int32_t TruncToInt32(double a) {
#if defined(__x86_64__)
    // The instruction gives 0x8000000000000000 for a NaN or a value out of range, whose
    // low 32 bits are the 0 asked for; -2^63 itself gives the same.
    return int32_t(uint32_t(uint64_t(_mm_cvttsd_si64(_mm_set_sd(a)))));
#else
    constexpr double Limit = 9223372036854775808.0; // 2^63
    if (!(a >= -Limit && a < Limit)) return 0;
    return int32_t(uint32_t(uint64_t(int64_t(a))));
#endif
}

bool SetupScanEdge(const ClipVertex& upper, const ClipVertex& lower, ScanEdge& out) {
    // ceil of a float is itself a float, so holding it as one loses nothing.
    const float firstY = float(std::ceil(double(upper.y)));
    const int32_t count = TruncToInt32(std::ceil(double(lower.y)) - firstY);
    if (count == 0) return false;
    const double slope = (double(lower.x) - upper.x) / (double(lower.y) - upper.y);
    out.xStep = TruncToInt32(slope * FixedOne);
    out.x = TruncToInt32((upper.x + (double(firstY) - upper.y) * slope) * FixedOne);
    out.firstY = TruncToInt32(firstY);
    out.count = count;
    return true;
}

bool BuildEdgeChains(const ClipPolygon& polygon) {
    LeftChain.count = LeftChain.current = 0;
    RightChain.count = RightChain.current = 0;
    const int32_t n = polygon.count;
    if (n < 0 || n > ClipPolygonCapacity) return false;
    const ClipVertex* p = polygon.vertices;

    // Strict comparisons: among vertices of equal y the lowest index wins.
    float topY = TopSearchStart, bottomY = BottomSearchStart;
    int32_t top = 0, bottom = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (topY > p[i].y) {
            topY = p[i].y;
            top = i;
        }
        if (p[i].y > bottomY) {
            bottomY = p[i].y;
            bottom = i;
        }
    }
    if (CeilToInt32(topY) >= CeilToInt32(bottomY)) return false;

    // The next vertex round the polygon, without a division per step.
    const auto next = [n](int32_t i) { return i + 1 == n ? 0 : i + 1; };
    for (int32_t i = top; i != bottom; i = next(i)) {
        if (SetupScanEdge(p[i], p[next(i)], LeftChain.edges[LeftChain.count]))
            ++LeftChain.count;
    }
    for (int32_t j = bottom; j != top; j = next(j)) {
        if (SetupScanEdge(p[next(j)], p[j], RightChain.edges[RightChain.count]))
            ++RightChain.count;
    }
    // Vertex heights out of order (only rounding in a nearly degenerate polygon does
    // that) give a negative count, which the scanline loop cannot consume.
    if (LeftChain.count == 0 || RightChain.count == 0) return false;
    for (int32_t i = 0; i < LeftChain.count; ++i)
        if (LeftChain.edges[i].count < 0) return false;
    for (int32_t i = 0; i < RightChain.count; ++i)
        if (RightChain.edges[i].count < 0) return false;

    LeftChain.current = 0;
    RightChain.current = RightChain.count - 1;
    return true;
}

namespace {

// Twice the signed area of the first three vertices on the screen, as a float: 0 when
// they are collinear, and the gradients' common divisor.
float GradientDivisor(const ClipVertex* p) {
    const double dx1 = double(p[1].x) - p[0].x, dx2 = double(p[2].x) - p[0].x;
    const double dy1 = double(p[1].y) - p[0].y, dy2 = double(p[2].y) - p[0].y;
    return float(dy2 * dx1 - dy1 * dx2);
}

// ComputeGradients once the divisor is known not to be 0.
void SetGradients(const ClipVertex* p, float d) {
    const double dx1 = double(p[1].x) - p[0].x, dx2 = double(p[2].x) - p[0].x;
    const double dy1 = double(p[1].y) - p[0].y, dy2 = double(p[2].y) - p[0].y;
    double iz[3], uz[3], vz[3];
    for (int k = 0; k < 3; ++k) {
        iz[k] = 1.0 / double(p[k].z);
        uz[k] = double(p[k].u) * iz[k];
        vz[k] = double(p[k].v) * iz[k];
    }
    struct Gradient {
        float dx, dy, origin;
    };
    const auto gradient = [&](const double q[3]) {
        const double dq1 = q[1] - q[0], dq2 = q[2] - q[0];
        Gradient g;
        g.dx = float((dq1 * dy2 - dq2 * dy1) / d);
        g.dy = float((dq2 * dx1 - dq1 * dx2) / d);
        g.origin = float(q[0] - double(g.dx) * p[0].x - double(g.dy) * p[0].y);
        return g;
    };
    const Gradient giz = gradient(iz), guz = gradient(uz), gvz = gradient(vz);
    ScreenGradients = {giz.dx,     giz.dy, giz.origin, guz.dx,    guz.dy,
                       guz.origin, gvz.dx, gvz.dy,     gvz.origin};
}

} // namespace

bool ComputeGradients(const ClipPolygon& polygon) {
    const float d = GradientDivisor(polygon.vertices);
    if (d == 0.0f) return false; // first three vertices collinear on screen
    SetGradients(polygon.vertices, d);
    return true;
}

namespace {

// The scanline loop of the rasterizer, shared by the painter's and the front-to-back walk:
// for each non-empty span, wanted(n, x0, y) says whether to draw it, and if so
// drawSpan(n, rowIz, rowUz, rowVz, x0, y) draws it. Every running value steps here, whether
// or not a span is drawn.
//
// Lazy: the gradients, the polygon's costliest set-up, wait for the first span wanted, and
// the row values then step from the top row to it as they would have stepped all along, so
// that a polygon that draws nothing (smaller than a pixel, or on covered pixels only) never
// computes them. Without Lazy, ScreenGradients is set before the first row.
template <bool Lazy, typename WantFn, typename SpanFn>
bool ScanPolygon(const ClipPolygon& polygon, WantFn&& wanted, SpanFn&& drawSpan) {
    // Fewer than 3 vertices enclose no area; the gradients need three.
    if (polygon.count < 3) return false;
    if (!BuildEdgeChains(polygon)) return false;
    const float divisor = GradientDivisor(polygon.vertices);
    if (divisor == 0.0f) return false; // first three vertices collinear on screen

    const GradientSet& g = ScreenGradients;
    const int32_t width = ViewWidth, height = ViewHeight;
    ScanEdge* left = &LeftChain.edges[LeftChain.current];
    ScanEdge* right = &RightChain.edges[RightChain.current];
    int32_t y = left->firstY;
    // The row values start at rowY from the gradients, then step once a row; until the
    // gradients are set, only the steps are counted.
    bool haveGradients = false;
    int32_t rowY = y, rowSteps = 0;
    float rowIz = 0.0f, rowUz = 0.0f, rowVz = 0.0f;
    const auto startRows = [&] {
        rowIz = float(double(rowY) * g.izdy + g.iz00);
        rowUz = float(double(rowY) * g.uzdy + g.uz00);
        rowVz = float(double(rowY) * g.vzdy + g.vz00);
    };
    const auto stepRows = [&] {
        rowIz = float(double(rowIz) + g.izdy);
        rowUz = float(double(rowUz) + g.uzdy);
        rowVz = float(double(rowVz) + g.vzdy);
    };
    if (!Lazy) {
        SetGradients(polygon.vertices, divisor);
        haveGradients = true;
        startRows();
    }
    int32_t xl = left->x, xr = right->x;

    for (;;) {
        // Rows and spans are kept inside the frame buffer; clipped polygons from the
        // pipeline always lie 2 pixels inside it, so this changes none of their pixels.
        if (y >= height) return true;
        if (y < 0) {
            // Rows above the frame. Only a polygon whose projection outgrew float precision
            // (map coordinates near 1e17) starts there, up to a billion rows up: its edges
            // skip at once to the first row inside or to the next edge, and the row values
            // start afresh there, as for a polygon whose top is that row.
            const int64_t skip = std::min({-int64_t(y), int64_t(left->count) - 1,
                                           int64_t(right->count) - 1});
            if (skip > 0) {
                xl = WrapAdd(xl, int32_t(uint32_t(skip) * uint32_t(left->xStep)));
                xr = WrapAdd(xr, int32_t(uint32_t(skip) * uint32_t(right->xStep)));
                left->count -= int32_t(skip);
                right->count -= int32_t(skip);
                y += int32_t(skip);
                rowY = y;
                rowSteps = 0;
                if (haveGradients) startRows();
                continue;
            }
        }
        if (y >= 0) {
            int32_t x0 = (xl >> 16) + 1;
            int32_t x1 = (xr >> 16) + 1;
            if (x0 < 0) x0 = 0;
            if (x1 > width) x1 = width;
            if (x1 > x0 && wanted(x1 - x0, x0, y)) {
                if (!haveGradients) {
                    SetGradients(polygon.vertices, divisor);
                    haveGradients = true;
                    startRows();
                    for (int32_t k = 0; k < rowSteps; ++k)
                        stepRows();
                }
                drawSpan(x1 - x0, rowIz, rowUz, rowVz, x0, y);
            }
        }
        if (haveGradients)
            stepRows();
        else
            ++rowSteps;
        ++y;

        if (--right->count != 0) {
            xr = WrapAdd(xr, right->xStep);
        } else {
            if (RightChain.current == 0) return true;
            right = &RightChain.edges[--RightChain.current];
            xr = right->x;
        }
        if (--left->count != 0) {
            xl = WrapAdd(xl, left->xStep);
        } else {
            // Both chains end on the same scanline; the test only guards odd input.
            if (LeftChain.current + 1 >= LeftChain.count) return true;
            left = &LeftChain.edges[++LeftChain.current];
            xl = left->x;
        }
    }
}

// a / n truncating toward zero, as the division operator gives it, for n from 1 to 16,
// by a multiplication: with M = ceil(2^35 / n), floor(x M / 2^35) = floor(x / n) for every
// x up to 2^31, since x (M n - 2^35) < 2^35.
constexpr int ReciprocalShift = 35;
constexpr uint64_t Reciprocal(int32_t n) {
    return ((uint64_t(1) << ReciprocalShift) + uint64_t(n) - 1) / uint64_t(n);
}
constexpr uint64_t Reciprocals[RunLength + 1] = {
    0,              Reciprocal(1),  Reciprocal(2),  Reciprocal(3),  Reciprocal(4),  Reciprocal(5),
    Reciprocal(6),  Reciprocal(7),  Reciprocal(8),  Reciprocal(9),  Reciprocal(10), Reciprocal(11),
    Reciprocal(12), Reciprocal(13), Reciprocal(14), Reciprocal(15), Reciprocal(16)};

inline int32_t DivideByRunLength(int32_t a, int32_t n) {
    if (n == 1) return a;
    const uint32_t x = a < 0 ? 0u - uint32_t(a) : uint32_t(a);
    const uint32_t q = uint32_t((unsigned __int128)x * Reciprocals[n] >> ReciprocalShift);
    return a < 0 ? -int32_t(q) : int32_t(q);
}

// DrawTexelRun over the pixels of a run of n (1 to 16) whose bit is set in open: pixel j
// gets the texel of u + j du, v + j dv, wrapping as j additions do.
inline void DrawOpenStretches(int32_t u, int32_t v, int32_t du, int32_t dv, uint32_t* first,
                              uint32_t open) {
    while (open) {
        const int32_t start = std::countr_zero(open);
        const int32_t end = start + std::countr_one(open >> start);
        DrawTexelRun(int32_t(uint32_t(u) + uint32_t(start) * uint32_t(du)),
                     int32_t(uint32_t(v) + uint32_t(start) * uint32_t(dv)), du, dv, first + start,
                     first + end);
        open &= ~((1u << end) - 1u);
    }
}

// The uncovered run drawers below, with the texel source as an argument, so that a caller
// that inlines one may hold the source in registers while it writes pixels.
using RunKernel = void (*)(const TexelSource& t, int32_t u, int32_t v, int32_t du, int32_t dv,
                           uint32_t* first, uint32_t open);

// The run's open pixels, stretch by stretch, through DrawTexelRun, which reads the bound
// texture: every caller passes that binding as the source.
void RunScalar(const TexelSource&, int32_t u, int32_t v, int32_t du, int32_t dv, uint32_t* first,
               uint32_t open) {
    DrawOpenStretches(u, v, du, dv, first, open);
}

#if defined(__x86_64__) || defined(__i386__)
// The same with AVX2 for each group of eight open pixels: eight texel addresses at once and
// one gather; the other pixels as above.
__attribute__((target("avx2"))) void RunAvx2(const TexelSource& t, int32_t u, int32_t v,
                                             int32_t du, int32_t dv, uint32_t* first,
                                             uint32_t open) {
    if ((open & 0xFFu) == 0xFFu || (open >> 8) == 0xFFu) {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i stepU = _mm256_set1_epi32(du), stepV = _mm256_set1_epi32(dv);
        const __m128i vShift = _mm_cvtsi32_si128(t.vShift);
        const __m256i uMask = _mm256_set1_epi32(t.uMask);
        const __m256i vMask = _mm256_set1_epi32(t.vMask);
        const int* texels = reinterpret_cast<const int*>(t.texels);
        for (int32_t group = 0; group < 2; ++group) {
            if (((open >> (8 * group)) & 0xFFu) != 0xFFu) continue;
            const uint32_t at = uint32_t(8 * group);
            const __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(int32_t(uint32_t(u) + at * uint32_t(du))),
                                                _mm256_mullo_epi32(lane, stepU));
            const __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(int32_t(uint32_t(v) + at * uint32_t(dv))),
                                                _mm256_mullo_epi32(lane, stepV));
            const __m256i row = _mm256_and_si256(_mm256_sra_epi32(vv, vShift), vMask);
            const __m256i column = _mm256_and_si256(_mm256_srai_epi32(uu, 16), uMask);
            const __m256i texel = _mm256_i32gather_epi32(texels, _mm256_add_epi32(row, column), 4);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(first + at), texel);
            open &= ~(0xFFu << at);
        }
    }
    DrawOpenStretches(u, v, du, dv, first, open);
}

// With AVX-512 a whole run at once: sixteen addresses, the texels from two windows or one
// gather, and one store masked to the open pixels. (GCC 12's own shift intrinsics start
// from an uninitialized vector that their all-ones mask overwrites; it warns about them.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__ // clang has no such warning and would warn about the name
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void RunAvx512(const TexelSource& t, int32_t u, int32_t v,
                                                  int32_t du, int32_t dv, uint32_t* first,
                                                  uint32_t openBits) {
    const __mmask16 open = __mmask16(openBits);
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i uu = _mm512_add_epi32(_mm512_set1_epi32(u), _mm512_mullo_epi32(lane, _mm512_set1_epi32(du)));
    const __m512i vv = _mm512_add_epi32(_mm512_set1_epi32(v), _mm512_mullo_epi32(lane, _mm512_set1_epi32(dv)));
    // A run that steps at most a texel a pixel both ways, and whose last open pixel's row is
    // its first pixel's or a neighbour (one int32 wrap of v shows as a far row), reads its texels
    // from two 32-texel windows of the padded rows: the columns lie within 15 of the first
    // pixel's, modulo the width, whatever u's wraps, and the rows between are those two.
    const int32_t firstRow = v >> 16;
    const uint32_t last = 31u - uint32_t(__builtin_clz(openBits));
    const int32_t lastRow = int32_t(uint32_t(v) + last * uint32_t(dv)) >> 16;
    __m512i texel;
    if (t.paddedRows && uint32_t(du) + uint32_t(RowWindowStep) <= 2u * RowWindowStep &&
        uint32_t(dv) + uint32_t(RowWindowStep) <= 2u * RowWindowStep &&
        uint32_t(lastRow - firstRow + 1) <= 2u) {
        const int32_t column = (u >> 16) & t.uMask;
        const uint32_t* a = t.paddedRows + size_t(firstRow & t.rowMask) * size_t(t.rowPitch) + column;
        const uint32_t* b = t.paddedRows + size_t(lastRow & t.rowMask) * size_t(t.rowPitch) + column;
        // Window index RowPad + (column of the pixel - column), in 1 .. 31.
        const __m512i index = _mm512_and_si512(
            _mm512_sub_epi32(_mm512_srai_epi32(uu, 16), _mm512_set1_epi32(column - RowPad)),
            _mm512_set1_epi32(t.uMask));
        const __m512i inFirst = _mm512_permutex2var_epi32(_mm512_loadu_si512(a), index, _mm512_loadu_si512(a + 16));
        const __m512i inLast = _mm512_permutex2var_epi32(_mm512_loadu_si512(b), index, _mm512_loadu_si512(b + 16));
        const __mmask16 onLast = _mm512_cmpneq_epi32_mask(_mm512_srai_epi32(vv, 16), _mm512_set1_epi32(firstRow));
        texel = _mm512_mask_blend_epi32(onLast, inFirst, inLast);
    } else {
        const __m512i row = _mm512_and_si512(_mm512_sra_epi32(vv, _mm_cvtsi32_si128(t.vShift)),
                                             _mm512_set1_epi32(t.vMask));
        const __m512i column = _mm512_and_si512(_mm512_srai_epi32(uu, 16), _mm512_set1_epi32(t.uMask));
        // Every lane's index is a texel of the texture, open or not, so the gathers need no
        // mask; a narrower one costs less, and a run's last pixels (a span's partial run) are
        // often the only open ones.
        const __m512i index = _mm512_add_epi32(row, column);
        const int* texels = reinterpret_cast<const int*>(t.texels);
        if (openBits <= 0xFu)
            texel = _mm512_castsi128_si512(_mm_i32gather_epi32(texels, _mm512_castsi512_si128(index), 4));
        else if (openBits <= 0xFFu)
            texel = _mm512_castsi256_si512(_mm256_i32gather_epi32(texels, _mm512_castsi512_si256(index), 4));
        else
            texel = _mm512_i32gather_epi32(index, texels, 4);
    }
    _mm512_mask_storeu_epi32(first, open, texel);
}
#pragma GCC diagnostic pop
#endif

static_assert(MaxSpanRuns * RunLength == MaxCoverageWidth);

// The run boundaries of a batch, span by span, with DrawSpan's own arithmetic.
void FindBoundariesScalar(SpanBatch& b) {
    const GradientSet& g = ScreenGradients;
    for (int32_t lane = 0; lane < b.count; ++lane) {
        const double x0 = b.x0[lane];
        float iz = float(x0 * g.izdx + b.rowIz[lane]);
        float uz = float(x0 * g.uzdx + b.rowUz[lane]);
        float vz = float(x0 * g.vzdx + b.rowVz[lane]);
        double q = FixedOne / iz;
        b.u[0][lane] = TruncToInt32(q * uz);
        b.v[0][lane] = TruncToInt32(q * vz);
        const int32_t runs = b.n[lane] / RunLength, rest = b.n[lane] % RunLength;
        for (int32_t k = 1; k <= runs; ++k) {
            iz = float(double(iz) + RunLength * double(g.izdx));
            uz = float(double(uz) + RunLength * double(g.uzdx));
            vz = float(double(vz) + RunLength * double(g.vzdx));
            q = FixedOne / iz;
            b.u[k][lane] = TruncToInt32(q * uz);
            b.v[k][lane] = TruncToInt32(q * vz);
            // Truncating division, not a shift: -1/16 is 0.
            b.du[k - 1][lane] = WrapSub(b.u[k][lane], b.u[k - 1][lane]) / RunLength;
            b.dv[k - 1][lane] = WrapSub(b.v[k][lane], b.v[k - 1][lane]) / RunLength;
        }
        if (rest > 0) {
            const double r = rest;
            q = FixedOne / (double(iz) + r * g.izdx);
            const int32_t uEnd = TruncToInt32(q * (double(uz) + r * g.uzdx));
            const int32_t vEnd = TruncToInt32(q * (double(vz) + r * g.vzdx));
            b.tailDu[lane] = DivideByRunLength(WrapSub(uEnd, b.u[runs][lane]), rest);
            b.tailDv[lane] = DivideByRunLength(WrapSub(vEnd, b.v[runs][lane]), rest);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same for the eight spans side by side, a lane each, in the same order and precision.
// A lane whose span has fewer full runs stops stepping (its 1/z, u/z and v/z are kept), so
// that its partial run starts from its own last boundary; lanes past the batch's count
// compute whatever their stale values give, and nobody reads it. vcvttpd2qq gives each lane
// what cvttsd2si gives, out of range and NaN included. (GCC 12 warns about its own
// conversion intrinsics, as about the shifts above.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f,avx512dq,avx512vl"))) inline __m256i Truncate(__m512d a) {
    return _mm512_cvtepi64_epi32(_mm512_cvttpd_epi64(a));
}
__attribute__((target("avx512f,avx512dq,avx512vl"))) inline void Store(int32_t (&to)[SpanBatchSize], __m256i a) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), a);
}
// x / 16 truncating toward zero: a negative x is first raised by 15.
__attribute__((target("avx512f,avx512dq,avx512vl"))) inline __m256i RunStep16(__m256i x) {
    return _mm256_srai_epi32(_mm256_add_epi32(x, _mm256_srli_epi32(_mm256_srai_epi32(x, 31), 28)), 4);
}
// 1 / r for a partial run of r pixels (none for 0).
alignas(64) constexpr double TailReciprocals[RunLength] = {
    0.0,     1.0,     1.0 / 2,  1.0 / 3,  1.0 / 4,  1.0 / 5,  1.0 / 6,  1.0 / 7,
    1.0 / 8, 1.0 / 9, 1.0 / 10, 1.0 / 11, 1.0 / 12, 1.0 / 13, 1.0 / 14, 1.0 / 15};
__attribute__((target("avx512f,avx512dq,avx512vl"))) inline __m256i TruncateTailStep(__m512d x,
                                                                                     __m512d reciprocal) {
    const __m512d away = _mm512_or_pd(_mm512_and_pd(x, _mm512_set1_pd(-0.0)), _mm512_set1_pd(0x1p-20));
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(x, reciprocal), away));
}
__attribute__((target("avx512f,avx512dq,avx512vl"))) void FindBoundariesAvx512(SpanBatch& b) {
    const GradientSet& g = ScreenGradients;
    const __m512d fixedOne = _mm512_set1_pd(FixedOne);
    const __m512d izdx = _mm512_set1_pd(g.izdx), uzdx = _mm512_set1_pd(g.uzdx),
                  vzdx = _mm512_set1_pd(g.vzdx);
    const __m512d izRun = _mm512_set1_pd(RunLength * double(g.izdx)),
                  uzRun = _mm512_set1_pd(RunLength * double(g.uzdx)),
                  vzRun = _mm512_set1_pd(RunLength * double(g.vzdx));
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.n));
    const __m512d x0 = _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.x0)));
    __m256 iz = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(x0, izdx), _mm512_cvtps_pd(_mm256_loadu_ps(b.rowIz))));
    __m256 uz = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(x0, uzdx), _mm512_cvtps_pd(_mm256_loadu_ps(b.rowUz))));
    __m256 vz = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(x0, vzdx), _mm512_cvtps_pd(_mm256_loadu_ps(b.rowVz))));
    __m512d q = _mm512_div_pd(fixedOne, _mm512_cvtps_pd(iz));
    // Each lane's coordinates at its last full run's end: where its partial run starts.
    __m256i lastU = Truncate(_mm512_mul_pd(q, _mm512_cvtps_pd(uz)));
    __m256i lastV = Truncate(_mm512_mul_pd(q, _mm512_cvtps_pd(vz)));
    Store(b.u[0], lastU);
    Store(b.v[0], lastV);

    const __m256i runs = _mm256_srli_epi32(n, 4);
    const __m256i counted = _mm256_maskz_mov_epi32(__mmask8((1u << b.count) - 1u), runs);
    __m128i most = _mm_max_epu32(_mm256_castsi256_si128(counted), _mm256_extracti128_si256(counted, 1));
    most = _mm_max_epu32(most, _mm_shuffle_epi32(most, 0x4E));
    most = _mm_max_epu32(most, _mm_shuffle_epi32(most, 0xB1));
    const int32_t mostRuns = _mm_cvtsi128_si32(most);
    for (int32_t k = 1; k <= mostRuns; ++k) {
        const __mmask8 stepping = _mm256_cmpge_epi32_mask(runs, _mm256_set1_epi32(k));
        iz = _mm256_mask_blend_ps(stepping, iz, _mm512_cvtpd_ps(_mm512_add_pd(_mm512_cvtps_pd(iz), izRun)));
        uz = _mm256_mask_blend_ps(stepping, uz, _mm512_cvtpd_ps(_mm512_add_pd(_mm512_cvtps_pd(uz), uzRun)));
        vz = _mm256_mask_blend_ps(stepping, vz, _mm512_cvtpd_ps(_mm512_add_pd(_mm512_cvtps_pd(vz), vzRun)));
        q = _mm512_div_pd(fixedOne, _mm512_cvtps_pd(iz));
        const __m256i u = Truncate(_mm512_mul_pd(q, _mm512_cvtps_pd(uz)));
        const __m256i v = Truncate(_mm512_mul_pd(q, _mm512_cvtps_pd(vz)));
        Store(b.u[k], u);
        Store(b.v[k], v);
        Store(b.du[k - 1], RunStep16(_mm256_sub_epi32(u, lastU)));
        Store(b.dv[k - 1], RunStep16(_mm256_sub_epi32(v, lastV)));
        lastU = _mm256_mask_blend_epi32(stepping, lastU, u);
        lastV = _mm256_mask_blend_epi32(stepping, lastV, v);
    }
    const __m256i rest = _mm256_and_si256(n, _mm256_set1_epi32(RunLength - 1));
    const __m512d r = _mm512_cvtepi32_pd(rest);
    q = _mm512_div_pd(fixedOne, _mm512_add_pd(_mm512_cvtps_pd(iz), _mm512_mul_pd(r, izdx)));
    const __m256i uEnd = Truncate(_mm512_mul_pd(q, _mm512_add_pd(_mm512_cvtps_pd(uz), _mm512_mul_pd(r, uzdx))));
    const __m256i vEnd = Truncate(_mm512_mul_pd(q, _mm512_add_pd(_mm512_cvtps_pd(vz), _mm512_mul_pd(r, vzdx))));
    // The partial run's step, an int32 difference x over its length r of 1 to 15, as the
    // integer division truncates it: x times the rounded 1/r lies within 2^-21 of x / r
    // (|x| <= 2^31, two roundings of 2^-53), and a quotient that is not whole lies at least
    // 1/15 from the integers around it; 2^-20 further from zero lifts a whole one that came
    // out just short of itself, and carries no other past the next integer.
    const __m512d reciprocal = _mm512_permutex2var_pd(_mm512_load_pd(TailReciprocals), _mm512_cvtepi32_epi64(rest),
                                                      _mm512_load_pd(TailReciprocals + 8));
    Store(b.tailDu, TruncateTailStep(_mm512_cvtepi32_pd(_mm256_sub_epi32(uEnd, lastU)), reciprocal));
    Store(b.tailDv, TruncateTailStep(_mm512_cvtepi32_pd(_mm256_sub_epi32(vEnd, lastV)), reciprocal));
}
#pragma GCC diagnostic pop
#endif

// The fastest the CPU offers, chosen once.
SpanBoundaryKernel ChooseBoundaryKernel() {
    const SpanBoundaryKernel wide = SpanBoundaryKernelFor(RunDrawerKind::Avx512);
    return wide ? wide : FindBoundariesScalar;
}
const SpanBoundaryKernel FindSpanBoundaries = ChooseBoundaryKernel();

SpanBatch Batch;

// The batch's spans, pixel by pixel only where the coverage is open: a run wholly covered
// is skipped, and a partly covered one gives each open pixel the texel the whole run gives
// it. A partly covered span is covered here; an open one was when it was found.
// Instantiated once per run drawer, which is inlined: a call per run costs about as much
// as a window's texel fetch.
template <RunKernel Run, SpanBoundaryKernel FindBoundaries>
inline void DrawSpanBatchWith(uint32_t* frameBuffer) {
    FindBoundaries(Batch);
    // A copy: the pixel stores could alias the global, which would be read again after each.
    const TexelSource texels = TextureBinding;
    const auto DrawTexelRunUncovered = [&](int32_t u, int32_t v, int32_t du, int32_t dv,
                                           uint32_t* first, uint32_t open) {
        Run(texels, u, v, du, dv, first, open);
    };
    const auto* u = Batch.u;
    const auto* v = Batch.v;
    const auto* du = Batch.du;
    const auto* dv = Batch.dv;
    const size_t width = size_t(ViewWidth);
    for (int32_t lane = 0; lane < Batch.count; ++lane) {
        const int32_t y = Batch.y[lane], x0 = Batch.x0[lane], n = Batch.n[lane];
        const int32_t runs = n / RunLength, rest = n % RunLength;
        uint32_t* position = frameBuffer + (size_t(y) * width + size_t(x0));
        int32_t written = n;
        if (Batch.open[lane]) {
            // Nothing covered yet: every run whole, with no look at the coverage.
            for (int32_t k = 0; k < runs; ++k, position += RunLength)
                DrawTexelRunUncovered(u[k][lane], v[k][lane], du[k][lane], dv[k][lane], position, 0xFFFFu);
            if (rest > 0)
                DrawTexelRunUncovered(u[runs][lane], v[runs][lane], Batch.tailDu[lane],
                                      Batch.tailDv[lane], position, (1u << rest) - 1u);
        } else {
            const uint64_t* coverage = CoverageRow(y);
            int32_t x = x0;
            for (int32_t k = 0; k < runs; ++k, position += RunLength, x += RunLength) {
                const uint32_t covered = CoveredBits(coverage, x, RunLength);
                if (covered != 0xFFFFu)
                    DrawTexelRunUncovered(u[k][lane], v[k][lane], du[k][lane], dv[k][lane], position,
                                          ~covered & 0xFFFFu);
                written -= BitCount16(covered);
            }
            if (rest > 0) {
                const uint32_t all = (1u << rest) - 1u;
                const uint32_t covered = CoveredBits(coverage, x, rest);
                if (covered != all)
                    DrawTexelRunUncovered(u[runs][lane], v[runs][lane], Batch.tailDu[lane],
                                          Batch.tailDv[lane], position, ~covered & all);
                written -= BitCount16(covered);
            }
        }
        RenderCount.pixelsWritten += written;
        if (!Batch.open[lane]) CoverSpan(y, x0, x0 + n, written); // an open one was claimed
    }
    Batch.count = 0;
}

// The boundary kernel chosen for the CPU, for the rasterizers that do not inline one.
void FindChosenBoundaries(SpanBatch& batch) {
    FindSpanBoundaries(batch);
}

// RasterizePolygonCovered with one kind of run drawer and boundary kernel.
template <RunKernel Run, SpanBoundaryKernel FindBoundaries>
inline bool RasterizeCoveredWith(const ClipPolygon& polygon, uint32_t* frameBuffer) {
    // A polygon has one span a row, so the spans of a batch never share coverage bits.
    Batch.count = 0;
    SpanCoverage coverage = SpanCoverage::Covered;
    const bool drawn = ScanPolygon<true>(
        polygon,
        [&](int32_t n, int32_t x0, int32_t y) {
            coverage = ClaimSpan(y, x0, x0 + n);
            return coverage != SpanCoverage::Covered;
        },
        [&](int32_t n, float rowIz, float rowUz, float rowVz, int32_t x0, int32_t y) {
            const int32_t lane = Batch.count++;
            Batch.n[lane] = n, Batch.x0[lane] = x0, Batch.y[lane] = y;
            Batch.open[lane] = coverage == SpanCoverage::Open;
            Batch.rowIz[lane] = rowIz, Batch.rowUz[lane] = rowUz, Batch.rowVz[lane] = rowVz;
            if (Batch.count == SpanBatchSize) DrawSpanBatchWith<Run, FindBoundaries>(frameBuffer);
        });
    if (Batch.count > 0) DrawSpanBatchWith<Run, FindBoundaries>(frameBuffer);
    return drawn;
}
bool RasterizeCoveredScalar(const ClipPolygon& polygon, uint32_t* frameBuffer) {
    return RasterizeCoveredWith<RunScalar, FindChosenBoundaries>(polygon, frameBuffer);
}
#if defined(__x86_64__) || defined(__i386__)
// The whole polygon in the instruction set of its runs: the scanline loop's coverage masks
// with BMI2's shifts, the batches, their boundary kernel where it has the same instruction
// set, and the run drawer all inlined. flatten: the drawer's instruction set is this
// function's, so it may be inlined here but not into the templates on their own.
__attribute__((target("avx2,bmi,bmi2"), flatten)) bool RasterizeCoveredAvx2(const ClipPolygon& polygon,
                                                                          uint32_t* frameBuffer) {
    return RasterizeCoveredWith<RunAvx2, FindChosenBoundaries>(polygon, frameBuffer);
}
__attribute__((target("avx512f,avx512dq,avx512vl,bmi,bmi2"), flatten)) bool RasterizeCoveredAvx512(
    const ClipPolygon& polygon, uint32_t* frameBuffer) {
    return RasterizeCoveredWith<RunAvx512, FindBoundariesAvx512>(polygon, frameBuffer);
}
#endif

// The one for the fastest run drawer the CPU offers, chosen once.
using CoveredRasterizer = bool (*)(const ClipPolygon& polygon, uint32_t* frameBuffer);
CoveredRasterizer ChooseCoveredRasterizer() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    const bool bmi = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    if (bmi && UncoveredRunDrawerFor(RunDrawerKind::Avx512) && SpanBoundaryKernelFor(RunDrawerKind::Avx512))
        return RasterizeCoveredAvx512;
    if (bmi && UncoveredRunDrawerFor(RunDrawerKind::Avx2)) return RasterizeCoveredAvx2;
#endif
    return RasterizeCoveredScalar;
}
const CoveredRasterizer RasterizeCovered = ChooseCoveredRasterizer();

} // namespace

SpanBoundaryKernel SpanBoundaryKernelFor(RunDrawerKind kind) {
    if (kind == RunDrawerKind::Scalar) return FindBoundariesScalar;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (kind == RunDrawerKind::Avx512 && __builtin_cpu_supports("avx512f") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl"))
        return FindBoundariesAvx512;
#endif
    return nullptr;
}

namespace {
// The run kernels on their own, reading the bound texture.
void DrawTexelRunUncoveredScalar(int32_t u, int32_t v, int32_t du, int32_t dv, uint32_t* first,
                                 uint32_t open) {
    RunScalar(TextureBinding, u, v, du, dv, first, open);
}
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void DrawTexelRunUncoveredAvx2(int32_t u, int32_t v, int32_t du,
                                                               int32_t dv, uint32_t* first,
                                                               uint32_t open) {
    RunAvx2(TextureBinding, u, v, du, dv, first, open);
}
__attribute__((target("avx512f"))) void DrawTexelRunUncoveredAvx512(int32_t u, int32_t v,
                                                                    int32_t du, int32_t dv,
                                                                    uint32_t* first, uint32_t open) {
    RunAvx512(TextureBinding, u, v, du, dv, first, open);
}
#endif
} // namespace

UncoveredRunDrawer UncoveredRunDrawerFor(RunDrawerKind kind) {
    if (kind == RunDrawerKind::Scalar) return DrawTexelRunUncoveredScalar;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (kind == RunDrawerKind::Avx2 && __builtin_cpu_supports("avx2"))
        return DrawTexelRunUncoveredAvx2;
    if (kind == RunDrawerKind::Avx512 && __builtin_cpu_supports("avx512f"))
        return DrawTexelRunUncoveredAvx512;
#endif
    return nullptr;
}

bool RasterizePolygon(const ClipPolygon& polygon, uint32_t* frameBuffer) {
    const GradientSet& g = ScreenGradients;
    const size_t width = size_t(ViewWidth);
    return ScanPolygon<false>(polygon, [](int32_t, int32_t, int32_t) { return true; },
                       [&](int32_t n, float rowIz, float rowUz, float rowVz, int32_t x0, int32_t y) {
                           const float iz = float(double(x0) * g.izdx + rowIz);
                           const float uz = float(double(x0) * g.uzdx + rowUz);
                           const float vz = float(double(x0) * g.vzdx + rowVz);
                           RenderCount.pixelsWritten += n;
                           DrawSpan(n, uz, vz, iz, frameBuffer + (size_t(y) * width + size_t(x0)));
                       });
}

bool RasterizePolygonCovered(const ClipPolygon& polygon, uint32_t* frameBuffer) {
    return RasterizeCovered(polygon, frameBuffer);
}

void DrawSpan(int32_t n, float uz, float vz, float iz, uint32_t* first) {
    const GradientSet& g = ScreenGradients;
    double q = FixedOne / iz;
    int32_t u = TruncToInt32(q * uz);
    int32_t v = TruncToInt32(q * vz);
    uint32_t* position = first;

    // Each run is interpolated between the exact coordinates of its first pixel and of
    // the pixel just past its last one.
    for (; n >= RunLength; n -= RunLength) {
        iz = float(double(iz) + RunLength * double(g.izdx));
        uz = float(double(uz) + RunLength * double(g.uzdx));
        vz = float(double(vz) + RunLength * double(g.vzdx));
        q = FixedOne / iz;
        const int32_t uEnd = TruncToInt32(q * uz);
        const int32_t vEnd = TruncToInt32(q * vz);
        // Truncating division, not a shift: -1/16 is 0.
        const int32_t du = WrapSub(uEnd, u) / RunLength;
        const int32_t dv = WrapSub(vEnd, v) / RunLength;
        DrawTexelRun(u, v, du, dv, position, position + RunLength);
        position += RunLength;
        u = uEnd;
        v = vEnd;
    }
    if (n > 0) {
        const double r = n;
        q = FixedOne / (double(iz) + r * g.izdx);
        const int32_t uEnd = TruncToInt32(q * (double(uz) + r * g.uzdx));
        const int32_t vEnd = TruncToInt32(q * (double(vz) + r * g.vzdx));
        const int32_t du = WrapSub(uEnd, u) / n;
        const int32_t dv = WrapSub(vEnd, v) / n;
        DrawTexelRun(u, v, du, dv, position, position + n);
    }
}

void DrawTexelRun(int32_t u, int32_t v, int32_t du, int32_t dv, uint32_t* first,
                  const uint32_t* end) {
    const uint32_t* texels = TextureBinding.texels;
    const int32_t uMask = TextureBinding.uMask;
    const int32_t vMask = TextureBinding.vMask;
    const int32_t vShift = TextureBinding.vShift;
    // Unsigned so that the steps wrap modulo 2^32; the shifts see the signed value.
    uint32_t uu = uint32_t(u), vv = uint32_t(v);
    uint32_t* pixel = first;
    do {
        *pixel = texels[((int32_t(vv) >> vShift) & vMask) + ((int32_t(uu) >> 16) & uMask)];
        uu += uint32_t(du);
        vv += uint32_t(dv);
    } while (++pixel < end);
}
