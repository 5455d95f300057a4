#include "render/coverage.h"

#include <algorithm>
#include <bit>

#include "geometry/projection.h"

namespace {

constexpr int32_t MaxStride = MaxCoverageWidth / 64 + 1;

struct Coverage {
    int32_t width = 0, height = 0, stride = 0;
    int64_t open = 0; // writable pixels not yet covered
    int32_t rowOpen[MaxCoverageHeight];
    uint64_t words[size_t(MaxStride) * MaxCoverageHeight];
};
Coverage Frame;

// Bits lo .. hi - 1 of a word (0 <= lo < hi <= 64).
uint64_t WordMask(int32_t lo, int32_t hi) {
    const uint64_t upper = hi == 64 ? ~0ull : (1ull << hi) - 1;
    return upper & ~((1ull << lo) - 1);
}

} // namespace

WritableSet WritableSetFor(int32_t width, int32_t height) {
    const int32_t m = int32_t(FrustumMargin) / 2;
    return {m, width - m, m, height - m};
}

bool BeginCoverage(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > MaxCoverageWidth || height > MaxCoverageHeight)
        return false;
    Frame.width = width;
    Frame.height = height;
    Frame.stride = (width + 63) / 64 + 1;
    const WritableSet set = WritableSetFor(width, height);
    Frame.open = 0;
    uint64_t open[MaxStride] = {}; // the writable columns of a row as zero bits
    for (int32_t w = 0; w < Frame.stride; ++w)
        open[w] = ~0ull;
    const int32_t lo = std::max(set.firstColumn, 0), hi = std::min(set.lastColumn, width - 1);
    int32_t openColumns = 0;
    for (int32_t x = lo; x <= hi; ++x) {
        open[x >> 6] &= ~(1ull << (x & 63));
        ++openColumns;
    }
    for (int32_t y = 0; y < height; ++y) {
        uint64_t* row = Frame.words + size_t(y) * Frame.stride;
        const bool writable = y >= set.firstRow && y <= set.lastRow;
        for (int32_t w = 0; w < Frame.stride; ++w)
            row[w] = writable ? open[w] : ~0ull;
        Frame.rowOpen[y] = writable ? openColumns : 0;
        Frame.open += Frame.rowOpen[y];
    }
    return true;
}

bool CoverageComplete() {
    return Frame.open == 0;
}

const uint64_t* CoverageRow(int32_t y) {
    return Frame.words + size_t(y) * Frame.stride;
}

bool RowCovered(int32_t y) {
    return Frame.rowOpen[y] == 0;
}

bool SpanCovered(int32_t y, int32_t x0, int32_t x1) {
    if (Frame.rowOpen[y] == 0) return true;
    const uint64_t* row = CoverageRow(y);
    const int32_t first = x0 >> 6, last = (x1 - 1) >> 6;
    for (int32_t w = first; w <= last; ++w) {
        const uint64_t mask = WordMask(w == first ? x0 & 63 : 0, w == last ? ((x1 - 1) & 63) + 1 : 64);
        if ((row[w] & mask) != mask) return false;
    }
    return true;
}

void CoverSpan(int32_t y, int32_t x0, int32_t x1) {
    uint64_t* row = Frame.words + size_t(y) * Frame.stride;
    const int32_t first = x0 >> 6, last = (x1 - 1) >> 6;
    int32_t added = 0;
    for (int32_t w = first; w <= last; ++w) {
        const uint64_t mask = WordMask(w == first ? x0 & 63 : 0, w == last ? ((x1 - 1) & 63) + 1 : 64);
        added += std::popcount(mask & ~row[w]);
        row[w] |= mask;
    }
    Frame.rowOpen[y] -= added;
    Frame.open -= added;
}

bool RectCovered(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, Frame.width - 1);
    y1 = std::min(y1, Frame.height - 1);
    if (x0 > x1 || y0 > y1) return true;
    for (int32_t y = y0; y <= y1; ++y)
        if (!SpanCovered(y, x0, x1 + 1)) return false;
    return true;
}
