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
// MaxCoverageWidth x MaxCoverageHeight, or with no writable pixel, have no coverage
// (BeginCoverage is false) and are drawn by the painter's walk.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t MaxCoverageWidth = 2048;
inline constexpr int32_t MaxCoverageHeight = 2048;
inline constexpr int32_t MaxCoverageStride = MaxCoverageWidth / 64 + 1;

struct CoverageRecord {
    int32_t width = 0, height = 0, stride = 0;
    int64_t open = 0; // writable pixels not yet covered
    int32_t rowOpen[MaxCoverageHeight];
    uint64_t words[size_t(MaxCoverageStride) * MaxCoverageHeight];
};
extern CoverageRecord Coverage;

struct WritableSet {
    int32_t firstColumn, lastColumn; // inclusive
    int32_t firstRow, lastRow;       // inclusive
};

// The set above for a view of width x height; empty (first > last) for a tiny view.
WritableSet WritableSetFor(int32_t width, int32_t height);

// False (and nothing changed) for an unsupported view size.
bool BeginCoverage(int32_t width, int32_t height);
// True once every writable pixel is covered.
inline bool CoverageComplete() {
    return Coverage.open == 0;
}
// Rows hold their bits in 64-bit words, bit x % 64 of word x / 64; one spare word ends
// each row so that a 16-bit window may read past the last pixel.
inline uint64_t* CoverageRow(int32_t y) {
    return Coverage.words + size_t(y) * size_t(Coverage.stride);
}
// The number of set bits of a 16-bit run mask, without the library call a CPU without a
// population count instruction needs.
inline int32_t BitCount16(uint32_t v) {
    v = v - ((v >> 1) & 0x5555u);
    v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
    v = (v + (v >> 4)) & 0x0F0Fu;
    return int32_t((v + (v >> 8)) & 0x1Fu);
}
// Bits x .. x + n - 1 of row y (n from 1 to 16), bit 0 for x.
inline uint32_t CoveredBits(const uint64_t* row, int32_t x, int32_t n) {
    const int32_t word = x >> 6, shift = x & 63;
    uint64_t bits = row[word] >> shift;
    if (shift > 64 - n) bits |= row[word + 1] << (64 - shift);
    return uint32_t(bits) & ((1u << n) - 1u);
}
// Bits lo .. hi - 1 of a word (0 <= lo < hi <= 64).
inline uint64_t CoverageWordMask(int32_t lo, int32_t hi) {
    const uint64_t upper = hi == 64 ? ~0ull : (1ull << hi) - 1;
    return upper & ~((1ull << lo) - 1);
}
// Sets the bits of words first .. last of a row: head's in the first, tail's in the last
// (both in one word when first == last), all of those between.
inline void SetSpanBits(uint64_t* row, int32_t first, int32_t last, uint64_t head, uint64_t tail) {
    if (first == last) {
        row[first] |= head & tail;
        return;
    }
    row[first] |= head;
    for (int32_t w = first + 1; w < last; ++w)
        row[w] = ~0ull;
    row[last] |= tail;
}
// How much of pixels x0 .. x1 - 1 of row y is covered (x0 < x1, both inside the row), in one
// pass over the row's words. A span found wholly open is covered at once, since every one of
// its pixels is about to be written; the rasterizer covers a partly covered span itself once
// its open pixels are written.
enum class SpanCoverage { Open, Partly, Covered };
inline SpanCoverage ClaimSpan(int32_t y, int32_t x0, int32_t x1) {
    if (Coverage.rowOpen[y] == 0) return SpanCoverage::Covered;
    uint64_t* row = CoverageRow(y);
    const int32_t first = x0 >> 6, last = (x1 - 1) >> 6;
    const uint64_t head = CoverageWordMask(x0 & 63, 64), tail = CoverageWordMask(0, ((x1 - 1) & 63) + 1);
    if (first == last) {
        const uint64_t mask = head & tail, bits = row[first] & mask;
        if (bits != 0) return bits == mask ? SpanCoverage::Covered : SpanCoverage::Partly;
    } else {
        uint64_t all = (row[first] | ~head) & (row[last] | ~tail);
        uint64_t any = (row[first] & head) | (row[last] & tail);
        for (int32_t w = first + 1; w < last; ++w) {
            all &= row[w];
            any |= row[w];
        }
        if (any != 0) return all == ~0ull ? SpanCoverage::Covered : SpanCoverage::Partly;
    }
    SetSpanBits(row, first, last, head, tail);
    Coverage.rowOpen[y] -= x1 - x0;
    Coverage.open -= x1 - x0;
    return SpanCoverage::Open;
}
// Covers pixels x0 .. x1 - 1 of row y, of which `opened` were open.
inline void CoverSpan(int32_t y, int32_t x0, int32_t x1, int32_t opened) {
    SetSpanBits(CoverageRow(y), x0 >> 6, (x1 - 1) >> 6, CoverageWordMask(x0 & 63, 64),
                CoverageWordMask(0, ((x1 - 1) & 63) + 1));
    Coverage.rowOpen[y] -= opened;
    Coverage.open -= opened;
}
// Whether every pixel of rows y0 .. y1 and columns x0 .. x1 (inclusive, clamped to the
// frame) is covered; true for an empty rectangle.
bool RectCovered(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
