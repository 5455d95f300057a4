#include "bench/render/memory_floor.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "scene/texture.h"

namespace {

// Row y starts at u = y * 0.3125 and v = y texels and steps 0.75 and 0.125 texel a pixel.
constexpr uint32_t RowU = 0x5000u, RowV = 0x10000u;
constexpr uint32_t StepU = 0xC000u, StepV = 0x2000u;

struct Fetch {
    const uint32_t* texels;
    int32_t uMask, vMask, vShift;
    uint32_t At(uint32_t u, uint32_t v) const {
        return texels[((int32_t(v) >> vShift) & vMask) + ((int32_t(u) >> 16) & uMask)];
    }
};

// Pixels from..width-1 of a row whose first pixel has u0, v0.
void RowScalar(uint32_t* row, int32_t from, int32_t width, uint32_t u0, uint32_t v0,
               const Fetch& f) {
    uint32_t u = u0 + uint32_t(from) * StepU, v = v0 + uint32_t(from) * StepV;
    for (int32_t x = from; x < width; ++x, u += StepU, v += StepV)
        row[x] = f.At(u, v);
}

#if defined(__x86_64__) || defined(__i386__)
// Eight or sixteen pixels a gather; the rest of a row as above. (GCC 12's own shift
// intrinsics start from an uninitialized vector; it warns about them.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx2"))) void RowAvx2(uint32_t* row, int32_t width, uint32_t u0, uint32_t v0,
                                             const Fetch& f) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i du = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int32_t(StepU)));
    const __m256i dv = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int32_t(StepV)));
    const __m128i shift = _mm_cvtsi32_si128(f.vShift);
    const __m256i uMask = _mm256_set1_epi32(f.uMask), vMask = _mm256_set1_epi32(f.vMask);
    const int* texels = reinterpret_cast<const int*>(f.texels);
    int32_t x = 0;
    for (uint32_t u = u0, v = v0; x + 8 <= width; x += 8, u += 8 * StepU, v += 8 * StepV) {
        const __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(int32_t(u)), du);
        const __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(int32_t(v)), dv);
        const __m256i index = _mm256_add_epi32(_mm256_and_si256(_mm256_sra_epi32(vv, shift), vMask),
                                               _mm256_and_si256(_mm256_srai_epi32(uu, 16), uMask));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                            _mm256_i32gather_epi32(texels, index, 4));
    }
    RowScalar(row, x, width, u0, v0, f);
}

__attribute__((target("avx512f"))) void RowAvx512(uint32_t* row, int32_t width, uint32_t u0,
                                                  uint32_t v0, const Fetch& f) {
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i du = _mm512_mullo_epi32(lane, _mm512_set1_epi32(int32_t(StepU)));
    const __m512i dv = _mm512_mullo_epi32(lane, _mm512_set1_epi32(int32_t(StepV)));
    const __m128i shift = _mm_cvtsi32_si128(f.vShift);
    const __m512i uMask = _mm512_set1_epi32(f.uMask), vMask = _mm512_set1_epi32(f.vMask);
    int32_t x = 0;
    for (uint32_t u = u0, v = v0; x + 16 <= width; x += 16, u += 16 * StepU, v += 16 * StepV) {
        const __m512i uu = _mm512_add_epi32(_mm512_set1_epi32(int32_t(u)), du);
        const __m512i vv = _mm512_add_epi32(_mm512_set1_epi32(int32_t(v)), dv);
        const __m512i index = _mm512_add_epi32(_mm512_and_si512(_mm512_sra_epi32(vv, shift), vMask),
                                               _mm512_and_si512(_mm512_srai_epi32(uu, 16), uMask));
        _mm512_storeu_si512(row + x, _mm512_i32gather_epi32(index, f.texels, 4));
    }
    RowScalar(row, x, width, u0, v0, f);
}
#pragma GCC diagnostic pop
#endif

} // namespace

FloorKind FastestFloorKind() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512f")) return FloorKind::Avx512;
    if (__builtin_cpu_supports("avx2")) return FloorKind::Avx2;
#endif
    return FloorKind::Scalar;
}

uint32_t DrawFloorFrame(std::span<uint32_t> frame, int32_t width, const Texture& texture,
                        FloorKind kind) {
    if (width <= 0 || frame.empty()) return 0;
    std::memset(frame.data(), 0, frame.size_bytes());
    // Held in locals: the stores into the frame could alias the texture's fields, which the
    // loop would otherwise load again for every pixel.
    const Fetch f{texture.pixels.get(), texture.uMask, texture.vMask, texture.vShift};
    const int32_t height = int32_t(frame.size() / size_t(width));
    const FloorKind usable = int(kind) <= int(FastestFloorKind()) ? kind : FloorKind::Scalar;
    for (int32_t y = 0; y < height; ++y) {
        uint32_t* row = frame.data() + size_t(y) * size_t(width);
        const uint32_t u = uint32_t(y) * RowU, v = uint32_t(y) * RowV;
#if defined(__x86_64__) || defined(__i386__)
        if (usable == FloorKind::Avx512) {
            RowAvx512(row, width, u, v, f);
            continue;
        }
        if (usable == FloorKind::Avx2) {
            RowAvx2(row, width, u, v, f);
            continue;
        }
#endif
        RowScalar(row, 0, width, u, v, f);
    }
    return frame[frame.size() / 2];
}
