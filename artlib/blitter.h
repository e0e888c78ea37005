// Row loops of surface drawing. Callers clip first, so the loops run over
// exactly the pixels to draw and test no bounds.
//
// Each loop has a portable form, the reference, and on x86 faster forms for
// processors with SSE2 or AVX2; every form draws exactly the same pixels.
// Drawing asks blitter() for its loops: the best set this processor runs,
// picked once, on first use.
#pragma once

#include "art_handle.h"

#include <stddef.h>
#include <stdint.h>

// Draws n 8-bit pixels of `src` onto `dst`: value 0 is transparent, any other
// value below colorCount writes that entry of `colors` (all four bytes).
// Values at or above colorCount have no colour and are left transparent too.
// Reads only src[0..n).
typedef void (*indexed_row_fn)(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                               uint32_t colorCount);

// Darkens dst[i] for every set bit of n 1-bit pixels starting at bit
// `firstBit` (0..7, 0 = most significant) of src[0]: blue, green and red are
// halved, the fourth byte is kept. Reads only the bytes those n bits lie in.
typedef void (*shadow_row_fn)(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);

enum blit_level { BLIT_PORTABLE, BLIT_SSE2, BLIT_AVX2 };

struct blit_kernels {
    blit_level level;
    const char *name;
    indexed_row_fn indexed_row;
    shadow_row_fn shadow_row;
};

// The loops drawing uses.
const blit_kernels &blitter();

// The loops of `level`, or of the best level below it that this build and
// this processor have.
const blit_kernels &blit_kernels_for(blit_level level);

// Makes drawing use blit_kernels_for(level) from now on and returns the level
// it got. For tests and benchmarks, which run every form in turn.
blit_level blit_use_level(blit_level level);

// The portable forms.
void blit_indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                      uint32_t colorCount);
void blit_shadow_row(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);

#if defined(__i386__) || defined(__x86_64__)
#define ZEVART_X86_KERNELS 1
void blit_shadow_row_sse2(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);
void blit_indexed_row_avx2(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                           uint32_t colorCount);
void blit_shadow_row_avx2(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);
#endif
