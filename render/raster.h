// The texture-mapped polygon rasterizer: fills one projected, convex polygon whose
// vertices run counter-clockwise on the screen, with perspective-correct texturing
// that divides once every 16 pixels.
#pragma once

#include <cstdint>

#include "render/coverage.h"
#include "render/pipeline.h"

// Where the rasterizer fetches texels from; set by the pipeline before each polygon.
//   texel = texels[((v >> vShift) & vMask) + ((u >> 16) & uMask)], u and v in 16.16.
// paddedRows, when not null, holds the same texels again for a texture whose sides are
// powers of two and at least RowWindowWidth wide: row r (0 .. rowMask) at r * rowPitch,
// its texel c at RowPad + c, and RowPad texels of the row's other end wrapped around on
// either side, so that any 32 texels around a column are one contiguous read.
struct TexelSource {
    const uint32_t* texels = nullptr;
    int32_t uMask = 0;
    int32_t vMask = 0;
    int32_t vShift = 16;
    const uint32_t* paddedRows = nullptr;
    int32_t rowPitch = 0;
    int32_t rowMask = 0;
};
inline constexpr int32_t RowPad = 16;
inline constexpr int32_t RowWindowWidth = 2 * RowPad;
extern TexelSource TextureBinding;

// One polygon edge between two scanlines.
struct ScanEdge {
    int32_t x;      // 16.16: x on the current scanline
    int32_t firstY; // first scanline covered
    int32_t count;  // scanlines covered, counted down while drawing
    int32_t xStep;  // 16.16: change of x per scanline
};

inline constexpr int32_t EdgeChainCapacity = 7;

// The left chain holds its edges from the top down and is consumed forwards; the right
// chain holds them from the bottom up and is consumed backwards.
struct EdgeChain {
    ScanEdge edges[EdgeChainCapacity];
    int32_t count;
    int32_t current;
};
extern EdgeChain LeftChain;
extern EdgeChain RightChain;

// Screen-space gradients of 1/z, u/z and v/z: Q(x, y) = Q00 + x * Qdx + y * Qdy.
struct GradientSet {
    float izdx, izdy, iz00;
    float uzdx, uzdy, uz00;
    float vzdx, vzdy, vz00;
};
extern GradientSet ScreenGradients;

// Truncation toward zero through a 64-bit integer, keeping the low 32 bits. A NaN or a
// value beyond the 64-bit range gives 0.
int32_t TruncToInt32(double a);

// False when the polygon is rejected (no scanline covered, collinear first three
// vertices, or a shape no real clipped polygon has); true otherwise, even when no pixel
// was written.
bool RasterizePolygon(const ClipPolygon& polygon, uint32_t* frameBuffer);
// RasterizePolygon for the front-to-back walk: writes only the pixels the frame's coverage
// (render/coverage.h) leaves open, each with exactly the texel RasterizePolygon gives it,
// and covers every pixel of every span. The coverage must have been begun for ViewWidth x
// ViewHeight.
bool RasterizePolygonCovered(const ClipPolygon& polygon, uint32_t* frameBuffer);
bool BuildEdgeChains(const ClipPolygon& polygon);
// Upper end first; false (and nothing stored) when the edge covers no scanline.
bool SetupScanEdge(const ClipVertex& upper, const ClipVertex& lower, ScanEdge& out);
bool ComputeGradients(const ClipPolygon& polygon);
// n >= 1 pixels from first to the right; uz, vz, iz are u/z, v/z, 1/z at the first pixel.
void DrawSpan(int32_t n, float uz, float vz, float iz, uint32_t* first);
// DrawTexelRun for the pixels first + j whose bit j of `open` is set (a 16-bit mask, not
// 0): pixel j gets the texel of u + j du, v + j dv, wrapping as j additions do. The
// front-to-back walk uses the fastest kind the CPU offers; null for one it lacks.
enum class RunDrawerKind { Scalar, Avx2, Avx512 };
using UncoveredRunDrawer = void (*)(int32_t u, int32_t v, int32_t du, int32_t dv,
                                    uint32_t* first, uint32_t open);
UncoveredRunDrawer UncoveredRunDrawerFor(RunDrawerKind kind);
// The front-to-back walk draws a polygon's spans in batches, all on different rows: first the
// texture coordinates at every run boundary of every span of the batch at once (DrawSpan's
// divisions: at the first pixel, every 16 pixels after it, and just past the last pixel)
// and each run's steps, then the runs. The boundaries and steps are DrawSpan's, bit for bit,
// whichever kernel finds them.
inline constexpr int32_t SpanBatchSize = 8;
// 16-pixel runs in a span of the widest view the front-to-back walk draws.
inline constexpr int32_t MaxSpanRuns = MaxCoverageWidth / 16;
struct SpanBatch {
    int32_t count = 0;
    int32_t n[SpanBatchSize] = {}, x0[SpanBatchSize] = {}, y[SpanBatchSize] = {};
    bool open[SpanBatchSize] = {}; // no pixel of the span covered yet
    // 1/z, u/z and v/z of the span's row at x = 0, as the scanline loop steps them.
    float rowIz[SpanBatchSize] = {}, rowUz[SpanBatchSize] = {}, rowVz[SpanBatchSize] = {};
    // Found by the kernel, in 16.16: [k][lane] at the first pixel of run k, for k from 0 to
    // n / 16; and the per-pixel step of a span's last run when that is shorter than 16
    // (the difference to the coordinates just past the span's last pixel, divided by the
    // run's length, truncating).
    int32_t u[MaxSpanRuns + 1][SpanBatchSize], v[MaxSpanRuns + 1][SpanBatchSize];
    // The per-pixel step of full run k: the difference to run k + 1's boundary over 16,
    // truncating.
    int32_t du[MaxSpanRuns][SpanBatchSize], dv[MaxSpanRuns][SpanBatchSize];
    int32_t tailDu[SpanBatchSize], tailDv[SpanBatchSize];
};
using SpanBoundaryKernel = void (*)(SpanBatch& batch);
// Scalar always; Avx512 where the CPU has it (with its DQ and VL parts); null otherwise.
SpanBoundaryKernel SpanBoundaryKernelFor(RunDrawerKind kind);
// Writes [first, end), at least one pixel; u, v, du, dv in 16.16.
void DrawTexelRun(int32_t u, int32_t v, int32_t du, int32_t dv, uint32_t* first,
                  const uint32_t* end);
