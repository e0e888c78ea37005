// The pixel loops of drawing (and of the 24-bit bitmap writer). Callers clip
// first, so the loops run over exactly the pixels to draw and test no bounds.
//
// Each loop has a portable form, the reference, and on x86 faster forms for
// processors with SSE2, AVX2 or AVX-512; every form gives exactly the same
// pixels.
// Callers ask blitter() for the loops: the best set this processor runs,
// picked once, on first use.
#pragma once

#include "art_handle.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// The clipped part of an image and where it goes: `rows` rows of `width`
// pixels. Row r of the image data starts at src + r * srcStep (bytes), its
// pixels on the surface at dst + r * dstStep (pixels; negative for a
// bottom-up surface). The loops step only between rows they draw, so no
// pointer ever leaves the surface or the image data.
struct blit_rows {
    RGBQUAD *dst;
    ptrdiff_t dstStep;
    const uint8_t *src;
    ptrdiff_t srcStep;
    size_t width, rows;
};

// 8-bit pixels: value 0 is transparent, any other value below colorCount
// writes that entry of `colors` (all four bytes). Values at or above
// colorCount have no colour and are left transparent too. Reads only the
// `width` bytes of each row.
typedef void (*indexed_rows_fn)(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount);

// 1-bit pixels, each row starting at bit `firstBit` (0..7, 0 = most
// significant) of its first byte: a set bit darkens its target pixel (blue,
// green and red halved, the fourth byte kept). Reads only the bytes a row's
// bits lie in.
typedef void (*shadow_rows_fn)(const blit_rows &r, unsigned firstBit);

// `count` 32-bit pixels (blue, green, red, fourth byte) to 24 bits (blue,
// green, red), the fourth byte dropped.
typedef void (*bgrx_to_bgr_fn)(const uint8_t *src, uint8_t *dst, size_t count);

// AVX512: AVX-512 with byte permutes (VBMI) for the 8-bit loop, the AVX2
// forms for the others.
enum blit_level { BLIT_PORTABLE, BLIT_SSE2, BLIT_AVX2, BLIT_AVX512, BLIT_BEST = BLIT_AVX512 };

struct blit_kernels {
    blit_level level;
    const char *name;
    indexed_rows_fn indexed;
    shadow_rows_fn shadow;
    bgrx_to_bgr_fn bgrx_to_bgr;
};

// The loops drawing and the 24-bit writer use.
const blit_kernels &blitter();

// The loops of `level`, or of the best level below it that this build and
// this processor have.
const blit_kernels &blit_kernels_for(blit_level level);

// Makes them blit_kernels_for(level) from now on and returns the level
// it got. For tests and benchmarks, which run every form in turn.
blit_level blit_use_level(blit_level level);

// The portable forms, and their single rows (n pixels from src to dst), which
// the other forms use for what their wide steps leave over.
void blit_indexed_rows(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount);
void blit_shadow_rows(const blit_rows &r, unsigned firstBit);
void blit_indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                      uint32_t colorCount);
void blit_shadow_row(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);
void blit_bgrx_to_bgr(const uint8_t *src, uint8_t *dst, size_t count);

// Unaligned words of pixel and mask data.
inline uint32_t load32(const void *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}
inline void store32(void *p, uint32_t v) {
    memcpy(p, &v, 4);
}
inline uint64_t load64(const void *p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

// The rows of a 1-bit mask for the wide forms: the pixels before the first
// byte boundary and those the wide steps leave over go through
// blit_shadow_row; `middle(dst, src, n)` draws from a byte boundary and
// returns how many of the n pixels it drew (a multiple of 8).
template <class Middle>
inline void walk_shadow_rows(const blit_rows &r, unsigned firstBit, Middle middle) {
    if (r.width == 0 || r.rows == 0) return;
    const size_t lead = firstBit == 0 ? 0 : 8 - firstBit < r.width ? 8 - firstBit : r.width;
    const size_t skip = lead ? 1 : 0; // the mask byte the lead pixels take
    RGBQUAD *dst = r.dst;
    const uint8_t *src = r.src;
    for (size_t row = 0;;) {
        if (lead) blit_shadow_row(dst, src, firstBit, lead);
        const size_t n = r.width - lead, done = middle(dst + lead, src + skip, n);
        if (done < n) blit_shadow_row(dst + lead + done, src + skip + done / 8, 0, n - done);
        if (++row == r.rows) break;
        dst += r.dstStep;
        src += r.srcStep;
    }
}

#if defined(__i386__) || defined(__x86_64__)
#define ZEVART_X86_KERNELS 1
void blit_shadow_rows_sse2(const blit_rows &r, unsigned firstBit);
void blit_indexed_rows_avx2(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount);
void blit_shadow_rows_avx2(const blit_rows &r, unsigned firstBit);
void blit_bgrx_to_bgr_avx2(const uint8_t *src, uint8_t *dst, size_t count);
void blit_indexed_rows_avx512(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount);
#endif
