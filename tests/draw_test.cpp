// Drawing onto 32-bit surfaces: every form of the row loops this processor
// runs (portable, SSE2, AVX2) against the per-pixel reference over sizes,
// clips and row orders; refused surfaces and records; pictures and frames.
#include "fuzz_checks.h"
#include "reference_draw.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>

using namespace artgen;
using reference::surface;
using testing_support::load_set;

namespace {

uint32_t next_random(uint32_t &state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Images whose visible rows, clipped by 0 to 9 pixels at either side, take
// every step and tail of every loop: 8-bit ones over palettes of 2, 3, 200,
// 256 and 300 colours with rows 3 bytes longer than the width (those bytes
// opaque), masks of both types with every padding bit set. Row 0 holds runs
// of clear and opaque pixels as sprites have, row 1 any values (also values
// without a colour), row 2 only opaque ones.
art_set sweep_set() {
    art_set set;
    for (int n : {2, 3, 200, 256, 300}) {
        palette p;
        for (int i = 0; i < n; ++i)
            p.add(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(0x80 ^ i));
        set.palettes.push_back(p);
    }
    uint32_t rnd = 7;
    for (int w : {1, 3, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 40, 47, 63, 64, 65, 100, 130, 600}) {
        std::vector<uint8_t> px(size_t(w + 3) * 3), bits(size_t(w) * 3);
        for (int y = 0; y < 3; ++y) {
            bool opaque = false;
            for (int x = 0, run = 0; x < w + 3; ++x, --run) {
                if (run <= 0) run = 1 + next_random(rnd) % 40, opaque = !opaque;
                const uint8_t any = uint8_t(next_random(rnd)), nonZero = uint8_t(1 + any % 255);
                const uint8_t v = x >= w   ? 7
                                  : y == 0 ? (opaque ? nonZero : 0)
                                  : y == 1 ? any
                                           : nonZero;
                px[size_t(y) * (w + 3) + x] = v;
                if (x < w) bits[size_t(y) * w + x] = v % 2 || y == 2;
            }
        }
        set.images.push_back(image8(w, 3, uint16_t(set.images.size() / 2 % 5), px, w + 3));
        image m = mask1(w, 3, bits);
        const int row = mask_row_bytes(w);
        for (int y = 0; y < 3; ++y)
            for (int x = w; x < row * 8; ++x) m.pixels[size_t(y) * row + x / 8] |= 0x80 >> x % 8;
        m.type = int16_t(w % 2 ? 4 : 5);
        set.images.push_back(m);
    }
    return set;
}

// Anchors along a row: clipped by 0 to 9 pixels at either edge of a surface
// 2 pixels wider than the image, just outside on both sides, and where
// x + width overflows 32 bits.
std::vector<int> columns(int width) {
    std::vector<int> at{-width, width + 2, INT_MIN, INT_MAX - 2};
    for (int k = 0; k <= 9; ++k) at.insert(at.end(), {-k, 2 + k});
    return at;
}

TEST(DrawSweep, EveryLoopMatchesTheReferenceOverSizesClipsAndRowOrders) {
    art_handle h;
    ASSERT_EQ(load_set(h, sweep_set()), ART_OK);
    struct restore {
        ~restore() { blit_use_level(BLIT_BEST); } // the best this processor has
    } restoreLevel;
    int failures = 0;
    for (blit_level level : testing_support::blit_levels()) {
        ASSERT_EQ(blit_use_level(level), level);
        for (uint32_t i = 0; i < h.imageCount; ++i) {
            mem_image &im = h.images[i];
            const int32_t w = im.width, ht = im.height;
            const int16_t type = im.type;
            for (bool topDown : {true, false}) {
                const surface blank(w + 2, topDown ? -(ht + 2) : ht + 2);
                surface got = blank, want = blank;
                for (int y : {-ht, 1 - ht, -1, 0, 1, 2, ht + 1, ht + 2})
                    for (int x : columns(w)) {
                        got = blank;
                        want = blank;
                        const bool ok = im.draw(got.pixels(), &got.info, x, y);
                        reference::draw_image(im, want, x, y);
                        const std::string diff =
                            ok ? reference::first_difference(got, want) : "returned false";
                        if (diff.empty()) continue;
                        ADD_FAILURE()
                            << blitter().name << ": image " << i << " (type " << type << ", " << w
                            << " x " << ht << ") at (" << x << ", " << y << "), "
                            << (topDown ? "top-down" : "bottom-up") << ": " << diff;
                        if (++failures == 5) return;
                    }
            }
        }
    }
}

// Palette 0 of ten colours with fourth bytes; image 0 of 6 x 5 pixels.
art_set rules_set() {
    art_set set;
    palette p;
    for (int i = 0; i < 10; ++i)
        p.add(uint8_t(10 + i), uint8_t(20 + i), uint8_t(30 + i), uint8_t(0xA0 + i));
    set.palettes.push_back(p);
    std::vector<uint8_t> px;
    for (int i = 0; i < 30; ++i) px.push_back(uint8_t(1 + (i % 6 + i / 6) % 9));
    set.images = {image8(6, 5, 0, px)};
    return set;
}

// Surfaces that are refused and records no loader makes (as a client might
// hand them over): nothing is written; only a surface fault is a failure.
TEST(DrawRules, RefusedSurfacesAndUnusableRecordsChangeNothing) {
    art_handle h;
    ASSERT_EQ(load_set(h, rules_set()), ART_OK);
    const struct {
        const char *what;
        uint16_t bits;
        int32_t width, height;
        bool nullPixels, nullInfo, result;
    } surfaces[] = {{"24-bit surface", 24, 10, 10, false, false, false},
                    {"biHeight 0", 32, 10, 0, false, false, false},
                    {"null pixels", 32, 10, 10, true, false, false},
                    {"null header", 32, 10, 10, false, true, false},
                    {"biWidth 0", 32, 0, 10, false, false, true},
                    {"biWidth -10", 32, -10, 10, false, false, true}};
    for (const auto &c : surfaces) {
        surface s(c.width, c.height, c.bits);
        const surface before = s;
        RGBQUAD *px = c.nullPixels ? nullptr : s.pixels();
        BITMAPINFO *info = c.nullInfo ? nullptr : &s.info;
        EXPECT_EQ(h.images[0].draw(px, info, 0, 0), c.result) << c.what;
        EXPECT_EQ(drawImageDIB(px, info, 0, 0, &h, 0), c.result) << c.what;
        EXPECT_EQ(reference::first_difference(s, before), "") << c.what;
    }
    uint8_t px[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    RGBQUAD colors[2] = {{9, 9, 9, 9}, {7, 7, 7, 7}};
    mem_palette none{0, colors}, two{2, colors}, nullColors{2, nullptr};
    const struct {
        const char *what;
        mem_image im;
    } records[] = {
        {"height 0", {2, px, 0, 2, 0, &two}},
        {"height -1", {2, px, -1, 2, 0, &two}},
        {"width -2", {2, px, 2, -2, 0, &two}},
        {"mask width -1", {0, px, 1, -1, 5, nullptr}},
        {"palette of 0 colours", {2, px, 2, 2, 0, &none}},
        {"null palette", {2, px, 2, 2, 0, nullptr}},
        {"null colours", {2, px, 2, 2, 0, &nullColors}},
        {"null pixels", {2, nullptr, 2, 2, 0, &two}},
        {"null mask pixels", {0, nullptr, 2, 2, 4, nullptr}},
        {"rows shorter than the width", {1, px, 2, 2, 0, &two}},
    };
    for (const auto &c : records) {
        surface s(4, 4);
        const surface before = s;
        mem_image im = c.im;
        EXPECT_TRUE(im.draw(s.pixels(), &s.info, 0, 0)) << c.what;
        EXPECT_EQ(reference::first_difference(s, before), "") << c.what;
    }
    art_handle empty;
    surface s(4, 4);
    for (art_handle *set : {static_cast<art_handle *>(nullptr), &empty})
        EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, set, 0) ||
                     drawPicDIB(s.pixels(), &s.info, 0, 0, set, 0) ||
                     drawFrameDIB(s.pixels(), &s.info, 0, 0, set, 0))
            << (set ? "nothing loaded" : "no set");
    EXPECT_FALSE(h.images[0].getDrawRect(nullptr)) << "nowhere to put the rectangle";
}

// Images 1 and 2 are solid colour 1 (A, 10 x 10) and colour 2 (B, 4 x 20).
art_set compose_set() {
    art_set set = rules_set();
    auto pic = [](uint16_t image, uint8_t slot, int16_t x, int16_t y) {
        picture p;
        p.image = image, p.slot = slot, p.x = x, p.y = y;
        return p;
    };
    set.images = {set.images[0], image8(10, 10, 0, std::vector<uint8_t>(100, 1)),
                  image8(4, 20, 0, std::vector<uint8_t>(80, 2)), mask1(2, 2, {1, 0, 0, 1})};
    group g;
    g.frames.resize(5);
    g.frames[0].pics = {pic(0, 0, -4, 6)};
    g.frames[1].pics = {pic(2, 1, 5, -3), pic(1, 0, 0, 0)}; // B listed first, drawn last
    g.frames[2].pics = {pic(1, 0, 0, 0), pic(3, 1, 3, 3)};  // a shadow over A's (3, 3)
    g.frames[4].pics = {pic(0, 0, -32768, 32767), pic(0, 1, 32767, -32768)};
    set.groups.push_back(g); // frame 3 has no pictures
    // One more frame and one more picture than the groups fill: zero entries.
    set.frameCountField = set.frame_count() + 1;
    set.picCountField = set.picture_count() + 1;
    return set;
}

// Every picture and frame against the reference, with their rectangles and
// index exports, on surfaces of both row orders, refused ones and anchors that
// bring offsets of about 32768 back in (the sweeps do so for the sample and
// the shapes).
TEST(Compose, PicturesAndFramesMatchTheReference) {
    art_handle art;
    ASSERT_EQ(load_set(art, compose_set()), ART_OK);
    std::vector<surface_choice> choices = {{20, -20, 32, 0, 3, 32768 + 2, -32767 + 3},
                                           {10, 17, 32, -4, 5, -32767 + 5, 32768 + 1},
                                           {20, 20, 24, 0, 0, 0, 0},
                                           {1, -1, 32, 0, 0, INT32_MIN, INT32_MAX}};
    for (const surface_choice &c : choices) EXPECT_EQ(check_set_draws(art, c), "");

    // Pictures without an image: nothing to draw, so drawing one fails, a
    // frame passes over it and rectangles leave it out.
    mem_pic run[3] = {{-50, -50, nullptr}, {2, 1, &art.images[0]}, {60, 60, nullptr}};
    mem_frame f{3, run};
    surface got(10, 10), drawn = got;
    EXPECT_FALSE(run[0].draw(got.pixels(), &got.info, 0, 0));
    EXPECT_TRUE(f.draw(got.pixels(), &got.info, 0, 0));
    reference::draw_image(art.images[0], drawn, 2, 1);
    EXPECT_EQ(reference::first_difference(got, drawn), "");
    RECT r[2];
    EXPECT_TRUE(f.getDrawRect(&r[0]) && run[0].getDrawRect(&r[1]));
    EXPECT_TRUE(r[0].left == 2 && r[0].top == 1 && r[0].right == 8 && r[0].bottom == 6)
        << "frame with pictures without an image";
    EXPECT_TRUE(r[1].left == -50 && r[1].top == -50 && r[1].right == -50 && r[1].bottom == -50)
        << "picture without an image";
}

} // namespace
