// The 1-bit row loop for processors with SSE2: four pixels per instruction.
// Compiled for SSE2 function by function (the 32-bit build's baseline has no
// SSE2); blitter() calls it only where the processor has SSE2.
#include "blitter.h"

#ifdef ZEVART_X86_KERNELS

#include <emmintrin.h>
#include <string.h>

#define SSE2 __attribute__((target("sse2")))

namespace {

// Blue, green and red halved, the fourth byte kept; where `mask` is all ones.
SSE2 inline void shade4(RGBQUAD *dst, __m128i mask) {
    __m128i *d = reinterpret_cast<__m128i *>(dst);
    const __m128i p = _mm_loadu_si128(d);
    const __m128i half =
        _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 1), _mm_set1_epi32(0x007F7F7F)),
                     _mm_and_si128(p, _mm_set1_epi32(int(0xFF000000u))));
    _mm_storeu_si128(d, _mm_xor_si128(p, _mm_and_si128(_mm_xor_si128(p, half), mask)));
}

} // namespace

SSE2 void blit_shadow_rows_sse2(const blit_rows &r, unsigned firstBit) {
    // Two mask bytes as one word, little-endian: pixel j of byte k is bit
    // 8k + 7 - j. Each lane picks its bit and becomes all ones where it is set.
    const __m128i pick[4] = {
        _mm_setr_epi32(0x80, 0x40, 0x20, 0x10),
        _mm_setr_epi32(0x8, 0x4, 0x2, 0x1),
        _mm_setr_epi32(0x8000, 0x4000, 0x2000, 0x1000),
        _mm_setr_epi32(0x800, 0x400, 0x200, 0x100),
    };
    walk_shadow_rows(r, firstBit, [&](RGBQUAD *dst, const uint8_t *src, size_t n) SSE2 {
        size_t i = 0;
        for (; n - i >= 16; i += 16) {
            uint16_t w;
            memcpy(&w, src + i / 8, 2);
            if (w == 0) continue; // 16 clear pixels
            const __m128i word = _mm_set1_epi32(w);
            for (unsigned k = 0; k < 4; ++k) {
                const __m128i bit = _mm_and_si128(word, pick[k]);
                shade4(dst + i + 4 * k, _mm_cmpeq_epi32(bit, pick[k]));
            }
        }
        return i;
    });
}

#endif
