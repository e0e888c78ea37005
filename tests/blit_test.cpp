// Every form of the pixel loops this processor runs (portable, SSE2, AVX2)
// gives exactly the pixels the drawing rules give: row by row over lengths,
// palettes, start bits and value patterns, and through mem_image::draw over
// image sizes, clip positions and both row orders; and the 24-bit conversion
// of the bitmap writer.
#include "blitter.h"
#include "sample_art.h"
#include "surface_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The levels this processor runs, each once. Forcing a level is how the
// fallbacks are tested on a processor that has better.
std::vector<blit_level> levels() {
    std::vector<blit_level> out;
    for (blit_level l : {BLIT_PORTABLE, BLIT_SSE2, BLIT_AVX2})
        if (blit_kernels_for(l).level == l) out.push_back(l);
    return out;
}

// Drawing goes back to the best loops when a test is done.
struct level_guard {
    ~level_guard() { blit_use_level(BLIT_AVX2); }
};

uint32_t next_random(uint32_t &state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// (Scoped: <windows.h> defines OPAQUE.)
enum class pattern { runs, random, opaque, clear };
const char *const kPatternNames[] = {"runs", "random", "opaque", "clear"};

// Row values: runs of clear and opaque pixels as sprites have, values clear
// at random (any value, so also values without a colour), or all one kind.
std::vector<uint8_t> values(size_t n, pattern p, uint32_t &rnd) {
    std::vector<uint8_t> v(n);
    bool opaque = false;
    size_t runLeft = 0;
    for (uint8_t &b : v) {
        if (runLeft == 0) {
            runLeft = 1 + next_random(rnd) % 40;
            opaque = !opaque;
        }
        --runLeft;
        const uint8_t any = uint8_t(next_random(rnd)), nonZero = uint8_t(1 + any % 255);
        b = p == pattern::runs     ? (opaque ? nonZero : 0)
            : p == pattern::random ? (any % 2 ? any : 0)
            : p == pattern::opaque ? nonZero
                                   : 0;
    }
    return v;
}

// Target pixels that differ from each other in all four bytes.
std::vector<RGBQUAD> target(size_t n) {
    std::vector<RGBQUAD> t(n);
    for (size_t i = 0; i < n; ++i)
        t[i] = quad(uint8_t(0xC0 ^ i), uint8_t(0x3F + 3 * i), uint8_t(0xFF - i), uint8_t(0x90 + i));
    return t;
}

std::string row_difference(const std::vector<RGBQUAD> &got, const std::vector<RGBQUAD> &want,
                           size_t guard) {
    for (size_t i = 0; i < got.size(); ++i)
        if (!same(got[i], want[i]))
            return (i < guard || i >= got.size() - guard ? "guard pixel " : "pixel ") +
                   std::to_string(i) + ": got " + show(got[i]) + ", want " + show(want[i]);
    return "";
}

std::vector<size_t> lengths() {
    std::vector<size_t> n;
    for (size_t i = 0; i <= 70; ++i) n.push_back(i);
    for (size_t i : {95, 96, 97, 127, 128, 129, 255, 256, 257, 600, 1031}) n.push_back(i);
    return n;
}

const size_t kRowGuard = 9;

TEST(RowLoops, IndexedRowsMatchTheRules) {
    int failures = 0;
    uint32_t rnd = 7;
    for (blit_level level : levels()) {
        const blit_kernels &k = blit_kernels_for(level);
        for (uint32_t colorCount : {2u, 3u, 200u, 256u, 300u}) {
            // Exactly colorCount entries: a look-up past them is caught by
            // AddressSanitizer.
            std::vector<RGBQUAD> colors = target(colorCount);
            for (pattern p : {pattern::runs, pattern::random, pattern::opaque, pattern::clear})
                for (size_t n : lengths()) {
                    const std::vector<uint8_t> src = values(n, p, rnd);
                    std::vector<RGBQUAD> got = target(n + 2 * kRowGuard), want = got;
                    for (size_t i = 0; i < n; ++i)
                        if (src[i] != 0 && src[i] < colorCount)
                            want[kRowGuard + i] = colors[src[i]];
                    k.indexed({got.data() + kRowGuard, 0, src.data(), 0, n, 1}, colors.data(),
                              colorCount);
                    const std::string diff = row_difference(got, want, kRowGuard);
                    if (diff.empty()) continue;
                    ADD_FAILURE() << k.name << ", " << colorCount << " colours, "
                                  << kPatternNames[int(p)] << ", " << n << " pixels: " << diff;
                    if (++failures >= 5) return;
                }
        }
    }
}

TEST(RowLoops, ShadowRowsMatchTheRulesFromEveryStartBit) {
    int failures = 0;
    uint32_t rnd = 11;
    const char *const kinds[] = {"random", "all set", "none set", "checkerboard", "runs"};
    for (blit_level level : levels()) {
        const blit_kernels &k = blit_kernels_for(level);
        for (unsigned firstBit = 0; firstBit < 8; ++firstBit)
            for (int kind = 0; kind < 5; ++kind)
                for (size_t n : lengths()) {
                    // Exactly the bytes the bits lie in; the bits around them
                    // are set and must not darken anything.
                    std::vector<uint8_t> src((firstBit + n + 7) / 8, 0xFF);
                    std::vector<RGBQUAD> got = target(n + 2 * kRowGuard), want = got;
                    for (size_t i = 0; i < n; ++i) {
                        const size_t bit = firstBit + i;
                        bool set = kind == 0   ? next_random(rnd) % 2
                                   : kind == 1 ? true
                                   : kind == 2 ? false
                                   : kind == 3 ? i % 2 == 0
                                               : (i / 13) % 2 == 1;
                        if (!set) src[bit / 8] &= uint8_t(~(0x80 >> (bit % 8)));
                        if (!set) continue;
                        RGBQUAD &w = want[kRowGuard + i];
                        w.rgbBlue >>= 1;
                        w.rgbGreen >>= 1;
                        w.rgbRed >>= 1;
                    }
                    k.shadow({got.data() + kRowGuard, 0, src.data(), 0, n, 1}, firstBit);
                    const std::string diff = row_difference(got, want, kRowGuard);
                    if (diff.empty()) continue;
                    ADD_FAILURE() << k.name << ", " << kinds[kind] << ", first bit " << firstBit
                                  << ", " << n << " pixels: " << diff;
                    if (++failures >= 5) return;
                }
    }
}

TEST(RowLoops, ConversionTo24BitsKeepsBlueGreenRed) {
    uint32_t rnd = 5;
    for (blit_level level : levels()) {
        const blit_kernels &k = blit_kernels_for(level);
        for (size_t n : lengths()) {
            std::vector<uint8_t> src(4 * n); // exactly the pixels
            for (uint8_t &b : src) b = uint8_t(next_random(rnd));
            std::vector<uint8_t> got(3 * n + kRowGuard, kPoison), want = got;
            for (size_t i = 0; i < 3 * n; ++i) want[i] = src[i / 3 * 4 + i % 3];
            k.bgrx_to_bgr(src.data(), got.data(), n);
            ASSERT_EQ(got, want) << k.name << ", " << n << " pixels";
        }
    }
}

// Images wide enough for every loop of every level to run, with its tails.
artgen::art_set level_set() {
    using namespace artgen;
    art_set set;
    palette full, part;
    for (int i = 0; i < 256; ++i) {
        full.add(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(0x80 ^ i));
        if (i < 200) part.add(uint8_t(i * 3), uint8_t(i), uint8_t(9), uint8_t(i));
    }
    set.palettes = {full, part};
    uint32_t rnd = 99;
    const int h = 4;
    for (int w : {8, 31, 33, 64, 100, 130})
        for (pattern p : {pattern::runs, pattern::random}) {
            const int rowBytes = w + 3;
            std::vector<uint8_t> px = values(size_t(rowBytes) * h, p, rnd);
            for (int y = 0; y < h; ++y)
                for (int x = w; x < rowBytes; ++x) px[size_t(y) * rowBytes + x] = 7; // never drawn
            set.images.push_back(image8(w, h, uint16_t(w == 33 || w == 100), px, rowBytes));
        }
    for (int w : {9, 33, 64, 100, 130})
        for (pattern p : {pattern::runs, pattern::random}) {
            std::vector<uint8_t> bits = values(size_t(w) * h, p, rnd);
            image m = mask1(w, h, bits);
            const int row = mask_row_bytes(w);
            for (int y = 0; y < h; ++y) // padding bits set: they must never darken
                for (int x = w; x < row * 8; ++x)
                    m.pixels[size_t(y) * row + x / 8] |= uint8_t(0x80 >> (x % 8));
            set.images.push_back(m);
        }
    return set;
}

TEST(DrawLevels, EveryLevelMatchesTheReferenceOverClipsAndRowOrders) {
    art_handle h;
    ASSERT_EQ(load_set(h, level_set()), ART_OK);
    level_guard restore;
    const int SW = 140, SH = 6;
    int failures = 0;
    for (blit_level level : levels()) {
        ASSERT_EQ(blit_use_level(level), level);
        for (uint32_t i = 0; i < h.imageCount; ++i) {
            mem_image &im = h.images[i];
            const int32_t w = im.width, ht = im.height;
            const int16_t type = im.type;
            std::vector<int> xs{3, -w, SW};
            for (int k = 0; k <= 9; ++k) { // clipped by k, also less than a byte
                xs.push_back(-k);
                xs.push_back(SW - w + k);
            }
            for (bool topDown : {true, false})
                for (int y : {-1, 0, 1, SH - ht + 1})
                    for (int x : xs) {
                        surface got(SW, SH, topDown), want(SW, SH, topDown);
                        im.draw(got.pixels(), &got.info, x, y);
                        reference_image(im, want, x, y);
                        const std::string diff = first_difference(got, want);
                        if (diff.empty()) continue;
                        ADD_FAILURE()
                            << blitter().name << ": image " << i << " (type " << type << ", " << w
                            << "x" << ht << ") at (" << x << ", " << y << "), "
                            << (topDown ? "top-down" : "bottom-up") << ": " << diff;
                        if (++failures >= 5) return;
                    }
        }
    }
}

} // namespace
