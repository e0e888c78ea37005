// The pixel loops for processors with AVX2: eight pixels per instruction,
// the 8-bit colours fetched by gather, 24-bit pixels packed by byte shuffle.
// Compiled for AVX2 function by function, so the rest of the library keeps
// running on any processor; blitter() calls them only where the processor
// has AVX2.
#include "blitter.h"

#ifdef ZEVART_X86_KERNELS

#include <immintrin.h>
#include <string.h>

#define AVX2 __attribute__((target("avx2")))

namespace {

AVX2 inline __m256i values8(const uint8_t *src) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(src)));
}

// Eight opaque pixels, every value with a colour.
AVX2 inline void gather8(RGBQUAD *dst, const uint8_t *src, const int *table) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst),
                        _mm256_i32gather_epi32(table, values8(src), 4));
}

// Eight pixels at once; `opaque` marks the ones to take from the palette.
// Gather reads only the lanes it is asked for, so no value without a colour
// is ever looked up.
AVX2 inline void draw8(RGBQUAD *dst, const uint8_t *src, const int *table, __m256i limit) {
    const __m256i v = values8(src);
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

// Blue, green and red halved, the fourth byte kept.
AVX2 inline __m256i halved8(__m256i p) {
    return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 1), _mm256_set1_epi32(0x007F7F7F)),
                           _mm256_and_si256(p, _mm256_set1_epi32(int(0xFF000000u))));
}

// Eight pixels halved where `mask` is all ones.
AVX2 inline void shade8(RGBQUAD *dst, __m256i mask) {
    __m256i *d = reinterpret_cast<__m256i *>(dst);
    const __m256i p = _mm256_loadu_si256(d);
    _mm256_storeu_si256(d, _mm256_blendv_epi8(p, halved8(p), mask));
}

} // namespace

AVX2 void blit_indexed_rows_avx2(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount) {
    if (colorCount <= 1 || r.rows == 0) return;
    const int *table = reinterpret_cast<const int *>(colors);
    const bool fullPalette = colorCount >= 256; // every value but 0 has a colour
    const __m256i limit = _mm256_set1_epi32(fullPalette ? 256 : int(colorCount));
    const size_t n = r.width;
    RGBQUAD *dst = r.dst;
    const uint8_t *src = r.src;
    for (size_t row = 0;;) {
        size_t i = 0;
        for (; n - i >= 32; i += 32) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i));
            const unsigned clear =
                unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(s, _mm256_setzero_si256())));
            if (clear == 0xFFFFFFFFu) continue; // 32 clear pixels
            if (clear == 0 && fullPalette) {    // 32 opaque: no lane to test
                for (unsigned k = 0; k < 32; k += 8) gather8(dst + i + k, src + i + k, table);
                continue;
            }
            for (unsigned k = 0; k < 32; k += 8) draw8(dst + i + k, src + i + k, table, limit);
        }
        for (; n - i >= 8; i += 8) draw8(dst + i, src + i, table, limit);
        if (i < n) blit_indexed_row(dst + i, src + i, n - i, colors, colorCount);
        if (++row == r.rows) break;
        dst += r.dstStep;
        src += r.srcStep;
    }
}

AVX2 void blit_shadow_rows_avx2(const blit_rows &r, unsigned firstBit) {
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
    walk_shadow_rows(r, firstBit, [&](RGBQUAD *dst, const uint8_t *src, size_t n) AVX2 {
        size_t i = 0;
        for (; n - i >= 32; i += 32) {
            const uint32_t w = load32(src + i / 8);
            if (w == 0) continue;   // 32 clear pixels
            if (w == 0xFFFFFFFFu) { // 32 set: the inside of a solid shadow
                __m256i *d = reinterpret_cast<__m256i *>(dst + i);
                for (unsigned k = 0; k < 4; ++k)
                    _mm256_storeu_si256(d + k, halved8(_mm256_loadu_si256(d + k)));
                continue;
            }
            const __m256i word = _mm256_set1_epi32(int(w));
            for (unsigned k = 0; k < 4; ++k) {
                const __m256i bit = _mm256_and_si256(word, pick[k]);
                shade8(dst + i + 8 * k, _mm256_cmpeq_epi32(bit, pick[k]));
            }
        }
        for (; n - i >= 8; i += 8) {
            const __m256i bit = _mm256_and_si256(_mm256_set1_epi32(src[i / 8]), pick[0]);
            shade8(dst + i, _mm256_cmpeq_epi32(bit, pick[0]));
        }
        return i;
    });
}

AVX2 void blit_bgrx_to_bgr_avx2(const uint8_t *src, uint8_t *dst, size_t count) {
    // Four pixels: twelve bytes picked out of sixteen, stored as 8 + 4.
    const __m128i pick = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (; count >= 4; count -= 4, src += 16, dst += 12) {
        const __m128i v =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src)), pick);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), v);
        const uint32_t last = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
        memcpy(dst + 8, &last, 4);
    }
    if (count) blit_bgrx_to_bgr(src, dst, count);
}

#endif
