#include "blitter.h"

void blit_indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                      uint32_t colorCount) {
    if (colorCount == 0) return;
    // One unsigned compare rejects both value 0 (wraps to the top) and
    // values with no palette entry.
    const uint32_t last = colorCount > 256 ? 255 : colorCount - 1;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = src[i];
        if (v - 1 < last) dst[i] = colors[v];
    }
}

namespace {

inline void halve(RGBQUAD &p) {
    p.rgbBlue >>= 1;
    p.rgbGreen >>= 1;
    p.rgbRed >>= 1;
}

} // namespace

void blit_shadow_row(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n) {
    size_t i = 0;
    unsigned bit = firstBit;
    // Leading bits up to the first byte boundary, then whole bytes (a clear
    // byte skips eight pixels at once), then the trailing bits.
    for (; bit != 0 && bit < 8 && i < n; ++bit, ++i)
        if (*src & (0x80u >> bit)) halve(dst[i]);
    if (bit == 8) ++src;
    for (; n - i >= 8; i += 8, ++src) {
        uint8_t b = *src;
        if (!b) continue;
        for (unsigned k = 0; k < 8; ++k)
            if (b & (0x80u >> k)) halve(dst[i + k]);
    }
    for (unsigned k = 0; i < n; ++k, ++i)
        if (*src & (0x80u >> k)) halve(dst[i]);
}
