#include "render/coverage.h"

#include <algorithm>

#include "geometry/projection.h"

CoverageRecord Coverage;

WritableSet WritableSetFor(int32_t width, int32_t height) {
    const int32_t m = int32_t(FrustumMargin) / 2;
    return {m, width - m, m, height - m};
}

bool BeginCoverage(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > MaxCoverageWidth || height > MaxCoverageHeight)
        return false;
    const WritableSet set = WritableSetFor(width, height);
    // A view too small for the margins has its own odd frustum: the painter's walk draws it.
    if (set.firstColumn > set.lastColumn || set.firstRow > set.lastRow) return false;
    Coverage.width = width;
    Coverage.height = height;
    Coverage.stride = (width + 63) / 64 + 1;
    Coverage.open = 0;
    uint64_t open[MaxCoverageStride] = {}; // the writable columns of a row as zero bits
    for (int32_t w = 0; w < Coverage.stride; ++w)
        open[w] = ~0ull;
    const int32_t lo = std::max(set.firstColumn, 0), hi = std::min(set.lastColumn, width - 1);
    int32_t openColumns = 0;
    for (int32_t x = lo; x <= hi; ++x) {
        open[x >> 6] &= ~(1ull << (x & 63));
        ++openColumns;
    }
    for (int32_t y = 0; y < height; ++y) {
        uint64_t* row = CoverageRow(y);
        const bool writable = y >= set.firstRow && y <= set.lastRow;
        for (int32_t w = 0; w < Coverage.stride; ++w)
            row[w] = writable ? open[w] : ~0ull;
        Coverage.rowOpen[y] = writable ? openColumns : 0;
        Coverage.open += Coverage.rowOpen[y];
    }
    return true;
}

bool RectCovered(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, Coverage.width - 1);
    y1 = std::min(y1, Coverage.height - 1);
    if (x0 > x1 || y0 > y1) return true;
    // The same words of every row: its masks once, then rows with open pixels only.
    const int32_t first = x0 >> 6, last = x1 >> 6;
    const uint64_t head = CoverageWordMask(x0 & 63, 64), tail = CoverageWordMask(0, (x1 & 63) + 1);
    const uint64_t firstMask = first == last ? head & tail : head;
    for (int32_t y = y0; y <= y1; ++y) {
        if (Coverage.rowOpen[y] == 0) continue;
        const uint64_t* row = CoverageRow(y);
        if ((row[first] & firstMask) != firstMask) return false;
        if (first == last) continue;
        for (int32_t w = first + 1; w < last; ++w)
            if (row[w] != ~0ull) return false;
        if ((row[last] & tail) != tail) return false;
    }
    return true;
}
