// The 8-bit loop for processors with AVX-512 byte permutes (VBMI): the
// palette is held in registers as four planes of 256 bytes (blue, green, red,
// fourth byte), and 64 pixels are looked up at once, two byte permutes and a
// blend a plane, with no gather. (A gather fetches one colour per load, and
// on several AMD processors it is slower than the scalar loop; the permutes
// are register work only.) Compiled for AVX-512 function by function; called
// only where the processor has it.
#include "blitter.h"

#ifdef ZEVART_X86_KERNELS

// GCC 12's own AVX-512 headers start some intrinsics from an undefined
// register and then warn about it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#include <string.h>

#define AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// Pixel 16j + 4k + m of a group of 64 goes to byte 16k + 4j + m: after the
// in-lane unpacks below, register j then holds pixels 16j .. 16j + 15 in order.
AVX512 inline __m512i lane_order() {
    alignas(64) uint8_t order[64];
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned j = 0; j < 4; ++j)
            for (unsigned m = 0; m < 4; ++m) order[16 * k + 4 * j + m] = uint8_t(16 * j + 4 * k + m);
    return _mm512_load_si512(order);
}

// Byte v of the plane, for each of 64 values.
AVX512 inline __m512i look_up(const __m512i plane[4], __m512i v, __mmask64 high) {
    const __m512i low = _mm512_permutex2var_epi8(plane[0], v, plane[1]);  // values 0..127
    const __m512i upper = _mm512_permutex2var_epi8(plane[2], v, plane[3]); // 128..255
    return _mm512_mask_blend_epi8(high, low, upper);
}

} // namespace

AVX512 void blit_indexed_rows_avx512(const blit_rows &r, const RGBQUAD *colors,
                                     uint32_t colorCount) {
    if (colorCount <= 1 || r.rows == 0) return;
    const uint32_t count = colorCount < 256 ? colorCount : 256;
    // Entries past the palette are zero; no pixel with such a value is stored.
    alignas(64) uint32_t table[256];
    memcpy(table, colors, count * 4);
    memset(table + count, 0, (256 - count) * 4);
    __m512i plane[4][4]; // plane[c][q]: byte c of the entries 64q .. 64q + 63
    for (unsigned q = 0; q < 4; ++q)
        for (unsigned c = 0; c < 4; ++c) {
            auto part = [&](unsigned k) AVX512 { // byte c of 16 entries
                const __m512i words = _mm512_load_si512(table + 64 * q + 16 * k);
                return _mm512_cvtepi32_epi8(_mm512_srli_epi32(words, 8 * c));
            };
            __m512i bytes = _mm512_castsi128_si512(part(0));
            bytes = _mm512_inserti32x4(bytes, part(1), 1);
            bytes = _mm512_inserti32x4(bytes, part(2), 2);
            plane[c][q] = _mm512_inserti32x4(bytes, part(3), 3);
        }
    const __m512i order = lane_order();
    const __m512i limit = _mm512_set1_epi8(char(count < 256 ? count : 0));
    const size_t n = r.width;
    RGBQUAD *dst = r.dst;
    const uint8_t *src = r.src;
    for (size_t row = 0;;) {
        for (size_t i = 0; i < n; i += 64) {
            // A masked load reads only the row's bytes, and faults on none past it.
            const __mmask64 in = n - i >= 64 ? ~__mmask64(0) : (__mmask64(1) << (n - i)) - 1;
            const __m512i s = _mm512_maskz_loadu_epi8(in, src + i);
            __mmask64 draw = _mm512_test_epi8_mask(s, s);
            if (count < 256) draw = _mm512_mask_cmplt_epu8_mask(draw, s, limit);
            if (draw == 0) continue;
            const __m512i v = _mm512_permutexvar_epi8(order, s);
            const __mmask64 high = _mm512_movepi8_mask(v);
            const __m512i b = look_up(plane[0], v, high), g = look_up(plane[1], v, high),
                          red = look_up(plane[2], v, high), a = look_up(plane[3], v, high);
            const __m512i bgLow = _mm512_unpacklo_epi8(b, g), bgHigh = _mm512_unpackhi_epi8(b, g);
            const __m512i raLow = _mm512_unpacklo_epi8(red, a),
                          raHigh = _mm512_unpackhi_epi8(red, a);
            const __m512i px[4] = {
                _mm512_unpacklo_epi16(bgLow, raLow), _mm512_unpackhi_epi16(bgLow, raLow),
                _mm512_unpacklo_epi16(bgHigh, raHigh), _mm512_unpackhi_epi16(bgHigh, raHigh)};
            for (unsigned j = 0; j < 4; ++j) {
                const __mmask16 m = __mmask16(draw >> (16 * j));
                if (m) _mm512_mask_storeu_epi32(dst + i + 16 * j, m, px[j]);
            }
        }
        if (++row == r.rows) break;
        dst += r.dstStep;
        src += r.srcStep;
    }
}

#endif
