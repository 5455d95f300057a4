// The frame's coverage for the front-to-back walk: one bit per pixel, set once a polygon
// has written the pixel. With no blending a pixel's final value is the first write of a
// front-to-back walk, so a set pixel is never written again, and once every pixel that a
// polygon can write is set the frame is finished.
//
// The pixels a polygon can write: clipped geometry lies within [m, W - m] x [m, H - m],
// m being half the frustum margin (geometry/projection.h), up to float rounding of a small
// fraction of a pixel. The fill rule writes column px when xl < px <= xr and row py when
// ceil(ymin) <= py < ceil(ymax), so a left edge just under m still writes column m only,
// and a bottom just over H - m writes row H - m at most: columns m .. W - m and rows
// m .. H - m. Everything outside that set starts covered, so it is never written.
//
// One process-wide record in fixed storage: nothing is allocated. Views larger than
// MaxCoverageWidth x MaxCoverageHeight have no coverage (BeginCoverage is false) and are
// drawn by the painter's walk.
#pragma once

#include <cstdint>

inline constexpr int32_t MaxCoverageWidth = 2048;
inline constexpr int32_t MaxCoverageHeight = 2048;

struct WritableSet {
    int32_t firstColumn, lastColumn; // inclusive
    int32_t firstRow, lastRow;       // inclusive
};

// The set above for a view of width x height; empty (first > last) for a tiny view.
WritableSet WritableSetFor(int32_t width, int32_t height);

// False (and nothing changed) for an unsupported view size.
bool BeginCoverage(int32_t width, int32_t height);
// True once every writable pixel is covered.
bool CoverageComplete();
// Rows hold their bits in 64-bit words, bit x % 64 of word x / 64; one spare word ends
// each row so that a 16-bit window may read past the last pixel.
const uint64_t* CoverageRow(int32_t y);
// Whether no pixel of row y is open.
bool RowCovered(int32_t y);
// Bits x .. x + n - 1 of row y (n from 1 to 16), bit 0 for x.
inline uint32_t CoveredBits(const uint64_t* row, int32_t x, int32_t n) {
    const int32_t word = x >> 6, shift = x & 63;
    uint64_t bits = row[word] >> shift;
    if (shift > 64 - n) bits |= row[word + 1] << (64 - shift);
    return uint32_t(bits) & ((1u << n) - 1u);
}
// Whether pixels x0 .. x1 - 1 of row y are all covered (x0 < x1, both inside the row).
bool SpanCovered(int32_t y, int32_t x0, int32_t x1);
// Covers pixels x0 .. x1 - 1 of row y.
void CoverSpan(int32_t y, int32_t x0, int32_t x1);
// Whether every pixel of rows y0 .. y1 and columns x0 .. x1 (inclusive, clamped to the
// frame) is covered; true for an empty rectangle.
bool RectCovered(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
