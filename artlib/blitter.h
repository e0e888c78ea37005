// Row loops of surface drawing. Callers clip first, so the loops run over
// exactly the pixels to draw and test no bounds. These functions are the seam
// where vector forms of the loops plug in.
#pragma once

#include "art_handle.h"

#include <stddef.h>
#include <stdint.h>

// Draws n 8-bit pixels of `src` onto `dst`: value 0 is transparent, any other
// value below colorCount writes that entry of `colors` (all four bytes).
// Values at or above colorCount have no colour and are left transparent too.
void blit_indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                      uint32_t colorCount);

// Darkens dst[i] for every set bit of n 1-bit pixels starting at bit
// `firstBit` (0..7, 0 = most significant) of src[0]: blue, green and red are
// halved, the fourth byte is kept. Reads only the bytes those n bits lie in.
void blit_shadow_row(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n);
