// The row loops for processors with AVX2: eight pixels per instruction, the
// 8-bit colours fetched by gather. Compiled for AVX2 function by function, so
// the rest of the library keeps running on any processor; blitter() calls
// them only where the processor has AVX2.
#include "blitter.h"

#ifdef ZEVART_X86_KERNELS

#include <immintrin.h>
#include <string.h>

#define AVX2 __attribute__((target("avx2")))

namespace {

AVX2 inline uint32_t load32(const void *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Eight pixels at once; `opaque` marks the ones to take from the palette.
// Gather reads only the lanes it is asked for, so no value without a colour
// is ever looked up.
AVX2 inline void draw8(RGBQUAD *dst, const uint8_t *src, const int *table, __m256i limit) {
    const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(src)));
    const __m256i opaque = _mm256_and_si256(_mm256_cmpgt_epi32(v, _mm256_setzero_si256()),
                                            _mm256_cmpgt_epi32(limit, v));
    const int lanes = _mm256_movemask_ps(_mm256_castsi256_ps(opaque));
    if (lanes == 0) return;
    __m256i *d = reinterpret_cast<__m256i *>(dst);
    if (lanes == 0xFF) {
        _mm256_storeu_si256(d, _mm256_i32gather_epi32(table, v, 4));
        return;
    }
    const __m256i old = _mm256_loadu_si256(d);
    _mm256_storeu_si256(d, _mm256_mask_i32gather_epi32(old, table, v, opaque, 4));
}

// Blue, green and red halved, the fourth byte kept; where `mask` is all ones.
AVX2 inline void shade8(RGBQUAD *dst, __m256i mask) {
    __m256i *d = reinterpret_cast<__m256i *>(dst);
    const __m256i p = _mm256_loadu_si256(d);
    const __m256i half =
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 1), _mm256_set1_epi32(0x007F7F7F)),
                        _mm256_and_si256(p, _mm256_set1_epi32(int(0xFF000000u))));
    _mm256_storeu_si256(d, _mm256_blendv_epi8(p, half, mask));
}

} // namespace

AVX2 void blit_indexed_row_avx2(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                                uint32_t colorCount) {
    if (colorCount <= 1) return;
    const int *table = reinterpret_cast<const int *>(colors);
    const __m256i limit = _mm256_set1_epi32(colorCount > 256 ? 256 : int(colorCount));
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i));
        if (_mm256_testz_si256(s, s)) continue; // 32 clear pixels
        for (unsigned k = 0; k < 32; k += 8) draw8(dst + i + k, src + i + k, table, limit);
    }
    for (; n - i >= 8; i += 8) draw8(dst + i, src + i, table, limit);
    if (i < n) blit_indexed_row(dst + i, src + i, n - i, colors, colorCount);
}

AVX2 void blit_shadow_row_avx2(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n) {
    if (n == 0) return;
    if (firstBit != 0) { // up to the first byte boundary
        const size_t lead = 8 - firstBit < n ? 8 - firstBit : n;
        blit_shadow_row(dst, src++, firstBit, lead);
        dst += lead;
        n -= lead;
    }
    // Four mask bytes as one word, little-endian: pixel j of byte k is bit
    // 8k + 7 - j. Each lane picks its bit and becomes all ones where it is set.
    const __m256i pick[4] = {
        _mm256_setr_epi32(0x80, 0x40, 0x20, 0x10, 0x8, 0x4, 0x2, 0x1),
        _mm256_setr_epi32(0x8000, 0x4000, 0x2000, 0x1000, 0x800, 0x400, 0x200, 0x100),
        _mm256_setr_epi32(0x800000, 0x400000, 0x200000, 0x100000, 0x80000, 0x40000, 0x20000,
                          0x10000),
        _mm256_setr_epi32(int(0x80000000u), 0x40000000, 0x20000000, 0x10000000, 0x8000000,
                          0x4000000, 0x2000000, 0x1000000),
    };
    for (; n >= 32; n -= 32, dst += 32, src += 4) {
        const uint32_t w = load32(src);
        if (w == 0) continue; // 32 clear pixels
        const __m256i word = _mm256_set1_epi32(int(w));
        for (unsigned k = 0; k < 4; ++k) {
            const __m256i bit = _mm256_and_si256(word, pick[k]);
            shade8(dst + 8 * k, _mm256_cmpeq_epi32(bit, pick[k]));
        }
    }
    for (; n >= 8; n -= 8, dst += 8, ++src) {
        const __m256i bit = _mm256_and_si256(_mm256_set1_epi32(*src), pick[0]);
        shade8(dst, _mm256_cmpeq_epi32(bit, pick[0]));
    }
    if (n) blit_shadow_row(dst, src, 0, n);
}

#endif
