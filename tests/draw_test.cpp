// Drawing images, pictures and frames onto 32-bit surfaces: the clipped row
// loops against a slow per-pixel reference, the pixel rules, composition and
// draw rectangles.
#include "sample_art.h"
#include "surface_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace artgen;
using namespace testing_support;

namespace {

uint32_t next_random(uint32_t &state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// ---------------------------------------------------------------------------
// The sweep: every image size and format, clipped by every edge, both row
// orders, against the reference.

// A palette of 200 colours whose fourth bytes vary; values 200..255 have none.
palette sweep_palette() {
    palette p;
    for (int i = 0; i < 200; ++i)
        p.add(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(0x80 ^ i));
    return p;
}

art_set sweep_set() {
    art_set set;
    set.palettes.push_back(sweep_palette());
    uint32_t rnd = 12345;
    struct size8 {
        int w, h, rowBytes;
    };
    for (size8 s :
         {size8{1, 1, 1}, size8{3, 5, 8}, size8{8, 4, 8}, size8{17, 6, 20}, size8{40, 3, 40}}) {
        std::vector<uint8_t> px(size_t(s.rowBytes) * s.h);
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.rowBytes; ++x) {
                uint8_t v = next_random(rnd) % 4 == 0 ? 0 : uint8_t(next_random(rnd));
                if (x >= s.w) v = 5; // row padding: never drawn
                px[size_t(y) * s.rowBytes + x] = v;
            }
        set.images.push_back(image8(s.w, s.h, 0, px, s.rowBytes));
    }
    for (int w : {1, 7, 8, 9, 31, 32, 33, 65}) {
        int h = w == 33 ? 1 : 4;
        std::vector<uint8_t> bits(size_t(w) * h);
        for (uint8_t &b : bits) b = next_random(rnd) % 2;
        image m = mask1(w, h, bits);
        // Set every padding bit: padding must never darken anything.
        int row = mask_row_bytes(w);
        for (int y = 0; y < h; ++y)
            for (int x = w; x < row * 8; ++x)
                m.pixels[size_t(y) * row + x / 8] |= uint8_t(0x80 >> (x % 8));
        if (w == 9) m.type = 5;
        set.images.push_back(m);
    }
    return set;
}

// Positions along one axis: clipped by 0..9 at the near and at the far edge,
// and just outside on both sides.
std::vector<int> sweep_positions(int size, int surfaceSize) {
    std::vector<int> at;
    for (int k = 0; k <= 9; ++k) {
        at.push_back(-k);
        at.push_back(surfaceSize - size + k);
    }
    at.push_back(-size);
    at.push_back(surfaceSize);
    return at;
}

TEST(DrawImage, MatchesReferenceOverSizesClipsAndRowOrders) {
    art_handle h;
    ASSERT_EQ(load_set(h, sweep_set()), ART_OK);
    const int SW = 24, SH = 10;
    int failures = 0;
    for (uint32_t i = 0; i < h.imageCount && failures < 5; ++i) {
        mem_image &im = h.images[i];
        const int32_t w = im.width, ht = im.height;
        const int16_t type = im.type;
        for (bool topDown : {true, false})
            for (int y : sweep_positions(ht, SH))
                for (int x : sweep_positions(w, SW)) {
                    surface got(SW, SH, topDown), want(SW, SH, topDown);
                    bool ok = im.draw(got.pixels(), &got.info, x, y);
                    reference_image(im, want, x, y);
                    std::string diff = first_difference(got, want);
                    if (ok && diff.empty()) continue;
                    ADD_FAILURE() << "image " << i << " (type " << type << ", " << w << "x" << ht
                                  << ") at (" << x << ", " << y << "), "
                                  << (topDown ? "top-down" : "bottom-up")
                                  << (ok ? "" : ": returned false") << (diff.empty() ? "" : ": ")
                                  << diff;
                    if (++failures >= 5) return;
                }
    }
}

// ---------------------------------------------------------------------------
// Pixel rules and surfaces, on a small set: palette 0 has ten colours, entry i
// being (b 30+i, g 20+i, r 10+i, fourth byte 0xA0+i).

RGBQUAD colour(int i) {
    return quad(uint8_t(30 + i), uint8_t(20 + i), uint8_t(10 + i), uint8_t(0xA0 + i));
}

art_set rules_set() {
    art_set set;
    palette p;
    for (int i = 0; i < 10; ++i)
        p.add(uint8_t(10 + i), uint8_t(20 + i), uint8_t(30 + i), uint8_t(0xA0 + i));
    set.palettes.push_back(p);
    palette three;
    for (int i = 0; i < 3; ++i) three.add(uint8_t(i), uint8_t(i), uint8_t(i), uint8_t(i));
    set.palettes.push_back(three);
    // 0: 6 x 5, pixel (c, r) = 1 + (c + r) % 9, never 0.
    std::vector<uint8_t> px;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 6; ++c) px.push_back(uint8_t(1 + (c + r) % 9));
    set.images.push_back(image8(6, 5, 0, px));
    // 1: 2 x 1, values 0 and 7.
    set.images.push_back(image8(2, 1, 0, {0, 7}));
    // 2: 1 x 1 shadow.
    set.images.push_back(mask1(1, 1, {1}));
    // 3: 33 x 2 shadow, only pixels 8 and 32 of row 1 set.
    std::vector<uint8_t> bits(66);
    bits[33 + 8] = bits[33 + 32] = 1;
    set.images.push_back(mask1(33, 2, bits));
    // 4: 3 x 2 with rows of 5 bytes; the two extra bytes are opaque values.
    set.images.push_back(image8(3, 2, 0, {1, 2, 3, 9, 9, 4, 5, 6, 9, 9}, 5));
    // 5: values 2, 3 and 255 with a palette of three colours.
    set.images.push_back(image8(3, 1, 1, {2, 3, 255}));
    return set;
}

class DrawRules : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(load_set(art, rules_set()), ART_OK); }
    art_handle art;
};

TEST_F(DrawRules, RefusesSurfacesThatAreNot32BitOrHaveNoRows) {
    mem_image &im = art.images[0];
    surface s(10, 10);
    const std::vector<RGBQUAD> before = s.mem;
    s.info.bmiHeader.biBitCount = 24;
    EXPECT_FALSE(im.draw(s.pixels(), &s.info, 0, 0)) << "24-bit surface";
    EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, 0)) << "24-bit through the export";
    s.info.bmiHeader.biBitCount = 32;
    s.info.bmiHeader.biHeight = 0;
    EXPECT_FALSE(im.draw(s.pixels(), &s.info, 0, 0)) << "biHeight 0";
    s.info.bmiHeader.biHeight = -10;
    EXPECT_FALSE(im.draw(nullptr, &s.info, 0, 0)) << "null pixels";
    EXPECT_FALSE(im.draw(s.pixels(), nullptr, 0, 0)) << "null header";
    s.info.bmiHeader.biWidth = 0;
    EXPECT_TRUE(im.draw(s.pixels(), &s.info, 0, 0)) << "biWidth 0: no valid pixel";
    s.info.bmiHeader.biWidth = -10;
    EXPECT_TRUE(im.draw(s.pixels(), &s.info, 0, 0)) << "biWidth -10: no valid pixel";
    EXPECT_TRUE(same_bytes(s.mem, before)) << "a refused surface was written";
}

TEST_F(DrawRules, ClipsAtTheTopLeftKeepingThePlacement) {
    mem_image &im = art.images[0];
    for (bool topDown : {true, false}) {
        const char *order = topDown ? "top-down" : "bottom-up";
        surface s(10, 10, topDown), want(10, 10, topDown);
        EXPECT_TRUE(im.draw(s.pixels(), &s.info, -3, -2)) << order;
        reference_image(im, want, -3, -2);
        EXPECT_EQ(first_difference(s, want), "") << order;
        // Image pixel (3, 2) holds 1 + 5 % 9 = 6.
        EXPECT_TRUE(same(s.at(0, 0), colour(6))) << order << ": " << show(s.at(0, 0));
        EXPECT_TRUE(same(s.at(3, 0), quad(kPoison, kPoison, kPoison, kPoison))) << order;
        EXPECT_TRUE(same(s.at(0, 3), quad(kPoison, kPoison, kPoison, kPoison))) << order;
    }
}

TEST_F(DrawRules, RowOrderReversesMemoryNotTheScreen) {
    mem_image &im = art.images[0];
    surface down(8, 7, true), up(8, 7, false);
    ASSERT_TRUE(im.draw(down.pixels(), &down.info, 1, 1));
    ASSERT_TRUE(im.draw(up.pixels(), &up.info, 1, 1));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_TRUE(same(down.at(x, y), up.at(x, y))) << "display pixel " << x << ", " << y;
            ASSERT_TRUE(
                same(down.mem[kGuard + size_t(y) * 8 + x], up.mem[kGuard + size_t(6 - y) * 8 + x]))
                << "memory row " << y;
        }
    // Display row 1 is the second memory row from the end of a bottom-up surface.
    EXPECT_TRUE(same(up.mem[kGuard + 5 * 8 + 1], colour(1))) << show(up.mem[kGuard + 5 * 8 + 1]);
}

TEST_F(DrawRules, WhollyOutsideOrFarAwayDrawsNothing) {
    mem_image &im = art.images[0]; // 6 x 5
    surface s(10, 10);
    const std::vector<RGBQUAD> before = s.mem;
    struct at {
        int x, y;
    };
    // x + width and y + height overflow 32 bits at the far corners.
    for (at p : {at{10, 0}, at{0, -5}, at{-6, 0}, at{0, 10}, at{INT_MAX - 2, 0}, at{0, INT_MAX},
                 at{INT_MIN, 0}, at{INT_MIN, INT_MIN}, at{INT_MAX, INT_MAX}}) {
        EXPECT_TRUE(im.draw(s.pixels(), &s.info, p.x, p.y)) << p.x << ", " << p.y;
        EXPECT_TRUE(same_bytes(s.mem, before)) << "drawn at " << p.x << ", " << p.y;
    }
}

TEST_F(DrawRules, ValueZeroKeepsAllFourBytesAndOthersWriteAllFour) {
    surface s(2, 1);
    s.at(0, 0) = quad(1, 2, 3, 4);
    s.at(1, 0) = quad(1, 2, 3, 4);
    ASSERT_TRUE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, 1));
    EXPECT_TRUE(same(s.at(0, 0), quad(1, 2, 3, 4))) << "value 0: " << show(s.at(0, 0));
    EXPECT_TRUE(same(s.at(1, 0), colour(7))) << "value 7: " << show(s.at(1, 0));
}

TEST_F(DrawRules, ShadowHalvesColourAndKeepsTheFourthByte) {
    mem_image &im = art.images[2];
    surface s(1, 1, false);
    s.at(0, 0) = quad(255, 128, 1, 9);
    ASSERT_TRUE(im.draw(s.pixels(), &s.info, 0, 0));
    EXPECT_TRUE(same(s.at(0, 0), quad(127, 64, 0, 9))) << "once: " << show(s.at(0, 0));
    ASSERT_TRUE(im.draw(s.pixels(), &s.info, 0, 0));
    EXPECT_TRUE(same(s.at(0, 0), quad(63, 32, 0, 9))) << "twice: " << show(s.at(0, 0));
}

TEST_F(DrawRules, ShadowOfWidth33UsesEightBytesARow) {
    mem_image &im = art.images[3];
    const uint8_t *block = im.pixels;
    for (int i = 0; i < 16; ++i) {
        uint8_t want = (i == 8 + 1 || i == 8 + 4) ? 0x80 : 0;
        EXPECT_EQ(block[i], want) << "stored byte " << i;
    }
    for (bool topDown : {true, false}) {
        surface s(40, 3, topDown);
        ASSERT_TRUE(im.draw(s.pixels(), &s.info, 0, 1));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 40; ++x) {
                bool dark = y == 2 && (x == 8 || x == 32);
                uint8_t v = dark ? kPoison >> 1 : kPoison;
                EXPECT_TRUE(same(s.at(x, y), quad(v, v, v, kPoison)))
                    << (topDown ? "top-down" : "bottom-up") << " pixel " << x << ", " << y;
            }
    }
}

TEST_F(DrawRules, RowPaddingIsNeverDrawn) {
    surface s(6, 2);
    ASSERT_TRUE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, 4));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            RGBQUAD want = x < 3 ? colour(1 + 3 * y + x) : quad(kPoison, kPoison, kPoison, kPoison);
            EXPECT_TRUE(same(s.at(x, y), want)) << "pixel " << x << ", " << y;
        }
}

// Values without a palette entry have no colour: they are drawn as
// transparent rather than read from past the colour block.
TEST_F(DrawRules, ValuesPastThePaletteAreTransparent) {
    surface s(3, 1);
    ASSERT_TRUE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, 5));
    EXPECT_TRUE(same(s.at(0, 0), quad(2, 2, 2, 2))) << "value 2 of 3 colours";
    EXPECT_TRUE(same(s.at(1, 0), quad(kPoison, kPoison, kPoison, kPoison))) << "value 3";
    EXPECT_TRUE(same(s.at(2, 0), quad(kPoison, kPoison, kPoison, kPoison))) << "value 255";
}

// Records no loader makes, as a client might hand them over: nothing is drawn
// from what is not there, and the surface was fine, so the result is true.
TEST(DrawImage, UnusableRecordsDrawNothing) {
    uint8_t px[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    RGBQUAD colors[2] = {quad(9, 9, 9, 9), quad(7, 7, 7, 7)};
    mem_palette none{0, colors}, two{2, colors}, nullColors{2, nullptr};
    struct record {
        const char *what;
        mem_image im;
    };
    const record cases[] = {
        {"height 0", {2, px, 0, 2, 0, &two}},
        {"height -1", {2, px, -1, 2, 0, &two}},
        {"width 0", {2, px, 2, 0, 0, &two}},
        {"width -2", {2, px, 2, -2, 0, &two}},
        {"mask height 0", {0, px, 0, 8, 4, nullptr}},
        {"mask width -1", {0, px, 1, -1, 5, nullptr}},
        {"palette of 0 colours", {2, px, 2, 2, 0, &none}},
        {"null palette", {2, px, 2, 2, 0, nullptr}},
        {"null colours", {2, px, 2, 2, 0, &nullColors}},
        {"null pixels", {2, nullptr, 2, 2, 0, &two}},
        {"null mask pixels", {0, nullptr, 2, 2, 4, nullptr}},
        {"rows shorter than the width", {1, px, 2, 2, 0, &two}},
    };
    for (const record &c : cases) {
        surface s(4, 4);
        const std::vector<RGBQUAD> before = s.mem;
        mem_image im = c.im;
        EXPECT_TRUE(im.draw(s.pixels(), &s.info, 0, 0)) << c.what;
        EXPECT_TRUE(same_bytes(s.mem, before)) << c.what;
    }
}

TEST_F(DrawRules, ImageIndexMustBeBelowTheCount) {
    surface s(10, 10);
    const std::vector<RGBQUAD> before = s.mem;
    EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, art.imageCount));
    EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, UINT_MAX));
    EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, nullptr, 0));
    art_handle empty;
    EXPECT_FALSE(drawImageDIB(s.pixels(), &s.info, 0, 0, &empty, 0)) << "nothing loaded";
    EXPECT_TRUE(same_bytes(s.mem, before));
    EXPECT_TRUE(drawImageDIB(s.pixels(), &s.info, 0, 0, &art, art.imageCount - 1));
}

TEST_F(DrawRules, ImageRectIsItsSize) {
    RECT r{1, 2, 3, 4};
    EXPECT_TRUE(art.images[0].getDrawRect(&r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 6);
    EXPECT_EQ(r.bottom, 5);
    EXPECT_FALSE(art.images[0].getDrawRect(nullptr)) << "nowhere to put it";
}

// ---------------------------------------------------------------------------
// Pictures and frames.

void expect_rect(const RECT &r, LONG left, LONG top, LONG right, LONG bottom, const char *what) {
    EXPECT_TRUE(r.left == left && r.top == top && r.right == right && r.bottom == bottom)
        << what << ": got (" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
        << "), want (" << left << ", " << top << ", " << right << ", " << bottom << ")";
}

// Colour 1 of palette 0 is A, colour 2 is B (rules palette).
art_set compose_set() {
    art_set set;
    set.palettes.push_back(rules_set().palettes[0]);
    std::vector<uint8_t> px(80);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(1 + i % 9);
    set.images.push_back(image8(10, 8, 0, px));                            // 0: 10 x 8
    set.images.push_back(image8(10, 10, 0, std::vector<uint8_t>(100, 1))); // 1: solid A
    set.images.push_back(image8(4, 20, 0, std::vector<uint8_t>(80, 2)));   // 2: solid B
    set.images.push_back(mask1(2, 2, {1, 0, 0, 1}));                       // 3: diagonal shadow
    set.images.push_back(image8(3, 2, 0, std::vector<uint8_t>(6, 3)));     // 4: small

    auto pic = [](uint16_t image, uint8_t slot, int16_t x, int16_t y) {
        picture p;
        p.image = image;
        p.slot = slot;
        p.x = x;
        p.y = y;
        return p;
    };
    group g;
    frame f;
    f.pics = {pic(0, 0, -4, 6)}; // frame 0, picture 0
    g.frames.push_back(f);
    // Frame 1: B stacked over A; the file lists B first, its slot puts it last.
    f.pics = {pic(2, 1, 5, -3), pic(1, 0, 0, 0)};
    g.frames.push_back(f);
    // Frame 2: A, then a shadow over its corner (3, 3).
    f.pics = {pic(1, 0, 0, 0), pic(3, 1, 3, 3)};
    g.frames.push_back(f);
    // Frame 3: no pictures.
    f.pics.clear();
    g.frames.push_back(f);
    // Frame 4: offsets at both ends of the 16-bit range.
    f.pics = {pic(4, 0, -32768, 32767), pic(4, 1, 32767, -32768)};
    g.frames.push_back(f);
    set.groups.push_back(g);
    // One more frame and one more picture than the groups fill: zero entries.
    set.frameCountField = set.frame_count() + 1;
    set.picCountField = set.picture_count() + 1;
    return set;
}

class Compose : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(load_set(art, compose_set()), ART_OK); }
    art_handle art;
};

TEST_F(Compose, PictureIsItsImageMovedByTheOffset) {
    mem_pic &p = art.pics[0];
    for (bool topDown : {true, false}) {
        surface s(40, 40, topDown), want(40, 40, topDown);
        EXPECT_TRUE(p.draw(s.pixels(), &s.info, 20, 20));
        reference_image(art.images[0], want, 16, 26);
        EXPECT_EQ(first_difference(s, want), "") << (topDown ? "top-down" : "bottom-up");
        s.poison();
        EXPECT_TRUE(drawPicDIB(s.pixels(), &s.info, 20, 20, &art, 0));
        EXPECT_EQ(first_difference(s, want), "") << "drawPicDIB";
    }
    RECT r;
    EXPECT_TRUE(p.getDrawRect(&r));
    expect_rect(r, -4, 6, 6, 14, "picture (-4, 6) of 10 x 8");
}

TEST_F(Compose, OffsetsAreWidenedWithTheirSign) {
    // Picture 0 of frame 4 is at (-32768, 32767), picture 1 at (32767, -32768).
    mem_pic *run = art.frames[4].pics;
    surface s(10, 10), want(10, 10);
    ASSERT_TRUE(run[0].draw(s.pixels(), &s.info, 32768 + 2, -32767 + 3));
    reference_image(art.images[4], want, 2, 3);
    EXPECT_EQ(first_difference(s, want), "") << "offset (-32768, 32767)";
    s.poison();
    want.poison();
    ASSERT_TRUE(run[1].draw(s.pixels(), &s.info, -32767 + 5, 32768 + 1));
    reference_image(art.images[4], want, 5, 1);
    EXPECT_EQ(first_difference(s, want), "") << "offset (32767, -32768)";

    RECT r;
    run[0].getDrawRect(&r);
    expect_rect(r, -32768, 32767, -32765, 32769, "picture at (-32768, 32767)");
    art.frames[4].getDrawRect(&r);
    expect_rect(r, -32768, -32768, 32770, 32769, "frame of both");
}

TEST_F(Compose, FrameRectHoldsEveryPicture) {
    RECT r;
    EXPECT_TRUE(art.frames[1].getDrawRect(&r));
    expect_rect(r, 0, -3, 10, 17, "10 x 10 at (0, 0) and 4 x 20 at (5, -3)");
}

TEST_F(Compose, RunOrderIsStackingOrder) {
    surface s(10, 17);
    ASSERT_TRUE(drawFrameDIB(s.pixels(), &s.info, 0, 3, &art, 1));
    EXPECT_TRUE(same(s.at(5, 3), colour(2))) << "B over A: " << show(s.at(5, 3));
    EXPECT_TRUE(same(s.at(4, 3), colour(1))) << "A beside B: " << show(s.at(4, 3));
    EXPECT_TRUE(same(s.at(5, 0), colour(2))) << "B above A: " << show(s.at(5, 0));

    surface t(10, 10);
    ASSERT_TRUE(art.frames[2].draw(t.pixels(), &t.info, 0, 0));
    RGBQUAD a = colour(1),
            halved = quad(a.rgbBlue >> 1, a.rgbGreen >> 1, a.rgbRed >> 1, a.rgbReserved);
    EXPECT_TRUE(same(t.at(3, 3), halved)) << "shadow over A: " << show(t.at(3, 3));
    EXPECT_TRUE(same(t.at(4, 4), halved)) << "shadow over A: " << show(t.at(4, 4));
    EXPECT_TRUE(same(t.at(4, 3), a)) << "clear bit: " << show(t.at(4, 3));
}

TEST_F(Compose, EmptyFramesDrawNothing) {
    // Frame 3 has no pictures; frame 5 no group reaches (null run).
    for (unsigned i : {3u, 5u}) {
        mem_frame &f = art.frames[i];
        surface s(4, 4);
        const std::vector<RGBQUAD> before = s.mem;
        EXPECT_TRUE(f.draw(s.pixels(), &s.info, 0, 0)) << "frame " << i;
        EXPECT_TRUE(drawFrameDIB(s.pixels(), &s.info, 0, 0, &art, i)) << "frame " << i;
        EXPECT_TRUE(same_bytes(s.mem, before)) << "frame " << i;
        RECT r{1, 2, 3, 4};
        EXPECT_TRUE(f.getDrawRect(&r));
        expect_rect(r, 0, 0, 0, 0, i == 3 ? "no pictures" : "null run");
    }
    mem_pic *run = art.frames[5].pics;
    EXPECT_EQ(run, nullptr);
}

// A picture whose image is null: nothing to draw, so drawing it fails, a frame
// passes over it and rectangles leave it out.
TEST_F(Compose, PicturesWithoutAnImageAreSkipped) {
    const unsigned last = art.picCount - 1; // the entry no frame filled
    ASSERT_EQ(art.pics[last].image, nullptr);
    surface s(10, 10);
    const std::vector<RGBQUAD> before = s.mem;
    EXPECT_FALSE(art.pics[last].draw(s.pixels(), &s.info, 0, 0));
    EXPECT_FALSE(drawPicDIB(s.pixels(), &s.info, 0, 0, &art, last));
    EXPECT_TRUE(same_bytes(s.mem, before));

    mem_pic lone{5, -7, nullptr};
    RECT r;
    EXPECT_TRUE(lone.getDrawRect(&r));
    expect_rect(r, 5, -7, 5, -7, "picture without an image");

    mem_pic run[3] = {{-50, -50, nullptr}, {2, 1, &art.images[4]}, {60, 60, nullptr}};
    mem_frame f{3, run};
    surface want(10, 10);
    EXPECT_TRUE(f.draw(s.pixels(), &s.info, 0, 0));
    reference_image(art.images[4], want, 2, 1);
    EXPECT_EQ(first_difference(s, want), "") << "frame with image-less pictures";
    EXPECT_TRUE(f.getDrawRect(&r));
    expect_rect(r, 2, 1, 5, 3, "frame with image-less pictures");

    mem_frame none{2, run + 1};
    run[1].image = nullptr;
    EXPECT_TRUE(none.getDrawRect(&r));
    expect_rect(r, 0, 0, 0, 0, "frame of image-less pictures only");
}

TEST_F(Compose, RefusedSurfaceFailsPicturesNotFrames) {
    surface s(20, 20);
    s.info.bmiHeader.biBitCount = 24;
    const std::vector<RGBQUAD> before = s.mem;
    EXPECT_TRUE(drawFrameDIB(s.pixels(), &s.info, 0, 0, &art, 1));
    EXPECT_TRUE(art.frames[2].draw(s.pixels(), &s.info, 0, 0));
    EXPECT_FALSE(drawPicDIB(s.pixels(), &s.info, 0, 0, &art, 0));
    EXPECT_FALSE(art.pics[1].draw(s.pixels(), &s.info, 0, 0));
    EXPECT_TRUE(same_bytes(s.mem, before));
}

TEST_F(Compose, IndexMustBeBelowTheCount) {
    surface s(20, 20);
    const std::vector<RGBQUAD> before = s.mem;
    EXPECT_FALSE(drawPicDIB(s.pixels(), &s.info, 0, 0, &art, art.picCount));
    EXPECT_FALSE(drawFrameDIB(s.pixels(), &s.info, 0, 0, &art, art.frameCount));
    EXPECT_FALSE(drawPicDIB(s.pixels(), &s.info, 0, 0, nullptr, 0));
    EXPECT_FALSE(drawFrameDIB(s.pixels(), &s.info, 0, 0, nullptr, 0));
    EXPECT_TRUE(same_bytes(s.mem, before));
}

// Every frame of the sample drawn at (-left, -top) into a surface of its
// rectangle's size loses nothing: drawn with a margin around it, the margin
// stays untouched and the inside is the same.
TEST(ComposeSample, FramesFitTheirRectangles) {
    art_handle art;
    ASSERT_EQ(load_set(art, make_sample()), ART_OK);
    const int M = 3;
    for (uint32_t i = 0; i < art.frameCount; ++i) {
        mem_frame &f = art.frames[i];
        RECT r;
        ASSERT_TRUE(f.getDrawRect(&r));
        const int w = r.right - r.left, h = r.bottom - r.top;
        ASSERT_GT(w, 0) << "frame " << i;
        surface exact(w, h, false), wide(w + 2 * M, h + 2 * M, false);
        ASSERT_TRUE(f.draw(exact.pixels(), &exact.info, -r.left, -r.top));
        ASSERT_TRUE(f.draw(wide.pixels(), &wide.info, M - r.left, M - r.top));
        for (int y = 0; y < wide.rows; ++y)
            for (int x = 0; x < wide.width; ++x) {
                bool inside = x >= M && x < M + w && y >= M && y < M + h;
                RGBQUAD want =
                    inside ? exact.at(x - M, y - M) : quad(kPoison, kPoison, kPoison, kPoison);
                ASSERT_TRUE(same(wide.at(x, y), want))
                    << "frame " << i << ", pixel " << x << ", " << y;
            }
    }
}

} // namespace
