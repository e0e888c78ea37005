// The portable pixel loops, and the choice of loops for this processor.
#include "blitter.h"

#include <string.h>

#include <atomic>

namespace {

// A pixel as one 32-bit word: its fourth byte, and the pixel with blue, green
// and red halved (each byte shifted right, the bit it takes from its
// neighbour masked off).
const uint32_t kFourthByte = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0xFF000000u : 0x000000FFu;

uint32_t halved(uint32_t p) {
    return ((p >> 1) & 0x7F7F7F7Fu & ~kFourthByte) | (p & kFourthByte);
}

// Keeps `old` where mask is 0 and takes `now` where it is all ones.
uint32_t select(uint32_t mask, uint32_t now, uint32_t old) {
    return old ^ ((old ^ now) & mask);
}

// True when some byte of w is 0.
bool has_zero_byte(uint64_t w) {
    return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0;
}

// Bits `from`..`to` - 1 of one mask byte (0 = most significant) over the
// pixels dst[0..to - from), without a branch per bit.
void shade_bits(RGBQUAD *dst, uint32_t bits, unsigned from, unsigned to) {
    for (unsigned k = from; k < to; ++k, ++dst) {
        uint32_t mask = 0u - ((bits >> (7 - k)) & 1u);
        uint32_t p = load32(dst);
        store32(dst, select(mask, halved(p), p));
    }
}

// A row this long is a wide surface, which seldom stays in the cache: its
// pixels are asked for ahead of the loop, 512 bytes on. (A prefetch never
// faults, and the address is only a number, never a pointer past the end.)
const size_t kLongRow = 512;

template <bool FetchAhead> void fetch_ahead(const RGBQUAD *p) {
    if (FetchAhead)
        __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p) + 512), 1);
}

// `last`: the highest value with a colour, 1..255. One unsigned compare of
// value - 1 with it rejects both value 0 (wraps to the top) and values with
// no palette entry.
template <bool FetchAhead>
void indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors, uint32_t last) {
    size_t i = 0;
    if (last == 255) {
        // Every value but 0 has a colour. Sprites are mostly runs: eight clear
        // pixels are passed over and eight opaque ones copied without a test.
        for (; n - i >= 8; i += 8) {
            if ((i & 8) == 0) fetch_ahead<FetchAhead>(dst + i); // a cache line per 16 pixels
            const uint64_t w = load64(src + i);
            if (w == 0) continue;
            RGBQUAD *d = dst + i;
            const uint8_t *s = src + i;
            if (!has_zero_byte(w)) {
                for (unsigned k = 0; k < 8; ++k) d[k] = colors[s[k]];
                continue;
            }
            // A mixed run: no branch per pixel to mispredict.
            for (unsigned k = 0; k < 8; ++k) {
                const uint32_t v = s[k], colour = load32(colors + v), old = load32(d + k);
                store32(d + k, v ? colour : old);
            }
        }
    }
    for (; i < n; ++i) {
        const uint32_t v = src[i], colour = load32(colors + (v < last ? v : last));
        const uint32_t old = load32(dst + i);
        store32(dst + i, v - 1 < last ? colour : old);
    }
}

uint32_t last_colour(uint32_t colorCount) {
    return colorCount > 256 ? 255 : colorCount - 1;
}

} // namespace

void blit_indexed_row(RGBQUAD *dst, const uint8_t *src, size_t n, const RGBQUAD *colors,
                      uint32_t colorCount) {
    if (colorCount > 1) indexed_row<false>(dst, src, n, colors, last_colour(colorCount));
}

void blit_shadow_row(RGBQUAD *dst, const uint8_t *src, unsigned firstBit, size_t n) {
    if (n == 0) return;
    // Leading bits up to the first byte boundary, then whole bytes, then the
    // trailing bits.
    if (firstBit != 0) {
        const size_t lead = 8 - firstBit;
        const unsigned to = n < lead ? firstBit + unsigned(n) : 8;
        shade_bits(dst, *src++, firstBit, to);
        if (n <= lead) return;
        dst += lead;
        n -= lead;
    }
    for (; n >= 8; n -= 8, dst += 8) {
        const uint32_t b = *src++;
        if (b == 0) continue; // eight clear pixels
        if (b == 0xFF) {
            for (unsigned k = 0; k < 8; ++k) store32(dst + k, halved(load32(dst + k)));
            continue;
        }
        shade_bits(dst, b, 0, 8);
    }
    if (n) shade_bits(dst, *src, 0, unsigned(n));
}

void blit_bgrx_to_bgr(const uint8_t *src, uint8_t *dst, size_t count) {
    // Four pixels packed into three words with shifts, where the byte order
    // allows it.
    if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
        for (; count >= 4; count -= 4, src += 16, dst += 12) {
            const uint32_t p0 = load32(src), p1 = load32(src + 4), p2 = load32(src + 8),
                           p3 = load32(src + 12);
            store32(dst, (p0 & 0xFFFFFF) | p1 << 24);
            store32(dst + 4, (p1 >> 8 & 0xFFFF) | p2 << 16);
            store32(dst + 8, (p2 >> 16 & 0xFF) | p3 << 8);
        }
    for (; count; --count, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void blit_indexed_rows(const blit_rows &r, const RGBQUAD *colors, uint32_t colorCount) {
    if (colorCount <= 1 || r.rows == 0) return; // no value but 0 has a colour
    const uint32_t last = last_colour(colorCount);
    RGBQUAD *dst = r.dst;
    const uint8_t *src = r.src;
    const bool wide = r.width >= kLongRow;
    for (size_t i = 0;;) {
        if (wide)
            indexed_row<true>(dst, src, r.width, colors, last);
        else
            indexed_row<false>(dst, src, r.width, colors, last);
        if (++i == r.rows) break;
        dst += r.dstStep;
        src += r.srcStep;
    }
}

void blit_shadow_rows(const blit_rows &r, unsigned firstBit) {
    if (r.rows == 0) return;
    RGBQUAD *dst = r.dst;
    const uint8_t *src = r.src;
    for (size_t i = 0;;) {
        blit_shadow_row(dst, src, firstBit, r.width);
        if (++i == r.rows) break;
        dst += r.dstStep;
        src += r.srcStep;
    }
}

namespace {

const blit_kernels kPortable = {BLIT_PORTABLE, "portable", blit_indexed_rows, blit_shadow_rows,
                                blit_bgrx_to_bgr};
#ifdef ZEVART_X86_KERNELS
// SSE2 has no gather and no byte shuffle: its 8-bit loop and its conversion
// are the portable ones.
const blit_kernels kSse2 = {BLIT_SSE2, "sse2", blit_indexed_rows, blit_shadow_rows_sse2,
                            blit_bgrx_to_bgr};
const blit_kernels kAvx2 = {BLIT_AVX2, "avx2", blit_indexed_rows_avx2, blit_shadow_rows_avx2,
                            blit_bgrx_to_bgr_avx2};
// Shadows and the conversion gain nothing from wider registers (memory holds
// them back at the sizes that matter): theirs are the AVX2 loops.
const blit_kernels kAvx512 = {BLIT_AVX512, "avx512", blit_indexed_rows_avx512,
                              blit_shadow_rows_avx2, blit_bgrx_to_bgr_avx2};
#endif

blit_level best_level() {
#ifdef ZEVART_X86_KERNELS
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
        return BLIT_AVX512;
    if (__builtin_cpu_supports("avx2")) return BLIT_AVX2;
    if (__builtin_cpu_supports("sse2")) return BLIT_SSE2;
#endif
    return BLIT_PORTABLE;
}

std::atomic<const blit_kernels *> &in_use() {
    static std::atomic<const blit_kernels *> kernels{&blit_kernels_for(BLIT_BEST)};
    return kernels;
}

} // namespace

const blit_kernels &blit_kernels_for(blit_level level) {
    static const blit_level best = best_level();
    if (level > best) level = best;
#ifdef ZEVART_X86_KERNELS
    if (level == BLIT_AVX512) return kAvx512;
    if (level == BLIT_AVX2) return kAvx2;
    if (level == BLIT_SSE2) return kSse2;
#endif
    return kPortable;
}

const blit_kernels &blitter() {
    return *in_use().load(std::memory_order_relaxed);
}

blit_level blit_use_level(blit_level level) {
    const blit_kernels &k = blit_kernels_for(level);
    in_use().store(&k, std::memory_order_relaxed);
    return k.level;
}
